#pragma once

#include <QString>

// A run's trace (JSON lines) as a person reads it: one line per event with
// its time from the start of the run; the frames' bytes are left out.
class HistoryTraceText {
  public:
    static QString FromFile(const QString& path);
    static QString FromLines(const QByteArray& lines);
};
