// The check every fuzz input of the data file loader goes through. Besides the sanitizers' checks,
// a load that succeeds must account for its blocks exactly: consecutive addresses, the declared
// lengths covered, every block inside its size limit; a load that fails must say why.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "LoadDataCheck.h"
#include "clsPNV480DnLdData.h"
#include "mduGlobalModule.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void CheckList(const clsDnLdUnitDataArray& list, std::int32_t length, std::int32_t blockSize,
               std::int32_t base) {
    std::int64_t covered = 0;
    std::uint32_t sum = 0;
    for (const clsDownloadUnit& block : list) {
        Require(block.Address() == base + covered);
        Require(block.Size() >= 1 && block.Size() <= static_cast<std::size_t>(blockSize));
        for (std::uint8_t b : block.Data()) {
            sum += b;  // touches every byte, so a bad range shows under ASan
        }
        covered += static_cast<std::int64_t>(block.Size());
    }
    Require(covered == length);
    Require(list.Count() == (length + blockSize - 1) / blockSize);
    volatile std::uint32_t keep = sum;
    (void)keep;
}

}  // namespace

void PrepareLoadDataFuzzing() {
    static const bool tablesReady = (mduGlobalModule::InitGlobalTables(), true);
    (void)tablesReady;
}

int CheckLoadData(const std::uint8_t* data, std::size_t size) {
    PrepareLoadDataFuzzing();
    clsPNV480DnLdData loaded;
    loaded.SetToolVersion("KQDV01.0000");
    const bool ok = loaded.LoadData(std::span<const std::uint8_t>(data, size));
    if (!ok) {
        Require(!loaded.ErrorMessage().empty());
        Require(loaded.LastFailure() != clsPNV480DnLdData::LoadFailure::None);
        return 0;
    }
    Require(loaded.ErrorMessage().empty());
    Require(loaded.DataFileVersion().size() <= clsPNV480DnLdData::kVersionLimit);
    CheckList(loaded.EEPParameterBlocks(), loaded.ParameterDataLength(),
              clsPNV480DnLdData::kParameterBlockSize, clsPNV480DnLdData::kParameterBaseAddress);
    CheckList(loaded.FlashBlocks(), loaded.FlashDataLength(), clsPNV480DnLdData::kFlashBlockSize,
              0);

    // Walk both cursors past the end and back.
    std::int32_t walked = 0;
    while (loaded.NextFlashBlock() != nullptr) {
        ++walked;
    }
    Require(walked == loaded.TotalFlashBlocks());
    Require(loaded.FlashBlockIndex() == walked - 1);
    Require((loaded.CurrFlashBlock() != nullptr) == (walked > 0));
    while (loaded.NextEEPParameterBlock() != nullptr) {
    }
    loaded.FlashBlockIndexReset();
    Require(loaded.CurrFlashBlock() == nullptr);
    return 0;
}
