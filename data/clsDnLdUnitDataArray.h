#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "clsDownloadUnit.h"

// An ordered list of download blocks, indexed from 1 in insertion order and
// optionally by a string key. Blocks never move in memory: a pointer from Add
// or Item stays valid until the list is cleared or destroyed (a removed block
// is emptied but its memory is kept until then). Blocks are stored in chunks,
// not one allocation each, since a full-size data file has about 75,000;
// Reserve makes the next chunk large enough for all the blocks announced.
class clsDnLdUnitDataArray {
    using Entries = std::vector<clsDownloadUnit*>;

    // Walks the blocks in order, yielding references.
    template <typename Unit, typename Base>
    class Iterator {
      public:
        using value_type = clsDownloadUnit;
        using difference_type = std::ptrdiff_t;
        Iterator() = default;
        explicit Iterator(Base it) : it_(it) {}
        Unit& operator*() const { return **it_; }
        Unit* operator->() const { return *it_; }
        Iterator& operator++() {
            ++it_;
            return *this;
        }
        Iterator operator++(int) {
            Iterator old = *this;
            ++it_;
            return old;
        }
        bool operator==(const Iterator& other) const { return it_ == other.it_; }

      private:
        Base it_{};
    };

  public:
    using iterator = Iterator<clsDownloadUnit, Entries::iterator>;
    using const_iterator = Iterator<const clsDownloadUnit, Entries::const_iterator>;

    clsDnLdUnitDataArray() = default;
    clsDnLdUnitDataArray(const clsDnLdUnitDataArray&) = delete;
    clsDnLdUnitDataArray& operator=(const clsDnLdUnitDataArray&) = delete;

    // Appends a new empty block; with a non-empty key it can also be found by
    // that key. A key already in use adds nothing and gives nullptr.
    clsDownloadUnit* Add(std::string_view key = {});

    // Block `index` (1-based) or the block stored under `key`; nullptr when
    // there is none.
    clsDownloadUnit* Item(std::int32_t index);
    const clsDownloadUnit* Item(std::int32_t index) const;
    clsDownloadUnit* Item(std::string_view key);
    const clsDownloadUnit* Item(std::string_view key) const;

    std::int32_t Count() const { return static_cast<std::int32_t>(entries_.size()); }

    // Removes that block; false when there is none.
    bool Remove(std::int32_t index);
    bool Remove(std::string_view key);

    // Removes every block; always 0.
    std::int32_t Clear();

    // Room for `count` blocks in all: the blocks added next share one allocation.
    void Reserve(std::size_t count);

    iterator begin() { return iterator(entries_.begin()); }
    iterator end() { return iterator(entries_.end()); }
    const_iterator begin() const { return const_iterator(entries_.cbegin()); }
    const_iterator end() const { return const_iterator(entries_.cend()); }

  private:
    // Owns every block added since the last Clear; only the last chunk has room.
    struct Chunk {
        std::unique_ptr<clsDownloadUnit[]> units;
        std::size_t capacity = 0;
        std::size_t used = 0;
    };
    static constexpr std::size_t kChunkSize = 1024;

    clsDownloadUnit* NewUnit();

    std::vector<Chunk> store_;
    Entries entries_;  // the list, in order
    std::unordered_map<std::string, clsDownloadUnit*> byKey_;
    std::unordered_map<const clsDownloadUnit*, std::string> keyOf_;
};
