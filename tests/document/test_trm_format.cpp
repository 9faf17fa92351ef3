#include "document/TrmFormat.h"
#include "document/TreeRules.h"
#include "platform/file_io.h"
#include "tests/support/file_bytes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using namespace document;
using nanxml::TDocumentEncoding;

namespace {

const std::string kRootSjis = "\x83\x8B\x81\x5B\x83\x67";  // ルート
const std::string kNihonSjis = "\x93\xFA\x96\x7B";         // 日本
const std::string kDeclSjis = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>";
const std::string kDeclUtf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
const std::string kFile = "<file version=\"2\" modified=\"2024/01/02 03:04:05\"/>";

std::tm Stamp() {
    std::tm t{};
    t.tm_year = 124;
    t.tm_mon = 0;
    t.tm_mday = 2;
    t.tm_hour = 3;
    t.tm_min = 4;
    t.tm_sec = 5;
    return t;
}

std::string Attrs(const std::string& name, const char* expanded, int selStart = 0, int selLength = 0) {
    return "name=\"" + name + "\" expanded=\"" + expanded + "\" selstart=\"" + std::to_string(selStart) +
           "\" sellength=\"" + std::to_string(selLength) + "\"";
}

TEST(TrmWrite, NewDocumentSavedAtOnceInBothEncodings) {
    TempFolder folder;
    DocumentTree tree;
    WriteDocument(folder.File("sjis.trm"), tree, &tree.Root(), TDocumentEncoding::deShiftJIS, Stamp());
    EXPECT_EQ(ReadBytes(folder.File("sjis.trm")),
              kDeclSjis + "<velmora>" + kFile + "<node " + Attrs(kRootSjis, "no") +
                  " selected=\"yes\"><text/></node></velmora>\r\n");

    WriteDocument(folder.File("utf8.trm"), tree, &tree.Root(), TDocumentEncoding::deUTF8, Stamp());
    EXPECT_EQ(ReadBytes(folder.File("utf8.trm")),
              kDeclUtf8 + "<velmora>" + kFile + "<node " + Attrs("ルート", "no") +
                  " selected=\"yes\"><text/></node></velmora>");
}

// root (expanded)
//   a<b>"c"&amp;   text with markup characters and all three breaks
//   日本 (collapsed)
//     leaf (selected)  text starting with an unpaired double quote
struct Sample {
    DocumentTree tree;
    TreeNode& markup = tree.AppendNode(tree.Root(), "a<b>\"c\"&amp;");
    TreeNode& nihon = tree.AppendNode(tree.Root(), "日本");
    TreeNode& leaf = tree.AppendNode(nihon, "leaf");
    Sample() {
        tree.Root().SetExpanded(true);
        markup.Data().SetText("x<y&z>w\r\nsecond\rthird\n");
        markup.Data().SelStart = 3;
        markup.Data().SelLength = -2;
        leaf.Data().SetText("\"quoted");
        leaf.Data().SelStart = 7;
    }
};

std::string SampleBody(const std::string& nihon, const char* nihonExpanded) {
    return "<velmora>" + kFile + "<node " + Attrs(nihon == kNihonSjis ? kRootSjis : "ルート", "yes") +
           "><text/><node " + Attrs("a&lt;b&gt;&quot;c&quot;&amp;amp;", "no", 3, -2) +
           "><text>x&lt;y&amp;z&gt;w\r\nsecond\r\nthird\r\n</text></node><node " + Attrs(nihon, nihonExpanded) +
           "><text/><node " + Attrs("leaf", "no", 7) + " selected=\"yes\"><text>\"quoted\r\n</text></node></node></node></velmora>";
}

TEST(TrmWrite, MarkupInTextsAndNamesAndLineBreaks) {
    TempFolder folder;
    Sample s;
    WriteDocument(folder.File("s.trm"), s.tree, &s.leaf, TDocumentEncoding::deShiftJIS, Stamp());
    EXPECT_EQ(ReadBytes(folder.File("s.trm")), kDeclSjis + SampleBody(kNihonSjis, "no") + "\r\n");
    WriteDocument(folder.File("u.trm"), s.tree, &s.leaf, TDocumentEncoding::deUTF8, Stamp());
    EXPECT_EQ(ReadBytes(folder.File("u.trm")), kDeclUtf8 + SampleBody("日本", "no"));
}

TEST(TrmRead, SampleReadsBackWithTheSelectedNodeVisible) {
    TempFolder folder;
    for (TDocumentEncoding encoding : {TDocumentEncoding::deShiftJIS, TDocumentEncoding::deUTF8}) {
        Sample s;
        const std::string path = folder.File("s.trm");
        WriteDocument(path, s.tree, &s.leaf, encoding, Stamp());
        OpenedDocument doc = OpenDocument(path);
        EXPECT_EQ(doc.encoding, encoding);
        const TreeNode& root = doc.tree.Root();
        ASSERT_EQ(root.ChildCount(), 2u);
        const TreeNode& markup = *root.Child(0);
        EXPECT_EQ(markup.Name(), "a<b>\"c\"&amp;");
        EXPECT_EQ(markup.Data().Lines(), (std::vector<std::string>{"x<y&z>w", "second", "third"}));
        EXPECT_EQ(markup.Data().SelStart, 3);
        EXPECT_EQ(markup.Data().SelLength, -2);
        const TreeNode& nihon = *root.Child(1);
        EXPECT_EQ(nihon.Name(), "日本");
        ASSERT_EQ(nihon.ChildCount(), 1u);
        EXPECT_EQ(doc.selected, nihon.Child(0));
        EXPECT_EQ(doc.selected->Data().Text(), "\"quoted\r\n");
        // Saved collapsed, but an ancestor of the selected node: opened.
        EXPECT_TRUE(nihon.Expanded());

        WriteDocument(path, doc.tree, doc.selected, doc.encoding, Stamp());
        const bool sjis = encoding == TDocumentEncoding::deShiftJIS;
        EXPECT_EQ(ReadBytes(path), sjis ? kDeclSjis + SampleBody(kNihonSjis, "yes") + "\r\n"
                                        : kDeclUtf8 + SampleBody("日本", "yes"));
    }
}

TEST(TrmRead, VersionOneFollowsTheActiveNodeChainAndIsWrittenAsVersionTwo) {
    TempFolder folder;
    const std::string path = folder.File("v1.trm");
    WriteBytes(path,
               kDeclSjis + "\r\n"
               "<node name=\"v1root\" activenodeindex=\"1\" selstart=\"2\" sellength=\"1\"><text>root text</text>\r\n"
               "  <node name=\"first\" activenodeindex=\"5\"><text/></node>\r\n"
               "  <node name=\"second\" activenodeindex=\"0\" selected=\"yes\" expanded=\"no\"><text>two</text>\r\n"
               "    <node name=\"target\" activenodeindex=\"0\"><text/></node>\r\n"
               "    <node name=\"other\" selected=\"yes\"/>\r\n"
               "  </node>\r\n"
               "</node>\r\n");
    OpenedDocument doc = OpenDocument(path);
    EXPECT_EQ(doc.encoding, TDocumentEncoding::deShiftJIS);
    ASSERT_NE(doc.selected, nullptr);
    EXPECT_EQ(doc.selected->Name(), "target");
    EXPECT_TRUE(doc.tree.Root().Expanded());
    EXPECT_TRUE(doc.tree.Root().Child(1)->Expanded());

    WriteDocument(path, doc.tree, doc.selected, doc.encoding, Stamp());
    EXPECT_EQ(ReadBytes(path),
              kDeclSjis + "<velmora>" + kFile + "<node " + Attrs("v1root", "yes", 2, 1) +
                  "><text>root text\r\n</text><node " + Attrs("first", "no") + "><text/></node><node " +
                  Attrs("second", "yes") + "><text>two\r\n</text><node " + Attrs("target", "no") +
                  " selected=\"yes\"><text/></node><node " + Attrs("other", "no") +
                  "><text/></node></node></node></velmora>\r\n");
}

TEST(TrmRead, VersionOneChainStopsAtAMissingChildOrBadIndex) {
    TempFolder folder;
    const std::string path = folder.File("v1.trm");
    WriteBytes(path, "<node name=\"r\" activenodeindex=\"0\"><node name=\"a\" activenodeindex=\"3\"><node name=\"a0\"/></node></node>");
    EXPECT_EQ(OpenDocument(path).selected->Name(), "a");
    WriteBytes(path, "<node name=\"r\" activenodeindex=\"x\"><node name=\"a\"/></node>");
    EXPECT_TRUE(OpenDocument(path).selected->IsRoot());
    WriteBytes(path, "<node name=\"r\" activenodeindex=\"-1\"><node name=\"a\"/></node>");
    EXPECT_TRUE(OpenDocument(path).selected->IsRoot());
}

TEST(TrmRead, LaterSelectedWinsAndTheRootsOwnIsNotConsulted) {
    TempFolder folder;
    const std::string path = folder.File("two.trm");
    WriteBytes(path,
               "<velmora><node name=\"r\" selected=\"yes\" expanded=\"yes\">"
               "<node name=\"a\" selected=\"yes\"><node name=\"a1\" selected=\"\"/></node>"
               "<node name=\"b\" selected=\"no\"/>"
               "<node name=\"c\"/></node></velmora>");
    OpenedDocument doc = OpenDocument(path);
    EXPECT_EQ(doc.selected->Name(), "b");

    WriteBytes(path, "<velmora><node name=\"r\" selected=\"yes\"><node name=\"a\"/></node></velmora>");
    EXPECT_TRUE(OpenDocument(path).selected->IsRoot());
}

TEST(TrmRead, MissingAttributesAndLineFeedFiles) {
    TempFolder folder;
    const std::string path = folder.File("m.trm");
    WriteBytes(path,
               "<velmora><node><node name=\"c\" selstart=\"5x\" sellength=\"-4\" expanded=\"YES\"><text>one\ntwo\n</text>"
               "<node name=\"d\"/></node></node></velmora>");
    OpenedDocument doc = OpenDocument(path);
    const TreeNode& root = doc.tree.Root();
    EXPECT_EQ(root.Name(), "");
    EXPECT_FALSE(root.Expanded());
    const TreeNode& c = *root.Child(0);
    EXPECT_EQ(c.Data().SelStart, 0);
    EXPECT_EQ(c.Data().SelLength, -4);
    EXPECT_FALSE(c.Expanded());  // only exactly "yes" expands
    EXPECT_EQ(c.Data().Lines(), (std::vector<std::string>{"one", "two"}));
    EXPECT_TRUE(doc.selected->IsRoot());
    EXPECT_EQ(doc.tree.NodeCount(), 3u);
}

TEST(TrmRead, Utf8FromOtherToolsIsReadAsUtf8AndWrittenAsThisProgramWritesIt) {
    TempFolder folder;
    const std::string path = folder.File("other-tool.trm");
    for (const std::string& start : {std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?>"),
                                    "\xEF\xBB\xBF" + kDeclUtf8, std::string("\xEF\xBB\xBF")}) {
        WriteBytes(path, start + "<velmora><node name=\"日本\"/></velmora>");
        OpenedDocument doc = OpenDocument(path);
        EXPECT_EQ(doc.encoding, TDocumentEncoding::deUTF8);
        EXPECT_EQ(doc.tree.Root().Name(), "日本");
        WriteDocument(path, doc.tree, doc.selected, doc.encoding, Stamp());
        EXPECT_EQ(ReadBytes(path), kDeclUtf8 + "<velmora>" + kFile + "<node " + Attrs("日本", "no") +
                                       " selected=\"yes\"><text/></node></velmora>");
    }
}

// A file that is not a document is refused, so that a save cannot replace it; a blank one
// is a new document under that name (users make the file first and open it).
TEST(TrmRead, OnlyDocumentsAndBlankFilesOpen) {
    TempFolder folder;
    const std::string path = folder.File("other.trm");
    for (const std::string& content : {kDeclUtf8 + "<html><body><node name=\"deep\"/></body></html>",
                                      std::string("just text, no elements"), kDeclSjis + "<!-- -->",
                                      std::string("\x7F" "ELF\x02\x01")}) {
        WriteBytes(path, content);
        try {
            OpenDocument(path);
            ADD_FAILURE() << "opened: " << content;
        } catch (const NotADocumentError& e) {
            EXPECT_EQ(std::string(e.what()), "ファイル " + path + " はツリーメモの文書ではありません");
        }
    }
    for (const std::string& content : {std::string(), std::string(" \r\n\t\n"), kDeclUtf8 + "\r\n"}) {
        WriteBytes(path, content);
        OpenedDocument doc = OpenDocument(path);
        EXPECT_EQ(doc.tree.Root().Name(), "ルート");
        EXPECT_EQ(doc.tree.NodeCount(), 1u);
        EXPECT_TRUE(doc.selected->IsRoot());
        EXPECT_TRUE(OpenWarnings(doc, path).empty());
    }
    // A velmora element without a node element: the fresh root alone.
    WriteBytes(path, "<velmora><file version=\"2\"/></velmora>");
    EXPECT_EQ(OpenDocument(path).tree.Root().Name(), "ルート");
}

// What was read of a file cut short, or of one with more than one top-level node, opens, and
// the user is told before anything is saved.
TEST(TrmRead, CutShortAndExtraTopLevelNodesAreReported) {
    TempFolder folder;
    const std::string path = folder.File("cut.trm");
    const std::string whole = kDeclUtf8 + "<velmora>" + kFile + "<node " + Attrs("ルート", "yes") +
                              "><text/><node " + Attrs("a", "no") + "><text>one</text></node><node " +
                              Attrs("b", "no") + "><text>two</text></node></node></velmora>";
    WriteBytes(path, whole);
    EXPECT_TRUE(OpenWarnings(OpenDocument(path), path).empty());
    const std::string cutMessage = "ファイル " + path + " は途中で終わっています。文書の一部が欠けているおそれがあります。";
    for (const std::size_t cut : {whole.find("two") + 1, whole.size() - 1, whole.find("</node></velmora>")}) {
        WriteBytes(path, whole.substr(0, cut));
        const OpenedDocument doc = OpenDocument(path);
        EXPECT_EQ(doc.tree.NodeCount(), 3u) << cut;
        EXPECT_EQ(OpenWarnings(doc, path), std::vector<std::string>{cutMessage}) << cut;
    }
    // Version 1, cut inside its root node.
    WriteBytes(path, kDeclSjis + "<node name=\"r\"><node name=\"a\"><text>x</text></node>");
    EXPECT_EQ(OpenWarnings(OpenDocument(path), path), std::vector<std::string>{cutMessage});

    WriteBytes(path, kDeclUtf8 + "<velmora><node name=\"first\"/><node name=\"second\"/><node name=\"third\"/>");
    const OpenedDocument extra = OpenDocument(path);
    EXPECT_EQ(extra.tree.Root().Name(), "first");
    EXPECT_EQ(extra.tree.NodeCount(), 1u);
    EXPECT_EQ(OpenWarnings(extra, path),
              (std::vector<std::string>{cutMessage, "ファイル " + path +
                                                        " には最上位のノードがほかに 2 個ありますが、読み込んでいません。"
                                                        "保存すると、それらのノードは失われます。"}));
}

TEST(TrmFiles, ErrorsCarryTheJapaneseMessageAndKeepTheOldFile) {
    TempFolder folder;
    const std::string missing = folder.File("missing.trm");
    try {
        OpenDocument(missing);
        FAIL() << "no error";
    } catch (const platform::FileError& e) {
        EXPECT_EQ(std::string(e.what()), "ファイル " + missing + " は開けません");
    }
    const std::string noFolder = folder.File("no/such/folder.trm");
    DocumentTree tree;
    try {
        WriteDocument(noFolder, tree, nullptr, TDocumentEncoding::deUTF8, Stamp());
        FAIL() << "no error";
    } catch (const platform::FileError& e) {
        EXPECT_EQ(std::string(e.what()), "ファイル " + noFolder + " を作成できません");
    }
}

TEST(TrmWrite, CountsWhatShiftJisCannotHold) {
    DocumentTree tree;
    EXPECT_EQ(CountShiftJisUnmappable(tree), 0u);
    TreeNode& a = tree.AppendNode(tree.Root(), "flag 🎌");
    a.Data().SetText("café 한국 日本 ｱ");
    tree.AppendNode(a, "ä");
    EXPECT_EQ(CountShiftJisUnmappable(tree), 5u);

    TempFolder folder;
    WriteDocument(folder.File("q.trm"), tree, nullptr, TDocumentEncoding::deShiftJIS, Stamp());
    OpenedDocument doc = OpenDocument(folder.File("q.trm"));
    EXPECT_EQ(doc.tree.Root().Child(0)->Name(), "flag ?");
    EXPECT_EQ(doc.tree.Root().Child(0)->Data().Text(), "caf? ?? 日本 ｱ\r\n");

    // The lossless save counts the same characters while it encodes and then writes nothing.
    const std::string q = platform::ReadWholeFile(folder.File("q.trm"));
    EXPECT_EQ(WriteDocumentLosslessly(folder.File("q.trm"), tree, &a, TDocumentEncoding::deShiftJIS, Stamp()), 5u);
    EXPECT_EQ(platform::ReadWholeFile(folder.File("q.trm")), q);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.File("")), {}), 1);
    // In UTF-8 nothing is lost, and the file is WriteDocument's.
    EXPECT_EQ(WriteDocumentLosslessly(folder.File("u.trm"), tree, &a, TDocumentEncoding::deUTF8, Stamp()), 0u);
    WriteDocument(folder.File("w.trm"), tree, &a, TDocumentEncoding::deUTF8, Stamp());
    EXPECT_EQ(platform::ReadWholeFile(folder.File("u.trm")), platform::ReadWholeFile(folder.File("w.trm")));
    a.Data().SetText("日本");
    a.SetName("flag");
    tree.Root().Child(0)->Child(0)->SetName("a");
    EXPECT_EQ(WriteDocumentLosslessly(folder.File("q.trm"), tree, &a, TDocumentEncoding::deShiftJIS, Stamp()), 0u);
    EXPECT_NE(platform::ReadWholeFile(folder.File("q.trm")), q);
}

TEST(TrmWrite, ModifiedStampFormat) {
    std::tm t = Stamp();
    EXPECT_EQ(FormatModifiedStamp(t), "2024/01/02 03:04:05");
    t.tm_year = 1999 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 31;
    t.tm_hour = 23;
    t.tm_min = 59;
    t.tm_sec = 58;
    EXPECT_EQ(FormatModifiedStamp(t), "1999/12/31 23:59:58");
}

}  // namespace
