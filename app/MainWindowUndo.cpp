// Undo and redo in the window, and the editor commands beside them (cut, copy, paste): the
// 編集 menu's first group. Every command records its change in the session's history; this
// file replays the history through the model, so that the view follows each step.
#include "app/DocumentModel.h"
#include "app/MainWindow.h"
#include "app/RecoveryWriter.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDockWidget>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTimer>
#include <QTreeView>

using document::TreeNode;

namespace {

// Typing stops being one step after this long without a change.
constexpr int kTypingPauseMs = 1000;

}  // namespace

// Changes the tree for the history through the model, the view's open state and the editor.
class TWindowTreeEditor : public document::TreeEditor {
public:
    explicit TWindowTreeEditor(TForm1& form) : TreeEditor(form.Document()), form_(form) {}

    TreeNode& InsertSubtree(TreeNode& parent, std::size_t index, const document::SubtreeCopy& copy) override
    {
        TreeNode& top = form_.Model().InsertSubtree(parent, index, copy);
        form_.ApplyExpandedFlags(top);
        return top;
    }
    void Remove(TreeNode& node) override { form_.Model().RemoveNode(node); }
    void Move(TreeNode& node, TreeNode& newParent, std::size_t indexAfterMove) override
    {
        document::MovePlan plan{&node, node.Parent(), node.Index(), &newParent, indexAfterMove, indexAfterMove};
        // The view counts the destination before the node is taken out.
        if (plan.fromParent == plan.toParent && plan.fromIndex < indexAfterMove)
            plan.toIndexBeforeMove = indexAfterMove + 1;
        form_.Model().MoveNode(plan);
    }
    void Rename(TreeNode& node, std::string name) override { form_.Model().Rename(node, std::move(name)); }
    void SetExpanded(TreeNode& node, bool expanded) override { SetExpanded(std::vector<TreeNode*>{&node}, expanded); }
    void SetExpanded(const std::vector<TreeNode*>& nodes, bool expanded) override
    {
        QModelIndexList opened;
        const QSignalBlocker quiet(form_.TreeView1);
        for (TreeNode* node : nodes) {
            node->SetExpanded(expanded);
            if (node->Expanded())
                opened.append(form_.Model().IndexOf(node));
            else
                form_.TreeView1->collapse(form_.Model().IndexOf(node));
        }
        // Open nodes with open descendants are laid out once, not each in turn.
        form_.TreeView1->ExpandNodes(opened);
    }
    void TextChanged(TreeNode& node) override
    {
        ++form_.FDocumentRevision;
        if (&node == form_.FShownNode)
            form_.ShowNodeText(&node);
    }

private:
    TForm1& form_;
};

void TForm1::CreateUndoActions()
{
    struct Entry {
        QAction* TForm1::*member;
        const char* name;
        const char* caption;
        QList<QKeySequence> shortcuts;
        void (TForm1::*execute)(QAction*);
        void (TForm1::*update)(QAction*);
    };
    const Entry entries[] = {
        {&TForm1::actUndo, "actUndo", "元に戻す(&U)", {QKeySequence(Qt::CTRL | Qt::Key_Z)}, &TForm1::actUndoExecute,
         &TForm1::actUndoUpdate},
        {&TForm1::actRedo, "actRedo", "やり直し(&R)",
         {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)}, &TForm1::actUndoExecute,
         &TForm1::actUndoUpdate},
        {&TForm1::actCut, "actCut", "切り取り(&T)", {QKeySequence(Qt::CTRL | Qt::Key_X)}, &TForm1::actCutExecute,
         &TForm1::actCutUpdate},
        {&TForm1::actCopy, "actCopy", "コピー(&C)", {QKeySequence(Qt::CTRL | Qt::Key_C)}, &TForm1::actCutExecute,
         &TForm1::actCutUpdate},
        {&TForm1::actPaste, "actPaste", "貼り付け(&P)", {QKeySequence(Qt::CTRL | Qt::Key_V)}, &TForm1::actCutExecute,
         &TForm1::actCutUpdate},
    };
    for (const Entry& entry : entries) {
        QAction* action = NewAction(entry.name, "編集", entry.caption, entry.execute);
        action->setShortcuts(entry.shortcuts);
        this->*entry.member = action;
        if (entry.execute == &TForm1::actCutExecute) {
            // The clipboard keys are the editor's; in the tree they must not cut its text.
            action->setShortcutContext(Qt::WidgetShortcut);
            Memo1->addAction(action);
        } else {
            addAction(action);
        }
        FUpdateHandlers.append({action, entry.update});
    }
    FTypingPause = new QTimer(this);
    FTypingPause->setSingleShot(true);
    FTypingPause->setInterval(kTypingPauseMs);
    connect(FTypingPause, &QTimer::timeout, this, [this] { Guarded([this] { StoreEditorText(); }); });
    Memo1->setUndoRedoEnabled(false);
    Memo1->viewport()->installEventFilter(this);
    // A committed conversion, a paste or a drop is a step of its own: what was typed before
    // it is one already.
    connect(Memo1, &TNodeTextEdit::wholeInsertStarting, this, [this] { Guarded([this] { StoreEditorText(); }); });
    connect(Memo1, &TNodeTextEdit::wholeInsertDone, this, [this] { Guarded([this] { StoreEditorText(); }); });
    Memo1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Memo1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& position) { RunCommand([&] { ShowEditorContextMenu(position); }); });
}

void TForm1::ShowEditorContextMenu(const QPoint& position)
{
    // Qt's own menu (its texts translated), with its undo and redo made the document's.
    QMenu* menu = Memo1->createStandardContextMenu(position);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (QAction* item : menu->actions()) {
        QAction* ours = item->objectName() == QLatin1String("edit-undo")   ? actUndo
                        : item->objectName() == QLatin1String("edit-redo") ? actRedo
                                                                           : nullptr;
        if (!ours) {
            // Qt's cut, paste and delete edit the text: each a step of its own, apart from
            // what is typed next (what was typed before was stored as the menu opened).
            connect(item, &QAction::triggered, this, [this] { Guarded([this] { StoreEditorText(); }); });
            continue;
        }
        disconnect(item, &QAction::triggered, nullptr, nullptr);
        actUndoUpdate(ours);
        item->setEnabled(ours->isEnabled());
        connect(item, &QAction::triggered, ours, &QAction::trigger);
    }
    menu->popup(Memo1->viewport()->mapToGlobal(position));
}

void TForm1::actUndoExecute(QAction* Sender)
{
    // The typing before this command is stored, and so the last step, by now.
    // In a text field (the rename field, the find panel's) undo and redo are the field's: a
    // line edit on X11 leaves Ctrl+Y to the window.
    if (auto* field = qobject_cast<QLineEdit*>(QApplication::focusWidget())) {
        if (Sender == actRedo)
            field->redo();
        else
            field->undo();
        return;
    }
    TWindowTreeEditor editor(*this);
    document::EditHistory& history = FSession.History();
    document::Landing landing;
    try {
        landing = Sender == actRedo ? history.Redo(editor) : history.Undo(editor);
    } catch (...) {
        // The history was cleared: whatever the document is now, it is not the saved one.
        FollowSavePoint();
        throw;
    }
    if (landing.node) {
        SelectNode(landing.node);
        TreeView1->scrollTo(FModel->IndexOf(landing.node));
        if (landing.text && landing.node == FShownNode)
            Memo1->ensureCursorVisible();
    }
    FollowSavePoint();
    if (FindDock->isVisible())
        RefreshSearch();
}

void TForm1::FollowSavePoint()
{
    if (!FSession.History().AtSavePoint()) {
        SetModified(true);
        return;
    }
    SetModified(false);
    ShowCaption();
    // Back at the saved document: there is nothing to recover.
    if (FRecovery)
        FRecovery->Discard();
}

void TForm1::actCutExecute(QAction* Sender)
{
    if (!Memo1->isEnabled())
        return;
    if (Sender == actCut)
        Memo1->cut();
    else if (Sender == actCopy)
        Memo1->copy();
    else
        Memo1->paste();
}

void TForm1::actUndoUpdate(QAction* Sender)
{
    const document::EditHistory& history = FSession.History();
    // Typing not yet stored is a step that can be undone.
    Sender->setEnabled(Sender == actRedo ? history.CanRedo() && !FEditorTextPending
                                         : history.CanUndo() || FEditorTextPending);
}

void TForm1::actCutUpdate(QAction* Sender)
{
    const bool editable = Memo1->isEnabled();
    if (Sender == actPaste) {
        const QMimeData* clipboard = QApplication::clipboard()->mimeData();
        Sender->setEnabled(editable && clipboard && clipboard->hasText());
    } else {
        Sender->setEnabled(editable && Memo1->textCursor().hasSelection());
    }
}
