// Walking a node tree in document order without recursion, so that trees of any depth can
// be written and read out on a small stack.
#pragma once

#include "xml/nanxml.h"

#include <vector>

namespace nanxml {

// Visits the nodes below top in document order: enter before and leave after the children
// of every parent node below top, leaf for every other node.
template <class Enter, class Leave, class Leaf>
void WalkBelow(const TNanXMLParentNode& top, Enter&& enter, Leave&& leave, Leaf&& leaf)
{
    struct Frame {
        TNanXMLNodeList::Storage::const_iterator next;
        TNanXMLNodeList::Storage::const_iterator end;
        const TNanXMLParentNode* node;
    };
    std::vector<Frame> stack;
    stack.push_back({top.Children().begin(), top.Children().end(), &top});
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.end) {
            const TNanXMLParentNode* finished = frame.node;
            stack.pop_back();
            if (!stack.empty()) leave(*finished);
            continue;
        }
        const TNanXMLNode& child = **frame.next++;
        if (const TNanXMLParentNode* parent = child.AsParent()) {
            enter(*parent);
            stack.push_back({parent->Children().begin(), parent->Children().end(), parent});
        } else {
            leaf(child);
        }
    }
}

}  // namespace nanxml
