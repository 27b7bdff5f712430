#include "HistoryTraceText.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <utility>

#include "HistoryResults.h"

namespace {

QString Str(const QJsonObject& line, const char* key) {
    return line.value(QLatin1String(key)).toVariant().toString();
}

// A stored word as the operator reads it; an unknown one as it is.
QString Word(const QString& stored) {
    static const std::pair<const char*, const char*> words[] = {
        {"window-text", "一般"},
        {"red", "紅"},
        {"black", "黑"},
        {"blue", "藍"},
        {"green", "綠"},
        {"ok", "確定"},
        {"cancel", "取消"},
        {"yes", "是"},
        {"no", "否"},
        {"ok-cancel", "確定/取消"},
        {"yes-no", "是/否"},
        {"critical", "錯誤"},
        {"exclamation", "警告"},
        {"information", "資訊"},
        {"question", "詢問"},
    };
    for (const auto& [word, shown] : words) {
        if (stored == QLatin1String(word)) {
            return QString::fromUtf8(shown);
        }
    }
    return QString::fromStdString(HistoryResults::InChinese(stored.toStdString()));
}

QString Describe(const QJsonObject& line) {
    const QString kind = Str(line, "kind");
    if (kind == QLatin1String("run-start")) {
        return QStringLiteral("開始%1 (%2)").arg(Word(Str(line, "run")), Str(line, "time"));
    }
    if (kind == QLatin1String("run-end")) {
        return QStringLiteral("結束%1 : %2").arg(Word(Str(line, "run")), Word(Str(line, "result")));
    }
    if (kind == QLatin1String("state")) {
        return QStringLiteral("作業狀態 %1 → %2").arg(Str(line, "from"), Str(line, "to"));
    }
    if (kind == QLatin1String("message")) {
        QString text = Str(line, "text");
        text.replace(QStringLiteral("\r\n"), QStringLiteral(" / "));
        return QStringLiteral("訊息 (%1) : %2").arg(Word(Str(line, "colour")), text);
    }
    if (kind == QLatin1String("box")) {
        return QStringLiteral("訊息框 (%1, %2) : %3 → 回答 %4")
            .arg(Word(Str(line, "icon")), Word(Str(line, "buttons")), Str(line, "text"),
                 Word(Str(line, "answer")));
    }
    if (kind == QLatin1String("info")) {
        return QStringLiteral("資訊第 %1 行 : %2").arg(Str(line, "line"), Str(line, "text"));
    }
    if (kind == QLatin1String("lamp")) {
        // The lamp's colour code as the window paints it.
        static const char* const colours[] = {"灰", "黃", "綠", "紅"};
        const int code = line.value(QLatin1String("code")).toInt(-1);
        return QStringLiteral("燈號 %1 : %2")
            .arg(Str(line, "index"),
                 code >= 0 && code < 4 ? QString::fromUtf8(colours[code]) : Str(line, "code"));
    }
    if (kind == QLatin1String("progress")) {
        return QStringLiteral("進度 %1 / %2").arg(Str(line, "value"), Str(line, "max"));
    }
    if (kind == QLatin1String("frame-out")) {
        // A text sentence (the greeting, the link switch) has no command code.
        const QString code = Str(line, "code");
        return code == QLatin1String("-1")
                   ? QStringLiteral("送出文字訊息 (%1 位元組)").arg(Str(line, "length"))
                   : QStringLiteral("送出命令 %1 (%2 位元組)").arg(code, Str(line, "length"));
    }
    if (kind == QLatin1String("frame-in")) {
        return QStringLiteral("收到回應 (%1 位元組)").arg(Str(line, "bytes").size() / 2);
    }
    if (kind == QLatin1String("timeout")) {
        return QStringLiteral("等待回應逾時");
    }
    if (kind == QLatin1String("note")) {
        return QStringLiteral("附註 (%1) : %2").arg(Str(line, "topic"), Str(line, "text"));
    }
    return QString();  // listening, sends without reply: not for reading
}

}  // namespace

QString HistoryTraceText::FromFile(const QString& path) {
    if (path.isEmpty()) {
        return QStringLiteral("此次執行沒有寫入執行記錄。");
    }
    QFile file(path);
    if (!file.exists()) {
        return QStringLiteral("此次執行的執行記錄已不存在 (%1)。\n只保留最近的執行記錄。")
            .arg(path);
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return QStringLiteral("無法開啟執行記錄 %1 : %2").arg(path, file.errorString());
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
            text += QStringLiteral("          (無法讀取的一行)\n");
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
