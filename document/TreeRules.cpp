#include "document/TreeRules.h"

namespace document {

bool CanAddSibling(const TreeNode* selected) noexcept { return selected && !selected->IsRoot(); }

bool CanDelete(const TreeNode* selected) noexcept { return selected && !selected->IsRoot(); }

NodePlace WhereToAdd(DocumentTree& tree, TreeNode* selected, AddCommand command) noexcept {
    TreeNode* anchor = selected ? selected : &tree.Root();
    TreeNode* parent =
        (command == AddCommand::actAddChild || anchor->IsRoot()) ? anchor : anchor->Parent();
    return {parent, parent->ChildCount()};
}

TreeNode& AddNewNode(DocumentTree& tree, TreeNode* selected, AddCommand command) {
    const NodePlace place = WhereToAdd(tree, selected, command);
    return tree.InsertNode(*place.parent, place.index, kNewNodeName);
}

std::vector<TreeNode*> ExpandAll(TreeNode& node) {
    std::vector<TreeNode*> opened;
    std::vector<TreeNode*> pending{&node};
    while (!pending.empty()) {
        TreeNode* current = pending.back();
        pending.pop_back();
        if (current->HasChildren() && !current->Expanded()) {
            current->SetExpanded(true);
            opened.push_back(current);
        }
        for (std::size_t i = 0; i < current->ChildCount(); ++i) pending.push_back(current->Child(i));
    }
    return opened;
}

std::string DeleteConfirmationText(const TreeNode& node) {
    return node.Name() + kDeleteConfirmationSuffix;
}

bool DeleteNode(DocumentTree& tree, TreeNode* node) {
    return CanDelete(node) && tree.RemoveNode(*node);
}

TreeNode* PreOrderNext(const TreeNode& node) noexcept {
    if (TreeNode* child = node.FirstChild()) return child;
    for (const TreeNode* p = &node; p; p = p->Parent())
        if (TreeNode* sibling = p->NextSibling()) return sibling;
    return nullptr;
}

TreeNode* PreOrderPrev(const TreeNode& node) noexcept {
    TreeNode* previous = node.PrevSibling();
    if (!previous) return node.Parent();
    while (TreeNode* last = previous->LastChild()) previous = last;
    return previous;
}

std::vector<TreeNode*> ExpandAncestors(TreeNode& node) {
    std::vector<TreeNode*> changed;
    for (TreeNode* p = node.Parent(); p; p = p->Parent()) {
        if (!p->Expanded()) {
            p->SetExpanded(true);
            changed.push_back(p);
        }
    }
    return {changed.rbegin(), changed.rend()};
}

TDropPosition DropPositionAt(LabelSpan label, int x) noexcept {
    const int middle = label.left + (label.right - label.left) / 2;
    return middle < x ? TDropPosition::dpChild : TDropPosition::dpBefore;
}

namespace {

// The refusals shared by the drag-over and the drop.
bool MayDrop(const TreeNode* selected, const TreeNode* target, TDropPosition position) noexcept {
    if (!selected || selected->IsRoot() || !target) return false;
    if (IsInSubtree(target, selected)) return false;
    return !target->IsRoot() || position == TDropPosition::dpChild;
}

}  // namespace

std::optional<TDropPosition> DragOverDecision(const TreeNode* selected, const TreeNode* target,
                                              LabelSpan targetLabel, int x) noexcept {
    const TDropPosition position = DropPositionAt(targetLabel, x);
    if (!MayDrop(selected, target, position)) return std::nullopt;
    return position;
}

std::optional<MovePlan> PlanDrop(TreeNode* selected, TreeNode* target, TDropPosition position) noexcept {
    if (!MayDrop(selected, target, position)) return std::nullopt;
    MovePlan plan;
    plan.node = selected;
    plan.fromParent = selected->Parent();
    plan.fromIndex = selected->Index();
    if (position == TDropPosition::dpChild) {
        plan.toParent = target;
        plan.toIndexBeforeMove = 0;
        plan.toIndexAfterMove = 0;
    } else {
        plan.toParent = target->Parent();
        plan.toIndexBeforeMove = target->Index();
        const bool sameParentAbove = plan.fromParent == plan.toParent && plan.fromIndex < target->Index();
        plan.toIndexAfterMove = sameParentAbove ? target->Index() - 1 : target->Index();
    }
    return plan;
}

void ApplyMove(DocumentTree& tree, const MovePlan& plan) {
    if (tree.MoveNode(*plan.node, *plan.toParent, plan.toIndexAfterMove))
        plan.toParent->SetExpanded(true);
}

}  // namespace document
