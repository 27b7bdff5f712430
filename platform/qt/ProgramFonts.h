#pragma once

class QApplication;

// The operator texts are Traditional Chinese: the application font becomes
// the first installed family that has them, at the platform's size.
void UseTraditionalChineseFont(QApplication& app);
