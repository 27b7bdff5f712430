#include "clsDnLdUnitDataArray.h"

#include <algorithm>

// A place for one more block. A new chunk has room for at least the blocks
// the index has room for (what Reserve announced), so a reserved list takes
// one allocation.
clsDownloadUnit* clsDnLdUnitDataArray::NewUnit() {
    if (store_.empty() || store_.back().used == store_.back().capacity) {
        const std::size_t wanted = entries_.capacity() - entries_.size();
        Chunk chunk;
        chunk.capacity = std::max(kChunkSize, wanted);
        chunk.units = std::make_unique<clsDownloadUnit[]>(chunk.capacity);
        store_.push_back(std::move(chunk));
    }
    Chunk& last = store_.back();
    return &last.units[last.used++];
}

void clsDnLdUnitDataArray::Reserve(std::size_t count) {
    entries_.reserve(count);
}

clsDownloadUnit* clsDnLdUnitDataArray::Add(std::string_view key) {
    std::string ownKey(key);
    if (!ownKey.empty() && byKey_.contains(ownKey)) {
        return nullptr;
    }
    clsDownloadUnit* added = NewUnit();
    entries_.push_back(added);
    if (!ownKey.empty()) {
        byKey_.emplace(ownKey, added);
        keyOf_.emplace(added, std::move(ownKey));
    }
    return added;
}

clsDownloadUnit* clsDnLdUnitDataArray::Item(std::int32_t index) {
    if (index < 1 || index > Count()) {
        return nullptr;
    }
    return entries_[static_cast<std::size_t>(index - 1)];
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
    clsDownloadUnit* unit = *at;
    if (const auto keyed = keyOf_.find(unit); keyed != keyOf_.end()) {
        byKey_.erase(keyed->second);
        keyOf_.erase(keyed);
    }
    entries_.erase(at);
    *unit = clsDownloadUnit{};  // lets go of its bytes
    return true;
}

bool clsDnLdUnitDataArray::Remove(std::string_view key) {
    const clsDownloadUnit* unit = Item(key);
    if (unit == nullptr) {
        return false;
    }
    const auto at = std::find(entries_.begin(), entries_.end(), unit);
    return Remove(static_cast<std::int32_t>(at - entries_.begin()) + 1);
}

std::int32_t clsDnLdUnitDataArray::Clear() {
    entries_.clear();
    byKey_.clear();
    keyOf_.clear();
    store_.clear();
    return 0;
}
