// OpenDocument reads files of the usual shape without the XML node tree (TrmStreamReader):
// for every file it must give exactly what the node tree gives, and for the usual ones it
// must not need the node tree.
#include "document/TrmFormat.h"
#include "document/TrmStreamReader.h"
#include "tests/support/file_bytes.h"
#include "tests/support/opened_dump.h"
#include "xml/file_text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace document;
using nanxml::TDocumentEncoding;

namespace {

const std::string kDeclSjis = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>";
const std::string kDeclUtf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
const std::string kFile = "<file version=\"2\" modified=\"2024/01/02 03:04:05\"/>";
const std::string kNihonSjis = "\x93\xFA\x96\x7B";  // 日本

template <class Read>
std::string Outcome(Read&& read) {
    try {
        return DumpOpened(read());
    } catch (const std::exception& e) {
        return std::string("refused: ") + e.what();
    }
}

std::string ThroughNodeTree(const std::string& path) {
    return Outcome([&] {
        nanxml::TNanXML xml;
        xml.LoadFromFile(path);
        return LoadDocument(xml, path);
    });
}

bool ReadWithoutNodeTree(const std::string& path) {
    nanxml::TNanXMLFileText text(path);
    try {
        text.CheckUtf8();
    } catch (const nanxml::ENanXMLException&) {
        return false;  // refused before any reader starts
    }
    return ReadUsualDocument(text.Body(), text.Cp932(), text.Declared().value_or(TDocumentEncoding::deShiftJIS))
        .has_value();
}

// OpenDocument on bytes gives what the node tree gives; usual says whether it needed no tree.
void ExpectSameReading(const std::string& bytes, bool usual) {
    TempFolder folder;
    const std::string path = folder / "doc.trm";
    WriteBytes(path, bytes);
    EXPECT_EQ(Outcome([&] { return OpenDocument(path); }), ThroughNodeTree(path)) << bytes;
    EXPECT_EQ(ReadWithoutNodeTree(path), usual) << bytes;
}

std::string Node(const std::string& attributes, const std::string& inside) {
    return "<node " + attributes + ">" + inside + "</node>";
}

std::string Document(const std::string& declaration, const std::string& root) {
    return declaration + "<velmora>" + kFile + root + "</velmora>";
}

const std::string kUsualRoot =
    Node("name=\"root &amp; &lt;r&gt;\" expanded=\"yes\" selstart=\"1\" sellength=\"2\"",
         "<text>line&amp;one\r\n&lt;two&gt; &quot;&nbsp;&unknown;end\r\n</text>" +
             Node("name=\"a\" expanded=\"yes\" selstart=\"+3\" sellength=\"x\" other=\"o\"",
                  "<text/><node name=\"b\" expanded=\"yes\" selstart=\"0\" sellength=\"0\" selected=\"yes\"/>") +
             Node("name=\"c\" expanded=\"no\" selected=\"\"", "<text>c</text>") +
             Node("name=\"d\" expanded=\"no\" selected=\"yes\"", "<text>d\n</text>"));

TEST(TrmStreamReader, ReadsTheUsualShapeAsTheNodeTreeDoes) {
    ExpectSameReading(Document(kDeclUtf8, kUsualRoot), true);
    ExpectSameReading(Document(kDeclSjis, kUsualRoot), true);
    ExpectSameReading(Document("", kUsualRoot), true);
    ExpectSameReading("\xEF\xBB\xBF" + Document("", kUsualRoot), true);
    ExpectSameReading(Document(kDeclSjis, Node("name=\"" + kNihonSjis + "\"", "<text>" + kNihonSjis + "&lt;\x83\r\n\x83</text>")),
                      true);
    ExpectSameReading(Document(kDeclUtf8, "<node name=\"only\"/>"), true);
    ExpectSameReading(Document(kDeclUtf8, ""), true);
    // Text outside the text elements is no part of the document; line breaks of any kind.
    ExpectSameReading(kDeclUtf8 + "\n<velmora>\n  " + kFile + "\n  " + kUsualRoot + "\r</velmora>\n\n", true);
    ExpectSameReading(kDeclUtf8 + "<velmora>&amp;x<node>y&lt;<text>z</text>w</node></velmora>", true);
}

TEST(TrmStreamReader, LeavesEveryOtherShapeToTheNodeTree) {
    const std::string root = "<node name=\"r\" expanded=\"yes\">";
    for (const std::string& body : {
             root + "<text>a<!-- c -->b</text></node>",
             root + "<text><![CDATA[<x>]]></text></node>",
             root + "<text>a</text><text>b</text></node>",
             root + "<text>a<b>c</b></text></node>",
             root + "<NODE name=\"x\"/></node>",
             root + "<node Name=\"x\"/></node>",
             root + "<node name=\"x\" name=\"y\"/></node>",
             root + "<node name=\"x\"  expanded=\"yes\"/></node>",
             root + "<node name=\"<x\"/></node>",
             root + "<node name='x'/></node>",
             root + "<node name=\"x\" /></node>",
             root + "<other><node name=\"x\"/></other></node>",
             root + "<text>a</node>",
             root + "<node name=\"x\"></node >",
             root + "<?pi x?></node>",
             root + "</node><node name=\"second\"/>",
             root + "<node name=\"unclosed\">",
             root + "</node></velmora><velmora>",
             root + "</NODE>",
             root + "<text>a</TEXT></node>",
             "<file/>" + root + "<file></file></node>",
         }) {
        ExpectSameReading(kDeclUtf8 + "<velmora>" + body + "</velmora>", false);
        ExpectSameReading(kDeclSjis + "<velmora>" + body + "</velmora>", false);
    }
    ExpectSameReading(kDeclUtf8 + "<velmora>" + root + "</node>", false);
    ExpectSameReading(kDeclUtf8 + "<x/><velmora>" + root + "</node></velmora>", false);
    ExpectSameReading(kDeclUtf8 + "<velmora>" + root + "</node></velmora><x/>", false);
    ExpectSameReading(kDeclUtf8 + "<velmora a=\"b\">" + root + "</node></velmora>", false);
    ExpectSameReading(kDeclUtf8 + root + "</node>", false);  // version 1
    ExpectSameReading(kDeclUtf8 + "  \r\n", false);
    ExpectSameReading(kDeclUtf8 + "<velmora>" + root + "\xFF</node></velmora>", false);
}

// A large tree as the program writes it, in both encodings.
TEST(TrmStreamReader, ReadsWhatWriteDocumentWrote) {
    DocumentTree tree;
    TreeNode* parent = &tree.Root();
    TreeNode* selected = nullptr;
    for (int i = 0; i < 300; ++i) {
        TreeNode& node = tree.AppendNode(*parent, "名前 " + std::to_string(i) + (i % 7 == 0 ? " <&>\"&amp;" : ""));
        node.Data().SetText(i % 5 == 0 ? "" : "text & <markup>\r\n日本語 " + std::to_string(i) + "\r\n");
        node.Data().SelStart = i;
        node.Data().SelLength = -i;
        if (i % 3 == 0) parent = &node;
        if (i % 11 == 10) parent = parent->Parent() ? parent->Parent() : parent;
        node.SetExpanded(i % 2 == 0);
        if (i == 150) selected = &node;
    }
    for (TDocumentEncoding encoding : {TDocumentEncoding::deUTF8, TDocumentEncoding::deShiftJIS}) {
        TempFolder folder;
        const std::string path = folder / "doc.trm";
        WriteDocument(path, tree, selected, encoding);
        ExpectSameReading(ReadBytes(path), true);
    }
}

}  // namespace
