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

// Twenty chapters; inside one, each node's parent is one of the 64 nodes before it, which
// gives runs of siblings and a depth of a few dozen levels. A third of the nodes are expanded.
inline document::DocumentTree RealisticTree()
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
        node.SetExpanded(i % 3 == 0);
        chapter.push_back(&node);
    }
    tree.Root().SetExpanded(true);
    return tree;
}

// The same outline with its flags set once every node has its children (a node without
// children takes no expanded flag, so the flags set while building it hold for none but the
// root): the chapters open, and below them seven nodes in eight, which shows 3,314 rows.
inline document::DocumentTree RealisticTreePartlyOpen()
{
    document::DocumentTree tree = RealisticTree();
    std::size_t i = 0;
    for (document::TreeNode* node = &tree.Root(); node; node = document::PreOrderNext(*node), ++i)
        node->SetExpanded(node->Level() <= 2 || i % 8 != 0);
    return tree;
}

}  // namespace benchtree
