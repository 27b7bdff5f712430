// The fault texts of gpsunit-sim --fault.

#include <gtest/gtest.h>

#include "FaultSpec.h"

namespace {

using sim::FaultSpec;

TEST(FaultSpecParse, AcceptedTextsReadBackInCanonicalForm) {
    const struct {
        const char* text;
        const char* canonical;
    } cases[] = {
        {"no-reply", "no-reply"},
        {"no-reply:code=qid", "no-reply:code=QID"},
        {"bad-crc:code=5", "bad-crc:code=QID"},
        {"late:code=51,block=3,delay=2500", "late:code=51,block=3,delay=2500"},
        {"bad-status:code=FErs", "bad-status:code=FErs,status=0x10"},
        {"bad-status:addr=112,status=0xF0", "bad-status:addr=0x70,status=0xF0"},
        {"garbled:sentence=hello,after=2,times=1", "garbled:sentence=hello,after=2,times=1"},
        {"hang-up:sentence=link", "hang-up:sentence=link"},
        {"missing-bit:code=Attach,times=0", "missing-bit:code=Attach"},
        {"pulled:unit=3,code=50,block=500", "pulled:code=50,block=500,unit=3"},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto spec = FaultSpec::Parse(c.text, error);
        ASSERT_TRUE(spec) << c.text << ": " << error;
        EXPECT_EQ(spec->Describe(), c.canonical) << c.text;
        const auto again = FaultSpec::Parse(spec->Describe(), error);
        ASSERT_TRUE(again) << c.canonical << ": " << error;
        EXPECT_EQ(again->Describe(), c.canonical);
    }
}

TEST(FaultSpecParse, RejectsTextsThatCannotBeMeant) {
    const char* const cases[] = {
        "",
        "explode",
        "no-reply:",
        "no-reply:code",
        "no-reply:code=Nope",
        "no-reply:code=256",
        "no-reply:colour=red",
        "no-reply:code=QID,sentence=hello",
        "garbled:code=QID",
        "bad-crc:sentence=hello",
        "no-reply:sentence=bye",
        "late:block=0",
        "late:addr=0x1000000",
        "no-reply:sentence=hello,block=1",
        "garbled:addr=5",
        "bad-status:status=0x0F",
        "no-reply:status=0x10",
        "no-reply:delay=100",
        "late:delay=-5",
        "no-reply:times=x",
        "pulled:unit=0",
    };
    for (const char* text : cases) {
        std::string error;
        EXPECT_FALSE(FaultSpec::Parse(text, error)) << "accepted: " << text;
        EXPECT_FALSE(error.empty()) << "no reason for: " << text;
    }
}

}  // namespace
