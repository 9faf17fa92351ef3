#include "interchange/TextImport.h"

#include <gtest/gtest.h>

#include <string>

using interchange::MakeImportText;
using namespace std::string_literals;

TEST(TextImport, EveryKindOfLineBreakBecomesCrLf)
{
    EXPECT_EQ(MakeImportText("a\nb\n"), "a\r\nb\r\n");
    EXPECT_EQ(MakeImportText("a\rb\r"), "a\r\nb\r\n");
    EXPECT_EQ(MakeImportText("a\r\nb\r\n"), "a\r\nb\r\n");
    // LF followed by CR is two breaks, so an empty line between.
    EXPECT_EQ(MakeImportText("a\n\rb"), "a\r\n\r\nb\r\n");
    EXPECT_EQ(MakeImportText("a\r\n\r\n"), "a\r\n\r\n");
    EXPECT_EQ(MakeImportText("\n\n"), "\r\n\r\n");
}

TEST(TextImport, FinalLineWithoutBreakGetsOneAndEmptyFileGivesNothing)
{
    EXPECT_EQ(MakeImportText("last"), "last\r\n");
    EXPECT_EQ(MakeImportText("x\ny"), "x\r\ny\r\n");
    EXPECT_EQ(MakeImportText(""), "");
}

TEST(TextImport, NulBytesAreDroppedAndTheRestKept)
{
    EXPECT_EQ(MakeImportText("ab\0cd\nef\n"s), "abcd\r\nef\r\n");
    EXPECT_EQ(MakeImportText("\0\0abc\0"s), "abc\r\n");
    EXPECT_EQ(MakeImportText("\0\0"s), "");
    // A NUL between CR and LF leaves one break, as in a document file.
    EXPECT_EQ(MakeImportText("a\r\0\nb"s), "a\r\nb\r\n");
    // The bytes on both sides of a NUL decide the encoding together, and what a NUL split is
    // whole again: "あ" in UTF-8, "あい" in CP932, a byte-order mark.
    EXPECT_EQ(MakeImportText("\xE3\x81\0\x82\n"s), "あ\r\n");
    EXPECT_EQ(MakeImportText("\x82\xA0\0\x82\xA2"s), "あい\r\n");
    EXPECT_EQ(MakeImportText("\xEF\xBB\0\xBF" "a"s), "a\r\n");
}

TEST(TextImport, Utf8WithAndWithoutByteOrderMark)
{
    EXPECT_EQ(MakeImportText("\xEF\xBB\xBF" "日本語\nかな\n"), "日本語\r\nかな\r\n");
    EXPECT_EQ(MakeImportText("日本語\nかな"), "日本語\r\nかな\r\n");
    // Only a leading mark is dropped.
    EXPECT_EQ(MakeImportText("a\xEF\xBB\xBF"), "a\xEF\xBB\xBF\r\n");
    // A file that declares UTF-8 by its mark but holds a broken byte keeps the rest.
    EXPECT_EQ(MakeImportText("\xEF\xBB\xBF" "a\xFF" "b"), "a\xEF\xBF\xBD" "b\r\n");
}

TEST(TextImport, Cp932FileIsDecoded)
{
    // "日本語", then "表示" whose first character has 0x5C as its second byte, then "ｱ".
    EXPECT_EQ(MakeImportText("\x93\xFA\x96\x7B\x8C\xEA\r\n\x95\x5C\x8E\xA6\n\xB1"), "日本語\r\n表示\r\nｱ\r\n");
    EXPECT_EQ(interchange::DecodeImportedText("\x82\xA0\x82\xA2"), "あい");
}
