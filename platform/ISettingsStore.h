#pragma once

#include <string>

namespace platform {

// Per-user settings: strings by application name, section and key.
// Reading never fails: a missing key, a damaged or unreadable store gives the
// default. Writing may silently fail on a read-only store.
class ISettingsStore {
  public:
    virtual ~ISettingsStore() = default;
    virtual std::string GetSetting(const std::string& appName, const std::string& section,
                                   const std::string& key, const std::string& defaultValue) = 0;
    virtual void SaveSetting(const std::string& appName, const std::string& section,
                             const std::string& key, const std::string& value) = 0;
};

}  // namespace platform
