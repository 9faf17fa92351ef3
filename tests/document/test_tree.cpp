#include "document/DocumentTree.h"
#include "document/TVLNodeData.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace document;

namespace {

using Lines = std::vector<std::string>;

TEST(NodeText, SplitsAtEveryBreakWithoutEmptyLastLine) {
    TVLNodeData data;
    EXPECT_EQ(data.Text(), "");
    EXPECT_EQ(data.Lines(), Lines{});
    EXPECT_EQ(data.SelStart, 0);
    EXPECT_EQ(data.SelLength, 0);

    data.SetText("a\r\nb\rc\nd");
    EXPECT_EQ(data.Lines(), (Lines{"a", "b", "c", "d"}));
    EXPECT_EQ(data.Text(), "a\r\nb\r\nc\r\nd\r\n");
    EXPECT_EQ(data.LineCount(), 4u);

    data.SetText(std::string("two\rwords"));
    EXPECT_EQ(data.Text(), "two\r\nwords\r\n");
    EXPECT_EQ(data.EditorText(), "two\nwords");

    data.SetText("end\n");
    EXPECT_EQ(data.Lines(), Lines{"end"});
    EXPECT_EQ(data.EditorText(), "end");

    data.SetText("x\n\n");
    EXPECT_EQ(data.Lines(), (Lines{"x", ""}));
    EXPECT_EQ(data.Text(), "x\r\n\r\n");
    EXPECT_EQ(data.EditorText(), "x\n");

    data.SetText("\r\r\n\n");
    EXPECT_EQ(data.Lines(), (Lines{"", "", ""}));

    data.SetText("");
    EXPECT_EQ(data.Lines(), Lines{});
    EXPECT_EQ(data.Text(), "");

    data.SetText("single");
    EXPECT_EQ(data.Text(), "single\r\n");

    // Already in stored form: kept as is.
    data.SetText(std::string("p\r\nq\r\n"));
    EXPECT_EQ(data.Text(), "p\r\nq\r\n");
}

// The split rule written the plain way, to check the fast one against.
Lines ReferenceSplit(const std::string& text) {
    Lines lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.push_back(line);
            line.clear();
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line += text[i];
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

TEST(NodeText, EveryShortMixOfBreaksSplitsLikeTheRule) {
    const char alphabet[] = {'a', '\r', '\n'};
    for (int length = 0; length <= 7; ++length) {
        int combinations = 1;
        for (int i = 0; i < length; ++i) combinations *= 3;
        for (int code = 0; code < combinations; ++code) {
            std::string text;
            for (int i = 0, c = code; i < length; ++i, c /= 3) text += alphabet[c % 3];
            TVLNodeData data;
            data.SetText(text);
            const Lines expected = ReferenceSplit(text);
            ASSERT_EQ(data.Lines(), expected) << testing::PrintToString(text);
            std::string joined;
            for (const std::string& line : expected) joined += line + "\r\n";
            ASSERT_EQ(data.Text(), joined);
            ASSERT_EQ(data.LineCount(), expected.size());
        }
    }
}

TEST(NodeText, LinesRoundTripAndLinesHoldingBreaksAreSplit) {
    TVLNodeData data;
    data.SetLines({"日本語", "", "<&>\""});
    EXPECT_EQ(data.Text(), "日本語\r\n\r\n<&>\"\r\n");
    EXPECT_EQ(data.Lines(), (Lines{"日本語", "", "<&>\""}));
    data.SetLines({"a\nb"});
    EXPECT_EQ(data.Lines(), (Lines{"a", "b"}));
    data.SetLines({});
    EXPECT_TRUE(data.Empty());
}

TEST(NodeText, EditorTextRoundTripsThroughSetText) {
    for (const std::string text : {"", "a", "a\nb", "a\n\nb\n", "\n", "x\ry\r\n"}) {
        TVLNodeData first;
        first.SetText(text);
        TVLNodeData second;
        second.SetText(first.EditorText());
        // An editor text can not tell one empty line from none.
        if (first.Lines() != Lines{""}) {
            EXPECT_EQ(second.Lines(), first.Lines()) << text;
        }
    }
}

TEST(Tree, NewDocumentHasRootAloneAndRootIsProtected) {
    DocumentTree tree;
    TreeNode& root = tree.Root();
    EXPECT_EQ(root.Name(), "ルート");
    EXPECT_TRUE(root.IsRoot());
    EXPECT_EQ(root.ChildCount(), 0u);
    EXPECT_TRUE(root.Data().Empty());
    EXPECT_EQ(tree.NodeCount(), 1u);

    TreeNode& a = tree.AppendNode(root, "a");
    EXPECT_FALSE(tree.RemoveNode(root));
    EXPECT_FALSE(tree.MoveNode(root, a, 0));
    EXPECT_EQ(&tree.Root(), &root);
    EXPECT_EQ(a.Parent(), &root);
    EXPECT_EQ(tree.NodeCount(), 2u);
}

TEST(Tree, IndicesFollowInsertRemoveAndMove) {
    DocumentTree tree;
    TreeNode& root = tree.Root();
    TreeNode& a = tree.AppendNode(root, "a");
    TreeNode& c = tree.AppendNode(root, "c");
    TreeNode& b = tree.InsertNode(root, 1, "b");
    TreeNode& far = tree.InsertNode(root, 99, "far");
    EXPECT_EQ(a.Index(), 0u);
    EXPECT_EQ(b.Index(), 1u);
    EXPECT_EQ(c.Index(), 2u);
    EXPECT_EQ(far.Index(), 3u);
    EXPECT_EQ(root.Child(1), &b);
    EXPECT_EQ(root.Child(4), nullptr);
    EXPECT_EQ(b.PrevSibling(), &a);
    EXPECT_EQ(b.NextSibling(), &c);
    EXPECT_EQ(a.PrevSibling(), nullptr);
    EXPECT_EQ(far.NextSibling(), nullptr);

    TreeNode& b1 = tree.AppendNode(b, "b1");
    b1.Data().SetText("payload");
    b.SetExpanded(true);
    EXPECT_TRUE(b.Expanded());
    EXPECT_EQ(b1.Level(), 3u);

    // Moving keeps identity and payload.
    ASSERT_TRUE(tree.MoveNode(b, c, 0));
    EXPECT_EQ(c.Child(0), &b);
    EXPECT_EQ(b.Child(0), &b1);
    EXPECT_EQ(b1.Data().Text(), "payload\r\n");
    EXPECT_EQ(c.Index(), 1u);
    EXPECT_EQ(far.Index(), 2u);
    EXPECT_EQ(b1.Level(), 4u);

    // A node can not go into its own subtree.
    EXPECT_FALSE(tree.MoveNode(c, b1, 0));
    EXPECT_FALSE(tree.MoveNode(c, c, 0));
    EXPECT_EQ(c.Parent(), &root);

    EXPECT_EQ(tree.NodeCount(), 6u);
    ASSERT_TRUE(tree.RemoveNode(c));
    EXPECT_EQ(tree.NodeCount(), 3u);
    EXPECT_EQ(far.Index(), 1u);
    EXPECT_EQ(SubtreeSize(root), 3u);
}

TEST(Tree, NodeWithoutChildrenIsNeverExpanded) {
    DocumentTree tree;
    TreeNode& leaf = tree.AppendNode(tree.Root(), "leaf");
    leaf.SetExpanded(true);
    EXPECT_FALSE(leaf.Expanded());
    tree.Root().SetExpanded(true);
    EXPECT_TRUE(tree.Root().Expanded());
    tree.RemoveNode(leaf);
    EXPECT_FALSE(tree.Root().Expanded());

    TreeNode& a = tree.AppendNode(tree.Root(), "a");
    TreeNode& b = tree.AppendNode(tree.Root(), "b");
    TreeNode& child = tree.AppendNode(a, "child");
    a.SetExpanded(true);
    tree.MoveNode(child, b, 0);
    EXPECT_FALSE(a.Expanded());
}

// Every pair of nodes of random trees, against the plain definition: target's ancestors
// (target included) hold node.
TEST(Tree, IsInSubtreeAnswersForEveryPairOfNodes) {
    std::mt19937 rng(7);
    for (int round = 0; round < 20; ++round) {
        DocumentTree tree;
        std::vector<TreeNode*> nodes{&tree.Root()};
        for (int i = 0; i < 40; ++i) {
            // Mostly recent parents, for deep chains as well as wide fans.
            std::uniform_int_distribution<std::size_t> pick(round % 2 ? 0 : nodes.size() / 2, nodes.size() - 1);
            nodes.push_back(&tree.AppendNode(*nodes[pick(rng)], "n"));
        }
        for (const TreeNode* target : nodes) {
            for (const TreeNode* node : nodes) {
                bool expected = false;
                for (const TreeNode* p = target; p; p = p->Parent()) expected = expected || p == node;
                EXPECT_EQ(IsInSubtree(target, node), expected);
            }
        }
        EXPECT_FALSE(IsInSubtree(nullptr, nodes.back()));
    }
}

TEST(Tree, VeryDeepTreeIsBuiltMeasuredAndDestroyed) {
    DocumentTree tree;
    TreeNode* node = &tree.Root();
    for (int i = 0; i < 200000; ++i) node = &tree.AppendNode(*node, "d");
    EXPECT_EQ(SubtreeSize(tree.Root()), 200001u);
    EXPECT_TRUE(IsInSubtree(node, &tree.Root()));
    EXPECT_FALSE(IsInSubtree(&tree.Root(), node));
    EXPECT_FALSE(IsInSubtree(node, nullptr));
    // Tearing down is iterative; a recursive destructor would overflow the stack here.
    DocumentTree moved = std::move(tree);
    EXPECT_EQ(moved.NodeCount(), 200001u);
    EXPECT_TRUE(moved.RemoveNode(*moved.Root().Child(0)));
    EXPECT_EQ(moved.NodeCount(), 1u);
}

}  // namespace
