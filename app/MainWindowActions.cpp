// The window's actions in their catalogue order, the main menu and the tree's context menu.
#include "app/MenuItemLink.h"
#include "app/MainWindow.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>

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
        QAction* action = NewAction(entry.name, entry.category, entry.caption, entry.execute);
        action->setShortcut(entry.shortcut);
        this->*entry.member = action;
        ActionList1.append(action);
        addAction(action);  // live shortcuts also for actions on no menu (actPrev)
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
    CreateFindActions();
    CreateUndoActions();
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
    AddActionItem(edit, QStringLiteral("Undo1"), *actUndo);
    AddActionItem(edit, QStringLiteral("Redo1"), *actRedo);
    AddSeparatorItem(edit, QStringLiteral("N13"));
    AddActionItem(edit, QStringLiteral("Cut1"), *actCut);
    AddActionItem(edit, QStringLiteral("Copy1"), *actCopy);
    AddActionItem(edit, QStringLiteral("Paste1"), *actPaste);
    AddSeparatorItem(edit, QStringLiteral("N14"));
    AddActionItem(edit, QStringLiteral("SelectAll1"), *actSelectAll);
    AddActionItem(edit, QStringLiteral("D2"), *actDateTime);
    AddSeparatorItem(edit, QStringLiteral("N6"));
    AddActionItem(edit, QStringLiteral("actExportText1"), *actExportText);
    AddSeparatorItem(edit, QStringLiteral("N12"));
    AddActionItem(edit, QStringLiteral("Find1"), *actFind);
    AddActionItem(edit, QStringLiteral("FindNext1"), *actFindNext);
    AddActionItem(edit, QStringLiteral("FindPrev1"), *actFindPrev);
    AddActionItem(edit, QStringLiteral("Replace1"), *actReplace);

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
