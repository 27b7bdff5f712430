#pragma once

// Helpers shared by the data file tests: packed files (in a TempDataFile)
// and a loader run that records the message boxes it showed.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "ProgramMessageBoxes.h"
#include "ScriptedMessageBoxes.h"
#include "TempDataFile.h"
#include "clsApdPacker.h"
#include "clsPNV480DnLdData.h"

namespace apdtest {

inline const std::string kToolVersion = "KQDV01.0000";

// Settings for a small file with seeded data of the given sizes.
inline clsApdPacker::Settings MakeSettings(std::size_t parameterBytes, std::size_t flashBytes,
                                           std::uint64_t seed = 7) {
    clsApdPacker::Settings s;
    s.parameterData = clsApdPacker::SeededBytes(parameterBytes, seed);
    s.flashData = clsApdPacker::SeededBytes(flashBytes, seed + 1000);
    s.pageOrder = clsApdPacker::RandomOrder(seed);
    s.fillerSeed = seed;
    return s;
}

inline std::vector<std::uint8_t> PackOrFail(const clsApdPacker::Settings& s,
                                            std::vector<clsApdPacker::Boundary>* layout = nullptr) {
    std::string error;
    auto image = clsApdPacker::Pack(s, &error, layout);
    EXPECT_TRUE(image.has_value()) << error;
    return image.value_or(std::vector<std::uint8_t>{});
}

// One load with the message boxes recorded.
struct LoadOutcome {
    bool ok = false;
    clsPNV480DnLdData::LoadFailure failure = clsPNV480DnLdData::LoadFailure::None;
    std::string message;
    std::vector<std::string> boxes;
    std::unique_ptr<clsPNV480DnLdData> data;
};

// From the file at `path`, or without one from the image in memory.
inline LoadOutcome Load(const std::string* path, std::span<const std::uint8_t> image,
                        const std::string& toolVersion) {
    platform::ScriptedMessageBoxes boxes;
    platform::ScopedProgramMessageBoxes scope(boxes);
    LoadOutcome out;
    out.data = std::make_unique<clsPNV480DnLdData>();
    out.data->SetToolVersion(toolVersion);
    if (path != nullptr) {
        out.data->SetFileName(*path);
    }
    out.ok = path != nullptr ? out.data->LoadData() : out.data->LoadData(image);
    out.failure = out.data->LastFailure();
    out.message = out.data->ErrorMessage();
    out.boxes = boxes.Texts();
    return out;
}

inline LoadOutcome LoadFromFile(const std::string& path,
                                const std::string& toolVersion = kToolVersion) {
    return Load(&path, {}, toolVersion);
}

inline LoadOutcome LoadFromMemory(std::span<const std::uint8_t> image,
                                  const std::string& toolVersion = kToolVersion) {
    return Load(nullptr, image, toolVersion);
}

}  // namespace apdtest
