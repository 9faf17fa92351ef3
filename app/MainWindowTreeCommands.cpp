// The commands that add and delete nodes.
#include "app/DocumentModel.h"
#include "document/TreeRules.h"
#include "app/MainWindow.h"

#include <QAction>
#include <QPersistentModelIndex>
#include <QTreeView>

#include <vector>

using document::TreeNode;

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
    {
        const document::EditHistory::Group step(History());
        RecordChange(document::SubtreeChange{true, document::PathOf(node), document::SubtreeCopy::Of(node),
                                             {parentExpanded, parentExpanded}});
        RecordChange(std::move(opened));
    }
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
    QModelIndexList indexes;
    indexes.reserve(static_cast<qsizetype>(opened.size()));
    for (TreeNode* node : opened)
        indexes.append(FModel->IndexOf(node));
    const QSignalBlocker quiet(TreeView1);
    TreeView1->ExpandNodes(indexes);
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
    removal.parentOpen.after = parent->Expanded();
    RecordChange(std::move(removal));
    SetModified(true);
}

