#include "QtSettingsStore.h"

#include <QSettings>
#include <QStringList>

namespace platform {
namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToUtf8(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace

std::unique_ptr<QSettings> QtSettingsStore::Open(const std::string& appName) const {
    if (!iniFilePath_.isEmpty()) {
        return std::make_unique<QSettings>(iniFilePath_, QSettings::IniFormat);
    }
    const QString name = FromUtf8(appName);
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
    settings->beginGroup(FromUtf8(section));
    const QVariant value = settings->value(FromUtf8(key));
    settings->endGroup();
    if (!value.isValid() || settings->status() != QSettings::NoError) {
        return defaultValue;
    }
    // A hand-edited INI value with unquoted commas reads back as a list.
    if (value.typeId() == QMetaType::QStringList) {
        return ToUtf8(value.toStringList().join(QStringLiteral(", ")));
    }
    if (!value.canConvert<QString>()) {
        return defaultValue;
    }
    return ToUtf8(value.toString());
}

void QtSettingsStore::SaveSetting(const std::string& appName, const std::string& section,
                                  const std::string& key, const std::string& value) {
    std::unique_ptr<QSettings> settings = Open(appName);
    if (settings->status() == QSettings::AccessError) {
        return;  // the write is lost, as the interface allows
    }
    // Damaged contents are replaced by a fresh store holding what is written.
    settings->beginGroup(FromUtf8(section));
    settings->setValue(FromUtf8(key), FromUtf8(value));
    settings->endGroup();
    settings->sync();
}

}  // namespace platform
