#include "interchange/TreeExport.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <algorithm>
#include <string>
#include <vector>

using document::DocumentTree;
using document::TreeNode;
using interchange::MakeHtmlOutline;
using interchange::MakeTextOutline;

namespace {

// The tree of the worked example: ルート (abc, def) with A (x, child A1 empty) and B (y).
DocumentTree ExampleTree()
{
    DocumentTree tree;
    tree.Root().Data().SetText("abc\r\ndef\r\n");
    TreeNode& a = tree.AppendNode(tree.Root(), "A");
    a.Data().SetText("x");
    tree.AppendNode(a, "A1");
    tree.AppendNode(tree.Root(), "B").Data().SetText("y\r\n");
    return tree;
}

std::string Tabs(int n) { return std::string(n, '\t'); }

}  // namespace

TEST(TreeExport, TextOutlineOfTheExampleTree)
{
    const DocumentTree tree = ExampleTree();
    const std::vector<std::string> expected{
        "ルート", "", "abc", "def", "", "1 A", "", "x", "", "1-1 A1", "", "", "2 B", "", "y", "",
    };
    EXPECT_EQ(MakeTextOutline(tree.Root()), expected);
}

TEST(TreeExport, HtmlOutlineOfTheExampleTree)
{
    const DocumentTree tree = ExampleTree();
    const std::vector<std::pair<int, std::string>> rows{
        {0, "<html>"}, {1, "<head>"}, {2, "<title>ルート</title>"}, {1, "</head>"}, {1, "<body>"},
        {2, "<ul>"}, {3, "<li class=\"node1\">ルート"}, {3, "<p class=\"text\">"}, {4, "abc<br>"},
        {4, "def<br>"}, {3, "</p>"}, {3, "<ul>"}, {4, "<li class=\"node2\">A"}, {4, "<p class=\"text\">"},
        {5, "x<br>"}, {4, "</p>"}, {4, "<ul>"}, {5, "<li class=\"node3\">A1"}, {5, "<p class=\"text\">"},
        {5, "</p>"}, {5, "<ul>"}, {5, "</ul>"}, {4, "</ul>"}, {4, "<li class=\"node2\">B"},
        {4, "<p class=\"text\">"}, {5, "y<br>"}, {4, "</p>"}, {4, "<ul>"}, {4, "</ul>"}, {3, "</ul>"},
        {2, "</ul>"}, {1, "</body>"}, {0, "</html>"},
    };
    std::vector<std::string> expected;
    for (const auto& [tabs, text] : rows) expected.push_back(Tabs(tabs) + text);
    EXPECT_EQ(MakeHtmlOutline(tree.Root()), expected);
}

TEST(TreeExport, RootAloneWithEmptyText)
{
    const DocumentTree tree;
    EXPECT_EQ(MakeTextOutline(tree.Root()), (std::vector<std::string>{"ルート", "", ""}));
    const std::vector<std::string> html = MakeHtmlOutline(tree.Root());
    ASSERT_EQ(html.size(), 14u);
    EXPECT_EQ(html[6], Tabs(3) + "<li class=\"node1\">ルート");
    EXPECT_EQ(html[7], Tabs(3) + "<p class=\"text\">");
    EXPECT_EQ(html[8], Tabs(3) + "</p>");
    EXPECT_EQ(html[9], Tabs(3) + "<ul>");
    EXPECT_EQ(html[10], Tabs(3) + "</ul>");
    EXPECT_EQ(html[13], "</html>");
}

TEST(TreeExport, NumbersPastNineAndDeeperLevels)
{
    DocumentTree tree;
    for (int i = 1; i <= 10; ++i) tree.AppendNode(tree.Root(), "n" + std::to_string(i));
    TreeNode& tenth = *tree.Root().Child(9);
    TreeNode& deep = tree.AppendNode(tenth, "first of tenth");
    tree.AppendNode(tree.AppendNode(deep, "d"), "e");

    const std::vector<std::string> text = MakeTextOutline(tree.Root());
    std::vector<std::string> headings;
    for (std::size_t i = 0; i < text.size(); i += 3) headings.push_back(text[i]);
    ASSERT_EQ(headings.size(), 14u);
    EXPECT_EQ(headings[1], "1 n1");
    EXPECT_EQ(headings[9], "9 n9");
    EXPECT_EQ(headings[10], "10 n10");
    EXPECT_EQ(headings[11], "10-1 first of tenth");
    EXPECT_EQ(headings[12], "10-1-1 d");
    EXPECT_EQ(headings[13], "10-1-1-1 e");

    const std::vector<std::string> html = MakeHtmlOutline(tree.Root());
    EXPECT_NE(std::find(html.begin(), html.end(), Tabs(7) + "<li class=\"node5\">e"), html.end());
    EXPECT_EQ(html.back(), "</html>");
}

TEST(TreeExport, TextEndingWithAnEmptyLineAndUnescapedMarkup)
{
    DocumentTree tree("a<b & c");
    tree.Root().Data().SetText("x < y && z\r\n\r\n");
    EXPECT_EQ(MakeTextOutline(tree.Root()),
              (std::vector<std::string>{"a<b & c", "", "x < y && z", "", ""}));
    const std::vector<std::string> html = MakeHtmlOutline(tree.Root());
    EXPECT_EQ(html[2], Tabs(2) + "<title>a<b & c</title>");
    EXPECT_EQ(html[6], Tabs(3) + "<li class=\"node1\">a<b & c");
    EXPECT_EQ(html[8], Tabs(4) + "x < y && z<br>");
    EXPECT_EQ(html[9], Tabs(4) + "<br>");
    EXPECT_EQ(html[10], Tabs(3) + "</p>");
}

TEST(TreeExport, ExportOfASubtreeNumbersFromIt)
{
    DocumentTree tree = ExampleTree();
    const TreeNode& a = *tree.Root().Child(0);
    EXPECT_EQ(MakeTextOutline(a), (std::vector<std::string>{"A", "", "x", "", "1 A1", "", ""}));
    const std::vector<std::string> html = MakeHtmlOutline(a);
    EXPECT_EQ(html[2], Tabs(2) + "<title>A</title>");
    EXPECT_EQ(html[6], Tabs(3) + "<li class=\"node1\">A");
    EXPECT_EQ(html[11], Tabs(4) + "<li class=\"node2\">A1");
}

// Runs work on a thread with a small stack, where a walk that recursed once per level of a
// deep tree would overflow.
void RunOnSmallStack(void (*work)(void*), void* argument)
{
    struct Call {
        void (*work)(void*);
        void* argument;
    } call{work, argument};
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 256 * 1024);
    pthread_t thread;
    auto trampoline = [](void* p) -> void* {
        auto* c = static_cast<Call*>(p);
        c->work(c->argument);
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attributes, trampoline, &call), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

TEST(TreeExport, VeryDeepTreeNeedsNoDeepRecursion)
{
    constexpr int kDepth = 5000;
    struct Result {
        DocumentTree tree;
        std::vector<std::string> text, html;
    } result;
    TreeNode* node = &result.tree.Root();
    for (int i = 0; i < kDepth; ++i) node = &result.tree.AppendNode(*node, "d");
    RunOnSmallStack([](void* p) {
        auto* r = static_cast<Result*>(p);
        r->text = MakeTextOutline(r->tree.Root());
        r->html = MakeHtmlOutline(r->tree.Root());
    }, &result);

    ASSERT_EQ(result.text.size(), 3u * (kDepth + 1));
    std::string deepest;
    for (int i = 0; i < kDepth; ++i) deepest += "1-";
    deepest.back() = ' ';
    EXPECT_EQ(result.text[result.text.size() - 3], deepest + "d");
    ASSERT_EQ(result.html.size(), 9u + 5u * (kDepth + 1));
    EXPECT_EQ(result.html[6 + 4 * kDepth], Tabs(3 + kDepth) + "<li class=\"node" + std::to_string(kDepth + 1) + "\">d");
    EXPECT_EQ(result.html.back(), "</html>");
}

TEST(TreeExport, JoinedTextEndsEveryLineWithCrLf)
{
    EXPECT_EQ(interchange::JoinOutlineLines({"ルート", "", ""}), "ルート\r\n\r\n\r\n");
    EXPECT_EQ(interchange::JoinOutlineLines({}), "");
}
