// What a tree holds, counted to check that a benchmark read all of a document: its nodes,
// the bytes of their texts and the line breaks among them.
#pragma once

#include "document/DocumentTree.h"

#include <algorithm>
#include <cstddef>
#include <vector>

struct TreeContents {
    std::size_t nodes = 0;
    std::size_t textBytes = 0;
    std::size_t lineBreaks = 0;
};

inline TreeContents ContentsOf(const document::DocumentTree& tree)
{
    TreeContents contents;
    std::vector<const document::TreeNode*> pending{&tree.Root()};
    while (!pending.empty()) {
        const document::TreeNode* node = pending.back();
        pending.pop_back();
        ++contents.nodes;
        const std::string& text = node->Data().Text();
        contents.textBytes += text.size();
        contents.lineBreaks += static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
        for (std::size_t i = 0; i < node->ChildCount(); ++i)
            pending.push_back(node->Child(i));
    }
    return contents;
}
