#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "SimulatedUnit.h"
#include "TempDataFile.h"
#include "clsApdPacker.h"
#include "clsPNV480DnLdData.h"
#include "clsUpdateSequence.h"

// A data file of seeded bytes packed into a temporary folder, with the blocks
// it loads into: what a unit must hold after a clean update of it.
class PackedDataFile {
  public:
    PackedDataFile(std::size_t flashBytes, std::size_t parameterBytes, const std::string& version,
                   std::uint64_t seed)
        : image_(Pack(flashBytes, parameterBytes, version, seed)), file_(image_) {
        clsPNV480DnLdData loaded;
        loaded.SetToolVersion(clsUpdateSequence::kToolVersion);
        loads_ = loaded.LoadData(image_);
        const auto copy = [](const clsDnLdUnitDataArray& from, std::vector<Block>& to) {
            for (const clsDownloadUnit& b : from) {
                to.push_back({static_cast<std::uint32_t>(b.Address()),
                              Bytes(b.Data().begin(), b.Data().end())});
            }
        };
        copy(loaded.FlashBlocks(), flash_);
        copy(loaded.EEPParameterBlocks(), parameters_);
    }

    std::string Path() const { return file_.Path(); }
    const std::vector<std::uint8_t>& Image() const { return image_; }
    std::size_t FlashBlocks() const { return flash_.size(); }
    std::size_t ParameterBlocks() const { return parameters_.size(); }

    // Whether the file loads and the unit's memories hold every block of it.
    bool HeldBy(const sim::SimulatedUnit& unit) const {
        const auto holds = [](const sim::MemoryImage& image, const std::vector<Block>& blocks) {
            return std::all_of(blocks.begin(), blocks.end(), [&](const Block& b) {
                return image.Read(b.address, b.data.size()) == b.data;
            });
        };
        return loads_ && holds(unit.FlashImage(), flash_) &&
               holds(unit.ParameterImage(), parameters_);
    }

  private:
    using Bytes = std::vector<std::uint8_t>;
    struct Block {
        std::uint32_t address;
        Bytes data;
    };

    static Bytes Pack(std::size_t flashBytes, std::size_t parameterBytes,
                      const std::string& version, std::uint64_t seed) {
        clsApdPacker::Settings packed;
        packed.flashData = clsApdPacker::SeededBytes(flashBytes, seed);
        packed.parameterData = clsApdPacker::SeededBytes(parameterBytes, seed + 1);
        packed.dataFileVersion = version;
        packed.pageOrder = clsApdPacker::RandomOrder(seed);
        return clsApdPacker::Pack(packed).value_or(Bytes{});
    }

    Bytes image_;
    TempDataFile file_;
    bool loads_ = false;
    std::vector<Block> flash_;
    std::vector<Block> parameters_;
};
