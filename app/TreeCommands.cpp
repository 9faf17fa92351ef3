// The commands that add and delete nodes.
#include "app/DocumentModel.h"
#include "app/TreeRules.h"
#include "app/Unit1.h"

#include <QAction>
#include <QPersistentModelIndex>
#include <QTreeView>

using document::TreeNode;

void TForm1::actAddChildExecute(QAction* Sender)
{
    const auto command =
        Sender == actAddSibling ? document::AddCommand::actAddSibling : document::AddCommand::actAddChild;
    const document::NodePlace place = document::WhereToAdd(FDocument, Selected(), command);
    TreeNode& node = FModel->InsertNode(*place.parent, place.index, document::kNewNodeName);
    ExpandAllNodes();
    SelectNode(&node);
    TreeView1->edit(FModel->IndexOf(&node));
    SetModified(true);
}

void TForm1::ExpandAllNodes()
{
    document::ExpandAll(*FRootNode);
    // One layout of the whole view. Its expanded signal for each of up to 100,000 nodes
    // would only set the flags just set.
    const QSignalBlocker quiet(TreeView1);
    TreeView1->expandAll();
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
                                      interchange::TMsgDlgType::mtConfirmation,
                                      interchange::TMsgDlgBtn::mbOK | interchange::TMsgDlgBtn::mbCancel);
        node = FModel->NodeOf(held);
        if (answer != interchange::mrOk || !node)
            return;
    }
    FModel->RemoveNode(*node);
    SetModified(true);
}
