// The streaming writer against the tree writer: the same document built as a tree and saved
// with SaveToFile, or fed element by element, must give the same bytes in both encodings,
// also where pieces of the output meet inside a character or between a CR and its LF.
#include "test_support.h"

#include "platform/codepage.h"
#include "xml/line_breaks.h"
#include "xml/markup_file.h"
#include "xml/stream_writer.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <set>
#include <stdexcept>
#include <vector>

namespace nanxml_test {
namespace {

using nanxml::TCrLfLines;
using nanxml::TMarkupFile;
using nanxml::TNanXML;
using nanxml::TNanXMLElement;
using nanxml::TNanXMLParentNode;
using nanxml::TNanXMLStreamWriter;

// One document described once and built both ways.
struct Element {
    std::string name;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::vector<std::string> texts;  // added in turn, before the children
    std::vector<Element> children;
};

void Build(TNanXMLParentNode& parent, const Element& element)
{
    TNanXMLElement& node = *parent.AddElement(element.name);
    for (const auto& [name, value] : element.attributes) node.AddAttribute(name, value);
    for (const std::string& text : element.texts) node.AddText(text);
    for (const Element& child : element.children) Build(node, child);
}

void Stream(TNanXMLStreamWriter& xml, const Element& element)
{
    xml.StartElement(element.name);
    for (const auto& [name, value] : element.attributes) xml.AddAttribute(name, value);
    for (const std::string& text : element.texts) xml.AddText(text);
    for (const Element& child : element.children) Stream(xml, child);
    xml.EndElement();
}

std::string SavedFromTree(const TempFolder& folder, const Element& top, nanxml::TDocumentEncoding encoding,
                          bool declaration)
{
    TNanXML xml;
    Build(xml.Root(), top);
    xml.SetEncoding(encoding);
    xml.SaveToFile(folder.File("tree.xml"), declaration);
    return ReadBytes(folder.File("tree.xml"));
}

// The file as it is defined: the whole markup at once, then encoded and its lines and NULs
// dealt with.
std::string Reference(const Element& top, nanxml::TDocumentEncoding encoding, bool declaration)
{
    TNanXML xml;
    Build(xml.Root(), top);
    std::string markup;
    if (declaration) {
        markup = std::string("<?xml version=\"1.0\" encoding=\"") + (encoding == nanxml::deUTF8 ? "UTF-8" : "Shift_JIS") +
                 "\"?>";
    }
    markup += xml.Root().GetInnerXML();
    if (encoding == nanxml::deShiftJIS) return nanxml::NormalisedLines(platform::EncodeCp932(markup).bytes);
    nanxml::RemoveNuls(markup);
    return markup;
}

std::string Streamed(const TempFolder& folder, const Element& top, nanxml::TDocumentEncoding encoding,
                     bool declaration)
{
    TNanXMLStreamWriter xml(folder.File("stream.xml"), encoding, declaration);
    Stream(xml, top);
    xml.Commit();
    return ReadBytes(folder.File("stream.xml"));
}

// A text of about length bytes whose line breaks, NULs and characters fall at every offset
// within a piece in turn, so that piece boundaries meet each of them somewhere.
std::string Tricky(std::size_t length)
{
    static const std::vector<std::string> parts = {"日本語", "\r", "\n", "\r\n", std::string(1, '\0'),
                                                     "a",    "<b>", "&", "é🎌", "\r" + std::string(1, '\0') + "\n",
                                                     "\t",   "ｶﾅ", "x y"};
    std::string text;
    for (std::size_t i = 0; text.size() < length; ++i) text += parts[(i * 7 + i / parts.size()) % parts.size()];
    return text;
}

// Where two files first differ, or -1 when they are equal: large files are compared without
// printing them whole.
long FirstDifference(const std::string& a, const std::string& b)
{
    const auto [inA, inB] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
    return inA == a.end() && inB == b.end() ? -1 : inA - a.begin();
}

std::vector<Element> Documents()
{
    Element small{"velmora", {}, {}, {{"file", {{"version", "2"}, {"modified", "2026/01/01 00:00:00"}}, {}, {}}}};
    small.children.push_back({"node",
                              {{"name", "ルート &lt; x"}, {"expanded", "yes"}, {"selstart", "0"}},
                              {},
                              {{"text", {}, {}, {}}, {"text", {}, {"a < b & c > d\r\nline 2\n\rline 3"}, {}}}});
    Element mixed{"root", {{"a", "1"}}, {"before ", "", "and after"}, {}};
    mixed.children.push_back({"empty", {}, {""}, {}});
    mixed.children.push_back({"deep", {}, {}, {{"deeper", {}, {"\r"}, {{"deepest", {}, {"\n"}, {}}}}}});
    // Long texts: the output is cut into pieces inside them, at many kinds of bytes.
    Element large{"big", {}, {}, {}};
    for (std::size_t length : {TMarkupFile::kPiece - 5, TMarkupFile::kPiece + 1, 3 * TMarkupFile::kPiece + 17}) {
        large.children.push_back({"t", {{"n", std::to_string(length)}}, {Tricky(length)}, {}});
        large.children.push_back({"u", {}, {std::string(length % 13, '\r') + "é", Tricky(length / 3)}, {}});
    }
    // Texts of two-, three- and four-byte characters alone, longer than a piece: the output
    // is cut inside a character.
    for (const std::string character : {"é", "語", "🎌"}) {
        std::string text;
        while (text.size() < TMarkupFile::kPiece + 9) text += character;
        large.children.push_back({"m", {}, {text}, {}});
    }
    return {small, mixed, large, {"lone", {}, {}, {}}, {"crlf", {}, {"no break at the end"}, {}}};
}

TEST(StreamWriter, GivesTheBytesOfTheTreeWriterInBothEncodings)
{
    TempFolder folder;
    for (const Element& document : Documents()) {
        for (const auto encoding : {nanxml::deShiftJIS, nanxml::deUTF8}) {
            for (const bool declaration : {true, false}) {
                SCOPED_TRACE(document.name + (encoding == nanxml::deUTF8 ? " UTF-8" : " Shift_JIS") +
                             (declaration ? " with declaration" : ""));
                const std::string expected = SavedFromTree(folder, document, encoding, declaration);
                ASSERT_EQ(FirstDifference(expected, Reference(document, encoding, declaration)), -1);
                EXPECT_EQ(FirstDifference(Streamed(folder, document, encoding, declaration), expected), -1);
            }
        }
    }
    // And the bytes are what they should be, not merely equal.
    const Element one{"a", {{"k", "v"}}, {std::string("x\r\ny\0z\n", 7)}, {}};
    EXPECT_EQ(Streamed(folder, one, nanxml::deShiftJIS, false), "<a k=\"v\">x\r\nyz\r\n</a>\r\n");
    EXPECT_EQ(Streamed(folder, one, nanxml::deUTF8, false), "<a k=\"v\">x\r\nyz\n</a>");
}

TEST(StreamWriter, CountsWhatShiftJisCannotHoldAndFinishWithoutCommitLeavesTheFile)
{
    TempFolder folder;
    const std::string path = folder.File("doc.xml");
    WriteBytes(path, "old");
    Element document{"r", {{"name", "🎌 é"}}, {"ｶﾅ 日本語 ☃ " + Tricky(2 * TMarkupFile::kPiece)}, {}};
    TNanXML tree;
    Build(tree.Root(), document);
    {
        TNanXMLStreamWriter xml(path, nanxml::deShiftJIS, true);
        Stream(xml, document);
        xml.Finish();
        EXPECT_EQ(xml.Unmappable(), tree.CountUnmappable());
        EXPECT_GT(xml.Unmappable(), 2u);
    }
    EXPECT_EQ(ReadBytes(path), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.File("")), {}), 1);
    {
        TNanXMLStreamWriter xml(path, nanxml::deUTF8, true);
        Stream(xml, document);
        xml.Finish();
        EXPECT_EQ(xml.Unmappable(), 0u);
    }
}

TEST(StreamWriter, RefusesWhatTheTreeRefusesAndLeavesTheFile)
{
    TempFolder folder;
    const std::string path = folder.File("doc.xml");
    WriteBytes(path, "old");
    const auto message = [&](const std::function<void(TNanXMLStreamWriter&)>& step) {
        try {
            TNanXMLStreamWriter xml(path, nanxml::deUTF8, true);
            xml.StartElement("a");
            step(xml);
            xml.Commit();
        } catch (const nanxml::ENanXMLInvalidStringException& error) {
            return std::string(error.what());
        }
        return std::string("saved");
    };
    EXPECT_EQ(message([](TNanXMLStreamWriter& xml) { xml.StartElement("a b"); }), "名前が不正です\ra b");
    EXPECT_EQ(message([](TNanXMLStreamWriter& xml) { xml.AddAttribute("a b", "v"); }), "属性名が不正です\ra b");
    EXPECT_EQ(message([](TNanXMLStreamWriter& xml) { xml.AddAttribute("k", "say \"hi\""); }),
              "値が不正です\rsay \"hi\"");
    EXPECT_EQ(message([](TNanXMLStreamWriter& xml) { xml.AddAttribute("k", "<tag>"); }), "値が不正です\r<tag>");
    EXPECT_EQ(ReadBytes(path), "old");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.File("")), {}), 1);
    // Misuse is refused rather than written as broken markup.
    const auto misuse = [&](const std::function<void(TNanXMLStreamWriter&)>& step) {
        TNanXMLStreamWriter xml(path, nanxml::deUTF8, true);
        xml.StartElement("a");
        xml.AddText("text");
        EXPECT_THROW(step(xml), std::logic_error);
    };
    misuse([](TNanXMLStreamWriter& xml) { xml.AddAttribute("late", "1"); });
    misuse([](TNanXMLStreamWriter& xml) {
        xml.EndElement();
        xml.EndElement();
    });
    EXPECT_EQ(ReadBytes(path), "old");
    // After Finish the file is complete: anything more is refused, not silently dropped.
    for (const auto& late : std::vector<std::function<void(TNanXMLStreamWriter&)>>{
             [](TNanXMLStreamWriter& xml) { xml.StartElement("late"); },
             [](TNanXMLStreamWriter& xml) { xml.AddAttribute("late", "1"); },
             [](TNanXMLStreamWriter& xml) { xml.AddText("late"); }, [](TNanXMLStreamWriter& xml) { xml.EndElement(); }}) {
        TNanXMLStreamWriter xml(path, nanxml::deUTF8, false);
        xml.StartElement("a");
        xml.Finish();
        EXPECT_THROW(late(xml), std::logic_error);
        xml.Commit();
        EXPECT_EQ(ReadBytes(path), "<a/>");
    }
    // Elements left open are closed by the commit.
    EXPECT_EQ(message([](TNanXMLStreamWriter& xml) { xml.StartElement("b"); }), "saved");
    EXPECT_EQ(ReadBytes(path), "<?xml version=\"1.0\" encoding=\"UTF-8\"?><a><b/></a>");
}

// The rule written out plainly: NULs dropped, then every CR LF, lone CR and lone LF one CR
// LF, and CR LF after an unended last line.
std::string LiterallyNormalised(std::string_view text)
{
    std::string withoutNuls(text);
    std::erase(withoutNuls, '\0');
    std::string lines;
    for (std::size_t i = 0; i < withoutNuls.size(); ++i) {
        const char c = withoutNuls[i];
        if (c != '\r' && c != '\n') {
            lines += c;
            continue;
        }
        if (c == '\r' && i + 1 < withoutNuls.size() && withoutNuls[i + 1] == '\n') ++i;
        lines += "\r\n";
    }
    if (!lines.empty() && !lines.ends_with("\r\n")) lines += "\r\n";
    return lines;
}

TEST(CrLfLines, PiecesSplitAnywhereGiveTheLinesOfTheWhole)
{
    const std::string texts[] = {std::string("a\r\nb\rc\nd\r\r\n\n\0\r\0\ne\r", 18), "\r\n", "\n\r", "abc",
                                 std::string("\0\0", 2), "", "x\r", "12345678\r\n12345678\n\t\t\t\t\t\t\t\t\r", "line one\r\nline two\r\nthree"};
    for (const std::string& text : texts) {
        const std::string expected = LiterallyNormalised(text);
        ASSERT_EQ(nanxml::NormalisedLines(text), expected);
        for (std::size_t first = 0; first <= text.size(); ++first) {
            for (std::size_t second = first; second <= text.size(); ++second) {
                TCrLfLines lines;
                std::string room;
                std::string out(lines.Normalise(std::string_view(text).substr(0, first), room));
                out += lines.Normalise(std::string_view(text).substr(first, second - first), room);
                out += lines.Normalise(std::string_view(text).substr(second), room);
                out += lines.Ending();
                ASSERT_EQ(out, expected) << "text " << testing::PrintToString(text) << " cut at " << first << ", "
                                         << second;
            }
        }
    }
    // Long texts are normalised in pieces of their own, which meet at every kind of byte.
    for (std::size_t length : {TMarkupFile::kPiece + 1, 5 * TMarkupFile::kPiece + 3}) {
        const std::string text = Tricky(length);
        ASSERT_EQ(FirstDifference(nanxml::NormalisedLines(text), LiterallyNormalised(text)), -1) << length;
    }
}

}  // namespace
}  // namespace nanxml_test
