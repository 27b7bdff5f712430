#pragma once

#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "ISettingsStore.h"

namespace platform {

// A per-user settings store in memory, for tests and simulated set-ups. It
// keeps every value by application, section and key, records every write in
// order, and can be told to behave like a store that is damaged (reads give
// the defaults, writes replace the damaged contents as a fresh store) or
// unreadable (reads give the defaults, writes are lost).
class MemorySettingsStore final : public ISettingsStore {
  public:
    enum class Condition { Healthy, Damaged, Unreadable };

    struct Write {
        std::string appName;
        std::string section;
        std::string key;
        std::string value;
        bool operator==(const Write&) const = default;
    };

    std::string GetSetting(const std::string& appName, const std::string& section,
                           const std::string& key, const std::string& defaultValue) override;
    void SaveSetting(const std::string& appName, const std::string& section, const std::string& key,
                     const std::string& value) override;

    Condition GetCondition() const { return condition_; }
    void SetCondition(Condition condition) { condition_ = condition; }

    // Puts a value into the store as if a previous run (or the operator) had
    // written it; not recorded as a write.
    void Preset(const std::string& appName, const std::string& section, const std::string& key,
                const std::string& value);
    // The stored value, or nothing when the key is missing (whatever the condition).
    std::optional<std::string> Value(const std::string& appName, const std::string& section,
                                     const std::string& key) const;
    std::size_t Size() const { return values_.size(); }

    // Every SaveSetting call in order, including those a damaged or
    // unreadable store did not keep.
    const std::vector<Write>& Writes() const { return writes_; }
    // Every GetSetting call in order (the key only).
    const std::vector<std::string>& ReadKeys() const { return readKeys_; }

  private:
    using Key = std::tuple<std::string, std::string, std::string>;

    std::map<Key, std::string> values_;
    std::vector<Write> writes_;
    std::vector<std::string> readKeys_;
    Condition condition_ = Condition::Healthy;
};

}  // namespace platform
