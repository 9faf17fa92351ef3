// The commands that add and delete nodes.
#include "app/DocumentModel.h"
#include "document/TreeRules.h"
#include "app/MainWindow.h"

#include <QAction>
#include <QPersistentModelIndex>
#include <QTreeView>

#include <vector>

using document::TreeNode;

namespace {

// Each node opened in the view moves the rows below it; past this many, one layout of the
// whole view is cheaper.
constexpr std::size_t kExpandOneByOne = 16;

}  // namespace

void TForm1::actAddChildExecute(QAction* Sender)
{
    const auto command =
        Sender == actAddSibling ? document::AddCommand::actAddSibling : document::AddCommand::actAddChild;
    const document::NodePlace place = document::WhereToAdd(FSession.Tree(), Selected(), command);
    const bool parentExpanded = place.parent->Expanded();
    TreeNode& node = FModel->InsertNode(*place.parent, place.index, document::kNewNodeName);
    document::Expansion opened;
    for (TreeNode* open : ExpandAllNodes())
        opened.nodes.push_back(document::PathOf(*open));
    History().BeginGroup();
    RecordChange(document::SubtreeChange{true, document::PathOf(node), document::SubtreeCopy::Of(node),
                                         {parentExpanded, parentExpanded}});
    RecordChange(std::move(opened));
    History().EndGroup();
    SelectNode(&node);
    TreeView1->edit(FModel->IndexOf(&node));
    SetModified(true);
}

std::vector<TreeNode*> TForm1::ExpandAllNodes()
{
    // The view mirrors the flags, so only the nodes just opened need it. Every add command
    // expands the whole tree: in a tree already open that is usually the new node's parent
    // alone, far cheaper than laying out every row again. The view's expanded signals would
    // only set the flags just set.
    const std::vector<TreeNode*> opened = document::ExpandAll(*FRootNode);
    const QSignalBlocker quiet(TreeView1);
    if (opened.size() > kExpandOneByOne) {
        TreeView1->expandAll();
        return opened;
    }
    for (TreeNode* node : opened)
        TreeView1->setExpanded(FModel->IndexOf(node), true);
    return opened;
}

void TForm1::actDeleteExecute(QAction*)
{
    TreeNode* node = Selected();
    if (!document::CanDelete(node))
        return;
    if (node->HasChildren()) {
        // The question runs a loop of its own; hold the node so that it can be found again.
        const QPersistentModelIndex held = FModel->IndexOf(node);
        const int answer = MessageDlg(QString::fromStdString(document::DeleteConfirmationText(*node)),
                                      forms::TMsgDlgType::mtConfirmation,
                                      forms::TMsgDlgBtn::mbOK | forms::TMsgDlgBtn::mbCancel);
        node = FModel->NodeOf(held);
        if (answer != forms::mrOk || !node)
            return;
    }
    TreeNode* parent = node->Parent();
    document::SubtreeChange removal{false, document::PathOf(*node), document::SubtreeCopy::Of(*node),
                                    {parent->Expanded(), false}};
    FModel->RemoveNode(*node);
    removal.parentExpanded[1] = parent->Expanded();
    RecordChange(std::move(removal));
    SetModified(true);
}
