// The two shapes of a 100,000-node tree that the benchmarks of walking, moving and expanding
// share: a long flat list and an outline as people write one.
#pragma once

#include "document/DocumentTree.h"
#include "document/TreeRules.h"

#include <random>
#include <string>
#include <vector>

namespace benchtree {

constexpr std::size_t kNodes = 100000;

// A few short lines of Japanese and ASCII, or none.
inline std::string ShortText(std::mt19937& rng)
{
    static const char* const lines[] = {"会議のメモ\r\n", "予定: 東京 10:00\r\n", "note about the tree\r\n", "(1) 確認する\r\n"};
    std::string text;
    for (int i = std::uniform_int_distribution<int>(0, 4)(rng); i > 0; --i)
        text += lines[std::uniform_int_distribution<int>(0, 3)(rng)];
    return text;
}

// 99,999 siblings under the root.
inline document::DocumentTree WideTree()
{
    std::mt19937 rng(7);
    document::DocumentTree tree;
    for (std::size_t i = 1; i < kNodes; ++i)
        tree.AppendNode(tree.Root(), "項目 " + std::to_string(i)).Data().SetText(ShortText(rng));
    tree.Root().SetExpanded(true);
    return tree;
}

// Twenty chapters of 5,000 nodes; inside one, each new node goes below, beside or (up a level
// or two) after the one before, at most 12 levels deep, which gives runs of siblings as in an
// outline people write.
inline document::DocumentTree RealisticTree()
{
    constexpr std::size_t kMostLevels = 12;
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> step(0, 9);
    document::DocumentTree tree;
    std::vector<document::TreeNode*> path;  // the root and the ancestors of the next node
    for (std::size_t i = 1; i < kNodes; ++i) {
        if (i % 5000 == 1)
            path.assign(1, &tree.Root());
        document::TreeNode& node = tree.AppendNode(*path.back(), "ノード " + std::to_string(i));
        node.Data().SetText(ShortText(rng));
        const int s = step(rng);
        if (path.size() == 1 || (s < 4 && path.size() < kMostLevels))
            path.push_back(&node);  // the next one goes below
        else if (s >= 6 && path.size() > 2)
            path.pop_back();  // or after the parent
    }
    tree.Root().SetExpanded(true);
    return tree;
}

// A stress shape, far deeper than outlines people write: each node's parent is one of the 64
// nodes before it in its chapter, which gives a mean depth of 83 levels and at most 178. The
// view's work for an open node grows with its depth.
inline document::DocumentTree DeepTree()
{
    std::mt19937 rng(12345);
    document::DocumentTree tree;
    std::vector<document::TreeNode*> chapter;
    for (std::size_t i = 1; i < kNodes; ++i) {
        document::TreeNode* parent = &tree.Root();
        if (i % 5000 == 1) {
            chapter.clear();
        } else {
            const std::size_t first = chapter.size() > 64 ? chapter.size() - 64 : 0;
            parent = chapter[std::uniform_int_distribution<std::size_t>(first, chapter.size() - 1)(rng)];
        }
        document::TreeNode& node = tree.AppendNode(*parent, "ノード " + std::to_string(i));
        node.Data().SetText(ShortText(rng));
        chapter.push_back(&node);
    }
    tree.Root().SetExpanded(true);
    return tree;
}

// The same outline with its flags set once every node has its children (a node without
// children takes no expanded flag): one chapter in four open, and below them every other
// node, which shows 3,859 rows.
inline document::DocumentTree RealisticTreePartlyOpen()
{
    document::DocumentTree tree = RealisticTree();
    std::size_t i = 0;
    for (document::TreeNode* node = &tree.Root(); node; node = document::PreOrderNext(*node), ++i) {
        const bool chapter = node->Level() == 2;
        node->SetExpanded(node->IsRoot() || (chapter ? node->Index() % 4 == 0 : i % 2 == 0));
    }
    return tree;
}

}  // namespace benchtree
