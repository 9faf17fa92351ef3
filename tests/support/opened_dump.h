// Everything a reading of a document file gives, written out to compare two readings: the
// encoding, whether the file ended early, the top nodes not read, and the tree in order (each
// node's depth, open state, whether it is the selected one, caret, name and text).
#pragma once

#include "document/TrmFormat.h"

#include <string>
#include <utility>
#include <vector>

inline std::string DumpOpened(const document::OpenedDocument& opened)
{
    std::string dump = std::to_string(opened.encoding) + " " + std::to_string(opened.endsEarly) + " " +
                       std::to_string(opened.unreadTopNodes) + " " + std::to_string(opened.tree.NodeCount()) + "\n";
    std::vector<std::pair<const document::TreeNode*, std::size_t>> pending{{&opened.tree.Root(), 0}};
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        dump += std::to_string(depth) + (node->Expanded() ? " + " : " - ") + (node == opened.selected ? "* " : "  ") +
                std::to_string(node->Data().SelStart) + " " + std::to_string(node->Data().SelLength) + " [" +
                node->Name() + "] [" + node->Data().Text() + "]\n";
        for (std::size_t i = node->ChildCount(); i-- > 0;)
            pending.emplace_back(node->Child(i), depth + 1);
    }
    return dump;
}
