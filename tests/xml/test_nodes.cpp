#include "xml/nanxml.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using namespace nanxml;

namespace {

// The message of the exception fn raises, or "(none)".
template <class Exception = ENanXMLException, class Fn>
std::string MessageOf(Fn&& fn)
{
    try {
        fn();
    } catch (const Exception& e) {
        return e.what();
    }
    return "(none)";
}

// Children of a parent as "kind:content" items, for comparing structure at a glance.
std::string Describe(const TNanXMLParentNode& parent)
{
    std::string out;
    for (const auto& child : parent.Children()) {
        if (const auto* element = child->AsElement()) {
            out += "E:" + element->Name();
        } else if (const auto* text = dynamic_cast<const TNanXMLText*>(child.get())) {
            out += "T:" + text->Text();
        } else if (const auto* entity = dynamic_cast<const TNanXMLEntityReference*>(child.get())) {
            out += "R:" + entity->Name();
        } else {
            out += "?:" + child->GetXML();
        }
        out += "|";
    }
    return out;
}

}  // namespace

TEST(Nodes, InvalidStringExceptionCarriesMessageCrAndString)
{
    const ENanXMLInvalidStringException e("名前が不正です", "a b");
    EXPECT_STREQ(e.what(), "名前が不正です\ra b");
    // A rejected string from a binary file shows as a short excerpt that prints: control
    // characters and broken bytes as "?", at most 40 characters, then "…".
    const ENanXMLInvalidStringException binary("値が不正です", "x<\x01\x1B\xFF日本\x7F\u0085" + std::string(100, 'z'));
    EXPECT_STREQ(binary.what(), ("値が不正です\rx<???日本??" + std::string(31, 'z') + "…").c_str());
    const ENanXMLException* asBase = &e;
    EXPECT_NE(dynamic_cast<const std::runtime_error*>(asBase), nullptr);
}

TEST(Nodes, SettersRefuseWithTheirMessagesAndKeepTheOldValue)
{
    TNanXMLElement element;
    element.SetName("node");
    EXPECT_EQ(MessageOf([&] { element.SetName(""); }), "名前が不正です\r");
    EXPECT_EQ(MessageOf([&] { element.SetName("a b"); }), "名前が不正です\ra b");  // one token only
    EXPECT_EQ(MessageOf([&] { element.SetName("日本"); }), "名前が不正です\r日本");
    EXPECT_EQ(MessageOf([&] { element.SetName("<x"); }), "名前が不正です\r<x");
    EXPECT_EQ(element.Name(), "node");

    EXPECT_EQ(MessageOf([&] { element.AddAttribute("a=b", "v"); }), "属性名が不正です\ra=b");
    EXPECT_EQ(MessageOf([&] { element.AddAttribute("a", "x<y"); }), "値が不正です\rx<y");
    EXPECT_EQ(MessageOf([&] { element.AddAttribute("a", "say \"hi\""); }), "値が不正です\rsay \"hi\"");
    EXPECT_EQ(element.AttributeCount(), 0);  // a refused attribute adds nothing
    element.AddAttribute("a", "v");
    EXPECT_EQ(MessageOf([&] { element.SetAttributeValue(0, "\""); }), "値が不正です\r\"");
    EXPECT_EQ(element.GetAttributeValue(0), "v");

    TNanXMLComment comment;
    EXPECT_EQ(MessageOf([&] { comment.SetContent("a-->b"); }), "コメントが不正です\ra-->b");
    comment.SetContent("a--b");
    EXPECT_EQ(comment.Text(), "a--b");

    TNanXMLCDATA cdata;
    EXPECT_EQ(MessageOf([&] { cdata.SetContent("x]]>"); }), "テキストが不正です\rx]]>");
    cdata.SetContent("<&>");
    EXPECT_EQ(cdata.Text(), "<&>");

    TNanXMLProcessingInstruction instruction;
    EXPECT_EQ(MessageOf([&] { instruction.SetTarget("x y"); }), "処理命令ターゲットが不正です\rx y");
    EXPECT_EQ(MessageOf([&] { instruction.SetData("a?>"); }), "命令が不正です\ra?>");
    EXPECT_EQ(instruction.Target(), "");

    // The exceptions are the invalid-string kind, so callers can tell them from others.
    EXPECT_NE(MessageOf<ENanXMLInvalidStringException>([&] { element.SetName(""); }), "(none)");
}

TEST(Nodes, AddMethodsRefuseWithoutAppending)
{
    TNanXMLParentNode parent;
    EXPECT_EQ(MessageOf([&] { parent.AddElement("a b"); }), "名前が不正です\ra b");
    EXPECT_EQ(MessageOf([&] { parent.AddComment("-->"); }), "コメントが不正です\r-->");
    EXPECT_EQ(MessageOf([&] { parent.AddCDATA("]]>"); }), "テキストが不正です\r]]>");
    EXPECT_EQ(parent.ChildCount(), 0);
}

// The length fields of an attribute hold a name below 2 GiB (the top bit marks a short
// attribute) and a value up to 4 GiB - 1: longer ones are refused, not misread or cut short.
// The limits are checked on the lengths alone, as texts that long would take gigabytes.
TEST(Nodes, AttributeLengthsBeyondTheirFieldsAreRefused)
{
    EXPECT_NO_THROW(TNanXMLAttribute::CheckLengths(0x7FFFFFFFu, 0xFFFFFFFFu));
    EXPECT_THROW(TNanXMLAttribute::CheckLengths(0x80000000u, 0), std::length_error);
    EXPECT_THROW(TNanXMLAttribute::CheckLengths(0, 0x100000000u), std::length_error);
    const TNanXMLAttribute attribute("name", std::string(300, 'v'));
    EXPECT_EQ(attribute.Name(), "name");
    EXPECT_EQ(attribute.Value(), std::string(300, 'v'));
}

TEST(Nodes, AttributesAreListedInOrderAndFoundWithoutLetterCase)
{
    TNanXMLElement element;
    element.SetName("node");
    EXPECT_EQ(element.AddAttribute("name", "a & b > c"), 0);
    EXPECT_EQ(element.AddAttribute("expanded"), 1);
    EXPECT_EQ(element.AddAttribute("name", "second"), 2);  // a name may occur twice
    EXPECT_EQ(element.AttributeCount(), 3);
    EXPECT_EQ(element.GetAttribute("name"), "a & b > c");
    EXPECT_EQ(element.GetAttribute("NAME"), "a & b > c");
    EXPECT_EQ(element.GetAttribute("expanded"), "");
    EXPECT_EQ(element.GetAttribute("missing"), "");
    EXPECT_EQ(element.IndexOfAttribute("Expanded"), 1);
    EXPECT_EQ(element.IndexOfAttribute("missing"), -1);

    element.AddAttribute("ｱ", "half-width");
    EXPECT_EQ(element.IndexOfAttribute("ｱ"), 3);

    std::string value = "untouched";
    EXPECT_FALSE(element.FindAttribute("missing", value));
    EXPECT_EQ(value, "untouched");
    EXPECT_TRUE(element.FindAttribute("Name", value));
    EXPECT_EQ(value, "a & b > c");

    element.SetAttributeValue(1, "yes");
    EXPECT_EQ(element.Attributes()[1].Value(), "yes");
    EXPECT_EQ(element.Attributes()[2].Name(), "name");
    element.ClearAttributes();
    EXPECT_EQ(element.AttributeCount(), 0);
    EXPECT_TRUE(element.Attributes().empty());
}

// Attributes are kept in themselves up to a small size and in memory of their own beyond it:
// values that cross that size either way, copies and moves all keep name and value.
TEST(Nodes, AttributesKeepNameAndValueAcrossTheirStorage)
{
    TNanXMLElement element;
    element.SetName("e");
    const std::string longName(20, 'n');
    element.AddAttribute("name", "12345678");       // 12 bytes in all
    element.AddAttribute("name", "123456789");      // 13
    element.AddAttribute(longName, "");
    element.AddAttribute("x", "");
    for (const std::string& value : {std::string(""), std::string("1234567"), std::string(40, 'v'),
                                     std::string("12345678"), std::string("123456789"), std::string("a")}) {
        for (int i = 0; i < element.AttributeCount(); ++i) {
            const std::string name(element.Attributes()[static_cast<std::size_t>(i)].Name());
            element.SetAttributeValue(i, value);
            EXPECT_EQ(element.Attributes()[static_cast<std::size_t>(i)].Name(), name);
            EXPECT_EQ(element.GetAttributeValue(i), value);
        }
    }
    // A value taken from the attribute itself.
    element.SetAttributeValue(2, std::string(30, 'w'));
    element.SetAttributeValue(2, element.GetAttributeValue(2).substr(1));
    EXPECT_EQ(element.GetAttributeValue(2), std::string(29, 'w'));

    const std::vector<TNanXMLAttribute> copy = element.Attributes();
    std::vector<TNanXMLAttribute> moved = copy;
    TNanXMLAttribute assigned("a", "b");
    assigned = copy[2];
    EXPECT_EQ(assigned.Name(), longName);
    assigned = std::move(moved[0]);
    EXPECT_EQ(assigned.Name(), "name");
    EXPECT_EQ(assigned.Value(), "a");
    moved.erase(moved.begin());
    ASSERT_EQ(moved.size(), 3u);
    EXPECT_EQ(moved[1].Name(), longName);
    EXPECT_EQ(moved[1].Value(), std::string(29, 'w'));
    EXPECT_EQ(copy[3].Name(), "x");
}

TEST(Nodes, ListIndexErrorsNameTheIndex)
{
    TNanXMLElement element;
    element.AddText("x");
    EXPECT_EQ(MessageOf([&] { element.GetChild(1); }), "リストのインデックスが範囲を超えています (1)");
    EXPECT_EQ(MessageOf([&] { element.GetChild(-1); }), "リストのインデックスが範囲を超えています (-1)");
    EXPECT_EQ(MessageOf([&] { element.Children().Items(5); }), "リストのインデックスが範囲を超えています (5)");
    EXPECT_EQ(MessageOf([&] { element.GetAttributeValue(0); }), "リストのインデックスが範囲を超えています (0)");
    EXPECT_EQ(MessageOf([&] { element.SetAttributeValue(2, "v"); }), "リストのインデックスが範囲を超えています (2)");
    EXPECT_EQ(MessageOf([&] { element.InsertChild(std::make_unique<TNanXMLText>("y"), 3); }),
              "リストのインデックスが範囲を超えています (3)");
    EXPECT_EQ(element.Children().Count(), 1);
    EXPECT_EQ(element.Children().Items(0), element.GetChild(0));
}

TEST(Nodes, AddTextEscapesAndGetTextRestores)
{
    TNanXMLElement element;
    element.AddText("a<b>&c");
    EXPECT_EQ(Describe(element), "T:a|R:lt|T:b|R:gt|R:amp|T:c|");
    EXPECT_EQ(element.GetText(), "a<b>&c");

    TNanXMLElement quotes;
    quotes.AddText("\"日本\"\r\nx");
    EXPECT_EQ(Describe(quotes), "T:\"日本\"\r\nx|");
    quotes.AddText("");
    EXPECT_EQ(quotes.ChildCount(), 1);

    TNanXMLElement entities;
    for (const char* name : {"amp", "lt", "gt", "nbsp", "quot", "apos", "#65", "AMP", "unknown"}) {
        entities.AddEntityReference(name);
    }
    EXPECT_EQ(entities.GetText(), "&<> \"");
    EXPECT_EQ(entities.GetChild(7)->GetXML(), "&AMP;");
}

TEST(Nodes, AddTextFindsMarkupCharactersAtEveryPosition)
{
    // Long enough to be searched eight bytes at a time; the filler holds bytes that differ from
    // "<" (3C), ">" (3E) and "&" (26) only in the high bit: ＜ is EF BC 9C, ¾ C2 BE, ｦ EF BD A6.
    const std::string filler = "ab＜¾ｦcdefghijklmnop";
    for (std::size_t at = 0; at <= filler.size(); ++at) {
        for (const char special : {'<', '>', '&'}) {
            std::string text = filler;
            text.insert(at, 1, special);
            TNanXMLElement element;
            element.AddText(text);
            const std::string reference = special == '<' ? "&lt;" : special == '>' ? "&gt;" : "&amp;";
            EXPECT_EQ(element.GetInnerXML(), filler.substr(0, at) + reference + filler.substr(at)) << at;
            EXPECT_EQ(element.ChildCount(), (at > 0 ? 1 : 0) + 1 + (at < filler.size() ? 1 : 0)) << at;
        }
    }
    TNanXMLElement plain;
    plain.AddText(filler);
    EXPECT_EQ(plain.GetInnerXML(), filler);
    EXPECT_EQ(plain.ChildCount(), 1);
}

TEST(Nodes, GetTextGathersAllDescendantCharacterData)
{
    TNanXMLParentNode root;
    TNanXMLElement* a = root.AddElement("a");
    a->AddText("1");
    a->AddComment("not text");
    TNanXMLElement* b = a->AddElement("b");
    b->AddCDATA("<2>");
    b->AddEntityReference("&amp;");
    auto instruction = std::make_unique<TNanXMLProcessingInstruction>();
    instruction->SetTarget("pi");
    instruction->SetData("not text");
    b->InsertChild(std::move(instruction), -1);
    a->AddText("3");
    EXPECT_EQ(root.GetText(), "1<2>&3");
    EXPECT_EQ(b->GetText(), "<2>&");
    EXPECT_EQ(static_cast<const TNanXMLEntityReference*>(b->GetChild(1))->Name(), "amp");
}

TEST(Nodes, SetTextChangesOnlyTextNodes)
{
    TNanXMLText text;
    text.SetText("<raw & unchecked>");
    EXPECT_EQ(text.Text(), "<raw & unchecked>");
    EXPECT_EQ(text.GetText(), "<raw & unchecked>");
    TNanXMLCDATA cdata;
    cdata.SetContent("kept");
    cdata.SetText("ignored");
    EXPECT_EQ(cdata.Text(), "kept");
    TNanXMLElement element;
    element.AddText("kept");
    element.SetText("ignored");
    EXPECT_EQ(element.GetText(), "kept");
}

TEST(Nodes, EntityReferenceNameLosesAmpersandAndSemicolonOnlyTogether)
{
    TNanXMLEntityReference reference;
    reference.SetName("&lt;");
    EXPECT_EQ(reference.Name(), "lt");
    reference.SetName("&lt");
    EXPECT_EQ(reference.Name(), "&lt");
    reference.SetName("gt;");
    EXPECT_EQ(reference.Name(), "gt;");
    reference.SetName("a b<c");  // no check at all
    EXPECT_EQ(reference.Name(), "a b<c");
}

TEST(Nodes, FindElementIsExactAndNextSiblingWalksOn)
{
    TNanXMLParentNode root;
    root.AddText("x");
    TNanXMLElement* first = root.AddElement("node");
    root.AddElement("Node");
    root.AddElement("other");
    TNanXMLElement* second = root.AddElement("node");
    EXPECT_EQ(root.FindElement("node"), first);
    EXPECT_EQ(root.FindElement("NODE"), nullptr);
    EXPECT_EQ(root.FindElement("Node")->Name(), "Node");
    EXPECT_EQ(first->NextSibling("node"), second);
    EXPECT_EQ(second->NextSibling("node"), nullptr);
    EXPECT_EQ(root.FindElementFrom(2, "node"), second);
    EXPECT_EQ(root.FindElementFrom(5, "node"), nullptr);
    EXPECT_EQ(root.FindElementFrom(99, "node"), nullptr);
    TNanXMLElement detached;
    detached.SetName("node");
    EXPECT_EQ(detached.NextSibling("node"), nullptr);
}

TEST(Nodes, SetParentAppendsAndMovesOwnership)
{
    TNanXMLParentNode root;
    TNanXMLElement* a = root.AddElement("a");
    TNanXMLElement* b = root.AddElement("b");
    TNanXMLElement* c = root.AddElement("c");
    a->SetParent(root);  // its own parent: to the end
    EXPECT_EQ(Describe(root), "E:b|E:c|E:a|");
    c->SetParent(*b);
    EXPECT_EQ(Describe(root), "E:b|E:a|");
    EXPECT_EQ(c->Parent(), b);
    EXPECT_EQ(b->GetChild(0), c);
    // Under itself or its own descendant would make a cycle.
    EXPECT_EQ(MessageOf([&] { b->SetParent(*c); }), "ノードをそれ自身の子孫の下へ移動することはできません");
    EXPECT_EQ(MessageOf([&] { b->SetParent(*b); }), "ノードをそれ自身の子孫の下へ移動することはできません");
    EXPECT_EQ(MessageOf([&] { root.SetParent(*a); }), "移動するノードは親を持っていなければなりません");
    EXPECT_EQ(Describe(root), "E:b|E:a|");
}

TEST(Nodes, MoveBeforePlacesTheNodeBeforeItsTarget)
{
    TNanXMLParentNode root;
    TNanXMLElement* a = root.AddElement("a");
    TNanXMLElement* b = root.AddElement("b");
    TNanXMLElement* c = root.AddElement("c");
    TNanXMLElement* inner = b->AddElement("inner");

    c->MoveBefore(a);
    EXPECT_EQ(Describe(root), "E:c|E:a|E:b|");
    c->MoveBefore(b);  // index of the target after taking the node out
    EXPECT_EQ(Describe(root), "E:a|E:c|E:b|");
    a->MoveBefore(inner);
    EXPECT_EQ(Describe(root), "E:c|E:b|");
    EXPECT_EQ(Describe(*b), "E:a|E:inner|");
    EXPECT_EQ(a->Parent(), b);
    inner->MoveBefore(inner);
    EXPECT_EQ(Describe(*b), "E:a|E:inner|");

    EXPECT_EQ(MessageOf([&] { a->MoveBefore(&root); }), "移動先は親を持つノードでなければなりません");
    EXPECT_EQ(MessageOf([&] { a->MoveBefore(nullptr); }), "移動先は親を持つノードでなければなりません");
    EXPECT_EQ(MessageOf([&] { b->MoveBefore(a); }), "ノードをそれ自身の子孫の下へ移動することはできません");
    EXPECT_EQ(Describe(root), "E:c|E:b|");
    EXPECT_EQ(Describe(*b), "E:a|E:inner|");
}

TEST(Nodes, InsertRemoveDetachAndDestroyKeepParentsRight)
{
    TNanXMLParentNode root;
    TNanXMLElement* a = root.AddElement("a");
    root.AddElement("b");
    auto c = std::make_unique<TNanXMLElement>();
    c->SetName("c");
    TNanXMLNode* inserted = root.InsertChild(std::move(c), 1);
    EXPECT_EQ(Describe(root), "E:a|E:c|E:b|");
    EXPECT_EQ(inserted->Parent(), &root);
    EXPECT_EQ(root.IndexOfChild(inserted), 1);

    std::unique_ptr<TNanXMLNode> removed = root.RemoveChild(inserted);
    ASSERT_EQ(removed.get(), inserted);
    EXPECT_EQ(removed->Parent(), nullptr);
    EXPECT_EQ(root.IndexOfChild(inserted), -1);
    EXPECT_EQ(root.RemoveChild(inserted), nullptr);

    // A detached subtree cannot take its own ancestor in.
    auto* holder = static_cast<TNanXMLParentNode*>(removed.get());
    TNanXMLElement* below = holder->AddElement("below");
    EXPECT_EQ(MessageOf([&] { below->InsertChild(std::move(removed), -1); }),
              "ノードをそれ自身の子孫の下へ移動することはできません");
    EXPECT_EQ(removed.get(), holder);  // a refused node stays with the caller

    std::unique_ptr<TNanXMLNode> detached = a->Detach();
    EXPECT_EQ(detached->Parent(), nullptr);
    EXPECT_EQ(Describe(root), "E:b|");
    EXPECT_EQ(detached->Detach(), nullptr);

    // Deleting a node that is still in a tree takes it out first.
    TNanXMLElement* doomed = root.AddElement("doomed");
    delete doomed;
    EXPECT_EQ(Describe(root), "E:b|");

    root.ClearChildren();
    EXPECT_EQ(root.ChildCount(), 0);
}

TEST(Nodes, AttributeLibraryFunctions)
{
    TNanXMLElement element;
    element.SetName("e");
    element.AddAttribute("flag", "true");
    element.AddAttribute("caps", "True");
    element.AddAttribute("number", "-42");
    element.AddAttribute("plus", "+7");
    element.AddAttribute("word", "12a");
    element.AddAttribute("huge", "2147483648");
    element.AddAttribute("empty", "");

    EXPECT_TRUE(GetBoolAttribute(&element, "flag", false));
    EXPECT_TRUE(GetBoolAttribute(&element, "FLAG", false));
    EXPECT_FALSE(GetBoolAttribute(&element, "caps", true));
    EXPECT_TRUE(GetBoolAttribute(&element, "missing", true));
    EXPECT_TRUE(GetBoolAttribute(nullptr, "flag", true));

    EXPECT_EQ(GetIntAttribute(&element, "number", 0), -42);
    EXPECT_EQ(GetIntAttribute(&element, "plus", 0), 7);
    EXPECT_EQ(GetIntAttribute(&element, "word", 5), 5);
    EXPECT_EQ(GetIntAttribute(&element, "huge", 5), 5);
    EXPECT_EQ(GetIntAttribute(&element, "empty", 5), 5);
    EXPECT_EQ(GetIntAttribute(&element, "missing", 9), 9);
    EXPECT_EQ(GetIntAttribute(nullptr, "number", 9), 9);

    TNanXMLParentNode parent;
    parent.AddElement("title")->AddText("a&b");
    EXPECT_EQ(GetChildText(parent, "title", "none"), "a&b");
    EXPECT_EQ(GetChildText(parent, "Title", "none"), "none");
}

TEST(Nodes, DocumentClearKeepsTheEncoding)
{
    TNanXML xml;
    EXPECT_EQ(xml.Encoding(), deShiftJIS);
    xml.SetEncoding(deUTF8);
    xml.Root().AddElement("a");
    xml.Clear();
    EXPECT_EQ(xml.Root().ChildCount(), 0);
    EXPECT_EQ(xml.Encoding(), deUTF8);
    EXPECT_EQ(xml.Root().Parent(), nullptr);
}
