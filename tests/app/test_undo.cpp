// Undo and redo in the window: a deleted subtree comes back whole, typing is undone in the
// node it was typed in, one key undoes one step, and the save point clears " *".
#include "app/FindPanel.h"
#include "tests/app/TreeFixture.h"
#include "tests/app/UnexpectedDialogs.h"
#include "tests/app/ViewRows.h"

#include <QComboBox>
#include <QDockWidget>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QTemporaryDir>

#include <random>

using namespace treetest;
using document::TreeNode;

namespace {

// The keys, after the idle step that enables the commands, as between a user's keys.
void Undo(QWidget* where)
{
    Idle();
    QTest::keyClick(where, Qt::Key_Z, Qt::ControlModifier);
}

void Redo(QWidget* where)
{
    Idle();
    QTest::keyClick(where, Qt::Key_Y, Qt::ControlModifier);
}

// The texts of the tree in pre-order.
QStringList Texts(TForm1& form)
{
    form.StoreEditorText();
    QStringList texts;
    for (TreeNode* node = &form.Document().Root(); node; node = document::PreOrderNext(*node))
        texts << QString::fromStdString(node->Name() + "=" + node->Data().Text());
    return texts;
}

// The nodes a user can see and point at: every ancestor open.
std::vector<TreeNode*> VisibleNodes(TForm1& form)
{
    std::vector<TreeNode*> nodes;
    for (TreeNode* node = &form.Document().Root(); node; node = document::PreOrderNext(*node)) {
        bool visible = true;
        for (TreeNode* up = node->Parent(); up; up = up->Parent())
            visible = visible && form.TreeView1->isExpanded(IndexOf(form, up));
        if (visible)
            nodes.push_back(node);
    }
    return nodes;
}

}  // namespace

class TestUndo : public WindowTestCase {
    Q_OBJECT

private slots:
    void deletedSubtreeComesBackWithTextsCaretAndSelection()
    {
        TForm1 form;
        Questions questions;
        questions.Install(form);
        Open(form, [](TForm1& f) { return Find(f, "A"); });
        form.Memo1->Select({1, 3});
        Idle();
        const QStringList outline = Outline(form);
        const QStringList texts = Texts(form);

        questions.answers = {forms::mrOk};
        form.actDelete->trigger();
        QVERIFY(!Find(form, "A1"));
        QCOMPARE(form.Selected(), Find(form, "B"));
        Idle();
        QVERIFY(form.actUndo->isEnabled());
        QVERIFY(!form.actRedo->isEnabled());

        Undo(form.TreeView1);
        QCOMPARE(Outline(form), outline);
        QCOMPARE(Texts(form), texts);
        QCOMPARE(form.Selected(), Find(form, "A"));
        QVERIFY(form.TreeView1->isExpanded(IndexOf(form, Find(form, "A"))));
        QCOMPARE(form.Memo1->Text(), QStringLiteral("alpha"));
        QCOMPARE(form.Memo1->Selection().start, 1);
        QCOMPARE(form.Memo1->Selection().length, 3);
        QVERIFY(!form.Modified());  // back at the state it was opened in

        // In the rename field undo and redo are the field's, whatever key reached the window.
        form.actEditName->trigger();
        QLineEdit* name = NameEditor(form);
        QVERIFY(name);
        name->setFocus();
        Idle();
        form.actRedo->trigger();
        QVERIFY(Find(form, "A1"));
        QVERIFY(form.History().CanRedo());
        QTest::keyClick(name, Qt::Key_Escape);

        Redo(form.TreeView1);
        QVERIFY(!Find(form, "A"));
        QVERIFY(form.Modified());
        Undo(form.Memo1);
        QCOMPARE(Outline(form), outline);
    }

    void typingIsUndoneInItsNodeOneStepAKey()
    {
        TForm1 form;
        Open(form, [](TForm1& f) { return Find(f, "C"); });
        form.Memo1->setFocus();
        QTest::keyClick(form.Memo1, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(form.Memo1, QStringLiteral("ab"));
        // A caret jump ends a run of typing.
        QTest::keyClick(form.Memo1, Qt::Key_Left);
        QTest::keyClick(form.Memo1, Qt::Key_Right);
        QTest::keyClicks(form.Memo1, QStringLiteral("cd"));
        form.SelectNode(Find(form, "B1"));
        QCOMPARE(form.Memo1->Text(), QStringLiteral("b-one"));

        // From another node: C is shown again, only its last run of typing undone.
        Undo(form.TreeView1);
        QCOMPARE(form.Selected(), Find(form, "C"));
        QCOMPARE(form.Memo1->Text(), QStringLiteral("charlieab"));
        QCOMPARE(form.Memo1->Selection().start, 9);
        Undo(form.Memo1);
        QCOMPARE(form.Memo1->Text(), QStringLiteral("charlie"));
        QCOMPARE(form.Memo1->Selection().start, 7);
        Idle();
        QVERIFY(!form.actUndo->isEnabled());
        Redo(form.Memo1);
        Redo(form.Memo1);
        QCOMPARE(form.Memo1->Text(), QStringLiteral("charlieabcd"));

        // Typing after an undo drops what could be redone.
        Undo(form.Memo1);
        QTest::keyClicks(form.Memo1, QStringLiteral("!"));
        Idle();
        QVERIFY(!form.actRedo->isEnabled());
        Undo(form.Memo1);
        QCOMPARE(form.Memo1->Text(), QStringLiteral("charlieab"));

        // A paste is a step of its own, also right after typing.
        QApplication::clipboard()->setText(QStringLiteral("貼"));
        QTest::keyClicks(form.Memo1, QStringLiteral("z"));
        Idle();
        QTest::keyClick(form.Memo1, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(form.Memo1->Text(), QStringLiteral("charlieabz貼"));
        Undo(form.Memo1);
        QCOMPARE(form.Memo1->Text(), QStringLiteral("charlieabz"));
    }

    void theSavePointFollowsUndoRenameAndReplaceAll()
    {
        TForm1 form;
        Open(form, [](TForm1& f) { return Find(f, "C"); });
        const QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("undo.trm"));
        form.RunFileDialog = [path](QFileDialog& dialog) {
            dialog.selectFile(path);
            return int(QDialog::Accepted);
        };
        form.actSave->trigger();
        const QString saved = form.windowTitle();
        QVERIFY(!saved.endsWith(QStringLiteral(" *")));
        const QStringList texts = Texts(form);

        form.Model().setData(IndexOf(form, Find(form, "C")), QStringLiteral("See"));
        QCOMPARE(form.windowTitle(), saved + QStringLiteral(" *"));
        Undo(form.TreeView1);
        QCOMPARE(form.windowTitle(), saved);
        QVERIFY(Find(form, "C"));
        Redo(form.TreeView1);
        QCOMPARE(form.windowTitle(), saved + QStringLiteral(" *"));
        Undo(form.TreeView1);

        // すべて置換 over every node is one step.
        form.actReplace->trigger();
        TFindPanel& panel = *form.FindPanel1;
        panel.SearchBox->setEditText(QStringLiteral("a"));
        panel.ReplaceBox->setText(QStringLiteral("Ａ"));
        for (int i = 0; i < panel.ScopeBox->count(); ++i)
            if (panel.ScopeBox->itemText(i) == QStringLiteral("すべてのノード"))
                panel.ScopeBox->setCurrentIndex(i);
        QTest::mouseClick(panel.ReplaceAllButton, Qt::LeftButton);
        QVERIFY(Texts(form) != texts);
        QVERIFY(form.Modified());
        Undo(form.TreeView1);
        QCOMPARE(Texts(form), texts);
        QCOMPARE(form.windowTitle(), saved);
    }

    void randomCommandsUndoToTheStartAndRedoToTheEnd_data()
    {
        QTest::addColumn<unsigned>("seed");
        for (const unsigned seed : {7u, 8u, 9u})
            QTest::addRow("seed %u", seed) << seed;
    }

    void randomCommandsUndoToTheStartAndRedoToTheEnd()
    {
        QFETCH(unsigned, seed);
        TForm1 form;
        Questions questions;
        questions.Install(form);
        Open(form);
        QAbstractItemModelTester checker(&form.Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        std::mt19937 random(seed);
        const auto pick = [&random](std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random); };
        const auto pickNode = [&] {
            const std::vector<TreeNode*> nodes = VisibleNodes(form);
            return nodes[pick(nodes.size())];
        };
        const QStringList startOutline = Outline(form);
        const QStringList startTexts = Texts(form);
        const auto rowsHold = [&form] {
            CheckViewRows(*form.TreeView1);
            return !QTest::currentTestFailed();
        };
        for (int i = 0; i < 60; ++i) {
            form.SelectNode(pickNode());
            Idle();
            switch (pick(5)) {
            case 0:
                (pick(2) ? form.actAddChild : form.actAddSibling)->trigger();
                if (QLineEdit* name = NameEditor(form)) {
                    name->setText(QStringLiteral("名%1").arg(i));
                    QTest::keyClick(name, pick(2) ? Qt::Key_Return : Qt::Key_Escape);
                }
                break;
            case 1:
                questions.answers = {forms::mrOk};
                form.actDelete->trigger();
                break;
            case 2: {
                TreeNode* target = pickNode();
                form.TreeView1->scrollTo(IndexOf(form, target));
                const QRect label = form.TreeView1->LabelRect(IndexOf(form, target));
                const int x = pick(2) ? label.left() + 1 : label.left() + label.width() - 2;
                if (form.TreeView1DragOver(form.TreeView1, x, label.center().y()))
                    form.TreeView1DragDrop(form.TreeView1);
                break;
            }
            default:
                form.Memo1->setFocus();
                for (std::size_t k = pick(4); k > 0; --k)
                    QTest::keyClick(form.Memo1, Qt::Key_Right);
                for (const QChar c : pick(2) ? QStringLiteral("かな") : QStringLiteral("xy"))
                    QTest::sendKeyEvent(QTest::Click, form.Memo1, Qt::Key_unknown, QString(c), Qt::NoModifier);
                if (pick(2))
                    QTest::keyClick(form.Memo1, Qt::Key_Return);
                if (pick(2))
                    QTest::keyClick(form.Memo1, Qt::Key_Backspace);
                break;
            }
            if (!rowsHold())
                return;
        }
        const QStringList endOutline = Outline(form);
        const QStringList endTexts = Texts(form);
        QVERIFY(endTexts != startTexts);
        for (int undos = 0; form.History().CanUndo(); ++undos) {
            QVERIFY(undos < 200);
            Undo(form.Memo1);
            if (!rowsHold())
                return;
        }
        QCOMPARE(Outline(form), startOutline);
        QCOMPARE(Texts(form), startTexts);
        QVERIFY(!form.Modified());
        while (form.History().CanRedo()) {
            Redo(form.TreeView1);
            if (!rowsHold())
                return;
        }
        QCOMPARE(Outline(form), endOutline);
        QCOMPARE(Texts(form), endTexts);
    }
};

QTEST_MAIN(TestUndo)
#include "test_undo.moc"
