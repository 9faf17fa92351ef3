// Moving nodes by drag and drop inside the tree: the drag-over decision, the insertion mark
// and the drop.
#include "app/DocumentModel.h"
#include "document/TreeRules.h"
#include "app/MainWindow.h"

using document::TDropPosition;
using document::TreeNode;

namespace {

// The child mark sits this far right of the label, telling it apart from a mark before
// the next node.
constexpr int kChildMarkOffset = 32;

document::LabelSpan SpanOf(const QRect& label)
{
    return {label.left(), label.left() + label.width()};
}

}  // namespace

void TForm1::ConnectTreeDragDrop()
{
    TreeView1->DragOverHandler = [this](QObject* source, QPoint position) {
        bool accept = false;
        RunCommand([&] { accept = TreeView1DragOver(source, position.x(), position.y()); });
        return accept;
    };
    TreeView1->DragDropHandler = [this](QObject* source) { RunCommand([&] { TreeView1DragDrop(source); }); };
}

bool TForm1::TreeView1DragOver(QObject* Source, int X, int Y)
{
    TreeNode* selected = Selected();
    const bool mayDrag = Source == TreeView1 && selected && !selected->IsRoot();
    TreeView1->ClearDropMark();
    if (!mayDrag)
        return false;
    DropTarget = TreeView1->indexAt(QPoint(X, Y));
    TreeNode* target = FModel->NodeOf(DropTarget);
    if (!target)
        return false;
    const document::LabelSpan label = SpanOf(TreeView1->LabelRect(DropTarget));
    DropPosition = document::DropPositionAt(label, X);
    if (!document::DragOverDecision(selected, target, label, X))
        return false;
    DrawDropMark(target, DropPosition);
    return true;
}

void TForm1::DrawDropMark(TreeNode* node, TDropPosition position)
{
    const QRect label = TreeView1->LabelRect(FModel->IndexOf(node));
    const int left = label.left();
    const int right = label.left() + label.width();
    if (position == TDropPosition::dpBefore) {
        TreeView1->ShowDropMark(QLine(left, label.top(), right, label.top()));
    } else {
        const int bottom = label.top() + label.height();
        TreeView1->ShowDropMark(QLine(left + kChildMarkOffset, bottom, right + kChildMarkOffset, bottom));
    }
}

void TForm1::TreeView1DragDrop(QObject* Source)
{
    TreeNode* selected = Selected();
    TreeNode* target = FModel->NodeOf(DropTarget);
    if (Source == TreeView1 && selected && !selected->IsRoot() && selected != target) {
        // The drag-over refused every drop that cannot be made; asking again keeps a stale
        // target from ever making a cycle or giving the root a sibling.
        if (const auto plan = document::PlanDrop(selected, target, DropPosition)) {
            document::NodeMove move{document::PathOf(*plan->node), {}, {plan->fromParent->Expanded()},
                                    {plan->toParent->Expanded()}};
            if (FModel->MoveNode(*plan)) {
                TreeView1->ExpandNodes({FModel->IndexOf(plan->toParent)});
                move.to = document::PathOf(*plan->node);
                move.fromParentOpen.after = plan->fromParent->Expanded();
                move.toParentOpen.after = plan->toParent->Expanded();
                // A drop onto its own place changes nothing that an undo could take back.
                if (plan->ChangesPosition())
                    RecordChange(std::move(move));
                SetModified(true);
            }
        }
    }
    TreeView1->ClearDropMark();
}
