// The simulated unit's CRC, codec and sentences are written independently of
// the tool's; here both sides meet on random frames.

#include <gtest/gtest.h>

#include <random>

#include "UnitCodec.h"
#include "UnitCrc.h"
#include "UnitSentence.h"
#include "clsApdPacker.h"
#include "clsRandom.h"
#include "mduGlobalModule.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Random frames from a fixed seed: a failure names its round.
class CrossCheck : public ::testing::Test {
  protected:
    Bytes RandomFrame(std::size_t maxLength) {
        return clsApdPacker::SeededBytes(1 + generator_() % maxLength, generator_());
    }
    std::mt19937 generator_{20260101};
};

TEST_F(CrossCheck, CrcAgreesWithTheToolsTableDrivenCrc) {
    for (int round = 0; round < 2000; ++round) {
        SCOPED_TRACE(round);
        Bytes frame = RandomFrame(300);
        const std::uint16_t tool = mduGlobalModule::GetCrc16(frame, 0, 0);
        const auto trailer = sim::UnitCrc::Trailer(frame);
        // The tool's value holds the first trailer byte in its high byte.
        ASSERT_EQ(tool, trailer[0] << 8 | trailer[1]);

        frame.insert(frame.end(), trailer.begin(), trailer.end());
        ASSERT_TRUE(sim::UnitCrc::Intact(frame));
        ASSERT_TRUE(mduGlobalModule::CheckCrc16(frame, 0, 0));

        std::uniform_int_distribution<std::size_t> where(0, frame.size() - 1);
        frame[where(generator_)] ^= static_cast<std::uint8_t>(1u << (generator_() % 8));
        ASSERT_EQ(sim::UnitCrc::Intact(frame), mduGlobalModule::CheckCrc16(frame, 0, 0));
        ASSERT_FALSE(sim::UnitCrc::Intact(frame)) << "a single flipped bit passed";
    }
}

TEST_F(CrossCheck, CodecAgreesWithTheToolsInBothKeyModes) {
    for (int round = 0; round < 2000; ++round) {
        SCOPED_TRACE(round);
        clsRandom::Table table{};
        for (auto& b : table) {
            b = static_cast<std::uint8_t>(generator_());
        }
        Bytes frame = RandomFrame(280);
        if (round % 2 == 0) {
            frame[0] = static_cast<std::uint8_t>((frame[0] & 0x0F) * 0x11);  // rolling key
        }
        const Bytes unit = sim::UnitCodec::Apply(frame, table);
        ASSERT_EQ(unit, clsRandom::Codec(frame, table));
        ASSERT_EQ(sim::UnitCodec::Apply(unit, table), frame) << "not its own inverse";
        for (std::size_t i = 1; i < frame.size(); ++i) {
            ASSERT_EQ(frame[i] ^ unit[i], sim::UnitCodec::KeyAt(frame[0], i, table))
                << "key at " << i;
        }
    }
}

TEST_F(CrossCheck, SentencesAgreeWithTheToolsBuilderAndParser) {
    const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.,-_ ";
    for (int round = 0; round < 500; ++round) {
        SCOPED_TRACE(round);
        std::string body = "GS";
        const std::size_t length = generator_() % 30;
        for (std::size_t i = 0; i < length; ++i) {
            body += alphabet[generator_() % (alphabet.size() - 1)];  // no trailing space
        }
        const Bytes unit = sim::UnitSentence::Build(body);
        ASSERT_EQ(unit, mduGlobalModule::BuildSentence(body)) << body;
        const auto parsed = sim::UnitSentence::Parse(unit);
        ASSERT_TRUE(parsed) << body;
        ASSERT_EQ(*parsed, mduGlobalModule::ParseSentence(unit)) << body;

        bool fault = false;
        const Bytes garbled = sim::UnitSentence::BuildGarbled(body);
        EXPECT_TRUE(mduGlobalModule::ParseSentence(garbled, fault).empty()) << body;
        EXPECT_TRUE(fault) << body;
        EXPECT_FALSE(sim::UnitSentence::Parse(garbled)) << body;
    }
}

TEST(UnitSentenceParse, RejectsWhatTheUnitCannotTrust) {
    const auto parse = [](std::string text) {
        return sim::UnitSentence::Parse(Bytes(text.begin(), text.end())).has_value();
    };
    EXPECT_TRUE(parse("$GSHLO*5f\r\n")) << "lower-case check digits";
    EXPECT_FALSE(parse("GSHLO*5F\r\n")) << "no $";
    EXPECT_FALSE(parse("$GSHLO*5")) << "one check digit";
    EXPECT_FALSE(parse("$GSHLO\r\n")) << "no *";
    EXPECT_FALSE(parse("$GSHLO*5G\r\n")) << "not a hex digit";
    EXPECT_FALSE(parse("")) << "empty";
}

}  // namespace
