#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

// One download block: the unit address of its first byte and its bytes.
//
// The bytes either belong to the block (set through SetDownLoadData) or are a
// stretch of a larger, shared buffer (the loader's unscrambled body), so that
// cutting a data file into tens of thousands of blocks copies nothing.
// Either way DownLoadData returns a copy and Data a read-only view that stays
// valid while the block (or a copy of it) lives.
class clsDownloadUnit {
  public:
    using Bytes = std::vector<std::uint8_t>;
    // A buffer shared by many blocks; it lives as long as one of them does.
    using SharedBuffer = std::shared_ptr<const std::uint8_t[]>;

    std::int32_t Address() const { return address_; }
    void SetAddress(std::int32_t address) { address_ = address; }

    // A copy of the block's bytes.
    Bytes DownLoadData() const;
    // Takes a copy of the given bytes, from its first element on.
    void SetDownLoadData(std::span<const std::uint8_t> bytes);

    // The block's bytes without a copy.
    std::span<const std::uint8_t> Data() const;
    std::size_t Size() const { return length_; }

    // Makes the block a view of `length` bytes from `offset` of `buffer`,
    // which holds `bufferSize` bytes. A range that does not lie inside the
    // buffer, or no buffer, leaves the block empty and returns false.
    bool SetSharedData(SharedBuffer buffer, std::size_t bufferSize, std::size_t offset,
                       std::size_t length);

  private:
    std::int32_t address_ = 0;
    std::shared_ptr<const std::uint8_t> data_;  // the block's first byte, keeping its buffer alive
    std::size_t length_ = 0;
};
