#include "platform/utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using platform::AppendUtf8;
using platform::FindInvalidUtf8;
using platform::IsValidUtf8;
using platform::NextCodePoint;

namespace {
constexpr auto npos = std::string_view::npos;
}

TEST(Utf8, ValidTextIncludingTheEdgesOfEachLength)
{
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_EQ(FindInvalidUtf8(std::string_view{}), npos);  // no data at all
    EXPECT_TRUE(IsValidUtf8("plain ASCII text that is longer than eight bytes"));
    EXPECT_TRUE(IsValidUtf8("あ漢字😀"));
    for (const char* edge : {"\x7F", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEE\x80\x80",
                             "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF"})
        EXPECT_TRUE(IsValidUtf8(edge)) << edge;
}

TEST(Utf8, FindsTheFirstMalformedSequence)
{
    EXPECT_EQ(FindInvalidUtf8("ab\xC0\xAF"), 2u);           // overlong "/"
    EXPECT_EQ(FindInvalidUtf8("\xC1\xBF"), 0u);             // overlong
    EXPECT_EQ(FindInvalidUtf8("\xE0\x9F\xBF"), 0u);         // overlong three-byte form
    EXPECT_EQ(FindInvalidUtf8("\xF0\x8F\xBF\xBF"), 0u);     // overlong four-byte form
    EXPECT_EQ(FindInvalidUtf8("x\xED\xA0\x80"), 1u);        // surrogate U+D800
    EXPECT_EQ(FindInvalidUtf8("x\xED\xBF\xBF"), 1u);        // surrogate U+DFFF
    EXPECT_EQ(FindInvalidUtf8("\xF4\x90\x80\x80"), 0u);     // U+110000
    EXPECT_EQ(FindInvalidUtf8("\xF5\x80\x80\x80"), 0u);
    EXPECT_EQ(FindInvalidUtf8("abc\xE3\x81"), 3u);          // truncated at the end
    EXPECT_EQ(FindInvalidUtf8("abc\xE3\x81z"), 3u);         // truncated inside
    EXPECT_EQ(FindInvalidUtf8("\x80"), 0u);                 // lone continuation byte
    EXPECT_EQ(FindInvalidUtf8("\xFF"), 0u);
    EXPECT_EQ(FindInvalidUtf8("あ\x80"), 3u);
    // Past the eight-byte ASCII steps.
    EXPECT_EQ(FindInvalidUtf8("abcdefghi\x80"), 9u);
    EXPECT_EQ(FindInvalidUtf8("abcdefghijklmnop\xC3"), 16u);
    EXPECT_EQ(FindInvalidUtf8("abcdefghijklmnop\xC3\xA9"), npos);
}

TEST(Utf8, NextCodePointWalksTextAndReplacesEachBrokenCharacterOnce)
{
    const std::string text = "aé漢😀\xE3\x81" "b\xC0\xAF";
    std::vector<char32_t> decoded;
    for (std::size_t pos = 0; pos < text.size();) decoded.push_back(NextCodePoint(text, pos));
    const std::vector<char32_t> expected = {U'a', U'é', U'漢', U'😀', U'\uFFFD', U'b', U'\uFFFD', U'\uFFFD'};
    EXPECT_EQ(decoded, expected);
}

TEST(Utf8, AppendRoundTripsAndReplacesWhatUtf8CannotHold)
{
    std::string text;
    const std::vector<char32_t> codePoints = {0, 0x7F, 0x80, 0x7FF, 0x800, 0xFFFF, 0x10000, 0x10FFFF};
    for (char32_t codePoint : codePoints) AppendUtf8(text, codePoint);
    EXPECT_TRUE(IsValidUtf8(text));
    std::vector<char32_t> decoded;
    for (std::size_t pos = 0; pos < text.size();) decoded.push_back(NextCodePoint(text, pos));
    EXPECT_EQ(decoded, codePoints);

    std::string replaced;
    AppendUtf8(replaced, 0xD800);
    AppendUtf8(replaced, 0x110000);
    EXPECT_EQ(replaced, "\uFFFD\uFFFD");
}

namespace {

// The first malformed character found by walking the text one character at a time.
std::size_t WalkToFirstMalformed(std::string_view text)
{
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t start = pos;
        char32_t ignored;
        if (!platform::TryNextCodePoint(text, pos, ignored)) return start;
    }
    return npos;
}

}  // namespace

// The search runs many bytes at a time where the machine allows it: every sequence, good or
// bad, must be judged the same wherever it falls among those blocks and at the very end.
TEST(Utf8, FindsTheSameOffsetAsACharacterWalkAcrossBlockBoundaries)
{
    const std::vector<std::string> sequences = {
        "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF",
        "\xC0\xAF", "\xC1\xBF", "\xE0\x9F\xBF", "\xED\xA0\x80", "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80",
        "\xF8\x88\x80\x80\x80", "\xFF", "\x80", "\xBF\xBF", "\xE3\x81", "\xF0\x90\x80", "\xC3", "\xE3\x81\x82\x80"};
    for (const std::string& filler : {std::string(80, 'a'), std::string("あいうえおかきくけこさしすせそたちつてとなにぬねの")}) {
        for (const std::string& sequence : sequences) {
            for (std::size_t at = 0; at <= 70; ++at) {
                // Cut the filler at a character boundary near at.
                std::size_t cut = 0;
                while (cut < filler.size() && cut < at) platform::NextCodePoint(filler, cut);
                std::string text = filler.substr(0, cut) + sequence;
                EXPECT_EQ(FindInvalidUtf8(text), WalkToFirstMalformed(text)) << at;
                text += filler.substr(0, filler.size() - cut);
                EXPECT_EQ(FindInvalidUtf8(text), WalkToFirstMalformed(text)) << at;
            }
        }
    }
    // Random mixtures of the bytes that matter, of every length up to a few blocks.
    const unsigned char bytes[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC2, 0xDF,
                                   0xE0, 0xE3, 0xED, 0xEF, 0xF0, 0xF3, 0xF4, 0xF5, 0xFF};
    unsigned seed = 12345;
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const std::size_t length = round % 100;
        for (std::size_t i = 0; i < length; ++i) {
            seed = seed * 1103515245u + 12345u;
            text += static_cast<char>(bytes[(seed >> 16) % sizeof bytes]);
        }
        ASSERT_EQ(FindInvalidUtf8(text), WalkToFirstMalformed(text)) << round;
    }
}

// The block search stops at the first faulty block and the walk resumes from a character
// boundary before it: faults at every spot of long texts, several per text, each searched
// for again behind the last one as a repair does, must be found where the walk finds them.
TEST(Utf8, FindsEachOfManyFaultsInLongTextsLikeACharacterWalk)
{
    const std::vector<std::string> faults = {"\x80", "\xBF\xBF", "\xFF", "\xC3", "\xE3\x81", "\xF0\x90\x80",
                                             "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE3\x81\x82\x80",
                                             "\xF0\x90\x80\x80\x80"};
    const std::vector<std::string> fillers = {"a", "é", "漢", "😀", "ab漢😀c"};
    unsigned seed = 777;
    const auto next = [&seed](unsigned range) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % range;
    };
    for (int round = 0; round < 400; ++round) {
        std::string text;
        const unsigned faultCount = 1 + next(6);
        for (unsigned fault = 0; fault < faultCount; ++fault) {
            const unsigned run = next(300);
            for (unsigned i = 0; i < run; ++i) text += fillers[next(static_cast<unsigned>(fillers.size()))];
            text += faults[next(static_cast<unsigned>(faults.size()))];
        }
        if (round % 2 == 0) text += std::string(next(70), 'z');
        std::string_view rest = text;
        for (;;) {
            const std::size_t found = FindInvalidUtf8(rest);
            ASSERT_EQ(found, WalkToFirstMalformed(rest)) << round << " at " << text.size() - rest.size();
            if (found == npos) break;
            rest.remove_prefix(found + 1);
        }
    }
}
