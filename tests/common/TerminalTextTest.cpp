#include "TerminalText.h"

#include <gtest/gtest.h>

TEST(TerminalText, ControlsAreShownAsEscapesAndTheRestAsItWas) {
    const struct {
        const char* text;
        const char* shown;
    } cases[] = {
        {"GU48A0012345", "GU48A0012345"},
        {"正常 0601", "正常 0601"},
        // Sets the title and clears the screen.
        {"GW\x1b]0;x\a\x1b[2J", "GW\\e]0;x\\x07\\e[2J"},
        {"line\nforged\r\tend\x7f", "line\\nforged\\r\\tend\\x7F"},
        {"a\\x1b", "a\\\\x1b"},  // the escape's own sign: never one in disguise
        {"\xc2\x9b"
         "2J",
         "\\u009B2J"},  // C1 control sequence introducer
        {"abc\xe2\x80\xae"
         "fed",
         "abc\\u202Efed"},  // right-to-left override
        {"\x9b\xff\xc0\xaf\xed\xa0\x80", "\\x9B\\xFF\\xC0\\xAF\\xED\\xA0\\x80"},  // not UTF-8
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TerminalText::Escaped(c.text), c.shown) << c.text;
    }
    EXPECT_EQ(TerminalText::Escaped(std::string("a\0b", 3)), "a\\x00b");
}
