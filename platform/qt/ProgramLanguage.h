#pragma once

class QObject;
class QTranslator;

// The program's title: the window's (as the form gives it) and the caption
// of its message boxes. The program's name for its settings and folders
// stays "gpsupdate".
inline constexpr char kProgramTitle[] = "GPS 資料更新程式";

// Qt's own standard texts (the buttons of the message boxes, the file
// dialog) in Traditional Chinese, from the translations Qt is installed with.
// The translator is installed in the application and owned by `owner`; null,
// and nothing installed, when the translations are not there (the texts then
// stay English).
QTranslator* UseTraditionalChineseQtTexts(QObject* owner);
