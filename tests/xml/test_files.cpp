#include "test_support.h"

#include "platform/file_io.h"

#include <sys/stat.h>

#include <string>

using namespace nanxml;
using nanxml_test::ReadBytes;
using nanxml_test::TempFolder;
using nanxml_test::Tree;
using nanxml_test::WriteBytes;

namespace {

// The document the main window writes: velmora, file, one node with a text.
void BuildDocument(TNanXML& xml)
{
    TNanXMLElement* velmora = xml.Root().AddElement("velmora");
    TNanXMLElement* file = velmora->AddElement("file");
    file->AddAttribute("version", "2");
    file->AddAttribute("modified", "2026/12/08 01:02:03");
    TNanXMLElement* node = velmora->AddElement("node");
    node->AddAttribute("name", "ルート & 'x' > y");
    node->AddAttribute("expanded", "yes");
    node->AddAttribute("selstart", "0");
    node->AddAttribute("sellength", "");
    node->AddElement("text")->AddText("a<b>&c\r\n日本\r\n");
}

}  // namespace

TEST(Writer, ShortDocumentIsWrittenByteForByte)
{
    TempFolder folder;
    TNanXML xml;
    xml.Root().AddElement("velmora");
    xml.SaveToFile(folder.File("sjis.trm"), true);
    EXPECT_EQ(ReadBytes(folder.File("sjis.trm")), "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><velmora/>\r\n");

    xml.SetEncoding(deUTF8);
    xml.SaveToFile(folder.File("utf8.trm"), true);
    EXPECT_EQ(ReadBytes(folder.File("utf8.trm")), "<?xml version=\"1.0\" encoding=\"UTF-8\"?><velmora/>");

    // The declaration does not stay in the tree: a second save writes the same.
    xml.SaveToFile(folder.File("utf8.trm"), true);
    EXPECT_EQ(ReadBytes(folder.File("utf8.trm")), "<?xml version=\"1.0\" encoding=\"UTF-8\"?><velmora/>");
    EXPECT_EQ(xml.Root().ChildCount(), 1);

    xml.SaveToFile(folder.File("bare.trm"), false);
    EXPECT_EQ(ReadBytes(folder.File("bare.trm")), "<velmora/>");
}

TEST(Writer, DocumentInBothEncodingsByteForByte)
{
    TempFolder folder;
    TNanXML xml;
    BuildDocument(xml);
    xml.SaveToFile(folder.File("sjis.trm"), true);
    EXPECT_EQ(ReadBytes(folder.File("sjis.trm")),
              "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><velmora><file version=\"2\" modified=\"2026/12/08 "
              "01:02:03\"/><node name=\"\x83\x8B\x81\x5B\x83\x67 & 'x' > y\" expanded=\"yes\" selstart=\"0\" "
              "sellength=\"\"><text>a&lt;b&gt;&amp;c\r\n\x93\xFA\x96\x7B\r\n</text></node></velmora>\r\n");

    xml.SetEncoding(deUTF8);
    xml.SaveToFile(folder.File("utf8.trm"), true);
    EXPECT_EQ(ReadBytes(folder.File("utf8.trm")),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?><velmora><file version=\"2\" modified=\"2026/12/08 "
              "01:02:03\"/><node name=\"\xE3\x83\xAB\xE3\x83\xBC\xE3\x83\x88 & 'x' > y\" expanded=\"yes\" "
              "selstart=\"0\" sellength=\"\"><text>a&lt;b&gt;&amp;c\r\n\xE6\x97\xA5\xE6\x9C\xAC\r\n</text></node>"
              "</velmora>");
}

TEST(Writer, NodeMarkup)
{
    TNanXMLParentNode root;
    TNanXMLElement* a = root.AddElement("a");
    a->AddAttribute("x", "1&2");
    a->AddAttribute("y");
    EXPECT_EQ(a->GetStartTag(), "<a x=\"1&2\" y=\"\"/>");
    EXPECT_EQ(a->GetEndTag(), "");
    a->AddComment(" c ");
    a->AddCDATA("<&>");
    auto instruction = std::make_unique<TNanXMLProcessingInstruction>();
    instruction->SetTarget("t");
    a->InsertChild(std::move(instruction), -1);
    a->AddEntityReference("nbsp");
    a->AddText("\"");
    EXPECT_EQ(a->GetStartTag(), "<a x=\"1&2\" y=\"\">");
    EXPECT_EQ(a->GetEndTag(), "</a>");
    EXPECT_EQ(a->GetInnerXML(), "<!-- c --><![CDATA[<&>]]><?t ?>&nbsp;\"");
    EXPECT_EQ(root.GetXML(), "<a x=\"1&2\" y=\"\"><!-- c --><![CDATA[<&>]]><?t ?>&nbsp;\"</a>");
    EXPECT_EQ(root.GetXML().size(), root.XMLLength());
    EXPECT_EQ(root.GetStartTag(), "");
    EXPECT_EQ(root.GetInnerXML(), root.GetXML());
    EXPECT_EQ(TNanXMLParentNode().GetInnerXML(), "");
}

TEST(Writer, LineBreaksNulsAndUnmappableCharacters)
{
    TempFolder folder;
    TNanXML xml;
    TNanXMLElement* a = xml.Root().AddElement("a");
    a->AddText(std::string("1\n2\r3\0after\r\n", 13));
    xml.SaveToFile(folder.File("sjis"), false);
    EXPECT_EQ(ReadBytes(folder.File("sjis")), "<a>1\r\n2\r\n3after\r\n</a>\r\n");
    xml.SetEncoding(deUTF8);
    xml.SaveToFile(folder.File("utf8"), false);
    EXPECT_EQ(ReadBytes(folder.File("utf8")), "<a>1\n2\r3after\r\n</a>");

    TNanXML euro;
    euro.Root().AddElement("e")->AddText("€1 😀 ｱ 〜");
    EXPECT_EQ(euro.CountUnmappable(), 2u);
    euro.SaveToFile(folder.File("euro-sjis"), false);
    EXPECT_EQ(ReadBytes(folder.File("euro-sjis")), "<e>?1 ? \xB1 \x81\x60</e>\r\n");
    euro.SetEncoding(deUTF8);
    euro.SaveToFile(folder.File("euro-utf8"), false);
    EXPECT_EQ(ReadBytes(folder.File("euro-utf8")), "<e>€1 😀 ｱ 〜</e>");

    TNanXML empty;
    empty.SaveToFile(folder.File("empty"), false);
    EXPECT_EQ(ReadBytes(folder.File("empty")), "");
    EXPECT_EQ(empty.CountUnmappable(), 0u);
}

TEST(Writer, FailedSaveLeavesTheOldFile)
{
    TempFolder folder;
    const std::string path = folder.File("locked.trm");
    WriteBytes(path, "old contents");
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    TNanXML xml;
    xml.Root().AddElement("new");
    try {
        xml.SaveToFile(path, true);
        FAIL() << "no exception";
    } catch (const platform::FileError& e) {
        EXPECT_EQ(std::string(e.what()), "ファイル " + path + " を作成できません");
    }
    EXPECT_EQ(ReadBytes(path), "old contents");
}

TEST(Reader, LoadFromFileNormalisesLinesAndDropsNuls)
{
    TempFolder folder;
    const std::string path = folder.File("in.trm");
    TNanXML xml;

    WriteBytes(path, "<a>1\n2\r3\r\n4</a>");
    xml.LoadFromFile(path);
    EXPECT_EQ(Tree(xml.Root()), "a['1\r\n2\r\n3\r\n4']'\r\n'");

    WriteBytes(path, "<a>x</a>\r\n");
    xml.LoadFromFile(path);
    EXPECT_EQ(Tree(xml.Root()), "a['x']'\r\n'");

    WriteBytes(path, "<a/>");
    xml.LoadFromFile(path);
    EXPECT_EQ(Tree(xml.Root()), "a[]'\r\n'");

    WriteBytes(path, std::string("<a>x\0y</a>\0z", 12));
    xml.LoadFromFile(path);
    EXPECT_EQ(Tree(xml.Root()), "a['xy']'z\r\n'");

    WriteBytes(path, "");
    xml.LoadFromFile(path);
    EXPECT_EQ(xml.Root().ChildCount(), 0);
}

// A file is read from a buffer whose pages are given back as the reader passes them: texts,
// tags and sections that straddle those points, and a text gathered from many tokens over
// megabytes, must come out as from a string that is never released.
TEST(Reader, LargeFileReadsAsTheSameStringDoes)
{
    TempFolder folder;
    const std::string path = folder.File("large.trm");
    std::string body = "<velmora>";
    for (int i = 0; body.size() < (3u << 20); ++i) {
        body += "<node name=\"n" + std::to_string(i) + "\" a=\"" + std::string(i % 5000, 'v') + "\"><text>";
        body += std::string(i % 9000, 'x') + "あいう &amp; <![CDATA[" + std::string(i % 3000, 'c') + "]]>\r\n</text></node>";
    }
    // No ";" follows: every "&" is plain text, and the text is made of a million tokens.
    std::string gathered;
    for (int i = 0; gathered.size() < (3u << 20); ++i) gathered += "x & y\r\n";
    body += "<last>" + gathered + "</last></velmora>\r\n";
    for (const char* declaration : {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>", ""}) {
        const std::string bytes = std::string(declaration) + body;
        TNanXML expected;
        expected.LoadFromString(bytes);
        ASSERT_GT(expected.Root().ChildCount(), 0);
        TNanXML xml;
        WriteBytes(path, bytes);
        xml.LoadFromFile(path);
        EXPECT_TRUE(Tree(xml.Root()) == Tree(expected.Root())) << declaration;
        // Lone line breaks: the lines are normalised into a buffer of their own first.
        WriteBytes(path, bytes + "\n");
        xml.LoadFromFile(path);
        expected.LoadFromString(bytes + "\r\n");
        EXPECT_TRUE(Tree(xml.Root()) == Tree(expected.Root())) << declaration;
    }
}

TEST(Reader, UnreadableFileLeavesTheDocument)
{
    TempFolder folder;
    const std::string path = folder.File("missing.trm");
    TNanXML xml;
    xml.Root().AddElement("kept");
    try {
        xml.LoadFromFile(path);
        FAIL() << "no exception";
    } catch (const platform::FileError& e) {
        EXPECT_EQ(std::string(e.what()), "ファイル " + path + " は開けません");
    }
    EXPECT_EQ(Tree(xml.Root()), "kept[]");
}

TEST(Reader, MalformedUtf8InAFileNamesTheFileOffset)
{
    TempFolder folder;
    const std::string path = folder.File("bad.trm");
    const std::string declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
    // LF-only lines: the offset is the file's, not that of the text with CR LF.
    WriteBytes(path, declaration + "\n<a>\n\n\xE3\x81</a>\n");
    TNanXML xml;
    try {
        xml.LoadFromFile(path);
        FAIL() << "no exception";
    } catch (const ENanXMLException& e) {
        EXPECT_EQ(std::string(e.what()), "ファイル " + path + " に UTF-8 として正しくないバイト列があります (オフセット " +
                                             std::to_string(declaration.size() + 6) + ")");
    }
    EXPECT_EQ(xml.Root().ChildCount(), 0);
}

TEST(Files, RoundTripsInBothEncodings)
{
    const std::string texts[] = {
        "plain",
        "<tag> & &amp; \"quoted\" 'single' > <",
        "\"unpaired quote",
        "日本語のテキスト\r\nと ASCII\r\n",
        "line1\r\nline2\r\n\r\n",
        "ｱｲｳ half-width ＡＢＣ full-width",
        "",
    };
    for (const TDocumentEncoding encoding : {deShiftJIS, deUTF8}) {
        TempFolder folder;
        const std::string path = folder.File("round.trm");
        TNanXML out;
        out.SetEncoding(encoding);
        TNanXMLElement* velmora = out.Root().AddElement("velmora");
        for (const std::string& text : texts) {
            TNanXMLElement* node = velmora->AddElement("node");
            node->AddAttribute("name", "名前 & '");
            node->AddElement("text")->AddText(text);
        }
        out.SaveToFile(path, true);

        TNanXML in;
        in.SetEncoding(encoding == deUTF8 ? deShiftJIS : deUTF8);
        in.LoadFromFile(path);
        EXPECT_EQ(in.Encoding(), encoding);
        const TNanXMLElement* velmoraIn = in.Root().FindElement("velmora");
        ASSERT_NE(velmoraIn, nullptr);
        const TNanXMLElement* node = velmoraIn->FindElement("node");
        for (const std::string& text : texts) {
            ASSERT_NE(node, nullptr);
            EXPECT_EQ(node->GetAttribute("name"), "名前 & '");
            EXPECT_EQ(GetChildText(*node, "text", "(none)"), text) << encoding;
            node = node->NextSibling("node");
        }
        EXPECT_EQ(node, nullptr);
    }
}

TEST(Files, LoneLineBreaksComeBackAsCrLf)
{
    for (const TDocumentEncoding encoding : {deShiftJIS, deUTF8}) {
        TempFolder folder;
        TNanXML out;
        out.SetEncoding(encoding);
        out.Root().AddElement("t")->AddText("a\nb\rc");
        out.SaveToFile(folder.File("f"), true);
        TNanXML in;
        in.LoadFromFile(folder.File("f"));
        EXPECT_EQ(GetChildText(in.Root(), "t", ""), "a\r\nb\r\nc");
    }
}
