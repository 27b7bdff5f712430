#pragma once

// Text between the plain code (UTF-8 std::string, lines separated by "\r\n")
// and Qt (QString).

#include <string>

#include <QString>

namespace platform {

inline QString ToQString(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string ToStdString(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

// "\r\n" (and a lone "\r") become the one line break Qt draws; a "\r" left in
// a Qt text document would start a paragraph of its own.
inline QString ToDisplayLines(const std::string& text) {
    QString shown = ToQString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

}  // namespace platform
