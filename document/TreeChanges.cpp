#include "document/TreeChanges.h"

#include "document/TreeRules.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace document {

namespace {

[[noreturn]] void Mismatch()
{
    throw std::logic_error("The edit history does not match the document.");
}

TreeNode& ExistingNode(DocumentTree& tree, const NodePath& path)
{
    TreeNode* node = NodeAt(tree, path);
    if (!node)
        Mismatch();
    return *node;
}

NodePath ParentPath(const NodePath& path)
{
    return NodePath(path.begin(), path.end() - 1);
}

// path, in a tree where a node is then inserted at inserted: paths through the inserted
// node's later siblings move one on.
NodePath AfterInsertAt(NodePath path, const NodePath& inserted)
{
    const std::size_t level = inserted.size() - 1;
    if (path.size() > level && std::equal(inserted.begin(), inserted.begin() + static_cast<std::ptrdiff_t>(level),
                                          path.begin()) &&
        path[level] >= inserted[level])
        ++path[level];
    return path;
}

// Moves the node at from (a place in the tree as it is) to to (its place once moved), then
// sets the open state of its old and its new parent.
TreeNode& MoveAlong(TreeEditor& editor, const NodePath& from, const NodePath& to, bool oldParentExpanded,
                    bool newParentExpanded)
{
    if (from.empty() || to.empty())
        Mismatch();
    DocumentTree& tree = editor.Tree();
    TreeNode& node = ExistingNode(tree, from);
    // The new parent's path is the same with and without the node; in the tree as it is,
    // the node still sits at from.
    TreeNode& newParent = ExistingNode(tree, AfterInsertAt(ParentPath(to), from));
    TreeNode* oldParent = node.Parent();
    if (IsInSubtree(&newParent, &node))
        Mismatch();
    editor.Move(node, newParent, to.back());
    if (NodeAt(tree, to) != &node)
        Mismatch();
    editor.SetExpanded(*oldParent, oldParentExpanded);
    editor.SetExpanded(newParent, newParentExpanded);
    return node;
}

Landing Apply(TreeEditor& editor, const SubtreeChange& change, bool forward)
{
    DocumentTree& tree = editor.Tree();
    if (change.at.empty())
        Mismatch();
    TreeNode& parent = ExistingNode(tree, ParentPath(change.at));
    const std::size_t index = change.at.back();
    const bool adding = change.added == forward;
    const bool parentExpanded = change.parentOpen.Of(forward);
    if (adding) {
        if (index > parent.ChildCount())
            Mismatch();
        TreeNode& top = editor.InsertSubtree(parent, index, change.subtree);
        editor.SetExpanded(parent, parentExpanded);
        return {&top, false};
    }
    TreeNode* node = parent.Child(index);
    if (!node || change.subtree.nodes.empty() || node->Name() != change.subtree.nodes.front().name ||
        SubtreeSize(*node) != change.subtree.nodes.size())
        Mismatch();
    editor.Remove(*node);
    editor.SetExpanded(parent, parentExpanded);
    // Where a deleted selection goes: the next sibling, else the previous one, else the parent.
    TreeNode* landing = parent.Child(index);
    if (!landing && index > 0)
        landing = parent.Child(index - 1);
    return {landing ? landing : &parent, false};
}

Landing Apply(TreeEditor& editor, const NodeMove& change, bool forward)
{
    TreeNode& node = forward ? MoveAlong(editor, change.from, change.to, change.fromParentOpen.after,
                                         change.toParentOpen.after)
                             : MoveAlong(editor, change.to, change.from, change.toParentOpen.before,
                                         change.fromParentOpen.before);
    return {&node, false};
}

Landing Apply(TreeEditor& editor, const NodeRename& change, bool forward)
{
    TreeNode& node = ExistingNode(editor.Tree(), change.node);
    if (node.Name() != (forward ? change.before : change.after))
        Mismatch();
    editor.Rename(node, forward ? change.after : change.before);
    return {&node, false};
}

Landing Apply(TreeEditor& editor, const TextEdit& change, bool forward)
{
    TreeNode& node = ExistingNode(editor.Tree(), change.node);
    const std::string& out = forward ? change.removed : change.inserted;
    const std::string& in = forward ? change.inserted : change.removed;
    const std::string& text = node.Data().Text();
    if (change.offset > text.size() || text.compare(change.offset, out.size(), out) != 0)
        Mismatch();
    std::string replaced;
    replaced.reserve(text.size() - out.size() + in.size());
    replaced.append(text, 0, change.offset).append(in).append(text, change.offset + out.size());
    node.Data().SetText(std::move(replaced));
    const TextSelection caret = forward ? change.caretAfter : change.caretBefore;
    node.Data().SelStart = caret.start;
    node.Data().SelLength = caret.length;
    editor.TextChanged(node);
    return {&node, true};
}

Landing Apply(TreeEditor& editor, const Expansion& change, bool forward)
{
    std::vector<TreeNode*> nodes;
    nodes.reserve(change.nodes.size());
    for (const NodePath& path : change.nodes)
        nodes.push_back(&ExistingNode(editor.Tree(), path));
    editor.SetExpanded(nodes, change.expanded == forward);
    return {};
}

}  // namespace

NodePath PathOf(const TreeNode& node)
{
    NodePath path;
    for (const TreeNode* at = &node; !at->IsRoot(); at = at->Parent())
        path.push_back(at->Index());
    std::reverse(path.begin(), path.end());
    return path;
}

TreeNode* NodeAt(DocumentTree& tree, const NodePath& path) noexcept
{
    TreeNode* node = &tree.Root();
    for (std::size_t index : path) {
        node = node->Child(index);
        if (!node)
            return nullptr;
    }
    return node;
}

SubtreeCopy SubtreeCopy::Of(const TreeNode& top)
{
    SubtreeCopy copy;
    std::vector<std::pair<const TreeNode*, std::size_t>> pending{{&top, 0}};
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        copy.nodes.push_back({depth, node->Name(), node->Expanded(), node->Data()});
        for (std::size_t i = node->ChildCount(); i-- > 0;)
            pending.emplace_back(node->Child(i), depth + 1);
    }
    return copy;
}

std::size_t SubtreeCopy::StoredBytes() const noexcept
{
    std::size_t bytes = 0;
    for (const Node& node : nodes)
        bytes += node.name.size() + node.data.Text().size();
    return bytes;
}

TreeNode& BuildSubtree(DocumentTree& tree, TreeNode& parent, std::size_t index, const SubtreeCopy& copy)
{
    if (copy.nodes.empty() || copy.nodes.front().depth != 0)
        Mismatch();
    std::vector<TreeNode*> built;
    built.reserve(copy.nodes.size());
    std::vector<TreeNode*> ancestors;  // the last node built at each depth
    for (const SubtreeCopy::Node& node : copy.nodes) {
        if (node.depth > ancestors.size() || (node.depth == 0 && !built.empty()))
            Mismatch();
        ancestors.resize(node.depth);
        TreeNode& made = node.depth == 0 ? tree.InsertNode(parent, index, node.name)
                                         : tree.AppendNode(*ancestors.back(), node.name);
        made.Data() = node.data;
        ancestors.push_back(&made);
        built.push_back(&made);
    }
    // A node can be open only once it has its children.
    for (std::size_t i = 0; i < built.size(); ++i)
        built[i]->SetExpanded(copy.nodes[i].expanded);
    return *built.front();
}

TextEdit DiffTexts(NodePath node, const std::string& before, const std::string& after)
{
    // Compared a block at a time with memcmp, then byte by byte inside the block that
    // differs: a key typed into a text of 10 MB is found in about a millisecond.
    constexpr std::size_t kBlock = 256;
    const std::size_t shorter = std::min(before.size(), after.size());
    std::size_t head = 0;
    while (head + kBlock <= shorter && std::memcmp(before.data() + head, after.data() + head, kBlock) == 0)
        head += kBlock;
    while (head < shorter && before[head] == after[head])
        ++head;
    const std::size_t room = shorter - head;
    std::size_t tail = 0;
    while (tail + kBlock <= room && std::memcmp(before.data() + before.size() - tail - kBlock,
                                                after.data() + after.size() - tail - kBlock, kBlock) == 0)
        tail += kBlock;
    while (tail < room && before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    TextEdit edit;
    edit.node = std::move(node);
    edit.offset = head;
    edit.removed = before.substr(head, before.size() - head - tail);
    edit.inserted = after.substr(head, after.size() - head - tail);
    return edit;
}

ContentSnapshot::ContentSnapshot(const TreeNode& root)
{
    for (const TreeNode* node = &root; node; node = PreOrderNext(*node))
        entries_.push_back({node->Name(), node->Data().SharedText(), {node->Data().SelStart, node->Data().SelLength}});
}

std::vector<TreeChange> ContentSnapshot::ChangesSince(const TreeNode& root) const
{
    std::vector<TreeChange> changes;
    const TreeNode* node = &root;
    for (const Entry& entry : entries_) {
        if (!node)
            Mismatch();
        if (node->Name() != entry.name)
            changes.push_back(NodeRename{PathOf(*node), entry.name, node->Name()});
        if (node->Data().SharedText() != entry.text) {
            if (std::optional<TextEdit> edit = TextEditSince(*node, entry.text, entry.caret))
                changes.push_back(std::move(*edit));
        }
        node = PreOrderNext(*node);
    }
    return changes;
}

std::optional<TextEdit> TextEditSince(const TreeNode& node, const std::shared_ptr<const std::string>& before,
                                      TextSelection caretBefore)
{
    static const std::string empty;
    TextEdit edit = DiffTexts(PathOf(node), before ? *before : empty, node.Data().Text());
    if (edit.removed.empty() && edit.inserted.empty())
        return std::nullopt;
    edit.caretBefore = caretBefore;
    edit.caretAfter = {node.Data().SelStart, node.Data().SelLength};
    return edit;
}

std::size_t StoredBytes(const TreeChange& change) noexcept
{
    // Paths and the records of copied nodes count too: an add that opened a closed tree of
    // 100,000 nodes holds a path for each.
    struct Count {
        static std::size_t Path(const NodePath& p) noexcept { return p.size() * sizeof(std::size_t); }
        std::size_t operator()(const SubtreeChange& c) const noexcept
        {
            return c.subtree.StoredBytes() + c.subtree.nodes.size() * sizeof(SubtreeCopy::Node) + Path(c.at);
        }
        std::size_t operator()(const NodeMove& c) const noexcept { return Path(c.from) + Path(c.to); }
        std::size_t operator()(const NodeRename& c) const noexcept
        {
            return c.before.size() + c.after.size() + Path(c.node);
        }
        std::size_t operator()(const TextEdit& c) const noexcept
        {
            return c.removed.size() + c.inserted.size() + Path(c.node);
        }
        std::size_t operator()(const Expansion& c) const noexcept
        {
            std::size_t bytes = 0;
            for (const NodePath& p : c.nodes)
                bytes += Path(p);
            return bytes;
        }
    };
    return std::visit(Count{}, change);
}

Landing ApplyChange(TreeEditor& editor, const TreeChange& change, bool forward)
{
    return std::visit([&](const auto& c) { return Apply(editor, c, forward); }, change);
}

}  // namespace document
