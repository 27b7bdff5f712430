#include "HistoryTraceText.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>

namespace {

QString Str(const QJsonObject& line, const char* key) {
    return line.value(QLatin1String(key)).toVariant().toString();
}

QString Describe(const QJsonObject& line) {
    const QString kind = Str(line, "kind");
    if (kind == QLatin1String("run-start")) {
        return QStringLiteral("run started: %1 at %2").arg(Str(line, "run"), Str(line, "time"));
    }
    if (kind == QLatin1String("run-end")) {
        return QStringLiteral("run ended: %1, %2").arg(Str(line, "run"), Str(line, "result"));
    }
    if (kind == QLatin1String("state")) {
        return QStringLiteral("state %1 → %2").arg(Str(line, "from"), Str(line, "to"));
    }
    if (kind == QLatin1String("message")) {
        QString text = Str(line, "text");
        text.replace(QLatin1String("\r\n"), QLatin1String(" / "));
        return QStringLiteral("message (%1): %2").arg(Str(line, "colour"), text);
    }
    if (kind == QLatin1String("box")) {
        return QStringLiteral("box (%1, %2): %3 → answered %4")
            .arg(Str(line, "icon"), Str(line, "buttons"), Str(line, "text"), Str(line, "answer"));
    }
    if (kind == QLatin1String("info")) {
        return QStringLiteral("information line %1: %2").arg(Str(line, "line"), Str(line, "text"));
    }
    if (kind == QLatin1String("lamp")) {
        return QStringLiteral("lamp %1: colour %2").arg(Str(line, "index"), Str(line, "code"));
    }
    if (kind == QLatin1String("progress")) {
        return QStringLiteral("progress %1 of %2").arg(Str(line, "value"), Str(line, "max"));
    }
    if (kind == QLatin1String("frame-out")) {
        return QStringLiteral("sent command %1 (%2 bytes)")
            .arg(Str(line, "code"), Str(line, "length"));
    }
    if (kind == QLatin1String("frame-in")) {
        return QStringLiteral("reply (%1 bytes)").arg(Str(line, "bytes").size() / 2);
    }
    if (kind == QLatin1String("timeout")) {
        return QStringLiteral("no reply in time");
    }
    if (kind == QLatin1String("note")) {
        return QStringLiteral("note (%1): %2").arg(Str(line, "topic"), Str(line, "text"));
    }
    return QString();  // listening, sends without reply: not for reading
}

}  // namespace

QString HistoryTraceText::FromFile(const QString& path) {
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        return QStringLiteral(
                   "The trace of this run is not kept any more (%1).\nOnly the newest runs' traces "
                   "are kept.")
            .arg(path.isEmpty() ? QStringLiteral("none was written") : path);
    }
    return FromLines(file.readAll());
}

QString HistoryTraceText::FromLines(const QByteArray& lines) {
    QString text;
    for (const QByteArray& raw : lines.split('\n')) {
        if (raw.trimmed().isEmpty()) {
            continue;
        }
        const QJsonDocument document = QJsonDocument::fromJson(raw);
        if (!document.isObject()) {
            text += QStringLiteral("          (a damaged line)\n");
            continue;
        }
        const QJsonObject line = document.object();
        const QString described = Describe(line);
        if (described.isEmpty()) {
            continue;
        }
        const double seconds = line.value(QLatin1String("t_ms")).toDouble() / 1000.0;
        text += QStringLiteral("%1 s  %2\n").arg(seconds, 8, 'f', 3).arg(described);
    }
    return text;
}
