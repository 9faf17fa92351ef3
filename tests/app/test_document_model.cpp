// The tree model alone, without a view: Qt's model checker watches random inserts, removes,
// moves and renames, and after each step the model must still mirror the plain tree.
#include "app/DocumentModel.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using document::DocumentTree;
using document::TreeNode;

namespace {

std::vector<TreeNode*> NodesOf(TreeNode& root) {
    std::vector<TreeNode*> nodes{&root};
    for (std::size_t i = 0; i < nodes.size(); ++i)
        for (std::size_t k = 0; k < nodes[i]->ChildCount(); ++k) nodes.push_back(nodes[i]->Child(k));
    return nodes;
}

// Every node reachable through the model, with its name, at the place the tree has it.
void ExpectModelMirrorsTree(const TDocumentModel& model, TreeNode& root) {
    for (TreeNode* node : NodesOf(root)) {
        const QModelIndex index = model.IndexOf(node);
        ASSERT_EQ(model.NodeOf(index), node);
        EXPECT_EQ(model.rowCount(index), static_cast<int>(node->ChildCount()));
        EXPECT_EQ(model.data(index).toString().toStdString(), node->Name());
        if (!node->IsRoot()) {
            EXPECT_EQ(index.row(), static_cast<int>(node->Index()));
            EXPECT_EQ(model.NodeOf(model.parent(index)), node->Parent());
        }
    }
}

TEST(DocumentModel, StaysConsistentThroughRandomChanges) {
    int argc = 0;
    QCoreApplication application(argc, nullptr);
    DocumentTree tree;
    TDocumentModel model;
    model.SetTree(&tree);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);

    std::mt19937 random(20261208);
    const auto pick = [&](std::size_t count) { return std::uniform_int_distribution<std::size_t>(0, count - 1)(random); };
    for (int step = 0; step < 1500; ++step) {
        const std::vector<TreeNode*> nodes = NodesOf(tree.Root());
        TreeNode* node = nodes[pick(nodes.size())];
        switch (pick(4)) {
        case 0:
        case 1:
            model.InsertNode(*node, pick(node->ChildCount() + 1), "n" + std::to_string(step));
            break;
        case 2:  // a removal takes the subtree along: rarer, so the tree grows
            if (pick(3) == 0) {
                EXPECT_EQ(model.RemoveNode(*node), !node->IsRoot());
            }
            break;
        default: {
            TreeNode* target = nodes[pick(nodes.size())];
            const auto position = pick(2) ? document::TDropPosition::dpBefore : document::TDropPosition::dpChild;
            if (const auto plan = document::PlanDrop(node, target, position)) {
                EXPECT_TRUE(model.MoveNode(*plan));
            }
            model.setData(model.IndexOf(target), QStringLiteral("名前%1").arg(step));
            break;
        }
        }
        if (step % 100 == 0) ExpectModelMirrorsTree(model, tree.Root());
    }
    ExpectModelMirrorsTree(model, tree.Root());
    EXPECT_GT(tree.NodeCount(), 50u);

    // Another tree, then none.
    DocumentTree other;
    other.AppendNode(other.Root(), "a");
    model.SetTree(&other);
    ExpectModelMirrorsTree(model, other.Root());
    model.SetTree(nullptr);
    EXPECT_EQ(model.rowCount(), 0);
}

}  // namespace
