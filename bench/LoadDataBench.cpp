// LoadData on a data file with about 16 MB of flash data, the most the
// format's 24-bit lengths allow, from a file in the page cache and from
// memory. Reports time per load and bytes per second of file.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include <unistd.h>

#include "clsApdPacker.h"
#include "clsPNV480DnLdData.h"
#include "mduGlobalModule.h"

namespace {

constexpr std::size_t kParameterBytes = 1000;
constexpr std::size_t kFlashBytes = 0xFFFFFF - kParameterBytes - 2;  // body length at its maximum

struct FullSizeFile {
    std::vector<std::uint8_t> image;
    std::string path;

    FullSizeFile() {
        mduGlobalModule::InitGlobalTables();
        clsApdPacker::Settings s;
        s.parameterData = clsApdPacker::SeededBytes(kParameterBytes, 1);
        s.flashData = clsApdPacker::SeededBytes(kFlashBytes, 2);
        s.pageOrder = clsApdPacker::RandomOrder(3);
        s.key = 0xA7;
        image = clsApdPacker::Pack(s).value();
        path = (std::filesystem::temp_directory_path() /
                ("bench-loaddata-" + std::to_string(::getpid()) + ".apd"))
                   .string();
        clsApdPacker::WriteFile(path, image);
    }
    ~FullSizeFile() { std::filesystem::remove(path); }
};

const FullSizeFile& File() {
    static const FullSizeFile file;
    return file;
}

void BM_LoadDataFromFile(benchmark::State& state) {
    const FullSizeFile& file = File();
    for (auto _ : state) {
        clsPNV480DnLdData data;
        data.SetFileName(file.path);
        data.SetToolVersion("KQDV01.0000");
        if (!data.LoadData()) {
            state.SkipWithError(data.ErrorMessage().c_str());
            break;
        }
        benchmark::DoNotOptimize(data.TotalFlashBlocks());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.image.size()));
    state.counters["flash_blocks"] = static_cast<double>((kFlashBytes + 223) / 224);
}

void BM_LoadDataFromMemory(benchmark::State& state) {
    const FullSizeFile& file = File();
    for (auto _ : state) {
        clsPNV480DnLdData data;
        data.SetToolVersion("KQDV01.0000");
        if (!data.LoadData(file.image)) {
            state.SkipWithError(data.ErrorMessage().c_str());
            break;
        }
        benchmark::DoNotOptimize(data.TotalFlashBlocks());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.image.size()));
}

}  // namespace

BENCHMARK(BM_LoadDataFromFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadDataFromMemory)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
