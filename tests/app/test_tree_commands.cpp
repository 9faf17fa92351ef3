#include "UnexpectedDialogs.h"
#include "TreeFixture.h"

#include <QDateTime>
#include <QMenu>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSplitter>

#include <random>

using document::TreeNode;
using namespace treetest;

namespace {

TreeNode* Root(TForm1& form) { return &form.Document().Root(); }
TreeNode* NodeA(TForm1& form) { return &NodeAt(form, {0}); }
TreeNode* NodeB(TForm1& form) { return &NodeAt(form, {1}); }
TreeNode* NodeC(TForm1& form) { return &NodeAt(form, {2}); }

QAction* PopupItem(TForm1& form, const char* name)
{
    for (QAction* item : form.PopupMenu1->actions())
        if (item->objectName() == QLatin1String(name))
            return item;
    return nullptr;
}

// Every node with children is expanded, in the view and in the node's own flag.
void VerifyAllExpanded(TForm1& form)
{
    for (TreeNode* node = Root(form); node; node = document::PreOrderNext(*node)) {
        if (!node->HasChildren())
            continue;
        QVERIFY2(node->Expanded(), node->Name().c_str());
        QVERIFY2(form.TreeView1->isExpanded(IndexOf(form, node)), node->Name().c_str());
    }
}

// After an add: the new node is selected, shows its empty text and is open for renaming
// with "新規" ready to be overwritten; Esc keeps that name and the document stays modified.
void VerifyNewNodeThenEscape(TForm1& form, TreeNode* added)
{
    QVERIFY(added);
    QCOMPARE(added->Name(), std::string("新規"));
    QCOMPARE(form.Selected(), added);
    QVERIFY(form.Memo1->isEnabled());
    QCOMPARE(form.Memo1->toPlainText(), QString());
    QVERIFY(form.Modified());
    VerifyAllExpanded(form);
    QLineEdit* editor = NameEditor(form);
    QVERIFY(editor);
    QCOMPARE(editor->text(), QStringLiteral("新規"));
    QCOMPARE(editor->selectedText(), QStringLiteral("新規"));
    QTest::keyClick(editor, Qt::Key_Escape);
    QVERIFY(!NameEditor(form));
    QCOMPARE(added->Name(), std::string("新規"));
    QVERIFY(form.Modified());
}

// The view shows exactly the nodes whose ancestors are all open, in pre-order, and every
// node with children is open in the view exactly when its flag says so (also out of sight).
void VerifyRowsAndFlags(TForm1& form, int step)
{
    std::vector<TreeNode*> expected;
    for (TreeNode* node = Root(form); node;) {
        expected.push_back(node);
        TreeNode* next = node->Expanded() ? node->FirstChild() : nullptr;
        for (TreeNode* up = node; !next && up; up = up->Parent())
            next = up->NextSibling();
        node = next;
    }
    std::vector<TreeNode*> shown;
    for (QModelIndex index = IndexOf(form, Root(form)); index.isValid(); index = form.TreeView1->indexBelow(index))
        shown.push_back(form.Model().NodeOf(index));
    QVERIFY2(shown == expected, qPrintable(QStringLiteral("rows differ after step %1").arg(step)));
    for (TreeNode* node = Root(form); node; node = document::PreOrderNext(*node))
        if (node->HasChildren())
            QVERIFY2(form.TreeView1->isExpanded(IndexOf(form, node)) == node->Expanded(), node->Name().c_str());
}

}  // namespace

class TestTreeCommands : public WindowTestCase {
    Q_OBJECT

private slots:
    void addAnchorsOnTheRootAChildAndNoSelection()
    {
        TForm1 form;
        Open(form, Root);
        form.SetFileName(QStringLiteral("memo.trm"));
        // The root never gets a sibling: the action is off, and actAddChild adds to it.
        QVERIFY(!form.actAddSibling->isEnabled());
        QVERIFY(form.actAddChild->isEnabled());
        form.actAddChild->trigger();
        QCOMPARE(Root(form)->ChildCount(), std::size_t(4));
        VerifyNewNodeThenEscape(form, Root(form)->Child(3));
        QCOMPARE(form.windowTitle(), QStringLiteral("memo.trm - ヴェルモラ (SJIS) *"));

        // A child of the root selected: the sibling goes last under the root, not after A.
        form.SelectNode(NodeA(form));
        Idle();
        QVERIFY(form.actAddSibling->isEnabled());
        form.actAddSibling->trigger();
        QCOMPARE(Outline(form), (QStringList{"ルート", "  A", "    A1", "    A2", "  B", "    B1", "  C", "  新規",
                                             "  新規"}));
        VerifyNewNodeThenEscape(form, Root(form)->Child(4));

        // A sibling of a deeper node goes last under that node's parent; B was collapsed and
        // every node is expanded after the add.
        form.SelectNode(&NodeAt(form, {0, 0}));
        Idle();
        form.actAddSibling->trigger();
        QCOMPARE(NodeAt(form, {0}).ChildCount(), std::size_t(3));
        VerifyNewNodeThenEscape(form, &NodeAt(form, {0, 2}));

        // A child of a leaf; then with nothing selected, actAddChild adds to the root.
        form.SelectNode(NodeC(form));
        Idle();
        form.actAddChild->trigger();
        VerifyNewNodeThenEscape(form, NodeC(form)->Child(0));
        form.TreeView1->clearSelection();
        Idle();
        form.actAddChild->trigger();
        VerifyNewNodeThenEscape(form, Root(form)->LastChild());
        QCOMPARE(Root(form)->ChildCount(), std::size_t(6));
    }

    // Many closed parents are opened in one layout of the view, a few one by one: either way
    // the view and the flags agree afterwards, and an add in an open tree shows its node.
    void expandAllOpensManyOrFewClosedParents()
    {
        TForm1 form;
        document::DocumentTree tree;
        TreeNode* parent = &tree.Root();
        for (int level = 0; level < 40; ++level) {
            tree.AppendNode(*parent, "leaf " + std::to_string(level));
            parent = &tree.AppendNode(*parent, "level " + std::to_string(level));
        }
        form.SetDocument(std::move(tree), nullptr);
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        Idle();
        form.TreeView1->collapseAll();
        QVERIFY(!Root(form)->Expanded());
        form.ExpandAllNodes();
        Idle();
        VerifyAllExpanded(form);

        TreeNode* leaf = Root(form)->Child(1)->Child(0);
        form.SelectNode(leaf);
        Idle();
        form.actAddChild->trigger();
        VerifyNewNodeThenEscape(form, leaf->FirstChild());
        QCOMPARE(form.TreeView1->indexBelow(IndexOf(form, leaf)), IndexOf(form, leaf->FirstChild()));
    }

    void aNewNodeTakesTheTypedNameAndItsOwnText()
    {
        TForm1 form;
        Open(form, NodeA);
        QTest::keyClick(form.Memo1, Qt::Key_L, Qt::ControlModifier);  // actAddChild from the editor
        QLineEdit* editor = NameEditor(form);
        QVERIFY(editor);
        QTest::keyClicks(editor, QStringLiteral("memo"));
        QTest::keyClick(editor, Qt::Key_Return);
        TreeNode* added = NodeA(form)->LastChild();
        QTRY_COMPARE(added->Name(), std::string("memo"));
        form.Memo1->insertPlainText(QStringLiteral("new text"));
        form.SelectNode(NodeA(form));
        QCOMPARE(added->Data().Text(), std::string("new text\r\n"));
        QCOMPARE(NodeA(form)->Data().Text(), std::string("alpha\r\n"));
        QCOMPARE(form.Memo1->toPlainText(), QStringLiteral("alpha"));
    }

    void renameTheRootAndBySlowSecondClick()
    {
        TForm1 form;
        Open(form, Root);
        form.actEditName->trigger();
        QLineEdit* editor = NameEditor(form);
        QVERIFY(editor);
        editor->setText(QStringLiteral("ノート"));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(Root(form)->Name(), std::string("ノート"));
        QVERIFY(form.Modified());

        // A click on the label of the node already selected opens the editor too.
        form.SetFileName(QStringLiteral("memo.trm"));
        form.SelectNode(NodeC(form));
        const QRect label = form.TreeView1->LabelRect(IndexOf(form, NodeC(form)));
        QTest::mouseClick(form.TreeView1->viewport(), Qt::LeftButton, {}, label.center());
        QTRY_VERIFY(NameEditor(form));
        QTest::keyClick(NameEditor(form), Qt::Key_Escape);
        QVERIFY(!form.Modified());  // a cancelled edit changes nothing
        QCOMPARE(NodeC(form)->Name(), std::string("C"));
    }

    void deleteWithAndWithoutChildrenAndCancel()
    {
        TForm1 form;
        Questions questions;
        questions.Install(form);
        Open(form, NodeC);
        form.SetFileName(QStringLiteral("memo.trm"));
        const std::size_t before = form.Document().NodeCount();

        // A leaf goes without a question; another node is selected and its text shown.
        QVERIFY(form.actDelete->isEnabled());
        form.actDelete->trigger();
        QVERIFY(questions.asked.empty());
        QVERIFY(!Find(form, "C"));
        QCOMPARE(form.Document().NodeCount(), before - 1);
        QVERIFY(form.Modified());
        QCOMPARE(form.Selected(), NodeB(form));
        QCOMPARE(form.Memo1->toPlainText(), QString());
        QVERIFY(form.Memo1->isEnabled());

        // A node with children asks first; Cancel keeps it and changes nothing.
        form.SetFileName(QStringLiteral("memo.trm"));
        form.SelectNode(NodeA(form));
        Idle();
        questions.answers = {forms::mrCancel};
        form.actDelete->trigger();
        QCOMPARE(questions.asked.size(), std::size_t(1));
        QCOMPARE(questions.asked[0].message, QStringLiteral("A を、子もまとめて削除します。よろしいですか？"));
        QVERIFY(questions.asked[0].type == forms::TMsgDlgType::mtConfirmation);
        QCOMPARE(questions.asked[0].buttons, forms::TMsgDlgBtn::mbOK | forms::TMsgDlgBtn::mbCancel);
        QVERIFY(Find(form, "A1"));
        QVERIFY(!form.Modified());
        QCOMPARE(form.Selected(), NodeA(form));

        // OK removes the node with its whole subtree.
        questions.answers = {forms::mrOk};
        form.actDelete->trigger();
        QCOMPARE(questions.asked.size(), std::size_t(2));
        QCOMPARE(Outline(form), (QStringList{"ルート", "  B", "    B1"}));
        QCOMPARE(form.Document().NodeCount(), before - 4);
        QVERIFY(form.Modified());
        QCOMPARE(form.Selected(), &NodeAt(form, {0}));

        // The Delete key in the tree follows the same rules, whatever the modifiers.
        form.TreeView1->setFocus();
        form.SelectNode(&NodeAt(form, {0, 0}));
        Idle();
        QTest::keyClick(form.TreeView1, Qt::Key_Delete, Qt::ShiftModifier);
        QCOMPARE(Outline(form), (QStringList{"ルート", "  B"}));
        QCOMPARE(form.Selected(), &NodeAt(form, {0}));  // the parent, lacking siblings
        QCOMPARE(questions.asked.size(), std::size_t(2));
    }

    void theRootIsNeverDeleted()
    {
        TForm1 form;
        Questions questions;
        questions.answers = {forms::mrOk, forms::mrOk, forms::mrOk, forms::mrOk};
        questions.Install(form);
        Open(form, Root);
        form.SetFileName(QStringLiteral("memo.trm"));
        const QStringList outline = Outline(form);
        QVERIFY(!form.actDelete->isEnabled());
        form.actDeleteExecute(form.actDelete);  // even when reached with the action off
        form.TreeView1->setFocus();
        QTest::keyClick(form.TreeView1, Qt::Key_Delete);
        QTest::keyClick(form.TreeView1, Qt::Key_D, Qt::ControlModifier);
        QTest::keyClick(form.Memo1, Qt::Key_D, Qt::ControlModifier);
        form.PopupMenu1Popup();
        PopupItem(form, "popDelete")->trigger();
        QCOMPARE(Outline(form), outline);
        QVERIFY(questions.asked.empty());
        QVERIFY(!form.Modified());
        QCOMPARE(form.Selected(), Root(form));

        // Nothing selected: nothing to delete either.
        form.TreeView1->clearSelection();
        form.actDeleteExecute(form.actDelete);
        QCOMPARE(Outline(form), outline);
    }

    void nextAndPrevWalkInPreOrderThroughCollapsedNodes()
    {
        TForm1 form;
        Open(form, Root);
        QVERIFY(!NodeB(form)->Expanded());
        QVERIFY(!form.TreeView1->isExpanded(IndexOf(form, NodeB(form))));
        // actPrev from the root is on and does nothing.
        QVERIFY(form.actPrev->isEnabled());
        form.actPrev->trigger();
        QCOMPARE(form.Selected(), Root(form));

        QStringList walked;
        for (int i = 0; i < 10 && form.actNext->isEnabled(); ++i) {
            form.actNext->trigger();
            walked << QString::fromStdString(form.Selected()->Name());
            Idle();
        }
        QCOMPARE(walked, (QStringList{"A", "A1", "A2", "B", "B1", "C"}));
        // Reaching B1 expanded the collapsed B, in the view and in its flag.
        QVERIFY(NodeB(form)->Expanded());
        QVERIFY(form.TreeView1->isExpanded(IndexOf(form, NodeB(form))));
        // The last node in pre-order: actNext is off.
        QVERIFY(!form.actNext->isEnabled());

        // Back from C through a collapsed B reaches B1 (the deepest last node) and shows it.
        form.TreeView1->collapse(IndexOf(form, NodeB(form)));
        QVERIFY(!NodeB(form)->Expanded());
        walked.clear();
        for (int i = 0; i < 10 && form.Selected() != Root(form); ++i) {
            form.actPrev->trigger();
            walked << QString::fromStdString(form.Selected()->Name());
        }
        QCOMPARE(walked, (QStringList{"B1", "B", "A2", "A1", "A", "ルート"}));
        QVERIFY(form.TreeView1->isExpanded(IndexOf(form, NodeB(form))));
        // Walking is not an edit; each node's text was shown on the way.
        QVERIFY(!form.Modified());

        // With nothing selected both do nothing and actNext is off.
        form.TreeView1->clearSelection();
        Idle();
        QVERIFY(!form.actNext->isEnabled());
        form.actNextExecute(form.actNext);
        form.actNextExecute(form.actPrev);
        QCOMPARE(form.Selected(), nullptr);
    }

    // Nodes are opened and closed at random in every way the window offers: Left, Right and
    // + on the current node, a click on a branch mark, a double-click, selecting a hidden
    // node, expand-all. Closed nodes with many open descendants are opened as well as those
    // with few. After each step the view shows exactly the nodes
    // whose ancestors are all open, in pre-order, and every node's flag is the view's state.
    void randomOpeningAndClosingKeepsTheRowsAndTheFlags()
    {
        TForm1 form;
        document::DocumentTree tree;
        std::mt19937 rng(2026);
        std::vector<TreeNode*> nodes{&tree.Root()};
        for (int chapter = 0; chapter < 3; ++chapter) {
            std::vector<TreeNode*> inside{&tree.AppendNode(tree.Root(), "chapter " + std::to_string(chapter))};
            for (int i = 0; i < 70; ++i) {
                const std::size_t first = inside.size() > 4 ? inside.size() - 4 : 0;
                TreeNode* parent = inside[std::uniform_int_distribution<std::size_t>(first, inside.size() - 1)(rng)];
                inside.push_back(&tree.AppendNode(*parent, std::to_string(chapter) + "-" + std::to_string(i)));
            }
            nodes.insert(nodes.end(), inside.begin(), inside.end());
        }
        form.SetDocument(std::move(tree), nullptr);
        form.resize(1400, 300);
        form.Splitter1->setSizes({1200, 200});
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.ExpandAllNodes();
        Idle();
        std::vector<TreeNode*> parents;
        for (TreeNode* node : nodes)
            if (node->HasChildren())
                parents.push_back(node);


        std::size_t reopenedMany = 0;
        for (int step = 0; step < 300; ++step) {
            // A chapter a third of the time: those have many open descendants.
            TreeNode* node = step % 3 == 0 ? Root(form)->Child(std::size_t(step / 3 % 3))
                                           : parents[std::uniform_int_distribution<std::size_t>(0, parents.size() - 1)(rng)];
            const QModelIndex index = IndexOf(form, node);
            std::size_t openBelow = 0;
            for (TreeNode* below = document::PreOrderNext(*node); below && document::IsInSubtree(below, node);
                 below = document::PreOrderNext(*below))
                openBelow += below->Expanded() ? 1 : 0;
            if (!node->Expanded() && openBelow > 16)
                ++reopenedMany;
            const bool wasOpen = node->Expanded();
            // What the step leaves the node as: closed, open, the other way round, or either.
            enum { kClosed, kOpen, kToggled, kAny } expect = kAny;
            const int op = std::uniform_int_distribution<int>(0, 6)(rng);
            switch (op) {
            case 0:
            case 1:
                form.SelectNode(node);
                QTest::keyClick(form.TreeView1, Qt::Key_Left);
                expect = kClosed;
                break;
            case 2:
                form.SelectNode(node);
                QTest::keyClick(form.TreeView1, Qt::Key_Right);
                expect = kOpen;
                break;
            case 3:
                form.SelectNode(node);
                QTest::keyClick(form.TreeView1, Qt::Key_Plus);
                expect = kOpen;
                break;
            case 4: {
                form.SelectNode(node);
                form.TreeView1->scrollTo(index);
                const QRect item = form.TreeView1->visualRect(index);
                const QPoint mark(item.left() - form.TreeView1->indentation() / 2, item.center().y());
                if (!form.TreeView1->viewport()->rect().contains(mark))
                    break;  // too deep for the pane
                QTest::mouseClick(form.TreeView1->viewport(), Qt::LeftButton, {}, mark);
                expect = kToggled;
                break;
            }
            case 5:
                emit form.TreeView1->doubleClicked(index);
                expect = kToggled;
                break;
            default:
                // A node deep inside: its closed ancestors open.
                form.SelectNode(document::PreOrderNext(*node));
                if (step % 50 == 0)
                    form.ExpandAllNodes();
                break;
            }
            Idle();
            if (expect != kAny)
                QVERIFY2(node->Expanded() == (expect == kOpen || (expect == kToggled && !wasOpen)), qPrintable(QStringLiteral("step %1 op %2 was %3").arg(step).arg(op).arg(wasOpen)));
            VerifyRowsAndFlags(form, step);
            if (QTest::currentTestFailed())
                return;
        }
        // Both ways of opening were taken.
        QVERIFY(reopenedMany > 5);
    }

    // With thousands of nodes open (and a chapter closed over its open ones), a delete keeps
    // the rows, the flags, the selection that follows and the scroll position right.
    void deleteWithThousandsOfNodesOpen()
    {
        TForm1 form;
        Questions questions;
        questions.answers = {forms::mrOk};
        questions.Install(form);
        document::DocumentTree tree;
        for (int chapter = 0; chapter < 3; ++chapter) {
            TreeNode* parent = &tree.AppendNode(tree.Root(), "chapter " + std::to_string(chapter));
            for (int i = 0; i < 1800; ++i) {
                tree.AppendNode(*parent, "leaf " + std::to_string(i));
                parent = &tree.AppendNode(*parent, std::to_string(chapter) + "-" + std::to_string(i));
            }
        }
        form.SetDocument(std::move(tree), nullptr);
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.ExpandAllNodes();
        form.TreeView1->collapse(IndexOf(form, Root(form)->Child(0)));
        Idle();
        QVERIFY(form.Model().PersistentIndexCount() > 4096);

        // A leaf deep in the second chapter, at the top of the pane: its next sibling takes
        // its place, and the rows stay where they were on screen.
        TreeNode* leaf = Root(form)->Child(1);
        for (int level = 0; level < 600; ++level)
            leaf = leaf->Child(1);
        leaf = leaf->Child(0);
        TreeNode* follower = leaf->NextSibling();
        form.SelectNode(leaf);
        form.TreeView1->scrollTo(IndexOf(form, leaf), QAbstractItemView::PositionAtTop);
        Idle();
        const int top = form.TreeView1->verticalScrollBar()->value();
        QVERIFY(top > 1000);
        form.actDelete->trigger();
        Idle();
        QCOMPARE(form.Selected(), follower);
        QCOMPARE(form.TreeView1->verticalScrollBar()->value(), top);
        VerifyRowsAndFlags(form, 0);

        // A node with a subtree of open nodes, after the question.
        TreeNode* parent = &NodeAt(form, {2, 1});
        form.SelectNode(parent);
        Idle();
        form.actDelete->trigger();
        Idle();
        QCOMPARE(questions.asked.size(), std::size_t(1));
        QCOMPARE(form.Selected(), &NodeAt(form, {2, 0}));
        QCOMPARE(Root(form)->Child(2)->ChildCount(), std::size_t(1));
        VerifyRowsAndFlags(form, 1);
        QVERIFY(!Root(form)->Child(0)->Expanded());
        QVERIFY(Root(form)->Child(0)->Child(1)->Expanded());
    }

    void expandAllOpensEveryParentAndKeepsTheSelection()
    {
        TForm1 form;
        Open(form, [](TForm1& f) { return &NodeAt(f, {0, 1}); });
        form.TreeView1->collapseAll();
        QVERIFY(!Root(form)->Expanded());
        QVERIFY(!NodeA(form)->Expanded());
        QCOMPARE(form.Selected(), &NodeAt(form, {0, 1}));

        form.ExpandAllNodes();
        Idle();
        VerifyAllExpanded(form);
        // Leaves have nothing to open, in the view as in their flags.
        for (TreeNode* node = Root(form); node; node = document::PreOrderNext(*node)) {
            if (node->HasChildren())
                continue;
            QVERIFY2(!node->Expanded(), node->Name().c_str());
            QVERIFY2(!form.TreeView1->isExpanded(IndexOf(form, node)), node->Name().c_str());
        }
        QCOMPARE(form.Selected(), &NodeAt(form, {0, 1}));
        QCOMPARE(form.Memo1->toPlainText(), QStringLiteral("a-two"));
        // Every row is laid out in pre-order: B1 sits right below B.
        QCOMPARE(form.TreeView1->indexBelow(IndexOf(form, NodeB(form))), IndexOf(form, &NodeAt(form, {1, 0})));
        QVERIFY(!form.Modified());

        // A leaf is flagged as one for the view only while it has no children: C gains a
        // child and can then be opened and closed like any parent.
        const QModelIndex c = IndexOf(form, NodeC(form));
        QVERIFY(form.Model().flags(c) & Qt::ItemNeverHasChildren);
        QVERIFY(!(form.Model().flags(IndexOf(form, NodeB(form))) & Qt::ItemNeverHasChildren));
        form.Model().InsertNode(*NodeC(form), 0, "C1");
        QVERIFY(!(form.Model().flags(c) & Qt::ItemNeverHasChildren));
        QVERIFY(form.Model().hasChildren(c));
        form.TreeView1->expand(c);
        QVERIFY(form.TreeView1->isExpanded(c));
        QVERIFY(NodeC(form)->Expanded());
        QCOMPARE(form.TreeView1->indexBelow(c), IndexOf(form, NodeC(form)->Child(0)));
        form.TreeView1->collapse(c);
        QVERIFY(!NodeC(form)->Expanded());
    }

    void contextMenuActsOnTheRememberedNodeOnly()
    {
        TForm1 form;
        Questions questions;
        questions.Install(form);
        Open(form, NodeB);
        form.SetFileName(QStringLiteral("memo.trm"));

        // Opened with nothing selected: rename and delete do nothing.
        form.TreeView1->clearSelection();
        form.PopupMenu1Popup();
        form.SelectNode(NodeC(form));
        Idle();
        PopupItem(form, "popDelete")->trigger();
        PopupItem(form, "popRename")->trigger();
        QVERIFY(Find(form, "C"));
        QVERIFY(!NameEditor(form));
        QVERIFY(questions.asked.empty());
        QVERIFY(!form.Modified());

        // Opened on B: delete selects B again and deletes it after the question.
        form.SelectNode(NodeB(form));
        form.PopupMenu1Popup();
        form.SelectNode(NodeC(form));
        Idle();
        questions.answers = {forms::mrOk};
        PopupItem(form, "popDelete")->trigger();
        QCOMPARE(questions.asked.size(), std::size_t(1));
        QCOMPARE(questions.asked[0].message, QStringLiteral("B を、子もまとめて削除します。よろしいですか？"));
        QVERIFY(!Find(form, "B"));
        QVERIFY(!Find(form, "B1"));
        QVERIFY(form.Modified());

        // Opened on the root: rename opens the root's name.
        form.SelectNode(Root(form));
        form.PopupMenu1Popup();
        form.SelectNode(NodeA(form));
        Idle();
        PopupItem(form, "popRename")->trigger();
        QCOMPARE(form.Selected(), Root(form));
        QVERIFY(NameEditor(form));
        QCOMPARE(NameEditor(form)->text(), QStringLiteral("ルート"));
        QTest::keyClick(NameEditor(form), Qt::Key_Escape);
    }

    void dateStampReplacesTheSelectionThroughTheEditor()
    {
        TForm1 form;
        Open(form, NodeC);
        form.SetFileName(QStringLiteral("memo.trm"));
        QTextCursor cursor = form.Memo1->textCursor();
        cursor.setPosition(1);
        cursor.setPosition(6, QTextCursor::KeepAnchor);  // "harli"
        form.Memo1->setTextCursor(cursor);
        const QString before = QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm"));
        form.actDateTime->trigger();
        const QString after = QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm"));
        const QString text = form.Memo1->toPlainText();
        QVERIFY2(text == "c" + before + "e" || text == "c" + after + "e", qPrintable(text));
        QVERIFY(QRegularExpression(QStringLiteral("^c\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\de$")).match(text).hasMatch());
        QCOMPARE(form.Memo1->textCursor().position(), 17);  // after the stamp
        QVERIFY(form.Modified());
        form.SelectNode(NodeA(form));
        QCOMPARE(NodeC(form)->Data().Text(), text.toStdString() + "\r\n");

        // With nothing selected the stamp is ignored.
        form.SetFileName(QStringLiteral("memo.trm"));
        form.TreeView1->clearSelection();
        const QString shown = form.Memo1->toPlainText();
        form.actDateTime->trigger();
        QCOMPARE(form.Memo1->toPlainText(), shown);
        QVERIFY(!form.Modified());
    }

    void selectAllFollowsTheEditorText()
    {
        TForm1 form;
        Open(form, NodeB);
        QVERIFY(!form.actSelectAll->isEnabled());  // B has no text
        form.SelectNode(NodeC(form));
        Idle();
        QVERIFY(form.actSelectAll->isEnabled());
        form.actSelectAll->trigger();
        QCOMPARE(form.Memo1->textCursor().selectedText(), QStringLiteral("charlie"));
        QVERIFY(!form.Modified());
    }

    void wordWrapTogglesTheScrollBars()
    {
        TForm1 form;
        Open(form, NodeC);
        QVERIFY(form.actWrap->isChecked());
        form.actWrap->trigger();
        QVERIFY(!form.actWrap->isChecked());
        QCOMPARE(form.Memo1->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(form.Memo1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(form.Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QVERIFY(form.Memo1->horizontalScrollBar()->isVisible());
        form.actWrap->trigger();
        QVERIFY(form.actWrap->isChecked());
        QCOMPARE(form.Memo1->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        QCOMPARE(form.Memo1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(form.Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QVERIFY(!form.Memo1->horizontalScrollBar()->isVisible());
        QVERIFY(form.Memo1->verticalScrollBar()->isVisible());
        QVERIFY(!form.Modified());
    }

    void fontDialogsStartFromTheCurrentFont()
    {
        TForm1 form;
        Open(form, NodeC);
        QList<QFont> presets;
        std::optional<QFont> answer;
        form.ChooseFont = [&](const QFont& initial) {
            presets << initial;
            return answer;
        };
        QFont editorFont(QStringLiteral("Noto Sans Mono"));
        editorFont.setPointSize(17);
        answer = editorFont;
        const QFont treeBefore = form.TreeView1->font();
        form.actFont->trigger();
        QCOMPARE(form.Memo1->font(), editorFont);
        QCOMPARE(form.TreeView1->font(), treeBefore);
        answer.reset();  // cancelled: nothing changes
        form.actFont->trigger();
        QCOMPARE(presets.size(), 2);
        QCOMPARE(presets[1], editorFont);
        QCOMPARE(form.Memo1->font(), editorFont);

        QFont treeFont(QStringLiteral("Noto Sans CJK JP"));
        treeFont.setPixelSize(21);
        answer = treeFont;
        form.actFontTree->trigger();
        QCOMPARE(presets.size(), 3);
        QCOMPARE(presets[2], treeBefore);
        QCOMPARE(form.TreeView1->font(), treeFont);
        QCOMPARE(form.Memo1->font(), editorFont);
        QVERIFY(!form.Modified());
    }
};

QTEST_MAIN(TestTreeCommands)
#include "test_tree_commands.moc"
