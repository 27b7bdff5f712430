#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

#include "MemoryImage.h"
#include "clsDownloadUnit.h"
#include "clsPNV480DnLdData.h"

// What a simulated unit's memories hold after a clean update of a data file
// (both erased to 0xFF, then every block written at its address), as the
// hexadecimal digests gpsunit-sim prints when it stops. Empty when the file
// does not load.
inline std::pair<std::string, std::string> ExpectedDigests(const std::string& path) {
    clsPNV480DnLdData file;
    file.SetFileName(path);
    file.SetToolVersion("KQDV01.0000");
    if (!file.LoadData()) {
        return {};
    }
    sim::MemoryImage flash(4u << 20, 0xFF);
    sim::MemoryImage parameters(64u << 10, 0xFF);
    for (const clsDownloadUnit& block : file.FlashBlocks()) {
        flash.Write(static_cast<std::uint32_t>(block.Address()), block.Data());
    }
    for (const clsDownloadUnit& block : file.EEPParameterBlocks()) {
        parameters.Write(static_cast<std::uint32_t>(block.Address()), block.Data());
    }
    const auto hex = [](std::uint64_t value) {
        char text[20];
        std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
        return std::string(text);
    };
    return {hex(flash.Digest()), hex(parameters.Digest())};
}
