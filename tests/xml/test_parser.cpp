#include "test_support.h"

#include "platform/utf8.h"

#include <random>

#include <string>

using namespace nanxml;
using nanxml_test::Tree;

namespace {

const std::string kUtf8Declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
const std::string kShiftJisDeclaration = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>";

std::string TreeOf(const std::string& text)
{
    TNanXML xml;
    xml.LoadFromString(text);
    return Tree(xml.Root());
}

}  // namespace

TEST(Parser, DeclarationOrByteOrderMarkSelectsTheEncoding)
{
    // "日本" in UTF-8 and in CP932.
    const std::string utf8 = "\xE6\x97\xA5\xE6\x9C\xAC";
    const std::string cp932 = "\x93\xFA\x96\x7B";

    TNanXML xml;
    xml.LoadFromString(kUtf8Declaration + "<a>" + utf8 + "</a>");
    EXPECT_EQ(xml.Encoding(), deUTF8);
    EXPECT_EQ(Tree(xml.Root()), "a['日本']");  // the declaration is not kept in the tree

    xml.LoadFromString(kShiftJisDeclaration + "<a>" + cp932 + "</a>");
    EXPECT_EQ(xml.Encoding(), deShiftJIS);
    EXPECT_EQ(Tree(xml.Root()), "a['日本']");

    // UTF-8 as other tools write it: the name in any letter case, or a byte-order mark before
    // the declaration or instead of it (the mark wins over a declared Shift_JIS).
    for (const std::string start : {
             "<?xml version=\"1.0\" encoding=\"utf-8\"?>",
             "<?xml version=\"1.0\" encoding=\"Utf-8\"?>",
             "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
             "\xEF\xBB\xBF",
             "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>",
         }) {
        TNanXML other;
        other.LoadFromString(start + "<a>" + utf8 + "</a>");
        EXPECT_EQ(other.Encoding(), deUTF8) << start;
        EXPECT_EQ(Tree(other.Root()), "a['日本']") << start;  // the mark is no text
    }
    // Malformed UTF-8 after a mark is refused at its offset in the file.
    try {
        TNanXML bad;
        bad.LoadFromString("\xEF\xBB\xBF<a>\xC3(</a>");
        FAIL() << "no exception";
    } catch (const ENanXMLException& e) {
        EXPECT_EQ(std::string(e.what()), "UTF-8 として正しくないバイト列があります (オフセット 6)");
    }

    // Not recognised: CP932 decoding, the encoding stays as it was.
    for (const std::string declaration : {
             "<?xml version=\"1.0\" encoding='UTF-8'?>",
             "<?xml version=\"1.0\" encoding = \"UTF-8\"?>",
             "<?xml version=\"1.0\" encoding =\"UTF-8\"?>",
             "<?xml version=\"1.0\" Encoding=\"UTF-8\"?>",
             "<?xml version=\"1.0\" encoding=\"EUC-JP\"?>",
             "<?xml version=\"1.0\" encoding=\"UTF-8 \"?>",
             "<?xml version=\"1.0\"?>",
             "<?XML version=\"1.0\" encoding=\"UTF-8\"?>",
         }) {
        TNanXML other;
        other.SetEncoding(deShiftJIS);
        other.LoadFromString(declaration + "<a>" + cp932 + "</a>");
        EXPECT_EQ(other.Encoding(), deShiftJIS) << declaration;
        EXPECT_EQ(Tree(other.Root()), "a['日本']") << declaration;  // a leading instruction is dropped
    }
    TNanXML keeps;
    keeps.SetEncoding(deUTF8);
    keeps.LoadFromString("<a>x</a>");
    EXPECT_EQ(keeps.Encoding(), deUTF8);

    // Not the first token: kept as an ordinary instruction, bytes decoded as CP932.
    TNanXML late;
    late.LoadFromString(" " + kUtf8Declaration + "<a>" + cp932 + "</a>");
    EXPECT_EQ(late.Encoding(), deShiftJIS);
    EXPECT_EQ(Tree(late.Root()), "' '" + kUtf8Declaration + "a['日本']");
}

TEST(Parser, MalformedUtf8IsRefusedWithItsOffset)
{
    TNanXML xml;
    xml.Root().AddElement("old");
    const std::string text = kUtf8Declaration + "<a>ok\xC3(</a>";
    try {
        xml.LoadFromString(text);
        FAIL() << "no exception";
    } catch (const ENanXMLException& e) {
        EXPECT_EQ(std::string(e.what()),
                  "UTF-8 として正しくないバイト列があります (オフセット " + std::to_string(kUtf8Declaration.size() + 5) + ")");
    }
    EXPECT_EQ(xml.Root().ChildCount(), 0);
    EXPECT_EQ(xml.Encoding(), deUTF8);

    // Dropped NUL bytes do not shift the offset named.
    try {
        xml.LoadFromString(kUtf8Declaration + std::string("\0\0<a>\xFF", 6));
        FAIL() << "no exception";
    } catch (const ENanXMLException& e) {
        EXPECT_EQ(std::string(e.what()),
                  "UTF-8 として正しくないバイト列があります (オフセット " + std::to_string(kUtf8Declaration.size() + 5) + ")");
    }

    // Without the declaration the same bytes are CP932 and read without complaint.
    xml.LoadFromString("<a>ok\xC3(</a>");
    EXPECT_EQ(xml.Root().ChildCount(), 1);
}

TEST(Parser, ElementsNestAndCloseTolerantly)
{
    EXPECT_EQ(TreeOf("<a><b>x</a><c/>"), "a[b['x']]c[]");               // </a> closes b and a
    EXPECT_EQ(TreeOf("<a></b>x</a>"), "a['x']");                         // stray end tag
    EXPECT_EQ(TreeOf("<a><b/>y</a>"), "a[b[]'y']");                      // empty element stays closed
    EXPECT_EQ(TreeOf("<a><b>unclosed"), "a[b['unclosed']]");
    EXPECT_EQ(TreeOf("<Node>x</node>y"), "Node['x']'y'");                // letter case ignored
    EXPECT_EQ(TreeOf("<a>x</ a \r\n>y"), "a['x']'y'");                   // end tag name trimmed
    EXPECT_EQ(TreeOf("<a><b><a>x</a>y</a>z"), "a[b[a['x']'y']]'z'");     // innermost match closes
    EXPECT_EQ(TreeOf("<a> <b/>\r\n</a>"), "a[' 'b[]'\r\n']");            // white space kept
    EXPECT_EQ(TreeOf(kUtf8Declaration + "<日本>x</日本>"), "'x'");                          // tag without a name is lost
    EXPECT_EQ(TreeOf("<>x"), "'x'");
    EXPECT_EQ(TreeOf("<!DOCTYPE trm><a/>"), "!DOCTYPE(trm=)[a[]]");
}

TEST(Parser, AttributesAreReadAsTheyStand)
{
    EXPECT_EQ(TreeOf("<a x=\"1\" y = \"2\" z w=\"3\" x=\"4\"/>"), "a(x=1,y=,z=,w=3,x=4)[]");
    EXPECT_EQ(TreeOf("<a x=\"1\"\"2\"/>"), "a(x=2)[]");
    EXPECT_EQ(TreeOf("<a x=\"1\"=\"2\"/>"), "a(x=2)[]");
    EXPECT_EQ(TreeOf("<a x='1'/>"), "a(x=,'1'=)[]");
    EXPECT_EQ(TreeOf("<a x=\"&amp;\r\n&lt;\"/>"), "a(x=&amp;\r\n&lt;)[]");
    EXPECT_EQ(TreeOf(kUtf8Declaration + "<a x=\"日本\" 名=\"v\"/>"), "a(x=日本)[]");
    EXPECT_EQ(TreeOf("<a x=\"/>"), "a(x=)[]");  // a lone quote gives an empty value

    TNanXML xml;
    xml.LoadFromString("<a x=\"1\" X=\"2\"/>");
    EXPECT_EQ(xml.Root().FindElement("a")->GetAttribute("x"), "1");
}

TEST(Parser, RefusedAttributeValueStopsTheLoad)
{
    TNanXML xml;
    try {
        xml.LoadFromString("<a>keep</a><b v=\"x<y\"/><c/>");
        FAIL() << "no exception";
    } catch (const ENanXMLInvalidStringException& e) {
        EXPECT_STREQ(e.what(), "値が不正です\rx<y");
    }
    EXPECT_EQ(Tree(xml.Root()), "a['keep']");

    // Elements still open keep what was read into them before the refused tag.
    EXPECT_THROW(xml.LoadFromString("<a>keep<b>x<!--c--><c v=\"x<y\"/>"), ENanXMLInvalidStringException);
    EXPECT_EQ(Tree(xml.Root()), "a['keep'b['x'<!--c-->]]");
    EXPECT_EQ(xml.Root().GetChild(0)->AsParent()->GetChild(1)->Parent(), xml.Root().GetChild(0));
}

TEST(Parser, TextEntitiesAndMarkupCharacters)
{
    TNanXML xml;
    xml.LoadFromString("<t>a&amp;b</t>");
    EXPECT_EQ(Tree(xml.Root()), "t['a'&amp;'b']");
    EXPECT_EQ(xml.Root().GetChild(0)->GetText(), "a&b");

    EXPECT_EQ(TreeOf("<t>&foo;</t>"), "t[&foo;]");                     // unknown entity kept
    EXPECT_EQ(TreeOf("<t>x & y</t>"), "t['x & y']");                   // no ";" after it: text
    EXPECT_EQ(TreeOf("<t>1 < 2</t>3 < 4"), "t['1 '2(/t=)['3 < 4']]");  // a "<" opens a tag up to the next ">"
    EXPECT_EQ(TreeOf("x <<& y"), "'x <<& y'");

    // An entity reference reaching past tags swallows them; written back unchanged.
    xml.LoadFromString("<a>x&y<b>z</b>;w</a>");
    EXPECT_EQ(Tree(xml.Root()), "a['x'&y<b>z</b>;'w']");
    EXPECT_EQ(xml.Root().GetText(), "xw");
    EXPECT_EQ(xml.Root().GetXML(), "<a>x&y<b>z</b>;w</a>");
}

TEST(Parser, DoubleQuotesInContentArePlainText)
{
    // An unpaired quote must not swallow the markup after it.
    EXPECT_EQ(TreeOf("<a>\"open</a><b>x</b>\""), "a['\"open']b['x']'\"'");
    EXPECT_EQ(TreeOf("<a>&amp;\"q</a><b/>"), "a[&amp;'\"q']b[]");
    // A closed pair reads as before: one text.
    EXPECT_EQ(TreeOf("<a>\"x\" y</a>"), "a['\"x\" y']");
}

TEST(Parser, CommentsCdataAndInstructions)
{
    EXPECT_EQ(TreeOf("<a><!-- x -- y --></a>"), "a[<!-- x -- y -->]");
    TNanXML xml;
    xml.LoadFromString("<a><![CDATA[<b>&amp;]]></a>");
    EXPECT_EQ(Tree(xml.Root()), "a[<![CDATA[<b>&amp;]]>]");
    EXPECT_EQ(xml.Root().GetText(), "<b>&amp;");

    xml.LoadFromString("<a><?pi  some data ?><?empty?><?pi2 ?></a>");
    ASSERT_EQ(Tree(xml.Root()), "a[<?pi some data ?><?pi2 ?>]");  // no data: dropped
    const auto* instruction = static_cast<TNanXMLProcessingInstruction*>(xml.Root().GetChild(0)->AsParent()->GetChild(0));
    EXPECT_EQ(instruction->Target(), "pi");
    EXPECT_EQ(instruction->Data(), "some data ");

    // A leading instruction is never part of the tree, whatever its target.
    EXPECT_EQ(TreeOf("<?style x?><a/>"), "a[]");
    EXPECT_EQ(TreeOf("<!-- c --><a/>"), "<!-- c -->a[]");
    // Unclosed constructs fall back to tags or text.
    EXPECT_EQ(TreeOf("<a><!-- open</a>"), "a[!--(open=,/a=)[]]");
    EXPECT_EQ(TreeOf("x <?never"), "'x <?never'");
}

TEST(Parser, ShiftJisCdataEndsOnlyAtACharacterStart)
{
    // 81 5D is "‐": its second byte is "]", which must not start "]]>".
    TNanXML xml;
    xml.LoadFromString("<a><![CDATA[\x81]]>x]]>y</a>");
    EXPECT_EQ(Tree(xml.Root()), "a[<![CDATA[‐]>x]]>'y']");
    // 85 5D is no character: the "]" stands alone and does close the section.
    xml.LoadFromString("<a><![CDATA[\x85]]>x]]>y</a>");
    EXPECT_EQ(Tree(xml.Root()), "a[<![CDATA[\xEF\xBF\xBD]]>'x]]>y']");
    // Japanese text, names and values are decoded piece by piece.
    xml.LoadFromString("<a n=\"\x93\xFA\">\x96\x7B&amp;\x93\xFA</a>");
    EXPECT_EQ(Tree(xml.Root()), "a(n=日)['本'&amp;'日']");
}

TEST(Parser, NulCharactersAreDroppedNotTruncating)
{
    EXPECT_EQ(TreeOf(std::string("<a>x\0y</a>z", 11)), "a['xy']'z'");
}

TEST(Parser, NodeReadersAcceptAndRefuse)
{
    TNanXMLElement element;
    EXPECT_TRUE(element.Parse("<node name=\"n\">"));
    EXPECT_EQ(element.Name(), "node");
    EXPECT_EQ(element.GetAttribute("name"), "n");
    EXPECT_FALSE(element.Parse("<>"));
    EXPECT_FALSE(element.Parse("node"));
    EXPECT_FALSE(element.Parse("<日本>"));
    EXPECT_EQ(element.Name(), "node");  // a refused tag changes nothing

    TNanXMLProcessingInstruction instruction;
    EXPECT_TRUE(instruction.Parse("<?t d?>"));
    EXPECT_EQ(instruction.Data(), "d");
    EXPECT_FALSE(instruction.Parse("<?t?>"));
    EXPECT_FALSE(instruction.Parse("<? t d?>"));
    EXPECT_TRUE(instruction.Parse("u  e"));  // without delimiters the text is used as it is
    EXPECT_EQ(instruction.Target(), "u");
    EXPECT_EQ(instruction.Data(), "e");

    TNanXMLComment comment;
    EXPECT_TRUE(comment.Parse("<!--c-->"));
    EXPECT_EQ(comment.Text(), "c");
    EXPECT_FALSE(comment.Parse("a-->b"));
    EXPECT_EQ(comment.Text(), "c");

    TNanXMLCDATA cdata;
    EXPECT_TRUE(cdata.Parse("<![CDATA[<x>]]>"));
    EXPECT_EQ(cdata.Text(), "<x>");
    EXPECT_FALSE(cdata.Parse("a]]>b"));

    TNanXMLText text;
    EXPECT_FALSE(text.Parse("x"));
}

TEST(Parser, UnclosedOpenersStayCorrectInBulk)
{
    // Many openers without closers: each stays text, however many there are.
    std::string tail;
    for (int i = 0; i < 1000; ++i) tail += "&<?<!--<![CDATA[\"";
    TNanXML xml;
    xml.LoadFromString("<a>x</a>" + tail);
    EXPECT_EQ(Tree(xml.Root()), "a['x']'" + tail + "'");

    // Closers found once are found again by later openers.
    xml.LoadFromString("<a>&x<?y<!--z<b>w;?>--></a>");
    EXPECT_EQ(Tree(xml.Root()), "a[&x<?y<!--z<b>w;'?>-->']");
}

// Tags full of openers that close nothing: short ones and ones long enough to be read with
// room made for their attributes at once give the same attributes as ever.
TEST(Parser, HostileTagsGiveTheirAttributes)
{
    EXPECT_EQ(TreeOf("<a <?<?<?>"), "a(?=,?=,?=)[]");
    EXPECT_EQ(TreeOf("<a <?x<!--y<z &w \"v>"), "a(?x=,!--y=,z=,w=,v=)[]");
    EXPECT_EQ(TreeOf("<a k=\"1\" <<?m=\"2\"=\"3\" n &amp;=\"4\">"), "a(k=1,?m=3,n=)[]");
    EXPECT_EQ(TreeOf("<a k=\"v\" <<?k=\"v\" <<?/>"), "a(k=v,?k=v,?=)[]");

    const auto longTag = [](const std::string& piece, int& count) {
        std::string tag = "<a ";
        for (count = 0; tag.size() < (200u << 10); ++count) tag += piece;
        TNanXML xml;
        xml.LoadFromString(tag + "/>");
        return std::unique_ptr<TNanXMLNode>(xml.Root().GetChild(0)->Detach());
    };
    int count = 0;
    auto node = longTag("<?", count);
    const TNanXMLElement* a = node->AsElement();
    ASSERT_EQ(a->AttributeCount(), count);
    for (const TNanXMLAttribute& attribute : a->Attributes()) {
        ASSERT_EQ(attribute.Name(), "?");
        ASSERT_EQ(attribute.Value(), "");
    }
    node = longTag("k=\"v\" <<?", count);
    a = node->AsElement();
    ASSERT_EQ(a->AttributeCount(), count + 1);
    EXPECT_EQ(a->Attributes()[0].Name(), "k");
    EXPECT_EQ(a->Attributes()[count / 2].Name(), "?k");
    EXPECT_EQ(a->Attributes()[count / 2].Value(), "v");
    EXPECT_EQ(a->Attributes()[count].Name(), "?");
    EXPECT_EQ(longTag("&x;=\"q\" ", count)->AsElement()->AttributeCount(), 0);

    // One long value in a long tag.
    const std::string value(300u << 10, 'v');
    EXPECT_EQ(TreeOf("<a k=\"" + value + "\" ?>"), "a(k=" + value + ",?=)[]");

    // More names than runs of name bytes (a multi-byte character splits a run in two): the
    // list grows beyond the room made and keeps every one, in order.
    node = longTag("x\x93\xFAy ", count);
    a = node->AsElement();
    ASSERT_EQ(a->AttributeCount(), 2 * count);
    EXPECT_EQ(a->Attributes()[0].Name(), "x");
    EXPECT_EQ(a->Attributes()[1].Name(), "y");
    EXPECT_EQ(a->Attributes()[2 * count - 1].Name(), "y");
}

// Only the last value an attribute is given is checked, in a short tag or a long one.
TEST(Parser, OnlyFinalAttributeValuesAreChecked)
{
    for (const std::string& name : {std::string("g"), std::string(100u << 10, 'g')}) {
        // A value holding a tag replaced by one that holds none; a "<" that opens no tag.
        EXPECT_EQ(TreeOf("<a v=\"x<y\"\"ok\" " + name + " w=\"&<z;\"/>"), "a(v=ok," + name + "=,w=&<z;)[]");
        TNanXML xml;
        try {
            xml.LoadFromString("<a v=\"ok\" " + name + " w=\"1\"\"x<y\"/>");
            FAIL() << "no exception";
        } catch (const ENanXMLInvalidStringException& e) {
            EXPECT_STREQ(e.what(), "値が不正です\rx<y");
        }
    }
}

// A long tag's attributes are read when first asked for: every name, value, their order and
// every refusal are those of the same markup in a short tag. Spaces after the markup change
// none of its tokens, and make the tag long.
TEST(Parser, LongTagsGiveWhatShortOnesGive)
{
    const auto attributesOf = [](const std::string& tag) {
        TNanXMLElement element;
        std::string outcome;
        try {
            if (!element.Parse(tag)) return std::string("not accepted");
        } catch (const ENanXMLInvalidStringException& e) {
            return std::string("refused: ") + e.what();
        }
        for (const TNanXMLAttribute& attribute : element.Attributes()) {
            outcome += std::string(attribute.Name()) + "=" + std::string(attribute.Value()) + ";";
        }
        return outcome + element.GetStartTag();  // written back with the same attributes
    };
    const std::string alphabet[] = {"<", "?", ">", "!", "-", "\"", "&", ";", "a", "b", " ", "=", "<b>", "日", "\xEF\xBD\xB1"};
    const std::string spaces(70u << 10, ' ');
    std::mt19937 random(2026);
    for (int round = 0; round < 300; ++round) {
        std::string markup;
        const int pieces = static_cast<int>(random() % 30);
        for (int i = 0; i < pieces; ++i) markup += alphabet[random() % std::size(alphabet)];
        const std::string shortTag = attributesOf("<a " + markup + ">");
        const std::string longTag = attributesOf("<a " + markup + spaces + ">");
        ASSERT_EQ(longTag, shortTag) << markup;
    }
}

// Whatever the bytes, reading gives a tree of well-formed UTF-8 whose written length is
// what XMLLength promises.
TEST(Parser, AnyBytesGiveAConsistentTree)
{
    const std::string pieces[] = {"<", ">", "</", "/>", "<?", "?>", "<!--", "-->", "<![CDATA[", "]]>", "&", ";",
                                  "\"", "=", " ", "\r\n", "a", "B", "\x81]", "\x93\xFA", "\x85", "\xE6\x97\xA5",
                                  "\xFF", std::string(1, '\0'), "x=\"v\"", "<a ", "</a>"};
    std::mt19937 random(2026);
    for (int round = 0; round < 4000; ++round) {
        std::string text = random() % 2 ? kUtf8Declaration : std::string();
        const int count = static_cast<int>(random() % 60);
        for (int i = 0; i < count; ++i) text += pieces[random() % std::size(pieces)];
        TNanXML xml;
        try {
            xml.LoadFromString(text);
        } catch (const ENanXMLException&) {
            continue;  // a refused value or malformed UTF-8
        }
        const std::string markup = xml.Root().GetXML();
        ASSERT_EQ(markup.size(), xml.Root().XMLLength()) << text;
        ASSERT_TRUE(platform::IsValidUtf8(markup)) << text;
        ASSERT_TRUE(platform::IsValidUtf8(xml.Root().GetText())) << text;
    }
}
