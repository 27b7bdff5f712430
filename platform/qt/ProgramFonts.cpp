#include "ProgramFonts.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>

void UseTraditionalChineseFont(QApplication& app) {
    const QStringList families = QFontDatabase::families();
    for (const char* family :
         {"Noto Sans CJK TC", "Noto Sans TC", "Microsoft JhengHei", "PMingLiU"}) {
        if (families.contains(QString::fromLatin1(family))) {
            QFont font(QString::fromLatin1(family));
            font.setPointSizeF(app.font().pointSizeF());
            app.setFont(font);
            return;
        }
    }
}
