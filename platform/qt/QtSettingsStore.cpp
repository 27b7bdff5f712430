#include "QtSettingsStore.h"

#include <QSettings>
#include <QStringList>

#include "QtText.h"

namespace platform {

std::unique_ptr<QSettings> QtSettingsStore::Open(const std::string& appName) const {
    if (!iniFilePath_.isEmpty()) {
        return std::make_unique<QSettings>(iniFilePath_, QSettings::IniFormat);
    }
    const QString name = ToQString(appName);
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, name, name);
}

QString QtSettingsStore::Location(const std::string& appName) const {
    return Open(appName)->fileName();
}

std::string QtSettingsStore::GetSetting(const std::string& appName, const std::string& section,
                                        const std::string& key, const std::string& defaultValue) {
    std::unique_ptr<QSettings> settings = Open(appName);
    if (settings->status() != QSettings::NoError) {
        return defaultValue;
    }
    settings->beginGroup(ToQString(section));
    const QVariant value = settings->value(ToQString(key));
    settings->endGroup();
    if (!value.isValid() || settings->status() != QSettings::NoError) {
        return defaultValue;
    }
    // A hand-edited INI value with unquoted commas reads back as a list.
    if (value.typeId() == QMetaType::QStringList) {
        return ToStdString(value.toStringList().join(QStringLiteral(", ")));
    }
    if (!value.canConvert<QString>()) {
        return defaultValue;
    }
    return ToStdString(value.toString());
}

void QtSettingsStore::SaveSetting(const std::string& appName, const std::string& section,
                                  const std::string& key, const std::string& value) {
    std::unique_ptr<QSettings> settings = Open(appName);
    if (settings->status() == QSettings::AccessError) {
        return;  // the write is lost, as the interface allows
    }
    // Damaged contents are replaced by a fresh store holding what is written.
    settings->beginGroup(ToQString(section));
    settings->setValue(ToQString(key), ToQString(value));
    settings->endGroup();
    settings->sync();
}

}  // namespace platform
