#pragma once

#include <memory>

#include <QString>

#include "ISettingsStore.h"

class QSettings;

namespace platform {

// The per-user settings store on QSettings. By default each application name
// is its own store in the host's native per-user place (on Linux the file
// ~/.config/<app>/<app>.conf, on Windows the registry key
// HKEY_CURRENT_USER\Software\<app>\<app>); a section is a group, values are
// strings. Given a file path, the store is that INI file whatever the
// application name (tests, portable set-ups).
//
// A store that cannot be read (no access, damaged contents) gives the
// defaults. Writing to a damaged store replaces it with a fresh one holding
// what is written; writing to a store without access is lost, as the
// interface allows. Nothing here throws or crashes on a bad store.
class QtSettingsStore final : public ISettingsStore {
  public:
    QtSettingsStore() = default;
    explicit QtSettingsStore(QString iniFilePath) : iniFilePath_(std::move(iniFilePath)) {}

    std::string GetSetting(const std::string& appName, const std::string& section,
                           const std::string& key, const std::string& defaultValue) override;
    void SaveSetting(const std::string& appName, const std::string& section, const std::string& key,
                     const std::string& value) override;

    // Where the values of this application name are kept.
    QString Location(const std::string& appName) const;

  private:
    std::unique_ptr<QSettings> Open(const std::string& appName) const;

    QString iniFilePath_;
};

}  // namespace platform
