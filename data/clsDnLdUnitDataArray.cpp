#include "clsDnLdUnitDataArray.h"

#include <algorithm>

clsDownloadUnit* clsDnLdUnitDataArray::Add(std::string_view key) {
    std::string ownKey(key);
    if (!ownKey.empty() && byKey_.contains(ownKey)) {
        return nullptr;
    }
    auto unit = std::make_unique<clsDownloadUnit>();
    clsDownloadUnit* added = unit.get();
    if (!ownKey.empty()) {
        byKey_.emplace(ownKey, added);
    }
    entries_.push_back(Entry{std::move(unit), std::move(ownKey)});
    return added;
}

clsDownloadUnit* clsDnLdUnitDataArray::Item(std::int32_t index) {
    if (index < 1 || index > Count()) {
        return nullptr;
    }
    return entries_[static_cast<std::size_t>(index - 1)].unit.get();
}

const clsDownloadUnit* clsDnLdUnitDataArray::Item(std::int32_t index) const {
    return const_cast<clsDnLdUnitDataArray*>(this)->Item(index);
}

clsDownloadUnit* clsDnLdUnitDataArray::Item(std::string_view key) {
    if (key.empty()) {
        return nullptr;
    }
    const auto found = byKey_.find(std::string(key));
    return found == byKey_.end() ? nullptr : found->second;
}

const clsDownloadUnit* clsDnLdUnitDataArray::Item(std::string_view key) const {
    return const_cast<clsDnLdUnitDataArray*>(this)->Item(key);
}

bool clsDnLdUnitDataArray::Remove(std::int32_t index) {
    if (index < 1 || index > Count()) {
        return false;
    }
    const auto at = entries_.begin() + (index - 1);
    if (!at->key.empty()) {
        byKey_.erase(at->key);
    }
    entries_.erase(at);
    return true;
}

bool clsDnLdUnitDataArray::Remove(std::string_view key) {
    const clsDownloadUnit* unit = Item(key);
    if (unit == nullptr) {
        return false;
    }
    const auto at = std::find_if(entries_.begin(), entries_.end(),
                                 [unit](const Entry& e) { return e.unit.get() == unit; });
    return Remove(static_cast<std::int32_t>(at - entries_.begin()) + 1);
}

std::int32_t clsDnLdUnitDataArray::Clear() {
    entries_.clear();
    byKey_.clear();
    return 0;
}
