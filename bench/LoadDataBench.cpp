// LoadData on a data file with about 16 MB of flash data, the most the
// format's 24-bit lengths allow: from a file in the page cache, from a file
// the page cache has been told to drop first, and from memory. Reports time
// per load (the object's destruction included, as when the window replaces
// it), the longest single load (max_ms: the window loads on its own thread,
// so this is how long its event loop stands still) and bytes per second.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>

#include <fcntl.h>
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

// Asks the kernel to drop the file's pages from the page cache, so that the
// next load reads the disk.
void DropFromCache(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd >= 0) {
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
        ::close(fd);
    }
}

void LoadFile(benchmark::State& state, bool dropCache) {
    const FullSizeFile& file = File();
    double longest = 0;
    for (auto _ : state) {
        if (dropCache) {
            state.PauseTiming();
            DropFromCache(file.path);
            state.ResumeTiming();
        }
        const auto start = std::chrono::steady_clock::now();
        {
            clsPNV480DnLdData data;
            data.SetFileName(file.path);
            data.SetToolVersion("KQDV01.0000");
            if (!data.LoadData()) {
                state.SkipWithError(data.ErrorMessage().c_str());
                break;
            }
            benchmark::DoNotOptimize(data.TotalFlashBlocks());
        }
        longest = std::max(longest, std::chrono::duration<double, std::milli>(
                                        std::chrono::steady_clock::now() - start)
                                        .count());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * file.image.size()));
    state.counters["flash_blocks"] = static_cast<double>((kFlashBytes + 223) / 224);
    state.counters["max_ms"] = longest;
}

void BM_LoadDataFromFile(benchmark::State& state) {
    LoadFile(state, false);
}

void BM_LoadDataFromFileNotCached(benchmark::State& state) {
    LoadFile(state, true);
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
BENCHMARK(BM_LoadDataFromFileNotCached)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadDataFromMemory)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
