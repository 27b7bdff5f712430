#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <iterator>
#include <string>

#include "ApdTestSupport.h"

namespace {

using apdtest::LoadFromFile;
using apdtest::LoadFromMemory;
using apdtest::MakeSettings;
using apdtest::PackOrFail;
using Failure = clsPNV480DnLdData::LoadFailure;
using Bytes = std::vector<std::uint8_t>;
using Layout = std::vector<clsApdPacker::Boundary>;

const char* const kTextA =
    "   異常狀況 : 無法開啟檔案!!\r\n   依下列說明處置\r\n    a.請輸入正確檔案路徑及檔名\r\n"
    "    b.使用<瀏覽>按鍵協助您選取正確檔案";
// B and C: what is wrong, then the same advice.
const std::string kAdvice =
    "\r\n   依下列說明處置\r\n    a. 請輸入正確版本檔案.\r\n"
    "    b. 使用<瀏覽>按鍵協助您選取正確版本檔案.\r\n    c. 向經銷商索取正確之資料檔.\r\n"
    "    d. 上本公司網站下載正確之資料檔.";
const std::string kTextB = "   異常狀況 : 本連線程式版本與資料檔不符!!" + kAdvice;
const std::string kTextC = "   異常狀況 : 資料檔內容異常!!" + kAdvice;
const std::string kPrefixD = "異常狀況(資料準備失敗) : ";

std::size_t EndOf(const Layout& layout, const std::string& name) {
    for (const auto& b : layout) {
        if (b.name == name) {
            return b.end;
        }
    }
    ADD_FAILURE() << "no part " << name;
    return 0;
}

// The process's open files, counted on Linux only: elsewhere the count is 0
// and the checks that use it hold trivially.
std::size_t OpenFileCount() {
#ifdef __linux__
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
#else
    return 0;
#endif
}

// Texts B and C exactly; a preparation failure (D) names what failed.
void ExpectMessageFor(const apdtest::LoadOutcome& out, Failure expected, const std::string& name) {
    if (expected == Failure::ToolVersion || expected == Failure::Content) {
        EXPECT_EQ(out.message, expected == Failure::Content ? kTextC : kTextB) << name;
        return;
    }
    EXPECT_EQ(out.message.rfind(kPrefixD, 0), 0u) << name << ": " << out.message;
    EXPECT_GT(out.message.size(), kPrefixD.size()) << name << " has no description";
}

// A change to the packer's settings, and then to the packed bytes.
struct FailureCase {
    std::string name;
    Failure expected;
    std::function<void(clsApdPacker::Settings&)> change;
    std::function<void(Bytes&, const Layout&)> patch = {};
    std::string boxMentions = {};  // empty: no message box expected
};

TEST(LoaderFailures, EveryCaseGivesItsTextAndClosesTheFile) {
    const auto keep = [](clsApdPacker::Settings&) {};
    const std::vector<FailureCase> cases = {
        {"version of 14 characters", Failure::Content,
         [](auto& s) { s.dataFileVersion = std::string(14, 'V'); }},
        {"version length field differs", Failure::Content, keep,
         [](Bytes& b, const Layout&) { b[0] = 5; }},
        {"negative version length", Failure::Content, keep,
         [](Bytes& b, const Layout&) { b[1] = 0x80; }},
        {"tool list of 502 characters", Failure::Content,
         [](auto& s) { s.toolVersionList = "KQDV01.0," + std::string(502 - 9, 'x'); }},
        {"unit list of 502 characters", Failure::Content,
         [](auto& s) { s.unitProgramVersionList = std::string(502, 'u'); }},
        // (Which lists hold the tool's version: VersionList below.)
        {"tool list without this tool", Failure::ToolVersion,
         [](auto& s) { s.toolVersionList = "KQDV02.0000"; }},
        {"swapped key record CRC bytes", Failure::Content, keep,
         [](Bytes& b, const Layout& l) {
             const std::size_t at = EndOf(l, "key record") - 2;
             ASSERT_NE(b[at], b[at + 1]) << "pick a key whose CRC bytes differ";
             std::swap(b[at], b[at + 1]);
         }},
        {"damaged page count record", Failure::Content, keep,
         [](Bytes& b, const Layout& l) { b[EndOf(l, "key record")] ^= 0x01; }},
        {"one header page", Failure::Content, [](auto& s) { s.headerPages = 1; }, nullptr,
         "page order table"},
        {"no header pages", Failure::Preparation, [](auto& s) { s.headerPages = 0; }},
        {"128 header pages", Failure::Preparation, [](auto& s) { s.headerPages = 128; }},
        {"no skip pages", Failure::Preparation, [](auto& s) { s.skipPages = 0; }},
        {"body length 0", Failure::Preparation, [](auto& s) { s.bodyLength = 0; }},
        {"header word above 32767", Failure::Content, [](auto& s) { s.headerWord = 32768; },
         nullptr, "32768"},
        {"parameter length above 32767", Failure::Content,
         [](auto& s) { s.parameterLength = 40000; }, nullptr, "40000"},
        {"damaged header", Failure::Content, keep,
         [](Bytes& b, const Layout& l) { b[EndOf(l, "page count record") + 300] ^= 0x40; }},
        {"damaged body", Failure::Content, keep,
         [](Bytes& b, const Layout& l) { b[EndOf(l, "skip section") + 1000] ^= 0x02; }},
        {"blocks beyond the body", Failure::Content, [](auto& s) { s.flashLength = 4096; }},
    };
    for (const FailureCase& c : cases) {
        auto s = MakeSettings(200, 1500);
        c.change(s);
        Layout layout;
        Bytes image = PackOrFail(s, &layout);
        if (c.patch) {
            c.patch(image, layout);
        }

        const auto memory = LoadFromMemory(image);
        const TempDataFile file(image);
        const std::size_t openBefore = OpenFileCount();
        const auto fromFile = LoadFromFile(file.Path());
        EXPECT_EQ(OpenFileCount(), openBefore) << c.name << " left the file open";

        for (const auto* out : {&memory, &fromFile}) {
            EXPECT_FALSE(out->ok) << c.name;
            EXPECT_EQ(out->failure, c.expected) << c.name << ": " << out->message;
            ExpectMessageFor(*out, c.expected, c.name);
            if (c.boxMentions.empty()) {
                EXPECT_TRUE(out->boxes.empty()) << c.name;
            } else {
                ASSERT_EQ(out->boxes.size(), 1u) << c.name;
                EXPECT_NE(out->boxes[0].find(c.boxMentions), std::string::npos) << out->boxes[0];
            }
        }
    }
}

TEST(LoaderFailures, FilesThatCannotBeOpenedGiveTextA) {
    const TempDataFile file(PackOrFail(MakeSettings(1, 1)), "資料檔/更新 0601.apd");
    // "C:\\" is also the name a loader has before it is given one.
    for (const std::string& path :
         {std::string("C:\\"), std::string(""), file.Dir(), file.Dir() + "/missing.apd",
          file.Dir() + "/資料檔", file.Dir() + "/資料檔/更新 0602.apd",
          file.Dir() + "/資料/更新 0601.apd"}) {
        const auto out = LoadFromFile(path);
        EXPECT_FALSE(out.ok) << path;
        EXPECT_EQ(out.failure, Failure::CannotOpen) << path;
        EXPECT_EQ(out.message, kTextA) << path;
    }
}

// A file cut anywhere, at a part's boundary or one byte either side, is a
// content fault; a cut after a tool list that does not match is still B.
TEST(LoaderFailures, TruncationAtEverySectionBoundary) {
    auto s = MakeSettings(300, 2000);
    s.skipPages = 2;
    Layout layout;
    const Bytes image = PackOrFail(s, &layout);
    ASSERT_EQ(layout.back().end, image.size());
    for (const auto& boundary : layout) {
        for (long delta : {-1L, 0L, 1L}) {
            const long cut = static_cast<long>(boundary.end) + delta;
            if (cut < 0 || cut >= static_cast<long>(image.size())) {
                continue;
            }
            const std::span<const std::uint8_t> prefix(image.data(), static_cast<std::size_t>(cut));
            const std::string name = boundary.name + " end " + std::to_string(delta);
            const auto memory = LoadFromMemory(prefix);
            EXPECT_EQ(memory.failure, Failure::Content) << name << ": " << memory.message;
            EXPECT_TRUE(memory.boxes.empty()) << name;
            const TempDataFile file(prefix);
            EXPECT_EQ(LoadFromFile(file.Path()).failure, Failure::Content) << name;

            const bool pastToolList = cut >= static_cast<long>(EndOf(layout, "tool version list"));
            EXPECT_EQ(LoadFromMemory(prefix, "OTHER01.0").failure,
                      pastToolList ? Failure::ToolVersion : Failure::Content)
                << name;
        }
    }
}

TEST(VersionList, MatchesTheNamePartIgnoringCase) {
    struct Case {
        const char* version;
        const char* list;
        bool match;
    };
    const Case cases[] = {
        {"KQDV01.0000", "ABC01.1,KQDV01.2", true},
        {"KQDV01.0000", "kqdv01.0123", true},
        {"KQDV01.0000", "KQDV01", true},
        {"KQDV01", "x,KQDV01.9", true},
        {"KQDV01.0000", "KQDV02.0000", false},
        {"KQDV01.0000", " KQDV01.0000", false},
        {"KQDV01.0000", "KQDV01 .0000", false},
        {"KQDV01.0000", "", false},
        {"", "", false},
        {"", ",,", false},
        {".5", "a,.7,", false},
        {"KQDV01.0000", ",,KQDV01.1,", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(clsPNV480DnLdData::MatchVersionList(c.version, c.list), c.match)
            << "'" << c.version << "' in '" << c.list << "'";
    }
}

TEST(VersionList, UnitProgramVersionIsCheckedAgainstTheFilesUnitList) {
    auto s = MakeSettings(1, 1);
    s.unitProgramVersionList = "GPSP01.2000,GPSP03.1000";
    auto out = LoadFromMemory(PackOrFail(s));
    ASSERT_TRUE(out.ok) << out.message;
    EXPECT_TRUE(out.data->CheckUnitProgramVersion("gpsp03.0001"));
    EXPECT_FALSE(out.data->CheckUnitProgramVersion("GPSP02.2000"));
    EXPECT_FALSE(out.data->CheckUnitProgramVersion(""));
}

TEST(LittleEndianFields, ShortArraysCountMissingBytesAsZero) {
    const Bytes bytes = {0x01, 0x02, 0x03, 0x04};
    EXPECT_EQ(clsPNV480DnLdData::ThreeByteDataToInteger(bytes), 0x030201);
    EXPECT_EQ(clsPNV480DnLdData::TwoByteDataToInteger(bytes), 0x0201);
    EXPECT_EQ(clsPNV480DnLdData::ThreeByteDataToInteger(std::span(bytes).first(1)), 0x01);
    EXPECT_EQ(clsPNV480DnLdData::TwoByteDataToInteger({}), 0);
}

}  // namespace
