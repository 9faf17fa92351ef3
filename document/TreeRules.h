// The rules of the tree commands: where a new node goes, which nodes may be deleted, the
// walk to the next and previous node, and the drag-and-drop decision and move. The window
// shows the outcome; everything here works on the plain tree.
#pragma once

#include "document/DocumentTree.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace document {

// The caption of a node made by the add commands.
inline constexpr const char* kNewNodeName = "新規";
// Follows the node's caption in the question asked before deleting a node with children.
inline constexpr const char* kDeleteConfirmationSuffix =
    " を、子もまとめて削除します。よろしいですか？";

enum class AddCommand { actAddChild, actAddSibling };

// A place in the tree: child number index of parent.
struct NodePlace {
    TreeNode* parent = nullptr;
    std::size_t index = 0;
};

// Update rules: actAddSibling and actDelete need a selected node that is not the root.
bool CanAddSibling(const TreeNode* selected) noexcept;
bool CanDelete(const TreeNode* selected) noexcept;

// Where actAddChild or actAddSibling puts the new node. The anchor is the selected node, or
// the root when none is selected. actAddChild, or an anchor that is the root: the last child
// of the anchor; otherwise the last child of the anchor's parent.
NodePlace WhereToAdd(DocumentTree& tree, TreeNode* selected, AddCommand command) noexcept;

// Adds "新規" with an empty payload at WhereToAdd and returns it. (The command then expands
// every node, selects the new one and opens its name for editing; that is the window's.)
TreeNode& AddNewNode(DocumentTree& tree, TreeNode* selected, AddCommand command);

// Sets every node of the subtree that has children expanded; returns the nodes that were
// not expanded before, parents before their children.
std::vector<TreeNode*> ExpandAll(TreeNode& node);

// actDelete asks first only for a node with children; this is the question's text.
std::string DeleteConfirmationText(const TreeNode& node);

// Deletes the node with its subtree and payloads. Refused (false, nothing changes) for the
// root and for no node.
bool DeleteNode(DocumentTree& tree, TreeNode* node);

// actNext: the successor in pre-order (first child; else next sibling; else the next sibling
// of the nearest ancestor that has one). Collapsed branches are walked like expanded ones.
// Null for the last node.
TreeNode* PreOrderNext(const TreeNode& node) noexcept;
// actPrev: the predecessor in pre-order (the deepest last descendant of the previous
// sibling, or the previous sibling itself, or else the parent). Null for the root.
TreeNode* PreOrderPrev(const TreeNode& node) noexcept;

// Expands the ancestors of node so that it is visible; returns the nodes whose state it
// changed, outermost first.
std::vector<TreeNode*> ExpandAncestors(TreeNode& node);

// Where a dragged node would go relative to the drop target.
enum class TDropPosition { dpBefore = 1, dpChild = 2 };

// The horizontal extent of a node's label text (the text only, not icon or indentation).
struct LabelSpan {
    int left = 0;
    int right = 0;
};

// Right of the label's middle means "as first child", anything else "before".
TDropPosition DropPositionAt(LabelSpan label, int x) noexcept;

// The drag-over decision for dragging the selected node over target (the node under the
// pointer, null when there is none). Refused (nullopt) when no node is selected, the selected
// node is the root, there is no target, the target is the selected node or one of its
// descendants, or the position is dpBefore the root. Otherwise the position to use.
std::optional<TDropPosition> DragOverDecision(const TreeNode* selected, const TreeNode* target,
                                              LabelSpan targetLabel, int x) noexcept;

// A move, described before it is made so that a view can announce it.
struct MovePlan {
    TreeNode* node = nullptr;
    TreeNode* fromParent = nullptr;
    std::size_t fromIndex = 0;
    TreeNode* toParent = nullptr;
    // The destination as a child index counted before the node is taken out (what a view's
    // "rows are about to move" notification wants) and after the move.
    std::size_t toIndexBeforeMove = 0;
    std::size_t toIndexAfterMove = 0;

    // False when the node would end up where it already is.
    bool ChangesPosition() const noexcept {
        return fromParent != toParent || fromIndex != toIndexAfterMove;
    }
};

// The move of a drop: dpBefore puts the selected node right before target under target's
// parent, dpChild makes it target's first child. Refused (nullopt) for the same cases as
// DragOverDecision (so stale drag-over values can never make a cycle or give the root a
// sibling) and when the selected node is the target.
std::optional<MovePlan> PlanDrop(TreeNode* selected, TreeNode* target, TDropPosition position) noexcept;

// Makes a planned move (relinking, payloads and identities kept) and expands the new parent.
void ApplyMove(DocumentTree& tree, const MovePlan& plan);

}  // namespace document
