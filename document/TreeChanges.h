// The changes that undo and redo replay: each records what it changed in the tree, in both
// directions, by the places of the nodes (index paths), never by their addresses, which a
// removal and its undo do not keep.
#pragma once

#include "document/DocumentTree.h"
#include "document/TextPositions.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace document {

// Where a node sits: its child index under each ancestor, from the root's children down.
// The root's path is empty.
using NodePath = std::vector<std::size_t>;

NodePath PathOf(const TreeNode& node);
// The node at path, or null when the tree has none there.
TreeNode* NodeAt(DocumentTree& tree, const NodePath& path) noexcept;

// A subtree taken out of the tree, to be put back as it was: names, open state, texts and
// carets. Texts are shared with the payloads they came from, not copied.
struct SubtreeCopy {
    struct Node {
        std::size_t depth;  // 0 for the subtree's top
        std::string name;
        bool expanded;
        TVLNodeData data;
    };
    std::vector<Node> nodes;  // in tree order

    static SubtreeCopy Of(const TreeNode& top);
    // Bytes of names and texts held.
    std::size_t StoredBytes() const noexcept;
};

// Builds a copy as child number index of parent (open state included) and returns its top.
TreeNode& BuildSubtree(DocumentTree& tree, TreeNode& parent, std::size_t index, const SubtreeCopy& copy);

// How the history changes the tree. The plain one changes the tree alone; a window's one
// also tells its view, so each operation is one call that a view can announce.
class TreeEditor {
public:
    explicit TreeEditor(DocumentTree& tree) : tree_(tree) {}
    virtual ~TreeEditor() = default;
    TreeEditor(const TreeEditor&) = delete;
    TreeEditor& operator=(const TreeEditor&) = delete;

    DocumentTree& Tree() noexcept { return tree_; }

    virtual TreeNode& InsertSubtree(TreeNode& parent, std::size_t index, const SubtreeCopy& copy)
    {
        return BuildSubtree(tree_, parent, index, copy);
    }
    virtual void Remove(TreeNode& node) { tree_.RemoveNode(node); }
    virtual void Move(TreeNode& node, TreeNode& newParent, std::size_t indexAfterMove)
    {
        tree_.MoveNode(node, newParent, indexAfterMove);
    }
    virtual void Rename(TreeNode& node, std::string name) { node.SetName(std::move(name)); }
    virtual void SetExpanded(TreeNode& node, bool expanded) { node.SetExpanded(expanded); }
    // Many at once, which a view can lay out once.
    virtual void SetExpanded(const std::vector<TreeNode*>& nodes, bool expanded)
    {
        for (TreeNode* node : nodes)
            SetExpanded(*node, expanded);
    }
    // The payload's text and caret were just replaced.
    virtual void TextChanged(TreeNode&) {}

private:
    DocumentTree& tree_;
};

// Whether a node was open before a change and after it.
struct OpenBeforeAfter {
    bool before = false;
    bool after = false;
    bool Of(bool forward) const noexcept { return forward ? after : before; }
};

// A node added or removed with its whole subtree; the copy is the subtree as it is outside
// the tree. The parent's open state is kept for both sides: removing the last child closes
// a parent, the undo opens it again.
struct SubtreeChange {
    bool added = true;  // the change adds the subtree (undo removes it), or the reverse
    NodePath at;
    SubtreeCopy subtree;
    OpenBeforeAfter parentOpen;
};

// A node moved with its subtree: from is its place before the move, to its place after.
struct NodeMove {
    NodePath from;
    NodePath to;
    // The open state of the old and the new parent.
    OpenBeforeAfter fromParentOpen;
    OpenBeforeAfter toParentOpen;
};

struct NodeRename {
    NodePath node;
    std::string before;
    std::string after;
};

// A change of a node's stored text: at offset (bytes), removed gave way to inserted. Only
// the changed run is kept, so a typed word in a long text costs the word.
struct TextEdit {
    NodePath node;
    std::size_t offset = 0;
    std::string removed;
    std::string inserted;
    TextSelection caretBefore;  // as stored in files
    TextSelection caretAfter;
};

// Nodes opened (or closed) by a command alongside its change.
struct Expansion {
    std::vector<NodePath> nodes;
    bool expanded = true;
};

using TreeChange = std::variant<SubtreeChange, NodeMove, NodeRename, TextEdit, Expansion>;

// The smallest TextEdit that turns before into after (common start and end left out).
TextEdit DiffTexts(NodePath node, const std::string& before, const std::string& after);
// The edit that turned before (null: empty) with its caret into node's text and caret now;
// none when the text is the same.
std::optional<TextEdit> TextEditSince(const TreeNode& node, const std::shared_ptr<const std::string>& before,
                                      TextSelection caretBefore);

// Every node's name, text and caret, kept before a command that may change many of them
// (a replace-all) to tell afterwards what it changed. Texts are shared, not copied. The
// command must leave the structure of the tree as it was.
class ContentSnapshot {
public:
    explicit ContentSnapshot(const TreeNode& root);
    // The renames and text edits made since, in tree order.
    std::vector<TreeChange> ChangesSince(const TreeNode& root) const;

private:
    struct Entry {
        std::string name;
        std::shared_ptr<const std::string> text;
        TextSelection caret;
    };
    std::vector<Entry> entries_;
};

// Bytes a change holds: names, texts, and the paths and records that place them.
std::size_t StoredBytes(const TreeChange& change) noexcept;

// Where to look after a change was made or undone: the node it concerns, if any.
struct Landing {
    TreeNode* node = nullptr;
    bool text = false;  // a text edit: show the caret it restored
};

// Makes the change (forward) or undoes it (backward). Throws std::logic_error when the tree
// does not hold what the change expects (the history and the tree went apart).
Landing ApplyChange(TreeEditor& editor, const TreeChange& change, bool forward);

}  // namespace document
