// The document tree: named nodes in order, each with an expanded flag and its payload, under
// exactly one root that is never deleted, moved or given a sibling.
#pragma once

#include "document/TVLNodeData.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace document {

class DocumentTree;

// One node. Nodes are created, removed and moved only through DocumentTree, which keeps the
// root rules; a node keeps its identity (address) and payload for as long as it exists,
// moves included.
class TreeNode {
public:
    TreeNode(const TreeNode&) = delete;
    TreeNode& operator=(const TreeNode&) = delete;
    ~TreeNode();

    const std::string& Name() const noexcept { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }

    // As a tree control reports it: a node without children is never expanded. Asking to
    // expand a node without children is ignored; removing the last child collapses it.
    bool Expanded() const noexcept { return expanded_; }
    void SetExpanded(bool expanded) noexcept { expanded_ = expanded && !children_.empty(); }

    TVLNodeData& Data() noexcept { return data_; }
    const TVLNodeData& Data() const noexcept { return data_; }

    TreeNode* Parent() const noexcept { return parent_; }
    bool IsRoot() const noexcept { return parent_ == nullptr; }
    // Position among the parent's children (0 for the root), in constant time.
    std::size_t Index() const noexcept { return index_; }

    std::size_t ChildCount() const noexcept { return children_.size(); }
    bool HasChildren() const noexcept { return !children_.empty(); }
    // The child at index, or null when index is not below ChildCount().
    TreeNode* Child(std::size_t index) const noexcept;
    TreeNode* FirstChild() const noexcept { return Child(0); }
    TreeNode* LastChild() const noexcept;
    TreeNode* PrevSibling() const noexcept;
    TreeNode* NextSibling() const noexcept;

    // 1 for the root, 2 for its children, ...
    std::size_t Level() const noexcept;

private:
    friend class DocumentTree;
    explicit TreeNode(std::string name);

    void RenumberChildrenFrom(std::size_t first) noexcept;

    // The links come first: walks up and across the tree touch only these, and together
    // they fit in one cache line.
    TreeNode* parent_ = nullptr;
    std::size_t index_ = 0;
    std::vector<std::unique_ptr<TreeNode>> children_;
    bool expanded_ = false;
    std::string name_;
    TVLNodeData data_;
};

// The payload of a node; null when no node is given.
inline TVLNodeData* NodeDataOf(TreeNode* node) { return node ? &node->Data() : nullptr; }
inline const TVLNodeData* NodeDataOf(const TreeNode* node) { return node ? &node->Data() : nullptr; }

// Owns the root and through it every node and payload. Movable, not copyable; moving the
// tree keeps every node's address.
class DocumentTree {
public:
    // The name of a new document's root.
    static constexpr const char* kNewRootName = "ルート";

    // A new document: the root "ルート" alone, with an empty payload.
    DocumentTree();
    explicit DocumentTree(std::string rootName);
    DocumentTree(DocumentTree&&) noexcept = default;
    DocumentTree& operator=(DocumentTree&&) noexcept = default;
    ~DocumentTree() = default;

    TreeNode& Root() noexcept { return *root_; }
    const TreeNode& Root() const noexcept { return *root_; }
    // The number of nodes, the root included.
    std::size_t NodeCount() const noexcept { return nodeCount_; }

    // Adds a node with an empty payload as child number index of parent (index clamped to
    // the child count) and returns it.
    TreeNode& InsertNode(TreeNode& parent, std::size_t index, std::string name);
    TreeNode& AppendNode(TreeNode& parent, std::string name);

    // Removes the node with its whole subtree and their payloads. The root is refused:
    // returns false and changes nothing.
    bool RemoveNode(TreeNode& node);

    // Relinks node with its subtree (payloads and identities kept) so that it becomes child
    // number indexAfterMove of newParent (clamped). Refused, returning false and changing
    // nothing, for the root and when newParent is node itself or one of its descendants.
    bool MoveNode(TreeNode& node, TreeNode& newParent, std::size_t indexAfterMove);

private:
    std::unique_ptr<TreeNode> root_;
    std::size_t nodeCount_ = 1;
};

// Counts the nodes of a subtree, node included (iteratively: any depth is fine).
std::size_t SubtreeSize(const TreeNode& node);

// True when target is node or one of its descendants. False when either is null. Takes
// time in proportion to the smaller of target's depth and the size of node's subtree.
bool IsInSubtree(const TreeNode* target, const TreeNode* node) noexcept;

}  // namespace document
