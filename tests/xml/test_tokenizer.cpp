#include "xml/tokenizer.h"

#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace nanxml;

namespace {

std::string Kinds(std::string_view text)
{
    std::string out;
    TNanXMLTokenizer tokens(text);
    while (!tokens.AtEnd()) {
        const TNanXMLToken token = tokens.Next();
        out += std::to_string(token.Kind) + ":" + std::string(token.Text) + "|";
    }
    return out;
}

}  // namespace

TEST(Tokenizer, KindsKeepTheirOrder)
{
    EXPECT_EQ(xtNone, 0);
    EXPECT_EQ(xtTag, 1);
    EXPECT_EQ(xtQuoted, 2);
    EXPECT_EQ(xtSpace, 3);
    EXPECT_EQ(xtEquals, 4);
    EXPECT_EQ(xtEntity, 5);
    EXPECT_EQ(xtInstruction, 6);
    EXPECT_EQ(xtComment, 7);
    EXPECT_EQ(xtCDATA, 8);
    EXPECT_EQ(xtName, 9);
    EXPECT_EQ(xtMultiByte, 10);
}

TEST(Tokenizer, CharClassFollowsShiftJis)
{
    EXPECT_EQ(CharClass(""), xtNone);
    EXPECT_EQ(CharClass(" "), xtSpace);
    EXPECT_EQ(CharClass(std::string(1, '\0')), xtSpace);
    EXPECT_EQ(CharClass("\r"), xtSpace);
    EXPECT_EQ(CharClass("\n"), xtSpace);
    EXPECT_EQ(CharClass("<"), xtTag);
    EXPECT_EQ(CharClass("\""), xtQuoted);
    EXPECT_EQ(CharClass("="), xtEquals);
    EXPECT_EQ(CharClass("&"), xtEntity);
    for (const char* other : {">", "/", "?", "!", "'", "7", "a", "Z", "\x7f"}) {
        EXPECT_EQ(CharClass(other), xtName) << other;
    }
    EXPECT_EQ(CharClass("あ"), xtMultiByte);
    EXPECT_EQ(CharClass("漢"), xtMultiByte);
    EXPECT_EQ(CharClass("Ａ"), xtMultiByte);   // full-width Latin
    EXPECT_EQ(CharClass("α"), xtMultiByte);    // Greek is double-byte in CP932
    EXPECT_EQ(CharClass("ｱ"), xtName);         // half-width katakana: one byte
    EXPECT_EQ(CharClass("€"), xtName);         // CP932 cannot hold it
    EXPECT_EQ(CharClass("😀"), xtName);
    EXPECT_EQ(CharClass("\xff"), xtName);      // a malformed byte
}

TEST(Tokenizer, NextTokenDelimitedAndRuns)
{
    auto token = NextToken("<?a b?>rest");
    EXPECT_EQ(token.Kind, xtInstruction);
    EXPECT_EQ(token.Text, "<?a b?>");
    token = NextToken("<!-- c -->x");
    EXPECT_EQ(token.Kind, xtComment);
    EXPECT_EQ(token.Text, "<!-- c -->");
    token = NextToken("<![CDATA[a>b]]>");
    EXPECT_EQ(token.Kind, xtTag);  // no CDATA sections here
    EXPECT_EQ(token.Text, "<![CDATA[a>");
    token = NextToken("\"q\"r");
    EXPECT_EQ(token.Kind, xtQuoted);
    EXPECT_EQ(token.Text, "\"q\"");
    token = NextToken("&amp;x");
    EXPECT_EQ(token.Kind, xtEntity);
    EXPECT_EQ(token.Text, "&amp;");
    EXPECT_EQ(NextToken("").Kind, xtNone);

    // A closing delimiter never overlaps the opening one.
    token = NextToken("<?>");
    EXPECT_EQ(token.Kind, xtTag);
    EXPECT_EQ(token.Text, "<?>");
    token = NextToken("<!-->");
    EXPECT_EQ(token.Kind, xtTag);
    EXPECT_EQ(token.Text, "<!-->");

    // Runs of one class when nothing is closed.
    token = NextToken("<<a");
    EXPECT_EQ(token.Kind, xtTag);
    EXPECT_EQ(token.Text, "<<");
    token = NextToken("&x");
    EXPECT_EQ(token.Kind, xtEntity);
    EXPECT_EQ(token.Text, "&");
    token = NextToken("\"abc");
    EXPECT_EQ(token.Kind, xtQuoted);
    EXPECT_EQ(token.Text, "\"");
    token = NextToken("ab1ｱ€ c");
    EXPECT_EQ(token.Kind, xtName);
    EXPECT_EQ(token.Text, "ab1ｱ€");
    token = NextToken("日本語abc");
    EXPECT_EQ(token.Kind, xtMultiByte);
    EXPECT_EQ(token.Text, "日本語");
    token = NextToken(" \r\n\tx");
    EXPECT_EQ(token.Kind, xtSpace);
    EXPECT_EQ(token.Text, " \r\n\t");

    EXPECT_EQ(Kinds("a b=\"v\" c"), "9:a|3: |9:b|4:=|2:\"v\"|3: |9:c|");
}

TEST(Tokenizer, StripDelimiters)
{
    std::string_view s = "<a>";
    EXPECT_TRUE(StripDelimiters(s, "<", ">"));
    EXPECT_EQ(s, "a");
    s = "<a";
    EXPECT_FALSE(StripDelimiters(s, "<", ">"));
    EXPECT_EQ(s, "<a");
    s = "\"";
    EXPECT_TRUE(StripDelimiters(s, "\"", "\""));
    EXPECT_EQ(s, "");
    s = "\"\"";
    EXPECT_TRUE(StripDelimiters(s, "\"", "\""));
    EXPECT_EQ(s, "");
}

TEST(Tokenizer, ScanTokenKnowsCdataAndKeepsQuotesAsText)
{
    const std::string text = "<![CDATA[a<b]]>\"x<y>&amp;<<&z";
    EXPECT_EQ(ScanToken(text, 0).Kind, xtCDATA);
    EXPECT_EQ(ScanToken(text, 0).Length, 15u);
    EXPECT_EQ(ScanToken(text, 15).Kind, xtName);  // a double quote in content is text
    EXPECT_EQ(ScanToken(text, 15).Length, 2u);
    EXPECT_EQ(ScanToken(text, 17).Kind, xtTag);
    EXPECT_EQ(ScanToken(text, 20).Kind, xtEntity);
    // "<<&" opens nothing: one markup run, then plain text.
    EXPECT_EQ(ScanToken(text, 25).Kind, xtName);
    EXPECT_EQ(ScanToken(text, 25).Length, 3u);
    EXPECT_EQ(ScanToken(text, 28).Length, 1u);
    EXPECT_EQ(ScanToken(text, text.size()).Kind, xtNone);
    EXPECT_EQ(ScanToken("<?x?>", 0).Kind, xtInstruction);
    EXPECT_EQ(ScanToken("<!--x-->", 0).Kind, xtComment);
    EXPECT_EQ(ScanToken("<?x>", 0).Kind, xtTag);
}

TEST(Tokenizer, NameAndValueRules)
{
    EXPECT_TRUE(IsValidName("node"));
    EXPECT_TRUE(IsValidName("a-b.c:d1?!"));
    EXPECT_TRUE(IsValidName("ｱｲｳ"));
    EXPECT_FALSE(IsValidName(""));
    EXPECT_FALSE(IsValidName("a b"));
    EXPECT_FALSE(IsValidName("a="));
    EXPECT_FALSE(IsValidName("名前"));
    EXPECT_FALSE(IsValidName("a名"));
    EXPECT_FALSE(IsValidName("<a"));

    EXPECT_TRUE(IsValidAttributeValue("a>b & c &amp; \"<\" <?x?> <!--<-->"));
    EXPECT_FALSE(IsValidAttributeValue("a<b"));
    EXPECT_FALSE(IsValidAttributeValue("<b>"));
    EXPECT_TRUE(IsValidAttributeValue("日本語"));
}

namespace {

// The token rules read literally, searching the rest of the text for every closer anew.
std::size_t NaiveDelimitedEnd(std::string_view text, std::string_view opening, std::string_view closing)
{
    if (!text.starts_with(opening) || text.size() <= opening.size()) return 0;
    const std::size_t found = text.find(closing, opening.size());
    return found == std::string_view::npos ? 0 : found + closing.size();
}

TNanXMLToken NaiveNextToken(std::string_view text)
{
    if (text.empty()) return {};
    const std::pair<TNanXMLTokenKind, std::pair<const char*, const char*>> delimited[] = {
        {xtInstruction, {"<?", "?>"}}, {xtComment, {"<!--", "-->"}}, {xtTag, {"<", ">"}},
        {xtQuoted, {"\"", "\""}},      {xtEntity, {"&", ";"}},
    };
    for (const auto& [kind, delimiters] : delimited) {
        if (std::size_t end = NaiveDelimitedEnd(text, delimiters.first, delimiters.second)) {
            return {kind, text.substr(0, end)};
        }
    }
    std::size_t length = 0;
    const TNanXMLTokenKind kind = CharClassAt(text, 0, length);
    std::size_t end = length;
    while (end < text.size() && CharClassAt(text, end, length) == kind) end += length;
    return {kind, text.substr(0, end)};
}

TNanXMLScannedToken NaiveScanToken(std::string_view text)
{
    if (text.empty()) return {};
    const std::pair<TNanXMLTokenKind, std::pair<const char*, const char*>> delimited[] = {
        {xtInstruction, {"<?", "?>"}}, {xtComment, {"<!--", "-->"}}, {xtCDATA, {"<![CDATA[", "]]>"}},
        {xtTag, {"<", ">"}},           {xtEntity, {"&", ";"}},
    };
    for (const auto& [kind, delimiters] : delimited) {
        if (std::size_t end = NaiveDelimitedEnd(text, delimiters.first, delimiters.second)) return {kind, end};
    }
    const auto markup = [](char c) { return c == '<' || c == '&'; };
    std::size_t end = 1;
    while (end < text.size() && markup(text[end]) == markup(text[0])) ++end;
    return {xtName, end};
}

}  // namespace

// The readers remember where closers lie; on any text they must cut exactly where the
// literal rules cut.
TEST(Tokenizer, RememberedClosersCutLikeTheLiteralRules)
{
    const std::string alphabet[] = {"<", "?", ">", "!", "-", "\"", "&", ";", "a", " ", "=", "[", "]", "<![CDATA[", "日"};
    std::mt19937 random(12345);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int pieces = static_cast<int>(random() % 40);
        for (int i = 0; i < pieces; ++i) text += alphabet[random() % std::size(alphabet)];

        TNanXMLTokenizer tokens(text);
        std::string_view rest = text;
        while (!rest.empty()) {
            const TNanXMLToken expected = NaiveNextToken(rest);
            const TNanXMLToken actual = tokens.Next();
            ASSERT_EQ(actual.Kind, expected.Kind) << text;
            ASSERT_EQ(actual.Text, expected.Text) << text;
            rest.remove_prefix(expected.Text.size());
        }
        EXPECT_TRUE(tokens.AtEnd());

        TNanXMLScanner scanner(text);
        for (std::size_t position = 0; position < text.size();) {
            const TNanXMLScannedToken expected = NaiveScanToken(std::string_view(text).substr(position));
            const TNanXMLScannedToken actual = scanner.Scan(position);
            ASSERT_EQ(actual.Kind, expected.Kind) << text << " at " << position;
            ASSERT_EQ(actual.Length, expected.Length) << text << " at " << position;
            position += expected.Length;
        }
    }
}

// After a text token, every token up to TextRunEnd is text, and one ends there: a reader may
// take the text up to there at once.
TEST(Tokenizer, TextRunsEndWhereMarkupMayOpen)
{
    const std::string alphabet[] = {"<", "?", ">", "!", "-", "\"", "&", ";", "a", " ", "=", "[", "]", "<![CDATA[", "日"};
    std::mt19937 random(2026);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int pieces = static_cast<int>(random() % 40);
        for (int i = 0; i < pieces; ++i) text += alphabet[random() % std::size(alphabet)];
        TNanXMLScanner runs(text);
        for (std::size_t position = 0; position < text.size();) {
            const TNanXMLScannedToken token = runs.Scan(position);
            position += token.Length;
            if (token.Kind != xtName) continue;
            const std::size_t end = runs.TextRunEnd(position);
            ASSERT_GE(end, position) << text;
            while (position < end) {
                const TNanXMLScannedToken next = NaiveScanToken(std::string_view(text).substr(position));
                ASSERT_EQ(next.Kind, xtName) << text << " at " << position;
                position += next.Length;
            }
            ASSERT_EQ(position, end) << text;
        }
    }
}

// On CP932 bytes the scanner must cut where the literal rules cut the decoded text: "]]>"
// counts only where it begins a character.
TEST(Tokenizer, Cp932ScannerCutsLikeTheDecodedText)
{
    const std::string alphabet[] = {"<", ">", "]", "]]>", "&", ";", "a", "<![CDATA[", "\x81]", "\x85", "\x93\xFA", "\x81"};
    std::mt19937 random(54321);
    for (int round = 0; round < 3000; ++round) {
        std::string bytes;
        const int pieces = static_cast<int>(random() % 30);
        for (int i = 0; i < pieces; ++i) bytes += alphabet[random() % std::size(alphabet)];

        const std::string decoded = platform::DecodeCp932(bytes);
        TNanXMLScanner scanner(bytes, true);
        std::size_t decodedPosition = 0;
        for (std::size_t position = 0; position < bytes.size();) {
            const TNanXMLScannedToken actual = scanner.Scan(position);
            const TNanXMLScannedToken expected = NaiveScanToken(std::string_view(decoded).substr(decodedPosition));
            ASSERT_EQ(actual.Kind, expected.Kind) << bytes << " at " << position;
            ASSERT_EQ(platform::DecodeCp932(std::string_view(bytes).substr(position, actual.Length)),
                      decoded.substr(decodedPosition, expected.Length))
                << bytes << " at " << position;
            position += actual.Length;
            decodedPosition += expected.Length;
        }
        EXPECT_EQ(decodedPosition, decoded.size());
    }
}
