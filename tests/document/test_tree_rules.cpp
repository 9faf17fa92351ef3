#include "document/TreeRules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace document;

namespace {

// root
//   a
//     a1
//       a1x
//     a2
//   b
//   c
//     c1
struct Sample {
    DocumentTree tree;
    TreeNode& root = tree.Root();
    TreeNode& a = tree.AppendNode(root, "a");
    TreeNode& a1 = tree.AppendNode(a, "a1");
    TreeNode& a1x = tree.AppendNode(a1, "a1x");
    TreeNode& a2 = tree.AppendNode(a, "a2");
    TreeNode& b = tree.AppendNode(root, "b");
    TreeNode& c = tree.AppendNode(root, "c");
    TreeNode& c1 = tree.AppendNode(c, "c1");
};

std::string Names(const TreeNode& parent) {
    std::string out;
    for (std::size_t i = 0; i < parent.ChildCount(); ++i) out += (i ? "," : "") + parent.Child(i)->Name();
    return out;
}

TEST(AddRules, AnchorsAndTheRootRule) {
    Sample s;
    EXPECT_FALSE(CanAddSibling(&s.root));
    EXPECT_FALSE(CanAddSibling(nullptr));
    EXPECT_TRUE(CanAddSibling(&s.a1));

    // Nothing selected: both commands add to the root.
    NodePlace place = WhereToAdd(s.tree, nullptr, AddCommand::actAddChild);
    EXPECT_EQ(place.parent, &s.root);
    EXPECT_EQ(place.index, 3u);
    place = WhereToAdd(s.tree, nullptr, AddCommand::actAddSibling);
    EXPECT_EQ(place.parent, &s.root);

    // The root selected: a sibling of the root is never made.
    place = WhereToAdd(s.tree, &s.root, AddCommand::actAddSibling);
    EXPECT_EQ(place.parent, &s.root);
    EXPECT_EQ(place.index, 3u);

    // A child of the root selected: the sibling goes last under the root, not after it.
    TreeNode& sibling = AddNewNode(s.tree, &s.a, AddCommand::actAddSibling);
    EXPECT_EQ(sibling.Name(), "新規");
    EXPECT_TRUE(sibling.Data().Empty());
    EXPECT_EQ(Names(s.root), "a,b,c,新規");

    TreeNode& child = AddNewNode(s.tree, &s.a1, AddCommand::actAddChild);
    EXPECT_EQ(Names(s.a1), "a1x,新規");
    EXPECT_EQ(child.Parent(), &s.a1);
    EXPECT_EQ(s.tree.NodeCount(), 10u);

    // ExpandAll names the nodes it opened (a was open already), parents first; a second
    // call opens nothing.
    s.a.SetExpanded(true);
    EXPECT_EQ(ExpandAll(s.root), (std::vector<TreeNode*>{&s.root, &s.c, &s.a1}));
    for (TreeNode* n : {&s.root, &s.a, &s.a1, &s.c}) EXPECT_TRUE(n->Expanded()) << n->Name();
    EXPECT_FALSE(s.b.Expanded());
    EXPECT_TRUE(ExpandAll(s.root).empty());
}

TEST(DeleteRules, RootRefusedSubtreeRemoved) {
    Sample s;
    EXPECT_FALSE(CanDelete(&s.root));
    EXPECT_FALSE(CanDelete(nullptr));
    EXPECT_FALSE(DeleteNode(s.tree, &s.root));
    EXPECT_FALSE(DeleteNode(s.tree, nullptr));
    EXPECT_EQ(s.tree.NodeCount(), 8u);

    EXPECT_EQ(DeleteConfirmationText(s.a), "a を、子もまとめて削除します。よろしいですか？");
    EXPECT_TRUE(DeleteNode(s.tree, &s.a));
    EXPECT_EQ(Names(s.root), "b,c");
    EXPECT_EQ(s.tree.NodeCount(), 4u);
}

TEST(WalkRules, PreOrderOverCollapsedBranchesAndAtTheEnds) {
    Sample s;  // nothing is expanded
    std::vector<std::string> forward;
    for (const TreeNode* n = &s.root; n; n = PreOrderNext(*n)) forward.push_back(n->Name());
    EXPECT_EQ(forward, (std::vector<std::string>{"ルート", "a", "a1", "a1x", "a2", "b", "c", "c1"}));
    std::vector<std::string> backward;
    for (const TreeNode* n = &s.c1; n; n = PreOrderPrev(*n)) backward.push_back(n->Name());
    EXPECT_EQ(backward, (std::vector<std::string>{"c1", "c", "b", "a2", "a1x", "a1", "a", "ルート"}));

    EXPECT_EQ(PreOrderNext(s.c1), nullptr);
    EXPECT_EQ(PreOrderPrev(s.root), nullptr);
    // From a deep last child the walk climbs to the nearest ancestor with a next sibling.
    EXPECT_EQ(PreOrderNext(s.a1x), &s.a2);
    EXPECT_EQ(PreOrderNext(s.a2), &s.b);
    // From a node whose previous sibling has a subtree: its deepest last descendant.
    EXPECT_EQ(PreOrderPrev(s.b), &s.a2);
    EXPECT_EQ(PreOrderPrev(s.a2), &s.a1x);

    // Selecting the target makes it visible.
    std::vector<TreeNode*> opened = ExpandAncestors(s.a1x);
    EXPECT_EQ(opened, (std::vector<TreeNode*>{&s.root, &s.a, &s.a1}));
    EXPECT_TRUE(s.a1.Expanded());
    EXPECT_TRUE(ExpandAncestors(s.a1x).empty());
}

TEST(DropRules, PositionFromTheLabelMiddle) {
    const LabelSpan label{10, 21};  // middle 15
    EXPECT_EQ(DropPositionAt(label, 0), TDropPosition::dpBefore);
    EXPECT_EQ(DropPositionAt(label, 15), TDropPosition::dpBefore);
    EXPECT_EQ(DropPositionAt(label, 16), TDropPosition::dpChild);
    EXPECT_EQ(DropPositionAt(label, 500), TDropPosition::dpChild);
    // The half width truncates toward zero, not down: middle 0 + (-5 / 2) = -2.
    EXPECT_EQ(DropPositionAt({0, -5}, -2), TDropPosition::dpBefore);
    EXPECT_EQ(DropPositionAt({0, -5}, -1), TDropPosition::dpChild);
}

TEST(DropRules, EveryRefusal) {
    Sample s;
    const LabelSpan label{100, 200};
    const int leftHalf = 120;
    const int rightHalf = 180;
    // No node selected, the root dragged, nothing under the pointer.
    EXPECT_FALSE(DragOverDecision(nullptr, &s.b, label, leftHalf));
    EXPECT_FALSE(DragOverDecision(&s.root, &s.b, label, rightHalf));
    EXPECT_FALSE(DragOverDecision(&s.b, nullptr, label, leftHalf));
    // Onto itself or into its own subtree, on either half.
    EXPECT_FALSE(DragOverDecision(&s.a, &s.a, label, rightHalf));
    EXPECT_FALSE(DragOverDecision(&s.a, &s.a1x, label, leftHalf));
    EXPECT_FALSE(DragOverDecision(&s.a, &s.a2, label, rightHalf));
    // Before the root is refused; into the root as its first child is fine.
    EXPECT_FALSE(DragOverDecision(&s.b, &s.root, label, leftHalf));
    EXPECT_EQ(DragOverDecision(&s.b, &s.root, label, rightHalf), TDropPosition::dpChild);
    EXPECT_EQ(DragOverDecision(&s.a1x, &s.b, label, leftHalf), TDropPosition::dpBefore);
    EXPECT_EQ(DragOverDecision(&s.b, &s.a1x, label, rightHalf), TDropPosition::dpChild);

    // The drop itself refuses the same, whatever stale values it is given.
    EXPECT_FALSE(PlanDrop(&s.a, &s.a1, TDropPosition::dpChild));
    EXPECT_FALSE(PlanDrop(&s.b, &s.root, TDropPosition::dpBefore));
    EXPECT_FALSE(PlanDrop(&s.root, &s.b, TDropPosition::dpChild));
    EXPECT_FALSE(PlanDrop(&s.b, &s.b, TDropPosition::dpBefore));
    EXPECT_FALSE(PlanDrop(&s.b, nullptr, TDropPosition::dpChild));
    EXPECT_EQ(s.tree.NodeCount(), 8u);
}

TEST(DropRules, MoveBeforeAndAsFirstChild) {
    Sample s;
    s.a1x.Data().SetText("deep");

    // dpBefore a later sibling under the same parent: counted before and after the move.
    std::optional<MovePlan> plan = PlanDrop(&s.a, &s.c, TDropPosition::dpBefore);
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->fromParent, &s.root);
    EXPECT_EQ(plan->fromIndex, 0u);
    EXPECT_EQ(plan->toParent, &s.root);
    EXPECT_EQ(plan->toIndexBeforeMove, 2u);
    EXPECT_EQ(plan->toIndexAfterMove, 1u);
    EXPECT_TRUE(plan->ChangesPosition());
    ApplyMove(s.tree, *plan);
    EXPECT_EQ(Names(s.root), "b,a,c");
    EXPECT_EQ(s.a1.Child(0), &s.a1x);
    EXPECT_EQ(s.a1x.Data().Text(), "deep\r\n");
    EXPECT_TRUE(s.root.Expanded());

    // Right before itself changes nothing.
    plan = PlanDrop(&s.b, &s.a, TDropPosition::dpBefore);
    ASSERT_TRUE(plan);
    EXPECT_FALSE(plan->ChangesPosition());

    // dpChild into a collapsed leaf: first child, and the new parent is expanded.
    plan = PlanDrop(&s.a, &s.c1, TDropPosition::dpChild);
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->toIndexBeforeMove, 0u);
    ApplyMove(s.tree, *plan);
    EXPECT_EQ(s.a.Parent(), &s.c1);
    EXPECT_TRUE(s.c1.Expanded());
    EXPECT_EQ(Names(s.root), "b,c");

    // dpChild into a node with children puts it first.
    plan = PlanDrop(&s.b, &s.a, TDropPosition::dpChild);
    ASSERT_TRUE(plan);
    ApplyMove(s.tree, *plan);
    EXPECT_EQ(Names(s.a), "b,a1,a2");
    EXPECT_EQ(s.tree.NodeCount(), 8u);

    // dpBefore a node under another parent.
    plan = PlanDrop(&s.a2, &s.c, TDropPosition::dpBefore);
    ASSERT_TRUE(plan);
    EXPECT_EQ(plan->toIndexAfterMove, 0u);
    ApplyMove(s.tree, *plan);
    EXPECT_EQ(Names(s.root), "a2,c");
    EXPECT_EQ(Names(s.a), "b,a1");
}

}  // namespace
