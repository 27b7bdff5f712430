#include "MemorySettingsStore.h"

namespace platform {

std::string MemorySettingsStore::GetSetting(const std::string& appName, const std::string& section,
                                            const std::string& key,
                                            const std::string& defaultValue) {
    readKeys_.push_back(key);
    if (condition_ != Condition::Healthy) {
        return defaultValue;
    }
    auto it = values_.find(Key{appName, section, key});
    return it == values_.end() ? defaultValue : it->second;
}

void MemorySettingsStore::SaveSetting(const std::string& appName, const std::string& section,
                                      const std::string& key, const std::string& value) {
    writes_.push_back(Write{appName, section, key, value});
    switch (condition_) {
        case Condition::Unreadable:
            return;
        case Condition::Damaged:
            // The first write replaces the unreadable contents with a fresh store.
            values_.clear();
            condition_ = Condition::Healthy;
            break;
        case Condition::Healthy:
            break;
    }
    values_[Key{appName, section, key}] = value;
}

void MemorySettingsStore::Preset(const std::string& appName, const std::string& section,
                                 const std::string& key, const std::string& value) {
    values_[Key{appName, section, key}] = value;
}

std::optional<std::string> MemorySettingsStore::Value(const std::string& appName,
                                                      const std::string& section,
                                                      const std::string& key) const {
    auto it = values_.find(Key{appName, section, key});
    if (it == values_.end()) {
        return std::nullopt;
    }
    return it->second;
}

}  // namespace platform
