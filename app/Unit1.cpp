#include "app/Unit1.h"

#include "app/DocumentModel.h"
#include "app/MenuItemLink.h"
#include "app/TextPositions.h"
#include "app/TreeRules.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QActionGroup>
#include <QCloseEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTextBlock>
#include <QTreeView>

#include <utility>

using document::TreeNode;

namespace {

const QString kUnnamedFileName = QStringLiteral("（ファイル名未設定）");

constexpr int kInitialLeft = 267;
constexpr int kInitialTop = 115;
constexpr int kInitialWidth = 578;
constexpr int kInitialHeight = 312;
constexpr int kTreeWidth = 121;
constexpr int kTreeIndentation = 19;
constexpr int kSplitterWidth = 3;
constexpr int kMinimumPaneSize = 64;
constexpr int kFontPixelHeight = 12;

// Selection positions of an editor document counted as stored: each line break is one
// position in the editor and two in the file, so add the line number.
document::TextSelection StoredSelectionOf(const QPlainTextEdit& editor)
{
    const QTextCursor cursor = editor.textCursor();
    const QTextDocument& text = *editor.document();
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    const int storedStart = start + text.findBlock(start).blockNumber();
    const int storedEnd = end + text.findBlock(end).blockNumber();
    return {storedStart, storedEnd - storedStart};
}

}  // namespace

TForm1::TForm1()
{
    setWindowTitle(ApplicationTitle());
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPixelSize(kFontPixelHeight);
    setFont(font);
    move(kInitialLeft, kInitialTop);
    resize(kInitialWidth, kInitialHeight);

    FModel = new TDocumentModel(this);
    TreeView1 = new QTreeView;
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setHeaderHidden(true);
    TreeView1->setIndentation(kTreeIndentation);
    TreeView1->setSelectionMode(QAbstractItemView::SingleSelection);
    TreeView1->setEditTriggers(QAbstractItemView::SelectedClicked);
    TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
    TreeView1->setMinimumWidth(kMinimumPaneSize);
    // The selection stays highlighted while another pane has the focus.
    QPalette treePalette = TreeView1->palette();
    treePalette.setColor(QPalette::Inactive, QPalette::Highlight, treePalette.color(QPalette::Active, QPalette::Highlight));
    treePalette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                         treePalette.color(QPalette::Active, QPalette::HighlightedText));
    TreeView1->setPalette(treePalette);

    Memo1 = new QPlainTextEdit;
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setTabChangesFocus(false);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setMinimumWidth(kMinimumPaneSize);

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

    CreateActions();
    CreateMenus();
    CreatePopupMenu();

    connect(FModel, &TDocumentModel::nodeRenamed, this,
            [this](TreeNode* node) { RunCommand([&] { TreeView1Edited(node); }); });
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
        if (TreeNode* node = FModel->NodeOf(index))
            node->SetExpanded(true);
    });
    connect(TreeView1, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
        if (TreeNode* node = FModel->NodeOf(index))
            node->SetExpanded(false);
    });
    connect(TreeView1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& position) { RunCommand([&] { TreeView1ContextMenu(position); }); });
    // Memo1Change only marks the payload stale, so it needs no stored text first.
    connect(Memo1, &QPlainTextEdit::textChanged, this, [this] { Guarded([this] { Memo1Change(); }); });
    TreeView1->installEventFilter(this);
    Memo1->installEventFilter(this);
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
            [this] { Guarded([this] { ApplicationEvents1Idle(); }); });

    Guarded([this] { FormCreate(); });
}

TForm1::~TForm1()
{
    // The view must let go of the model before the tree it shows goes away.
    TreeView1->setModel(nullptr);
}

void TForm1::CreateActions()
{
    struct Entry {
        QAction* TForm1::*member;
        const char* name;
        const char* category;
        const char* caption;
        QKeySequence shortcut;
        void (TForm1::*execute)(QAction*);
        void (TForm1::*update)(QAction*);
    };
    const QKeySequence none;
    const Entry entries[] = {
        {&TForm1::actNew, "actNew", "ファイル", "新規(&N)", none, &TForm1::actNewExecute, nullptr},
        {&TForm1::actOpen, "actOpen", "ファイル", "開く(&O)...", none, &TForm1::actOpenExecute, nullptr},
        {&TForm1::actSaveAs, "actSaveAs", "ファイル", "名前を付けて保存(&A)...", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
         &TForm1::actSaveAsExecute, nullptr},
        {&TForm1::actAddChild, "actAddChild", "ツリー", "子を追加(&C)", QKeySequence(Qt::CTRL | Qt::Key_L),
         &TForm1::actAddChildExecute, nullptr},
        {&TForm1::actAddSibling, "actAddSibling", "ツリー", "兄弟を追加(&S)", QKeySequence(Qt::CTRL | Qt::Key_K),
         &TForm1::actAddChildExecute, &TForm1::actAddSiblingUpdate},
        {&TForm1::actEditName, "actEditName", "ツリー", "名前の変更(&M)", QKeySequence(Qt::Key_F2),
         &TForm1::actEditNameExecute, nullptr},
        {&TForm1::actSave, "actSave", "ファイル", "上書き保存(&S)", QKeySequence(Qt::CTRL | Qt::Key_S),
         &TForm1::actSaveExecute, nullptr},
        {&TForm1::actDelete, "actDelete", "ツリー", "削除(&D)", QKeySequence(Qt::CTRL | Qt::Key_D),
         &TForm1::actDeleteExecute, &TForm1::actDeleteUpdate},
        {&TForm1::actNext, "actNext", "ツリー", "次のノードへ(&N)", QKeySequence(Qt::CTRL | Qt::Key_Down),
         &TForm1::actNextExecute, &TForm1::actNextUpdate},
        {&TForm1::actPrev, "actPrev", "ツリー", "前のノードへ(&P)", QKeySequence(Qt::CTRL | Qt::Key_Up),
         &TForm1::actNextExecute, nullptr},
        {&TForm1::actFont, "actFont", "", "フォント(&F)...", none, &TForm1::actFontExecute, nullptr},
        {&TForm1::actWrap, "actWrap", "", "右端で折り返す(&W)", none, &TForm1::actWrapExecute, nullptr},
        {&TForm1::actAbout, "actAbout", "", "バージョン情報(&A)...", none, &TForm1::actAboutExecute, nullptr},
        {&TForm1::actSelectAll, "actSelectAll", "編集", "すべて選択(&A)", QKeySequence(Qt::CTRL | Qt::Key_A),
         &TForm1::actSelectAllExecute, &TForm1::actSelectAllUpdate},
        {&TForm1::actOpenText, "actOpenText", "ファイル", "テキストファイルをカーソル位置に読み込む(&T)...", none,
         &TForm1::actOpenTextExecute, &TForm1::actOpenTextUpdate},
        {&TForm1::actExit, "actExit", "ファイル", "終了(&X)", none, &TForm1::actExitExecute, nullptr},
        {&TForm1::actExportText, "actExportText", "編集", "書き出し(&E)...", none, &TForm1::actExportTextExecute, nullptr},
        {&TForm1::actCodeSJIS, "actCodeSJIS", "ファイル", "&Shift-JIS", none, &TForm1::actCodeSJISExecute,
         &TForm1::actCodeSJISUpdate},
        {&TForm1::actCodeUTF8, "actCodeUTF8", "ファイル", "&UTF-8", none, &TForm1::actCodeSJISExecute,
         &TForm1::actCodeSJISUpdate},
        {&TForm1::actWebsite, "actWebsite", "", "&Quillworks へ", none, &TForm1::actWebsiteExecute, nullptr},
        {&TForm1::actIniStyle, "actIniStyle", "", "設定の保存先(&P)...", none, &TForm1::actIniStyleExecute, nullptr},
        {&TForm1::actFontTree, "actFontTree", "", "ツリー部のフォント(&T)...", none, &TForm1::actFontTreeExecute, nullptr},
        {&TForm1::actDateTime, "actDateTime", "編集", "日付と時刻(&D)", none, &TForm1::actDateTimeExecute, nullptr},
    };
    for (const Entry& entry : entries) {
        auto* action = new QAction(QString::fromUtf8(entry.caption), this);
        action->setObjectName(QString::fromUtf8(entry.name));
        action->setProperty("category", QString::fromUtf8(entry.category));
        action->setShortcut(entry.shortcut);
        this->*entry.member = action;
        ActionList1.append(action);
        addAction(action);  // live shortcuts also for actions on no menu (actPrev)
        const auto execute = entry.execute;
        connect(action, &QAction::triggered, this, [this, action, execute] {
            RunCommand([&] { (this->*execute)(action); });
        });
        if (entry.update)
            FUpdateHandlers.append({action, entry.update});
    }
    actWrap->setCheckable(true);
    actWrap->setChecked(true);  // as the editor starts: wrapped, vertical scroll bar only
    EncodingGroup = new QActionGroup(this);
    for (QAction* action : {actCodeSJIS, actCodeUTF8}) {
        action->setCheckable(true);
        EncodingGroup->addAction(action);
    }
}

void TForm1::CreateMenus()
{
    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    auto addMenu = [this](const char* name, const char* caption) {
        QMenu* menu = MainMenu1->addMenu(QString::fromUtf8(caption));
        menu->setObjectName(QString::fromUtf8(name));
        menu->menuAction()->setObjectName(QString::fromUtf8(name));
        return menu;
    };

    QMenu& file = *addMenu("File1", "ファイル(&F)");
    connect(&file, &QMenu::aboutToShow, this, [this] { RunCommand([this] { File1Click(); }); });
    AddActionItem(file, QStringLiteral("N1"), *actNew);
    FItemShortcuts.append(AddActionItem(file, QStringLiteral("Open1"), *actOpen, QKeySequence(Qt::CTRL | Qt::Key_O)));
    mnuHistory = file.addMenu(QStringLiteral("最近開いたファイル(&H)"));
    mnuHistory->setObjectName(QStringLiteral("mnuHistory"));
    mnuHistory->menuAction()->setObjectName(QStringLiteral("mnuHistory"));
    AddActionItem(file, QStringLiteral("Save1"), *actSave);
    AddActionItem(file, QStringLiteral("SaveAs1"), *actSaveAs);
    AddSeparatorItem(file, QStringLiteral("N4"));
    AddActionItem(file, QStringLiteral("T2"), *actOpenText);
    AddSeparatorItem(file, QStringLiteral("N5"));
    QMenu* encoding = file.addMenu(QStringLiteral("エンコーディング(&E)"));
    encoding->setObjectName(QStringLiteral("E1"));
    encoding->menuAction()->setObjectName(QStringLiteral("E1"));
    auto* encodingItems = new QActionGroup(encoding);
    AddActionItem(*encoding, QStringLiteral("ShiftJIS1"), *actCodeSJIS, {}, encodingItems);
    AddActionItem(*encoding, QStringLiteral("UTF81"), *actCodeUTF8, {}, encodingItems);
    AddSeparatorItem(file, QStringLiteral("N9"));
    AddActionItem(file, QStringLiteral("Exit1"), *actExit);

    QMenu& tree = *addMenu("T1", "ツリー(&T)");
    AddActionItem(tree, QStringLiteral("actAddChild1"), *actAddChild);
    AddActionItem(tree, QStringLiteral("S1"), *actAddSibling);
    AddActionItem(tree, QStringLiteral("Delete2"), *actDelete);
    AddSeparatorItem(tree, QStringLiteral("N2"));
    AddActionItem(tree, QStringLiteral("Rename1"), *actEditName);
    AddSeparatorItem(tree, QStringLiteral("N3"));
    AddActionItem(tree, QStringLiteral("D1"), *actNext);

    QMenu& edit = *addMenu("Edit1", "編集(&E)");
    AddActionItem(edit, QStringLiteral("SelectAll1"), *actSelectAll);
    AddActionItem(edit, QStringLiteral("D2"), *actDateTime);
    AddSeparatorItem(edit, QStringLiteral("N6"));
    AddActionItem(edit, QStringLiteral("actExportText1"), *actExportText);

    QMenu& format = *addMenu("C2", "書式(&O)");
    AddActionItem(format, QStringLiteral("Font1"), *actFont);
    AddActionItem(format, QStringLiteral("actFontTree1"), *actFontTree);
    AddSeparatorItem(format, QStringLiteral("N11"));
    AddActionItem(format, QStringLiteral("W1"), *actWrap);

    QMenu& other = *addMenu("Help1", "その他(&O)");
    AddActionItem(other, QStringLiteral("actUseIni1"), *actIniStyle);
    AddSeparatorItem(other, QStringLiteral("N10"));
    FItemShortcuts.append(AddActionItem(other, QStringLiteral("About1"), *actAbout, QKeySequence(Qt::Key_F1)));
    AddActionItem(other, QStringLiteral("Quillworks1"), *actWebsite);
}

void TForm1::CreatePopupMenu()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    AddActionItem(*PopupMenu1, QStringLiteral("C1"), *actAddChild);
    AddActionItem(*PopupMenu1, QStringLiteral("S2"), *actAddSibling);
    AddSeparatorItem(*PopupMenu1, QStringLiteral("N8"));
    QAction* rename = AddPlainItem(*PopupMenu1, QStringLiteral("popRename"), QStringLiteral("名前の変更(&M)"),
                                   QKeySequence(Qt::Key_F2));
    AddSeparatorItem(*PopupMenu1, QStringLiteral("N7"));
    QAction* remove = AddPlainItem(*PopupMenu1, QStringLiteral("popDelete"), QStringLiteral("削除(&D)"),
                                   QKeySequence(Qt::CTRL | Qt::Key_D));
    for (QAction* item : {rename, remove})
        connect(item, &QAction::triggered, this, [this, item] { RunCommand([&] { popDeleteClick(item); }); });
}

void TForm1::FormCreate()
{
    NewDocument();
}

// ---------------------------------------------------------------- document

TreeNode* TForm1::Selected() const
{
    const QModelIndexList selected = TreeView1->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? nullptr : FModel->NodeOf(selected.first());
}

void TForm1::SetDocument(document::DocumentTree tree, TreeNode* selected)
{
    FShownNode = nullptr;
    FEditorTextPending = false;
    FPopupNode = nullptr;
    FSelectAfterRemoval = nullptr;
    FModel->SetTree(nullptr);
    FDocument = std::move(tree);
    FRootNode = &FDocument.Root();
    FModel->SetTree(&FDocument);
    ApplyExpandedFlags(*FRootNode);
    SelectNode(selected ? selected : FRootNode);
    TreeView1Change();
}

void TForm1::ApplyExpandedFlags(TreeNode& node)
{
    // Collapsing in the view would clear the flags it mirrors, so only expand.
    std::vector<TreeNode*> pending{&node};
    while (!pending.empty()) {
        TreeNode* current = pending.back();
        pending.pop_back();
        if (current->Expanded())
            TreeView1->setExpanded(FModel->IndexOf(current), true);
        for (std::size_t i = 0; i < current->ChildCount(); ++i)
            pending.push_back(current->Child(i));
    }
}

void TForm1::NewDocument()
{
    SetDocument(document::DocumentTree(), nullptr);
    FEncoding = nanxml::deShiftJIS;
    SetFileName(kUnnamedFileName);
}

void TForm1::SetFileName(const QString& fileName)
{
    FFileName = fileName;
    const QString suffix = FEncoding == nanxml::deUTF8 ? QStringLiteral(" (UTF8)") : QStringLiteral(" (SJIS)");
    setWindowTitle(QFileInfo(fileName).fileName() + QStringLiteral(" - ") + ApplicationTitle() + suffix);
    FModified = false;
}

void TForm1::SetModified(bool flag)
{
    if (flag && !FModified)
        setWindowTitle(windowTitle() + QStringLiteral(" *"));
    FModified = flag;
}

void TForm1::SelectNode(TreeNode* node)
{
    if (!node)
        return;
    for (TreeNode* ancestor = node->Parent(); ancestor; ancestor = ancestor->Parent())
        TreeView1->setExpanded(FModel->IndexOf(ancestor), true);
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
    if (FEditorTextPending) {
        FShownNode->Data().SetText(Memo1->toPlainText().toStdString());
        FEditorTextPending = false;
    }
    StoreCaret();
}

void TForm1::StoreCaret()
{
    const document::TextSelection selection = StoredSelectionOf(*Memo1);
    FShownNode->Data().SelStart = selection.start;
    FShownNode->Data().SelLength = selection.length;
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
    {
        const QSignalBlocker quiet(Memo1);
        Memo1->setPlainText(QString::fromStdString(data.EditorText()));
        const document::TextSelection selection =
            document::EditorSelectionFromStored(data.Text(), data.SelStart, data.SelLength);
        QTextCursor cursor = Memo1->textCursor();
        cursor.setPosition(selection.start);
        cursor.setPosition(selection.start + selection.length, QTextCursor::KeepAnchor);
        Memo1->setTextCursor(cursor);
    }
    FShownNode = node;
    FEditorTextPending = false;
}

void TForm1::Memo1Change()
{
    if (!FShownNode)
        return;
    FEditorTextPending = true;
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

void TForm1::TreeView1Edited(TreeNode*)
{
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
    if (FShownNode && FShownNode == Selected())
        StoreCaret();
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
    return false;
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    bool handled = false;
    Guarded([&] {
        if (event->type() == QEvent::ShortcutOverride) {
            // The window's shortcuts win over the panes' own key bindings (Ctrl+K, Ctrl+Up...).
            auto* key = static_cast<QKeyEvent*>(event);
            if (IsActionShortcut(QKeyCombination(key->modifiers() & ~Qt::KeypadModifier, Qt::Key(key->key())))) {
                event->ignore();
                handled = true;
            }
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

void TForm1::closeEvent(QCloseEvent* event)
{
    bool canClose = false;
    RunCommand([&] { FormCloseQuery(canClose); });
    if (canClose)
        event->accept();
    else
        event->ignore();
}

// ---------------------------------------------------------------- commands

void TForm1::actNewExecute(QAction*) {}
void TForm1::actOpenExecute(QAction*) {}
void TForm1::actSaveAsExecute(QAction*) {}
void TForm1::actAddChildExecute(QAction*) {}

void TForm1::actEditNameExecute(QAction*)
{
    if (TreeNode* node = Selected())
        TreeView1->edit(FModel->IndexOf(node));
}

void TForm1::actSaveExecute(QAction*) {}
void TForm1::actDeleteExecute(QAction*) {}

void TForm1::actNextExecute(QAction* Sender)
{
    TreeNode* node = Selected();
    if (!node)
        return;
    TreeNode* target = Sender == actPrev ? document::PreOrderPrev(*node) : document::PreOrderNext(*node);
    SelectNode(target);
}

void TForm1::actFontExecute(QAction*) {}
void TForm1::actWrapExecute(QAction*) {}
void TForm1::actAboutExecute(QAction*) {}

void TForm1::actSelectAllExecute(QAction*)
{
    Memo1->selectAll();
}

void TForm1::actOpenTextExecute(QAction*) {}

void TForm1::actExitExecute(QAction*)
{
    close();
}

void TForm1::actExportTextExecute(QAction*) {}
void TForm1::actCodeSJISExecute(QAction*) {}
void TForm1::actWebsiteExecute(QAction*) {}
void TForm1::actIniStyleExecute(QAction*) {}
void TForm1::actFontTreeExecute(QAction*) {}
void TForm1::actDateTimeExecute(QAction*) {}

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
    Sender->setChecked((Sender == actCodeUTF8) == (FEncoding == nanxml::deUTF8));
}

void TForm1::File1Click() {}

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

void TForm1::FormCloseQuery(bool& CanClose)
{
    CanClose = true;
}
