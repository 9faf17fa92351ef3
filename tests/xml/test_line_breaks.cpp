#include "xml/line_breaks.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace nanxml;

namespace {

// The rule read literally: lines end at CR LF, a lone CR or a lone LF.
bool LiterallyOnlyCrLf(const std::string& text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\0') return false;
        if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) return false;
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) return false;
    }
    return true;
}

}  // namespace

TEST(LineBreaks, NormalisedLinesEndEveryLineWithCrLf)
{
    EXPECT_EQ(NormalisedLines(""), "");
    EXPECT_EQ(NormalisedLines("a"), "a\r\n");
    EXPECT_EQ(NormalisedLines("a\r\n"), "a\r\n");
    EXPECT_EQ(NormalisedLines("a\nb\rc\r\nd"), "a\r\nb\r\nc\r\nd\r\n");
    EXPECT_EQ(NormalisedLines("\n\n"), "\r\n\r\n");
    EXPECT_EQ(NormalisedLines("\r\r\n"), "\r\n\r\n");
    EXPECT_EQ(NormalisedLines(std::string("a\r\0\nb\0", 6)), "a\r\nb\r\n");  // NULs go first
    EXPECT_EQ(NormalisedLines(std::string("\0", 1)), "");
}

TEST(LineBreaks, CrLfCheckAgreesWithTheLiteralRule)
{
    for (const char* text : {"", "a", "\r\n", "\r", "\n", "a\r\nb", "1234567\r\n", "1234567\r\nx", "12345678\r\n",
                             "1234567\r", "1234567\n", "\n1234567"}) {
        EXPECT_EQ(HasOnlyCrLfBreaks(text), LiterallyOnlyCrLf(text)) << text;
    }
    std::mt19937 random(7);
    const char alphabet[] = {'a', '\r', '\n', '\0', 'b'};
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const std::size_t length = random() % 40;
        for (std::size_t i = 0; i < length; ++i) {
            // Mostly CR LF pairs, so that the check does not fail at the first byte.
            if (random() % 3 == 0) text += "\r\n";
            else text += alphabet[random() % (random() % 4 == 0 ? 5 : 1)];
        }
        ASSERT_EQ(HasOnlyCrLfBreaks(text), LiterallyOnlyCrLf(text)) << round;
    }
    // Words passed over whole must hold no break: bytes just beside CR and LF, and bytes that
    // differ from them only in the high bit, next to breaks at every offset.
    const char neighbours[] = {'\x0c', '\x0e', '\x0b', '\x8d', '\x8a', '\xe3', 'a'};
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const std::size_t length = random() % 40;
        for (std::size_t i = 0; i < length; ++i) {
            if (random() % 8 == 0) text += random() % 4 == 0 ? "\r" : "\r\n";
            else text += neighbours[random() % std::size(neighbours)];
        }
        ASSERT_EQ(HasOnlyCrLfBreaks(text), LiterallyOnlyCrLf(text)) << round;
    }
    // Long texts are passed many bytes at a time: CR LF pairs across every block boundary,
    // and one byte made a CR, a LF or a NUL at every place.
    std::string base;
    while (base.size() < 300) base += "abc\r\nxyz";
    for (std::size_t at = 0; at < base.size(); ++at) {
        for (const char fault : {'\r', '\n', '\0', 'q'}) {
            std::string text = base;
            text[at] = fault;
            ASSERT_EQ(HasOnlyCrLfBreaks(text), LiterallyOnlyCrLf(text)) << at << " " << int{fault};
        }
        ASSERT_TRUE(HasOnlyCrLfBreaks(std::string(at % 70, 'p') + base)) << at;
    }
}

TEST(LineBreaks, SourceOffsetUndoesNulsAndLineBreaks)
{
    const std::string source("a\nb\0c\rd", 7);
    const std::string lines = NormalisedLines(source);  // "a\r\nbc\r\nd\r\n"
    EXPECT_EQ(SourceOffset(source, lines.find('b'), true), 2u);
    EXPECT_EQ(SourceOffset(source, lines.find('c'), true), 4u);
    EXPECT_EQ(SourceOffset(source, lines.find('d'), true), 6u);
    EXPECT_EQ(SourceOffset(source, 3, false), 4u);  // the "c" after the NUL
}
