#include "document/DocumentTree.h"

#include <algorithm>
#include <utility>

namespace document {

TreeNode::TreeNode(std::string name) : name_(std::move(name)) {}

// Children are torn down from a work list instead of by recursion, so that a tree of any
// depth can be destroyed without exhausting the stack.
TreeNode::~TreeNode() {
    std::vector<std::unique_ptr<TreeNode>> pending = std::move(children_);
    while (!pending.empty()) {
        std::unique_ptr<TreeNode> node = std::move(pending.back());
        pending.pop_back();
        for (auto& child : node->children_) pending.push_back(std::move(child));
        node->children_.clear();
    }
}

TreeNode* TreeNode::Child(std::size_t index) const noexcept {
    return index < children_.size() ? children_[index].get() : nullptr;
}

TreeNode* TreeNode::LastChild() const noexcept {
    return children_.empty() ? nullptr : children_.back().get();
}

TreeNode* TreeNode::PrevSibling() const noexcept {
    return parent_ && index_ > 0 ? parent_->children_[index_ - 1].get() : nullptr;
}

TreeNode* TreeNode::NextSibling() const noexcept {
    return parent_ ? parent_->Child(index_ + 1) : nullptr;
}

std::size_t TreeNode::Level() const noexcept {
    std::size_t level = 1;
    for (const TreeNode* p = parent_; p; p = p->parent_) ++level;
    return level;
}

void TreeNode::RenumberChildrenFrom(std::size_t first) noexcept {
    for (std::size_t i = first; i < children_.size(); ++i) children_[i]->index_ = i;
}

DocumentTree::DocumentTree() : DocumentTree(kNewRootName) {}

DocumentTree::DocumentTree(std::string rootName)
    : root_(new TreeNode(std::move(rootName))) {}

TreeNode& DocumentTree::InsertNode(TreeNode& parent, std::size_t index, std::string name) {
    index = std::min(index, parent.children_.size());
    std::unique_ptr<TreeNode> node(new TreeNode(std::move(name)));
    TreeNode& added = *node;
    added.parent_ = &parent;
    parent.children_.insert(parent.children_.begin() + static_cast<std::ptrdiff_t>(index), std::move(node));
    parent.RenumberChildrenFrom(index);
    ++nodeCount_;
    return added;
}

TreeNode& DocumentTree::AppendNode(TreeNode& parent, std::string name) {
    return InsertNode(parent, parent.children_.size(), std::move(name));
}

bool DocumentTree::RemoveNode(TreeNode& node) {
    TreeNode* parent = node.parent_;
    if (!parent) return false;
    const std::size_t removed = SubtreeSize(node);
    const std::size_t index = node.index_;
    parent->children_.erase(parent->children_.begin() + static_cast<std::ptrdiff_t>(index));
    parent->RenumberChildrenFrom(index);
    if (parent->children_.empty()) parent->expanded_ = false;
    nodeCount_ -= removed;
    return true;
}

bool DocumentTree::MoveNode(TreeNode& node, TreeNode& newParent, std::size_t indexAfterMove) {
    TreeNode* oldParent = node.parent_;
    if (!oldParent || IsInSubtree(&newParent, &node)) return false;
    const std::size_t oldIndex = node.index_;
    std::unique_ptr<TreeNode> owned = std::move(oldParent->children_[oldIndex]);
    oldParent->children_.erase(oldParent->children_.begin() + static_cast<std::ptrdiff_t>(oldIndex));
    oldParent->RenumberChildrenFrom(oldIndex);
    if (oldParent->children_.empty()) oldParent->expanded_ = false;

    const std::size_t index = std::min(indexAfterMove, newParent.children_.size());
    owned->parent_ = &newParent;
    newParent.children_.insert(newParent.children_.begin() + static_cast<std::ptrdiff_t>(index), std::move(owned));
    newParent.RenumberChildrenFrom(index);
    return true;
}

std::size_t SubtreeSize(const TreeNode& node) {
    std::size_t count = 0;
    std::vector<const TreeNode*> pending{&node};
    while (!pending.empty()) {
        const TreeNode* current = pending.back();
        pending.pop_back();
        ++count;
        for (std::size_t i = 0; i < current->ChildCount(); ++i) pending.push_back(current->Child(i));
    }
    return count;
}

bool IsInSubtree(const TreeNode* target, const TreeNode* node) noexcept {
    if (!target || !node) return false;
    // Two searches in turn, one step each: up from target through its ancestors, and through
    // node's subtree in tree order. Whichever ends first decides, so a leaf dropped onto a
    // node 100,000 levels deep costs a few steps rather than 100,000.
    const TreeNode* up = target;
    const TreeNode* down = node;
    bool leaving = false;  // down has finished its own subtree and is climbing back
    for (;;) {
        if (up == node || down == target) return true;
        up = up->Parent();
        if (!up) return false;
        if (!leaving && down->HasChildren()) {
            down = down->FirstChild();
        } else if (down == node) {
            return false;  // the whole subtree was seen
        } else if (const TreeNode* next = down->NextSibling()) {
            down = next;
            leaving = false;
        } else {
            down = down->Parent();
            leaving = true;
        }
    }
}

}  // namespace document
