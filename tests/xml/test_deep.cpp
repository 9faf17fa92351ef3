#include "test_support.h"

#include <string>

using namespace nanxml;

namespace {

constexpr int kDepth = 100000;

}  // namespace

// Building, writing, reading and destroying a very deep tree must not use the call stack
// in proportion to the depth.
TEST(DeepNesting, HundredThousandLevelsRoundTrip)
{
    nanxml_test::TempFolder folder;
    std::string markup;
    {
        TNanXML xml;
        TNanXMLParentNode* parent = &xml.Root();
        for (int i = 0; i < kDepth; ++i) {
            TNanXMLElement* element = parent->AddElement("n");
            element->AddText("x");
            parent = element;
        }
        markup = xml.Root().GetXML();
        EXPECT_EQ(markup.size(), static_cast<std::size_t>(kDepth) * 8);  // "<n>x" and "</n>"
        EXPECT_EQ(markup.substr(0, 8), "<n>x<n>x");
        EXPECT_EQ(markup.substr(markup.size() - 8), "</n></n>");
        EXPECT_EQ(xml.Root().GetText(), std::string(kDepth, 'x'));
        xml.SetEncoding(deUTF8);
        xml.SaveToFile(folder.File("deep.trm"), false);
        xml.SetEncoding(deShiftJIS);
        EXPECT_EQ(xml.CountUnmappable(), 0u);
    }  // destroyed here

    TNanXML read;
    read.LoadFromString(markup);
    int depth = 0;
    const TNanXMLParentNode* node = &read.Root();
    while (node->ChildCount() > 0) {
        const TNanXMLElement* child = node->FindElement("n");
        if (child == nullptr) break;
        ++depth;
        node = child;
    }
    EXPECT_EQ(depth, kDepth);
    EXPECT_EQ(read.Root().GetXML(), markup);

    // Unclosed start tags nest just as deep; the end tag of the outermost closes them all.
    std::string unclosed = "<top>";
    for (int i = 0; i < kDepth; ++i) unclosed += "<m>";
    unclosed += "</top><after/>";
    read.LoadFromString(unclosed);
    EXPECT_EQ(read.Root().ChildCount(), 2);

    read.LoadFromFile(folder.File("deep.trm"));
    EXPECT_EQ(read.Root().ChildCount(), 2);  // the element and the final line break
    read.Clear();
}

TEST(DeepNesting, ClearChildrenAndDetachOfADeepSubtree)
{
    TNanXMLParentNode root;
    TNanXMLElement* top = root.AddElement("top");
    TNanXMLParentNode* parent = top;
    for (int i = 0; i < kDepth; ++i) parent = parent->AddElement("n");
    std::unique_ptr<TNanXMLNode> detached = top->Detach();
    EXPECT_EQ(root.ChildCount(), 0);
    EXPECT_EQ(detached->Parent(), nullptr);
    detached.reset();

    TNanXMLElement* again = root.AddElement("again");
    parent = again;
    for (int i = 0; i < kDepth; ++i) parent = parent->AddElement("n");
    again->ClearChildren();
    EXPECT_EQ(again->ChildCount(), 0);
}
