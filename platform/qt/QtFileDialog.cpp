#include "QtFileDialog.h"

#include <QDir>
#include <QFileDialog>

#include "QtText.h"

namespace platform {

QStringList QtFileDialog::ToNameFilters(const std::string& filter) {
    const QStringList parts = ToQString(filter).split('|');
    QStringList filters;
    if (filter.empty()) {
        return filters;
    }
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        const QString original = i + 1 < parts.size() ? parts[i + 1].trimmed() : QString();
        QStringList patterns;
        for (const QString& pattern : original.split(';', Qt::SkipEmptyParts)) {
            const QString trimmed = pattern.trimmed();
            if (!trimmed.isEmpty()) {
                patterns << (trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
            }
        }
        if (patterns.isEmpty()) {
            patterns << QStringLiteral("*");
        }
        const QString ownList = QLatin1Char('(') + original + QLatin1Char(')');
        if (!original.isEmpty() && description.endsWith(ownList)) {
            description.chop(ownList.size());
            description = description.trimmed();
        }
        const QString list = QLatin1Char('(') + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
        filters << (description.isEmpty() ? list : description + QLatin1Char(' ') + list);
    }
    return filters;
}

std::optional<std::string> QtFileDialog::ShowOpen(const FileDialogRequest& request) {
    return Show(request, false);
}

std::optional<std::string> QtFileDialog::ShowSave(const FileDialogRequest& request) {
    return Show(request, true);
}

std::optional<std::string> QtFileDialog::Show(const FileDialogRequest& request, bool save) {
    QFileDialog dialog(parent_.data());
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // Qt's dialog has no read-only box to hide (flag 4); it asks before
    // overwriting unless told not to, and flag 2 is that question.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, (request.flags & 2) == 0);

    const QStringList filters = ToNameFilters(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        const qsizetype index = request.filterIndex - 1;
        dialog.selectNameFilter(filters.value(index >= 0 && index < filters.size() ? index : 0));
    }
    if (!request.folder.empty()) {
        dialog.setDirectory(ToQString(request.folder));
    }
    if (!request.fileName.empty()) {
        dialog.selectFile(ToQString(request.fileName));
    }
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    return ToStdString(QDir::toNativeSeparators(chosen.first()));
}

}  // namespace platform
