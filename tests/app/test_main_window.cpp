#include "app/DocumentModel.h"
#include "app/MenuItemLink.h"
#include "app/MainWindow.h"
#include "UnexpectedDialogs.h"

#include <QAbstractEventDispatcher>
#include <QActionGroup>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QSplitter>
#include <QTreeView>
#include <QtTest>

#include <stdexcept>

using document::TreeNode;

namespace {

struct Item {
    const char* name;
    const char* action;    // null: separator or submenu
    const char* caption;   // of a submenu or plain item; actions bring their own
    QKeySequence shortcut;
};

// The menu's items as (name, linked action, caption, shortcut) in order.
void CompareMenu(const QMenu& menu, const std::vector<Item>& expected)
{
    const QList<QAction*> items = menu.actions();
    QCOMPARE(items.size(), qsizetype(expected.size()));
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Item& want = expected[i];
        const QAction& item = *items[int(i)];
        const QString where = menu.objectName() + QLatin1Char('/') + QString::fromUtf8(want.name);
        QVERIFY2(item.objectName() == QString::fromUtf8(want.name), qPrintable(where + " got " + item.objectName()));
        QAction* linked = LinkedAction(item);
        if (want.action) {
            QVERIFY2(linked, qPrintable(where));
            QCOMPARE(linked->objectName(), QString::fromUtf8(want.action));
            QCOMPARE(item.text(), linked->text());
        } else {
            QVERIFY2(!linked, qPrintable(where));
            if (want.caption)
                QCOMPARE(item.text(), QString::fromUtf8(want.caption));
            else
                QVERIFY2(item.isSeparator(), qPrintable(where));
        }
        QVERIFY2(item.shortcut() == want.shortcut, qPrintable(where + " " + item.shortcut().toString()));
    }
}

QMenu* SubMenu(const QMenu& menu, const char* name)
{
    for (QAction* item : menu.actions())
        if (item->objectName() == QLatin1String(name))
            return item->menu();
    return nullptr;
}

const QKeySequence kNone;

// root
//   A
//     A1
//   B
document::DocumentTree SmallTree()
{
    document::DocumentTree tree;
    TreeNode& a = tree.AppendNode(tree.Root(), "A");
    tree.AppendNode(a, "A1");
    tree.AppendNode(tree.Root(), "B");
    tree.Root().SetExpanded(true);
    return tree;
}

TreeNode& NodeAt(TForm1& form, std::initializer_list<std::size_t> path)
{
    TreeNode* node = &form.Document().Root();
    for (std::size_t index : path)
        node = node->Child(index);
    return *node;
}

// The in-place name editor of the tree while one is open.
QLineEdit* NameEditor(const TForm1& form)
{
    for (QLineEdit* editor : form.TreeView1->viewport()->findChildren<QLineEdit*>())
        if (editor->isVisible())
            return editor;
    return nullptr;
}

void ShowActive(TForm1& form)
{
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
}

}  // namespace

class TestMainWindow : public WindowTestCase {
    Q_OBJECT

private slots:
    void layoutOfTheWindow()
    {
        TForm1 form;
        QCOMPARE(form.windowTitle(), QStringLiteral("（ファイル名未設定） - ヴェルモラ (SJIS)"));
        QCOMPARE(form.pos(), QPoint(267, 115));
        QCOMPARE(form.size(), QSize(578, 312));
        QCOMPARE(form.font().family(), QStringLiteral("ＭＳ Ｐゴシック"));
        QCOMPARE(form.font().pixelSize(), 12);
        QCOMPARE(form.Splitter1->handleWidth(), 3);
        QVERIFY(!form.Splitter1->childrenCollapsible());
        QVERIFY(form.Splitter1->opaqueResize());
        QCOMPARE(form.Splitter1->widget(0), form.TreeView1);
        QCOMPARE(form.Splitter1->widget(1), form.Memo1);
        QCOMPARE(form.TreeView1->minimumWidth(), 64);
        QCOMPARE(form.Memo1->minimumWidth(), 64);
        QCOMPARE(form.TreeView1->indentation(), 19);
        form.show();
        QCOMPARE(form.Splitter1->sizes().first(), 121);
        // The splitter never snaps the tree shut: dragging it to 0 leaves the minimum.
        form.Splitter1->setSizes({0, 600});
        QCOMPARE(form.Splitter1->sizes().first(), 64);
        // Tab order: editor first, then tree; Tab in the editor types a tab. Tab passes over
        // hidden widgets (the closed find panel).
        QWidget* next = form.Memo1->nextInFocusChain();
        while (next != form.Memo1 && (!(next->focusPolicy() & Qt::TabFocus) || !next->isVisible()))
            next = next->nextInFocusChain();
        QCOMPARE(next, form.TreeView1);
        QVERIFY(!form.Memo1->tabChangesFocus());
        QCOMPARE(form.Document().Root().Name(), std::string("ルート"));
        QCOMPARE(form.Selected(), &form.Document().Root());
        QVERIFY(form.Memo1->isEnabled());
        QTest::keyClick(form.Memo1, Qt::Key_Tab);
        QCOMPARE(form.Memo1->toPlainText(), QStringLiteral("\t"));
    }

    void actionCatalogue()
    {
        TForm1 form;
        struct Expected {
            const char* name;
            const char* category;
            const char* caption;
            QKeySequence shortcut;
        };
        const Expected expected[] = {
            {"actNew", "ファイル", "新規(&N)", kNone},
            {"actOpen", "ファイル", "開く(&O)...", kNone},
            {"actSaveAs", "ファイル", "名前を付けて保存(&A)...", QKeySequence("Ctrl+Shift+S")},
            {"actAddChild", "ツリー", "子を追加(&C)", QKeySequence("Ctrl+L")},
            {"actAddSibling", "ツリー", "兄弟を追加(&S)", QKeySequence("Ctrl+K")},
            {"actEditName", "ツリー", "名前の変更(&M)", QKeySequence("F2")},
            {"actSave", "ファイル", "上書き保存(&S)", QKeySequence("Ctrl+S")},
            {"actDelete", "ツリー", "削除(&D)", QKeySequence("Ctrl+D")},
            {"actNext", "ツリー", "次のノードへ(&N)", QKeySequence("Ctrl+Down")},
            {"actPrev", "ツリー", "前のノードへ(&P)", QKeySequence("Ctrl+Up")},
            {"actFont", "", "フォント(&F)...", kNone},
            {"actWrap", "", "右端で折り返す(&W)", kNone},
            {"actAbout", "", "バージョン情報(&A)...", kNone},
            {"actSelectAll", "編集", "すべて選択(&A)", QKeySequence("Ctrl+A")},
            {"actOpenText", "ファイル", "テキストファイルをカーソル位置に読み込む(&T)...", kNone},
            {"actExit", "ファイル", "終了(&X)", kNone},
            {"actExportText", "編集", "書き出し(&E)...", kNone},
            {"actCodeSJIS", "ファイル", "&Shift-JIS", kNone},
            {"actCodeUTF8", "ファイル", "&UTF-8", kNone},
            {"actWebsite", "", "&Quillworks へ", kNone},
            {"actIniStyle", "", "設定の保存先(&P)...", kNone},
            {"actFontTree", "", "ツリー部のフォント(&T)...", kNone},
            {"actDateTime", "編集", "日付と時刻(&D)", kNone},
        };
        QCOMPARE(form.ActionList1.size(), qsizetype(std::size(expected)));
        for (int i = 0; i < form.ActionList1.size(); ++i) {
            const QAction* action = form.ActionList1[i];
            QCOMPARE(action->objectName(), QString::fromUtf8(expected[i].name));
            QCOMPARE(action->property("category").toString(), QString::fromUtf8(expected[i].category));
            QCOMPARE(action->text(), QString::fromUtf8(expected[i].caption));
            QCOMPARE(action->shortcut(), expected[i].shortcut);
            QVERIFY2(form.actions().contains(action), expected[i].name);  // live in the window
        }
        QVERIFY(form.actWrap->isCheckable());
        QVERIFY(form.EncodingGroup->isExclusive());
        QCOMPARE(form.EncodingGroup->actions(), (QList<QAction*>{form.actCodeSJIS, form.actCodeUTF8}));
    }

    void mainMenuItemsInOrder()
    {
        TForm1 form;
        const QList<QAction*> top = form.MainMenu1->actions();
        const QStringList names{"File1", "T1", "Edit1", "C2", "Help1"};
        const QStringList captions{"ファイル(&F)", "ツリー(&T)", "編集(&E)", "書式(&O)", "その他(&O)"};
        QCOMPARE(top.size(), 5);
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(top[i]->menu()->objectName(), names[i]);
            QCOMPARE(top[i]->text(), captions[i]);
        }
        CompareMenu(*top[0]->menu(), {
            {"N1", "actNew", nullptr, kNone},
            {"Open1", "actOpen", nullptr, QKeySequence("Ctrl+O")},
            {"mnuHistory", nullptr, "最近開いたファイル(&H)", kNone},
            {"Save1", "actSave", nullptr, QKeySequence("Ctrl+S")},
            {"SaveAs1", "actSaveAs", nullptr, QKeySequence("Ctrl+Shift+S")},
            {"N4", nullptr, nullptr, kNone},
            {"T2", "actOpenText", nullptr, kNone},
            {"N5", nullptr, nullptr, kNone},
            {"E1", nullptr, "エンコーディング(&E)", kNone},
            {"N9", nullptr, nullptr, kNone},
            {"Exit1", "actExit", nullptr, kNone},
        });
        QCOMPARE(SubMenu(*top[0]->menu(), "mnuHistory"), form.mnuHistory);
        CompareMenu(*SubMenu(*top[0]->menu(), "E1"), {
            {"ShiftJIS1", "actCodeSJIS", nullptr, kNone},
            {"UTF81", "actCodeUTF8", nullptr, kNone},
        });
        CompareMenu(*top[1]->menu(), {
            {"actAddChild1", "actAddChild", nullptr, QKeySequence("Ctrl+L")},
            {"S1", "actAddSibling", nullptr, QKeySequence("Ctrl+K")},
            {"Delete2", "actDelete", nullptr, QKeySequence("Ctrl+D")},
            {"N2", nullptr, nullptr, kNone},
            {"Rename1", "actEditName", nullptr, QKeySequence("F2")},
            {"N3", nullptr, nullptr, kNone},
            {"D1", "actNext", nullptr, QKeySequence("Ctrl+Down")},
        });
        CompareMenu(*top[2]->menu(), {
            {"Undo1", "actUndo", nullptr, QKeySequence("Ctrl+Z")},
            {"Redo1", "actRedo", nullptr, QKeySequence("Ctrl+Y")},
            {"N13", nullptr, nullptr, kNone},
            {"Cut1", "actCut", nullptr, QKeySequence("Ctrl+X")},
            {"Copy1", "actCopy", nullptr, QKeySequence("Ctrl+C")},
            {"Paste1", "actPaste", nullptr, QKeySequence("Ctrl+V")},
            {"N14", nullptr, nullptr, kNone},
            {"SelectAll1", "actSelectAll", nullptr, QKeySequence("Ctrl+A")},
            {"D2", "actDateTime", nullptr, kNone},
            {"N6", nullptr, nullptr, kNone},
            {"actExportText1", "actExportText", nullptr, kNone},
            {"N12", nullptr, nullptr, kNone},
            {"Find1", "actFind", nullptr, QKeySequence("Ctrl+F")},
            {"FindNext1", "actFindNext", nullptr, QKeySequence("F3")},
            {"FindPrev1", "actFindPrev", nullptr, QKeySequence("Shift+F3")},
            {"Replace1", "actReplace", nullptr, QKeySequence("Ctrl+H")},
        });
        CompareMenu(*top[3]->menu(), {
            {"Font1", "actFont", nullptr, kNone},
            {"actFontTree1", "actFontTree", nullptr, kNone},
            {"N11", nullptr, nullptr, kNone},
            {"W1", "actWrap", nullptr, kNone},
        });
        CompareMenu(*top[4]->menu(), {
            {"actUseIni1", "actIniStyle", nullptr, kNone},
            {"N10", nullptr, nullptr, kNone},
            {"About1", "actAbout", nullptr, QKeySequence("F1")},
            {"Quillworks1", "actWebsite", nullptr, kNone},
        });
        CompareMenu(*form.PopupMenu1, {
            {"C1", "actAddChild", nullptr, QKeySequence("Ctrl+L")},
            {"S2", "actAddSibling", nullptr, QKeySequence("Ctrl+K")},
            {"N8", nullptr, nullptr, kNone},
            {"popRename", nullptr, "名前の変更(&M)", QKeySequence("F2")},
            {"N7", nullptr, nullptr, kNone},
            {"popDelete", nullptr, "削除(&D)", QKeySequence("Ctrl+D")},
        });
    }

    void menuItemsFollowTheirActions()
    {
        TForm1 form;
        QMenu* format = form.MainMenu1->actions()[3]->menu();
        QAction* wrapItem = format->actions()[3];
        const bool before = form.actWrap->isChecked();
        QCOMPARE(wrapItem->isChecked(), before);
        wrapItem->trigger();  // choosing the item runs the action, which checks itself
        QCOMPARE(form.actWrap->isChecked(), !before);
        QCOMPARE(wrapItem->isChecked(), !before);
        form.actWrap->trigger();
        QCOMPARE(wrapItem->isChecked(), before);

        QMenu* encoding = SubMenu(*form.MainMenu1->actions()[0]->menu(), "E1");
        form.ApplicationEvents1Idle();
        QVERIFY(form.actCodeSJIS->isChecked());
        QVERIFY(!form.actCodeUTF8->isChecked());
        QVERIFY(encoding->actions()[0]->isChecked());
        QVERIFY(!encoding->actions()[1]->isChecked());

        // Disabled actions disable their items: the root can be neither deleted nor given a sibling.
        QMenu* tree = form.MainMenu1->actions()[1]->menu();
        QVERIFY(!form.actDelete->isEnabled());
        QVERIFY(!tree->actions()[2]->isEnabled());
        QVERIFY(!tree->actions()[1]->isEnabled());
        QVERIFY(tree->actions()[0]->isEnabled());
    }

    void updateHandlersRunWhenTheQueueRunsEmpty()
    {
        TForm1 form;
        form.SetDocument(SmallTree(), nullptr);
        emit QAbstractEventDispatcher::instance()->aboutToBlock();
        QVERIFY(!form.actDelete->isEnabled());  // the root is selected
        form.SelectNode(&NodeAt(form, {1}));
        QVERIFY(!form.actDelete->isEnabled());  // until the queue runs empty
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();  // waits for the timer with an empty queue
        QVERIFY(form.actDelete->isEnabled());
        QVERIFY(form.actAddSibling->isEnabled());
        QVERIFY(!form.actNext->isEnabled());  // B is the last node in pre-order
        QVERIFY(!form.actSelectAll->isEnabled());
        QVERIFY(form.actOpenText->isEnabled());
        form.SelectNode(&NodeAt(form, {0}));
        form.Memo1->insertPlainText(QStringLiteral("x"));
        emit QAbstractEventDispatcher::instance()->aboutToBlock();
        QVERIFY(form.actNext->isEnabled());
        QVERIFY(form.actSelectAll->isEnabled());
        form.TreeView1->clearSelection();
        emit QAbstractEventDispatcher::instance()->aboutToBlock();
        QVERIFY(!form.actOpenText->isEnabled());
        QVERIFY(!form.actDelete->isEnabled());
        // The normal-state bounds are recorded too.
        form.move(300, 200);
        form.resize(500, 250);
        emit QAbstractEventDispatcher::instance()->aboutToBlock();
        QCOMPARE(form.NormalBounds(), QRect(300, 200, 500, 250));
        form.show();
        form.setWindowState(Qt::WindowMaximized);
        QTRY_VERIFY(form.width() != 500);
        emit QAbstractEventDispatcher::instance()->aboutToBlock();
        QCOMPARE(form.NormalBounds(), QRect(300, 200, 500, 250));
    }

    void shortcutsReachTheirActionsFromBothPanes()
    {
        TForm1 form;
        form.SetDocument(SmallTree(), nullptr);
        ShowActive(form);
        form.Memo1->setFocus();
        // Ctrl+Down and Ctrl+Up walk the tree from the editor; actPrev is on no menu.
        QTest::keyClick(form.Memo1, Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(form.Selected(), &NodeAt(form, {0}));
        QTest::keyClick(form.Memo1, Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(form.Selected(), &NodeAt(form, {0, 0}));
        QTest::keyClick(form.Memo1, Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(form.Selected(), &NodeAt(form, {0}));
        form.TreeView1->setFocus();
        QTest::keyClick(form.TreeView1, Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(form.Selected(), &form.Document().Root());
        QTest::keyClick(form.TreeView1, Qt::Key_Up, Qt::ControlModifier);  // from the root: nothing
        QCOMPARE(form.Selected(), &form.Document().Root());

        form.SelectNode(&NodeAt(form, {1}));
        form.ApplicationEvents1Idle();
        // Only whether the keys reach these actions counts here, not what the commands do
        // (several open dialogs): their handlers are taken off.
        for (QAction* action : {form.actDelete, form.actAddSibling, form.actOpen, form.actAbout, form.actSave})
            QObject::disconnect(action, &QAction::triggered, &form, nullptr);
        QSignalSpy deletes(form.actDelete, &QAction::triggered);
        QSignalSpy siblings(form.actAddSibling, &QAction::triggered);
        QSignalSpy opens(form.actOpen, &QAction::triggered);
        QSignalSpy abouts(form.actAbout, &QAction::triggered);
        QSignalSpy saves(form.actSave, &QAction::triggered);
        form.Memo1->setFocus();
        form.Memo1->setPlainText(QStringLiteral("abc"));
        form.Memo1->moveCursor(QTextCursor::Start);
        QTest::keyClick(form.Memo1, Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(deletes.size(), 1);
        QTest::keyClick(form.Memo1, Qt::Key_K, Qt::ControlModifier);  // not the editor's kill-line
        QCOMPARE(siblings.size(), 1);
        QCOMPARE(form.Memo1->toPlainText(), QStringLiteral("abc"));
        QTest::keyClick(form.Memo1, Qt::Key_Delete);  // Delete alone edits the text
        QCOMPARE(form.Memo1->toPlainText(), QStringLiteral("bc"));
        QCOMPARE(deletes.size(), 1);
        QTest::keyClick(form.Memo1, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(opens.size(), 1);
        QTest::keyClick(form.Memo1, Qt::Key_F1);
        QCOMPARE(abouts.size(), 1);
        QTest::keyClick(form.Memo1, Qt::Key_S, Qt::ControlModifier);
        QCOMPARE(saves.size(), 1);

        form.TreeView1->setFocus();
        QTest::keyClick(form.TreeView1, Qt::Key_Delete);  // Delete in the tree deletes a node
        QCOMPARE(deletes.size(), 2);
        QTest::keyClick(form.TreeView1, Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(deletes.size(), 3);

        // F2 starts renaming from either pane; Esc cancels without marking anything.
        form.SetFileName(QStringLiteral("memo.trm"));
        form.Memo1->setFocus();
        QTest::keyClick(form.Memo1, Qt::Key_F2);
        QVERIFY(NameEditor(form));
        QLineEdit* editor = NameEditor(form);
        QVERIFY(editor);
        QCOMPARE(editor->text(), QStringLiteral("B"));
        QTest::keyClick(editor, Qt::Key_Escape);
        QVERIFY(!NameEditor(form));
        QVERIFY(!form.Modified());
        QCOMPARE(NodeAt(form, {1}).Name(), std::string("B"));
    }

    void renameConfirmedMarksModifiedEvenWhenUnchanged()
    {
        TForm1 form;
        form.SetDocument(SmallTree(), nullptr);
        ShowActive(form);
        form.SelectNode(&NodeAt(form, {1}));
        form.actEditName->trigger();
        QLineEdit* editor = NameEditor(form);
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(form.Modified());
        QVERIFY(form.windowTitle().endsWith(QStringLiteral(" *")));
        QCOMPARE(NodeAt(form, {1}).Name(), std::string("B"));

        form.actEditName->trigger();
        editor = NameEditor(form);
        QVERIFY(editor);
        editor->setText(QStringLiteral("新しい名前"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(NodeAt(form, {1}).Name(), std::string("新しい名前"));
        QCOMPARE(form.windowTitle().count(QStringLiteral(" *")), 1);
    }

    void rightClickSelectsAndThePopupRemembersTheNode()
    {
        TForm1 form;
        form.SetDocument(SmallTree(), nullptr);
        ShowActive(form);
        const QRect bRect = form.TreeView1->visualRect(form.Model().IndexOf(&NodeAt(form, {1})));
        form.TreeView1ContextMenu(bRect.center());
        QCOMPARE(form.Selected(), &NodeAt(form, {1}));
        QVERIFY(form.PopupMenu1->isVisible());
        form.PopupMenu1->close();
        // The remembered node is selected again before renaming.
        form.SelectNode(&form.Document().Root());
        form.ApplicationEvents1Idle();
        form.PopupMenu1->actions()[3]->trigger();
        QCOMPARE(form.Selected(), &NodeAt(form, {1}));
        QVERIFY(NameEditor(form));
        QTest::keyClick(NameEditor(form), Qt::Key_Escape);

        // Right click on empty space selects nothing new; the entries then do nothing.
        form.TreeView1->clearSelection();
        form.TreeView1ContextMenu(QPoint(5, form.TreeView1->viewport()->height() - 2));
        QCOMPARE(form.Selected(), nullptr);
        form.PopupMenu1->close();
        form.PopupMenu1->actions()[3]->trigger();
        QCOMPARE(form.Selected(), nullptr);
        QVERIFY(!NameEditor(form));
    }

    void anExceptionInACommandBecomesTheErrorBoxAndTheProgramGoesOn()
    {
        TForm1 form;
        form.SetDocument(SmallTree(), nullptr);
        form.SelectNode(&NodeAt(form, {0}));
        form.Memo1->insertPlainText(QStringLiteral("kept"));
        form.RunCommand([] { throw std::runtime_error("ファイル /nowhere/x.trm は開けません"); });
        const QStringList shown = TakeShownMessages();
        QCOMPARE(shown, QStringList{QStringLiteral("ファイル /nowhere/x.trm は開けません.")});
        // The pending text was stored before the command ran; the window still works.
        QCOMPARE(NodeAt(form, {0}).Data().Text(), std::string("kept\r\n"));
        form.SelectNode(&NodeAt(form, {1}));
        QCOMPARE(form.Selected(), &NodeAt(form, {1}));
    }

    void windowlessCommandsCanBeTriggeredSafely()
    {
        TForm1 form;
        // actNew and actExit ask about the changes made by the others: discard them.
        form.MessageDlg = [](const QString&, forms::TMsgDlgType, forms::TMsgDlgButtons) {
            return forms::mrNo;
        };
        form.SetDocument(SmallTree(), nullptr);
        form.show();
        form.SelectNode(&NodeAt(form, {0}));
        form.ApplicationEvents1Idle();
        // The commands that open no window of their own (file and font dialogs, the About
        // box and the browser would wait for a person).
        const QStringList windowless{"actNew", "actAddChild", "actAddSibling", "actEditName", "actDelete",
                                     "actNext", "actPrev", "actWrap", "actSelectAll", "actCodeSJIS",
                                     "actCodeUTF8", "actDateTime", "actExit"};
        for (QAction* action : form.ActionList1)
            if (windowless.contains(action->objectName()))
                action->trigger();
        for (QAction* item : form.PopupMenu1->actions())
            item->trigger();
        QVERIFY(!form.isVisible());  // actExit closed the window
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
