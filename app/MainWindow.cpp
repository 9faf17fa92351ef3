#include "app/MainWindow.h"
#include "app/RecoveryWriter.h"

#include "app/DocumentModel.h"
#include "app/SteadyScrollBar.h"
#include "document/TextPositions.h"
#include "document/TreeRules.h"
#include "interchange/ExportDialog.h"
#include "forms/AboutBox.h"
#include "interchange/TextFileInsert.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTextBlock>
#include <QTreeView>

#include <utility>

using document::TreeNode;

namespace {

constexpr int kInitialLeft = 267;
constexpr int kInitialTop = 115;
constexpr int kInitialWidth = 578;
constexpr int kInitialHeight = 312;
constexpr int kTreeWidth = 121;
constexpr int kTreeIndentation = 19;
constexpr int kSplitterWidth = 3;
constexpr int kMinimumPaneSize = 64;
constexpr int kFontPixelHeight = 12;

}  // namespace

// The panes and the model, and what ties them to the window's handlers.
void TForm1::CreateWindowParts()
{
    setWindowTitle(ApplicationTitle());
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPixelSize(kFontPixelHeight);
    setFont(font);
    move(kInitialLeft, kInitialTop);
    resize(kInitialWidth, kInitialHeight);

    FModel = new TDocumentModel(this);
    TreeView1 = new TTreeNodeView;
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setIndentation(kTreeIndentation);
    // Every row is one line of text; without this the view measures each of 100,000 rows
    // after every move or expansion.
    TreeView1->setUniformRowHeights(true);
    TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    TreeView1->setEditTriggers(QAbstractItemView::SelectedClicked);
    TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
    TreeView1->setMinimumWidth(kMinimumPaneSize);
    UseSteadyScrollBars(*TreeView1);
    // The selection stays highlighted while another pane has the focus.
    QPalette treePalette = TreeView1->palette();
    treePalette.setColor(QPalette::Inactive, QPalette::Highlight, treePalette.color(QPalette::Active, QPalette::Highlight));
    treePalette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                         treePalette.color(QPalette::Active, QPalette::HighlightedText));
    TreeView1->setPalette(treePalette);

    Memo1 = new TNodeTextEdit;
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setTabChangesFocus(false);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setMinimumWidth(kMinimumPaneSize);
    UseSteadyScrollBars(*Memo1);

    OpenDialog1 = new QFileDialog(this);
    OpenDialog1->setObjectName(QStringLiteral("OpenDialog1"));

    Splitter1 = new QSplitter(Qt::Horizontal);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->addWidget(TreeView1);
    Splitter1->addWidget(Memo1);
    Splitter1->setHandleWidth(kSplitterWidth);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->setOpaqueResize(true);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({kTreeWidth, kInitialWidth - kTreeWidth - kSplitterWidth});
    setCentralWidget(Splitter1);
    setTabOrder(Memo1, TreeView1);

    connect(FModel, &TDocumentModel::nodeRenamed, this,
            [this](TreeNode* node, const std::string& oldName) { RunCommand([&] { TreeView1Edited(node, oldName); }); });
    connect(FModel, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex& parent, int first, int) {
                Guarded([&] {
                    if (TreeNode* parentNode = FModel->NodeOf(parent))
                        ForgetNodesUnder(parentNode->Child(static_cast<std::size_t>(first)));
                });
            });
    connect(FModel, &QAbstractItemModel::rowsRemoved, this, [this] {
        FRemovingNode = nullptr;
        Guarded([this] {
            TreeNode* next = std::exchange(FSelectAfterRemoval, nullptr);
            if (!Selected() && next)
                SelectNode(next);
            TreeView1Change();
        });
    });
    // Connected before the view's own handlers, so that a removal is seen before the view
    // drops the selection.
    TreeView1->setModel(FModel);
    connect(TreeView1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { RunCommand([this] { TreeView1Change(); }); });
    connect(TreeView1, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        Guarded([&] { MirrorExpanded(index, true); });
    });
    connect(TreeView1, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
        Guarded([&] { MirrorExpanded(index, false); });
    });
    connect(TreeView1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& position) { RunCommand([&] { TreeView1ContextMenu(position); }); });
    // Memo1Change only marks the payload stale, so it needs no stored text first.
    connect(Memo1, &QPlainTextEdit::textChanged, this, [this] { Guarded([this] { Memo1Change(); }); });
    TreeView1->installEventFilter(this);
    Memo1->installEventFilter(this);
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
            [this] { Guarded([this] { ApplicationEvents1Idle(); }); });

}

void TForm1::ReleaseTree()
{    // The view and the model let go of the tree before it goes away, quietly: no handler
    // of a window being destroyed may run.
    const QSignalBlocker quiet(FModel);
    TreeView1->setModel(nullptr);
    FModel->SetTree(nullptr);
}

// ---------------------------------------------------------------- document

TreeNode* TForm1::Selected() const
{
    const QModelIndexList selected = TreeView1->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? nullptr : FModel->NodeOf(selected.first());
}

void TForm1::SetDocument(document::DocumentTree tree, TreeNode* selected)
{
    ReplaceDocument([&] {
        FSession.Tree() = std::move(tree);
        return selected;
    });
}

void TForm1::ReplaceDocument(const std::function<TreeNode*()>& change)
{
    ++FDocumentRevision;
    // The steps name nodes by their places in the old tree.
    const struct ClearHistory {
        TForm1& form;
        ~ClearHistory()
        {
            form.FSession.History().Clear();
            if (form.Modified())
                form.FSession.History().ForgetSavePoint();
        }
    } clearHistory{*this};
    FShownNode = nullptr;
    FEditorTextPending = false;
    FPopupNode = nullptr;
    FSelectAfterRemoval = nullptr;
    FModel->SetTree(nullptr);
    TreeNode* selected = nullptr;
    const auto show = [&] {
        FRootNode = &FSession.Tree().Root();
        FModel->SetTree(&FSession.Tree());
        ApplyExpandedFlags(*FRootNode);
        SelectNode(selected ? selected : FRootNode);
        TreeView1Change();
    };
    try {
        selected = change();
    } catch (...) {
        show();
        throw;
    }
    show();
}

void TForm1::MirrorExpanded(const QModelIndex& index, bool expanded)
{
    if (TreeNode* node = FModel->NodeOf(index))
        node->SetExpanded(expanded);
}

void TForm1::ApplyExpandedFlags(TreeNode& node)
{
    // Collapsing in the view would clear the flags it mirrors, so only expand; all in one
    // layout when there are many.
    QModelIndexList open;
    std::vector<TreeNode*> pending{&node};
    while (!pending.empty()) {
        TreeNode* current = pending.back();
        pending.pop_back();
        if (current->Expanded())
            open.append(FModel->IndexOf(current));
        for (std::size_t i = current->ChildCount(); i-- > 0;)
            pending.push_back(current->Child(i));
    }
    TreeView1->ExpandNodes(open);
}

void TForm1::SetFileName(const QString& fileName)
{
    FSession.SetFileName(QFile::encodeName(fileName).toStdString());
    ShowCaption();
}

void TForm1::ShowCaption()
{
    const QString suffix = Encoding() == nanxml::deUTF8 ? QStringLiteral(" (UTF8)") : QStringLiteral(" (SJIS)");
    setWindowTitle(QFileInfo(FileName()).fileName() + QStringLiteral(" - ") + ApplicationTitle() + suffix +
                   (Modified() ? QStringLiteral(" *") : QString()));
}

QString TForm1::FileName() const
{
    return QFile::decodeName(FSession.FileName().c_str());
}

void TForm1::SetModified(bool flag)
{
    // Also when cleared: an undo back to the saved state changes the document too.
    ++FDocumentRevision;
    if (flag && !Modified())
        setWindowTitle(windowTitle() + QStringLiteral(" *"));
    FSession.SetModified(flag);
    if (flag && FRecovery)
        FRecovery->Changed();
}

void TForm1::SelectNode(TreeNode* node)
{
    if (!node)
        return;
    QModelIndexList closed;
    for (TreeNode* ancestor = node->Parent(); ancestor; ancestor = ancestor->Parent())
        if (const QModelIndex index = FModel->IndexOf(ancestor); !TreeView1->isExpanded(index))
            closed.prepend(index);
    TreeView1->ExpandNodes(closed);
    TreeView1->setCurrentIndex(FModel->IndexOf(node));
}

QRect TForm1::NormalBounds() const
{
    return QRect(FNormalLeft, FNormalTop, FNormalClientWidth, FNormalClientHeight);
}

// ---------------------------------------------------------------- tree and editor exchange

void TForm1::StoreEditorText()
{
    if (!FShownNode)
        return;
    if (!FEditorTextPending) {
        StoreCaret();
        return;
    }
    FTypingPause->stop();
    document::TVLNodeData& data = FShownNode->Data();
    // The text and caret as the step began: the caret is not stored while typing is pending.
    const std::shared_ptr<const std::string> before = data.SharedText();
    const document::TextSelection caretBefore{data.SelStart, data.SelLength};
    data.SetText(Memo1->Text().toStdString());
    ++FDocumentRevision;
    FEditorTextPending = false;
    FStoredCaret.reset();
    StoreCaret();
    RecordTextEdit(*FShownNode, before, caretBefore);
}

// Stored positions count the Shift_JIS bytes of the text before them, a walk over the
// payload's text: it is done only when the caret moved since the last one, and only
// when the payload holds the editor's text.
void TForm1::StoreCaret()
{
    const document::TextSelection editor = Memo1->Selection();
    if (FEditorTextPending || (FStoredCaret && FStoredCaret->start == editor.start && FStoredCaret->length == editor.length))
        return;
    const document::TextSelection stored =
        document::StoredSelectionFromEditor(FShownNode->Data().Text(), editor.start, editor.length);
    FShownNode->Data().SelStart = stored.start;
    FShownNode->Data().SelLength = stored.length;
    FStoredCaret = editor;
}

void TForm1::TreeView1Change()
{
    TreeNode* node = Selected();
    if (node && FRemovingNode && document::IsInSubtree(node, FRemovingNode))
        node = nullptr;  // about to go; the selection after the removal is shown then
    Memo1->setEnabled(node != nullptr);
    if (node == FShownNode)
        return;
    StoreEditorText();
    FShownNode = nullptr;
    if (!node)
        return;
    ShowNodeText(node);
}

void TForm1::ShowNodeText(TreeNode* node)
{
    const document::TVLNodeData& data = node->Data();
    const document::TextSelection selection =
        document::EditorSelectionFromStored(data.Text(), data.SelStart, data.SelLength);
    {
        const QSignalBlocker quiet(Memo1);
        Memo1->ShowText(QString::fromStdString(data.EditorText()));
        Memo1->Select(selection);
    }
    FShownNode = node;
    // The payload already holds this selection: a node only looked at keeps its numbers.
    FStoredCaret = selection;
    FEditorTextPending = false;
}

void TForm1::Memo1Change()
{
    // A preedit is not in the document yet: its commit is the edit.
    if (!FShownNode || Memo1->ShowingPreedit())
        return;
    FEditorTextPending = true;
    FTypingPause->start();
    SetModified(true);
}

void TForm1::ForgetNodesUnder(TreeNode* node)
{
    if (!node)
        return;
    FRemovingNode = node;
    // A removed selection passes to the next sibling, else the previous one, else the parent.
    if (document::IsInSubtree(Selected(), node)) {
        FSelectAfterRemoval = node->NextSibling();
        if (!FSelectAfterRemoval)
            FSelectAfterRemoval = node->PrevSibling();
        if (!FSelectAfterRemoval)
            FSelectAfterRemoval = node->Parent();
    }
    if (document::IsInSubtree(FShownNode, node)) {
        FShownNode = nullptr;
        FEditorTextPending = false;
    }
    if (document::IsInSubtree(FPopupNode, node))
        FPopupNode = nullptr;
}

void TForm1::TreeView1Edited(TreeNode* node, const std::string& oldName)
{
    if (node->Name() != oldName)
        RecordChange(document::NodeRename{document::PathOf(*node), oldName, node->Name()});
    SetModified(true);
}

void TForm1::TreeView1KeyDown(int key)
{
    if (key == Qt::Key_Delete)
        actDelete->trigger();
}

void TForm1::TreeView1ContextMenu(const QPoint& position)
{
    const QModelIndex index = TreeView1->indexAt(position);
    if (index.isValid())
        TreeView1->setCurrentIndex(index);
    PopupMenu1Popup();
    PopupMenu1->popup(TreeView1->viewport()->mapToGlobal(position));
}

void TForm1::ApplicationEvents1Idle()
{
    // A modal error box shown from here runs its own loop, which comes back here.
    if (FInIdle)
        return;
    FInIdle = true;
    const struct Leave {
        bool& flag;
        ~Leave() { flag = false; }
    } leave{FInIdle};

    if (!(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))) {
        FNormalLeft = x();
        FNormalTop = y();
        FNormalClientWidth = width();
        FNormalClientHeight = height();
    }
    if (FShownNode && FShownNode == Selected()) {
        Memo1->CutCaretBlock();
        StoreCaret();
    }
    for (const auto& [action, update] : FUpdateHandlers)
        (this->*update)(action);
}

bool TForm1::IsActionShortcut(const QKeyCombination& key) const
{
    const QKeySequence pressed(key);
    for (const QAction* action : ActionList1)
        if (!action->shortcut().isEmpty() && action->shortcut() == pressed)
            return true;
    for (const QAction* item : FItemShortcuts)
        if (item->shortcut() == pressed)
            return true;
    for (const QAction* action : FFindActions)
        if (action->shortcut() == pressed)
            return true;
    return false;
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    bool handled = false;
    Guarded([&] {
        if (event->type() == QEvent::ShortcutOverride) {
            // The window's shortcuts win over the panes' own key bindings (Ctrl+K, Ctrl+Up...).
            auto* key = static_cast<QKeyEvent*>(event);
            const QKeyCombination combination(key->modifiers() & ~Qt::KeypadModifier, Qt::Key(key->key()));
            // Undo, redo and the clipboard keys are the window's in the editor too, so that
            // each is a step of the document's history.
            if (IsActionShortcut(combination) || (watched == Memo1 && IsEditorShortcut(combination))) {
                event->ignore();
                handled = true;
            }
        } else if (EndsTypingStep(watched, event)) {
            StoreEditorText();
        } else if (watched == Memo1 && !FEditorTextPending && FShownNode &&
                   (event->type() == QEvent::KeyPress || event->type() == QEvent::InputMethod)) {
            // Where a run of typing starts, for its undo to put the caret back.
            StoreCaret();
        } else if (watched == TreeView1 && event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Delete) {
                RunCommand([&] { TreeView1KeyDown(key->key()); });
                handled = true;
            }
        }
    });
    return handled || QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------- actions

QAction* TForm1::NewAction(const char* name, const char* category, const char* caption,
                           void (TForm1::*execute)(QAction*))
{
    auto* action = new QAction(QString::fromUtf8(caption), this);
    action->setObjectName(QString::fromUtf8(name));
    action->setProperty("category", QString::fromUtf8(category));
    connect(action, &QAction::triggered, this, [this, action, execute] {
        RunCommand([&] { (this->*execute)(action); });
    });
    return action;
}

// ---------------------------------------------------------------- the history's records

bool TForm1::IsEditorShortcut(const QKeyCombination& key) const
{
    const QKeySequence pressed(key);
    for (const QAction* action : {actUndo, actRedo, actCut, actCopy, actPaste})
        if (action->shortcuts().contains(pressed))
            return true;
    return false;
}

bool TForm1::EndsTypingStep(QObject* watched, QEvent* event) const
{
    if (watched == Memo1->viewport())
        return event->type() == QEvent::MouseButtonPress;
    if (watched != Memo1 || event->type() != QEvent::KeyPress)
        return false;
    switch (static_cast<QKeyEvent*>(event)->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return true;
    default:
        return false;
    }
}

void TForm1::RecordChange(document::TreeChange change)
{
    FSession.History().Record(std::move(change));
}

void TForm1::RecordTextEdit(TreeNode& node, const std::shared_ptr<const std::string>& before,
                            document::TextSelection caretBefore)
{
    if (std::optional<document::TextEdit> edit = document::TextEditSince(node, before, caretBefore))
        RecordChange(std::move(*edit));
}

// ---------------------------------------------------------------- commands

void TForm1::actEditNameExecute(QAction*)
{
    if (TreeNode* node = Selected())
        TreeView1->edit(FModel->IndexOf(node));
}

void TForm1::actNextExecute(QAction* Sender)
{
    TreeNode* node = Selected();
    if (!node)
        return;
    TreeNode* target = Sender == actPrev ? document::PreOrderPrev(*node) : document::PreOrderNext(*node);
    SelectNode(target);
}

void TForm1::actAboutExecute(QAction*)
{
    ShowAboutBox();
}

void TForm1::actSelectAllExecute(QAction*)
{
    Memo1->selectAll();
}

void TForm1::actOpenTextExecute(QAction*)
{
    if (!Selected())
        return;
    // The dialog is shared with actOpen: set what this command needs right before showing.
    OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
    OpenDialog1->setFileMode(QFileDialog::AnyFile);
    OpenDialog1->setNameFilters(TextFileFilters());
    if (OpenDialog1->exec() != QDialog::Accepted || OpenDialog1->selectedFiles().isEmpty())
        return;
    InsertTextFile(*Memo1, OpenDialog1->selectedFiles().first(),
                   [this](const QString& text) { Memo1->InsertText(text); });
}

void TForm1::actExitExecute(QAction*)
{
    close();
}

void TForm1::actExportTextExecute(QAction*)
{
    if (FRootNode)
        ShowExportDialog(*FRootNode);
}

void TForm1::actWebsiteExecute(QAction*)
{
    OpenHomePage();
}

void TForm1::actAddSiblingUpdate(QAction* Sender)
{
    Sender->setEnabled(document::CanAddSibling(Selected()));
}

void TForm1::actDeleteUpdate(QAction* Sender)
{
    Sender->setEnabled(document::CanDelete(Selected()));
}

void TForm1::actNextUpdate(QAction* Sender)
{
    const TreeNode* node = Selected();
    Sender->setEnabled(node && document::PreOrderNext(*node));
}

void TForm1::actSelectAllUpdate(QAction* Sender)
{
    Sender->setEnabled(!Memo1->document()->isEmpty());
}

void TForm1::actOpenTextUpdate(QAction* Sender)
{
    Sender->setEnabled(Selected() != nullptr);
}

void TForm1::actCodeSJISUpdate(QAction* Sender)
{
    Sender->setChecked((Sender == actCodeUTF8) == (Encoding() == nanxml::deUTF8));
}

void TForm1::PopupMenu1Popup()
{
    FPopupNode = Selected();
}

void TForm1::popDeleteClick(QAction* Sender)
{
    if (!FPopupNode)
        return;
    SelectNode(FPopupNode);
    if (Sender->objectName() == QLatin1String("popRename"))
        actEditName->trigger();
    else
        actDelete->trigger();
}
