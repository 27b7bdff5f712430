#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "JsonText.h"
#include "Sha256.h"

namespace {

std::vector<std::uint8_t> BytesOf(const std::string& text) {
    return {text.begin(), text.end()};
}

// Published test vectors of the algorithm.
TEST(Sha256, KnownVectorsWholeAndInPieces) {
    struct Case {
        std::string message;
        const char* digest;
    };
    const Case cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    // Both ways: the processor's SHA instructions where it has them, and
    // the portable rounds; whole, and in pieces of any length.
    for (const bool hardware : {true, false}) {
        Sha256::AllowHardware(hardware);
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message()
                         << c.message.size() << " bytes, hardware " << hardware << " (available "
                         << Sha256::HardwareAvailable() << ")");
            const std::vector<std::uint8_t> data = BytesOf(c.message);
            EXPECT_EQ(Sha256::Hex(Sha256::Of(data)), c.digest);
            for (std::size_t piece : {1u, 55u, 56u, 63u, 64u, 65u, 128u}) {
                Sha256 sha;
                for (std::size_t at = 0; at < data.size(); at += piece) {
                    sha.Update(std::span(data).subspan(at, std::min(piece, data.size() - at)));
                }
                EXPECT_EQ(Sha256::Hex(sha.Finish()), c.digest) << "pieces of " << piece;
            }
        }
    }
    Sha256::AllowHardware(true);
}

TEST(JsonText, BytesOutsidePrintableAsciiAreEscapedEvenWhenTheyAreUtf8) {
    EXPECT_EQ(JsonText::Bytes("K\"\\\r\n\x01\xE9\x7F"), "\"K\\\"\\\\\\r\\n\\u0001\\u00e9\\u007f\"");
    EXPECT_EQ(JsonText::Bytes("異"), "\"\\u00e7\\u0095\\u00b0\"");
}

}  // namespace
