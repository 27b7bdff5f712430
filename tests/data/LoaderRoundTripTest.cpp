#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "ApdTestSupport.h"
#include "mduGlobalModule.h"

namespace {

using apdtest::LoadFromFile;
using apdtest::LoadFromMemory;
using apdtest::MakeSettings;
using apdtest::PackOrFail;

// Every block of both lists against the data the file was packed from.
void ExpectBlocksMatch(const clsPNV480DnLdData& data, const clsApdPacker::Settings& s) {
    const auto expectList = [](const clsDnLdUnitDataArray& list,
                               const std::vector<std::uint8_t>& source, std::size_t size,
                               std::int32_t base, const char* name) {
        ASSERT_EQ(list.Count(), static_cast<std::int32_t>((source.size() + size - 1) / size))
            << name;
        std::size_t offset = 0;
        for (const clsDownloadUnit& block : list) {
            const std::size_t length = std::min(size, source.size() - offset);
            ASSERT_EQ(block.Address(), base + static_cast<std::int32_t>(offset)) << name;
            ASSERT_TRUE(std::equal(block.Data().begin(), block.Data().end(),
                                   source.begin() + offset, source.begin() + offset + length) &&
                        block.Size() == length)
                << name << " block at " << offset;
            offset += size;
        }
    };
    expectList(data.EEPParameterBlocks(), s.parameterData, 64, 0x70, "parameter");
    expectList(data.FlashBlocks(), s.flashData, 224, 0, "flash");
}

// Fixed shapes first (no blocks at all, and both lists at and one past
// their block boundaries), then random ones; keys across the whole range,
// the two ends included; one round with the longest header and every text
// at its limit. Every tenth is also loaded from a file in a folder with a
// Chinese name (file names are UTF-8).
TEST(LoaderRoundTrip, ShapesLoadBackExactly) {
    std::mt19937 generator(4101);
    const auto pick = [&](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(generator);
    };
    const std::pair<std::size_t, std::size_t> fixed[] = {{0, 0},    {1, 0},    {2, 0},
                                                         {64, 448}, {65, 449}, {128, 1}};
    for (int round = 0; round < 60; ++round) {
        const bool isFixed = round < static_cast<int>(std::size(fixed));
        clsApdPacker::Settings s =
            MakeSettings(isFixed ? fixed[round].first : pick(0, 900),
                         isFixed ? fixed[round].second : pick(0, 6000), round);
        s.key = static_cast<std::uint8_t>(round == 0 ? 0 : round == 1 ? 255 : pick(0, 255));
        s.headerPages = pick(2, 5);
        s.skipPages = pick(1, 3);
        s.headerWord = static_cast<std::uint16_t>(pick(0, 32767));
        s.pageOrder =
            round % 7 == 0 ? clsApdPacker::ReverseOrder() : clsApdPacker::RandomOrder(round);
        s.dataFileVersion = "V" + std::to_string(round);
        s.toolVersionList = "X1.0,KQDV01." + std::to_string(round);
        s.unitProgramVersionList = "GPSP0" + std::to_string(round % 10) + ".1";
        if (round == 4) {
            s.headerPages = 127;
            s.dataFileVersion = std::string(13, 'D');
            s.toolVersionList = "KQDV01.0000," + std::string(501 - 12, 'T');
            s.unitProgramVersionList = std::string(501, 'U');
        }
        const auto image = PackOrFail(s);
        SCOPED_TRACE("round " + std::to_string(round) +
                     " E=" + std::to_string(s.parameterData.size()) +
                     " F=" + std::to_string(s.flashData.size()) + " K=" + std::to_string(s.key));

        auto out = LoadFromMemory(image);
        ASSERT_TRUE(out.ok) << out.message;
        const clsPNV480DnLdData& data = *out.data;
        EXPECT_EQ(data.ErrorMessage(), "");
        EXPECT_EQ(data.DataFileVersion(), s.dataFileVersion);
        EXPECT_EQ(data.ToolVersionList(), s.toolVersionList);
        EXPECT_EQ(data.UnitProgramVersionList(), s.unitProgramVersionList);
        EXPECT_EQ(data.HeaderWord(), s.headerWord);
        EXPECT_EQ(data.SkipPageCount(), s.skipPages);
        EXPECT_EQ(data.ParameterDataLength(), static_cast<std::int32_t>(s.parameterData.size()));
        EXPECT_EQ(data.FlashDataLength(), static_cast<std::int32_t>(s.flashData.size()));
        EXPECT_EQ(data.FlashBlockIndex(), -1);
        EXPECT_EQ(data.EEPParmBlockIndex(), -1);
        ExpectBlocksMatch(data, s);
        if (round % 10 == 0) {
            const TempDataFile file(image, "資料檔/更新 0601.apd");
            auto fromFile = LoadFromFile(file.Path());
            ASSERT_TRUE(fromFile.ok) << fromFile.message;
            ExpectBlocksMatch(*fromFile.data, s);
        }
    }
}

// The page order table is not checked to be a permutation. One that names
// position 1 twice and position 0 never leaves byte 0 of every restored page
// 0, so such a file loads exactly when each page's byte 0 was 0 when packed
// (still scrambled): its data byte there is the key byte.
TEST(LoaderRoundTrip, PageOrderThatIsNotAPermutation) {
    auto s = MakeSettings(0, 3 * 256 - 2, 31);
    s.key = 0x33;
    s.pageOrder = clsApdPacker::IdentityOrder();
    s.pageOrder[0] = 1;
    const std::uint8_t keyByte = mduGlobalModule::XorCrcLoByte(s.key, 0);
    for (std::size_t p = 0; p < 3; ++p) {
        s.flashData[p * 256] = keyByte;
    }
    auto out = LoadFromMemory(PackOrFail(s));
    ASSERT_TRUE(out.ok) << out.message;
    ExpectBlocksMatch(*out.data, s);

    s.flashData[512] ^= 0x01;
    EXPECT_EQ(LoadFromMemory(PackOrFail(s)).failure, clsPNV480DnLdData::LoadFailure::Content);
}

#ifndef _WIN32
// A pipe has no size to check against: the skip section is read through
// rather than stepped over, and an early end shows only when the bytes stop.
// (Named pipes in the file system are POSIX.)
TEST(LoaderRoundTrip, ThroughANamedPipe) {
    auto s = MakeSettings(300, 200000, 17);
    s.skipPages = 1200;  // more than one read of the reader's buffer
    const auto image = PackOrFail(s);
    const TempDataFile dir(std::vector<std::uint8_t>{});
    const std::string fifo = dir.Dir() + "/pipe.apd";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::size_t length : {image.size(), image.size() - 1000}) {
        std::thread writer([&] {
            sigset_t pipeSignal;  // a reader that stops early gives EPIPE here, not a signal
            sigemptyset(&pipeSignal);
            sigaddset(&pipeSignal, SIGPIPE);
            pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);
            const int fd = ::open(fifo.c_str(), O_WRONLY);
            for (std::size_t at = 0; fd >= 0 && at < length;) {
                const ssize_t wrote = ::write(fd, image.data() + at, length - at);
                if (wrote <= 0) {
                    break;
                }
                at += static_cast<std::size_t>(wrote);
            }
            ::close(fd);
        });
        auto out = LoadFromFile(fifo);
        writer.join();
        if (length == image.size()) {
            ASSERT_TRUE(out.ok) << out.message;
            ExpectBlocksMatch(*out.data, s);
        } else {
            EXPECT_EQ(out.failure, clsPNV480DnLdData::LoadFailure::Content) << out.message;
        }
    }
}
#endif  // _WIN32

// Beyond 32,767 flash blocks a 16-bit count or cursor would wrap. The
// cursors start before the first block, stop at the last and start again
// after a reset; on the empty parameter list they find nothing.
TEST(LoaderRoundTrip, MoreThan32767FlashBlocksAreCountedAndWalked) {
    const std::size_t f = 32768 * 224 + 1;
    auto s = MakeSettings(0, f, 99);
    const TempDataFile file(PackOrFail(s));
    auto out = LoadFromFile(file.Path());
    ASSERT_TRUE(out.ok) << out.message;
    clsPNV480DnLdData& data = *out.data;
    EXPECT_EQ(data.TotalEEPParmBlocks(), 0);
    EXPECT_EQ(data.NextEEPParameterBlock(), nullptr);
    EXPECT_EQ(data.CurrEEPParameterBlock(), nullptr);
    EXPECT_EQ(data.EEPParmBlockIndex(), -1);

    ASSERT_EQ(data.TotalFlashBlocks(), 32769);
    EXPECT_EQ(data.CurrFlashBlock(), nullptr);
    std::int32_t walked = 0;
    const clsDownloadUnit* last = nullptr;
    while (const clsDownloadUnit* block = data.NextFlashBlock()) {
        ASSERT_EQ(block->Address(), 224 * walked);
        ASSERT_EQ(data.CurrFlashBlock(), block);
        last = block;
        ++walked;
    }
    EXPECT_EQ(walked, 32769);
    EXPECT_EQ(data.NextFlashBlock(), nullptr);
    EXPECT_EQ(data.FlashBlockIndex(), 32768);
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->Address(), 32768 * 224);
    EXPECT_EQ(last->DownLoadData(), std::vector<std::uint8_t>{s.flashData.back()});
    EXPECT_EQ(data.CurrFlashBlock(), last);

    data.FlashBlockIndexReset();
    EXPECT_EQ(data.CurrFlashBlock(), nullptr);
    ASSERT_NE(data.NextFlashBlock(), nullptr);
    EXPECT_EQ(data.CurrFlashBlock()->Address(), 0);
}

}  // namespace
