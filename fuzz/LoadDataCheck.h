#pragma once

// The check every fuzz input of the data file loader goes through. Besides the sanitizers' checks,
// a load that succeeds must account for its blocks exactly: consecutive addresses, the declared
// lengths covered, every block inside its size limit; a load that fails must say why.

#include <cstddef>
#include <cstdint>
#include <span>

#include "FuzzSupport.h"
#include "clsPNV480DnLdData.h"

// Every block of a list in order, from base, covering length.
inline void CheckList(const clsDnLdUnitDataArray& list, std::int32_t length, std::int32_t blockSize,
                      std::int32_t base) {
    std::int64_t covered = 0;
    std::uint32_t sum = 0;
    for (const clsDownloadUnit& block : list) {
        FUZZ_REQUIRE(block.Address() == base + covered);
        FUZZ_REQUIRE(block.Size() >= 1 && block.Size() <= static_cast<std::size_t>(blockSize));
        for (std::uint8_t b : block.Data()) {
            sum += b;  // touches every byte, so a bad range shows under ASan
        }
        covered += static_cast<std::int64_t>(block.Size());
    }
    FUZZ_REQUIRE(covered == length);
    FUZZ_REQUIRE(list.Count() == (length + blockSize - 1) / blockSize);
    volatile std::uint32_t keep = sum;
    (void)keep;
}

// Fills the module tables once, loads the bytes as a data file image and
// aborts when the outcome breaks one of the loader's promises. Always 0.
inline int CheckLoadData(const std::uint8_t* data, std::size_t size) {
    fuzz::PrepareTables();
    clsPNV480DnLdData loaded;
    loaded.SetToolVersion("KQDV01.0000");
    const bool ok = loaded.LoadData(std::span<const std::uint8_t>(data, size));
    if (!ok) {
        FUZZ_REQUIRE(!loaded.ErrorMessage().empty());
        FUZZ_REQUIRE(loaded.LastFailure() != clsPNV480DnLdData::LoadFailure::None);
        return 0;
    }
    FUZZ_REQUIRE(loaded.ErrorMessage().empty());
    FUZZ_REQUIRE(loaded.DataFileVersion().size() <= clsPNV480DnLdData::kVersionLimit);
    CheckList(loaded.EEPParameterBlocks(), loaded.ParameterDataLength(),
              clsPNV480DnLdData::kParameterBlockSize, clsPNV480DnLdData::kParameterBaseAddress);
    CheckList(loaded.FlashBlocks(), loaded.FlashDataLength(), clsPNV480DnLdData::kFlashBlockSize,
              0);

    // Walk both cursors past the end and back.
    std::int32_t walked = 0;
    while (loaded.NextFlashBlock() != nullptr) {
        ++walked;
    }
    FUZZ_REQUIRE(walked == loaded.TotalFlashBlocks());
    FUZZ_REQUIRE(loaded.FlashBlockIndex() == walked - 1);
    FUZZ_REQUIRE((loaded.CurrFlashBlock() != nullptr) == (walked > 0));
    while (loaded.NextEEPParameterBlock() != nullptr) {
    }
    loaded.FlashBlockIndexReset();
    FUZZ_REQUIRE(loaded.CurrFlashBlock() == nullptr);
    return 0;
}
