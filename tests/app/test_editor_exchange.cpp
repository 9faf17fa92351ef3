#include "app/DocumentModel.h"
#include "app/MainWindow.h"
#include "UnexpectedDialogs.h"

#include <QAbstractEventDispatcher>
#include <QAbstractItemModelTester>
#include <QFileDialog>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTreeView>
#include <QtTest>

using document::TreeNode;

namespace {

// root
//   A "alpha\r\nbeta\r\n"
//   B "bravo\r\n"
document::DocumentTree TwoNodes()
{
    document::DocumentTree tree;
    tree.AppendNode(tree.Root(), "A").Data().SetText("alpha\r\nbeta\r\n");
    tree.AppendNode(tree.Root(), "B").Data().SetText("bravo\r\n");
    return tree;
}

TreeNode& A(TForm1& form) { return *form.Document().Root().Child(0); }
TreeNode& B(TForm1& form) { return *form.Document().Root().Child(1); }

void Idle() { emit QAbstractEventDispatcher::instance()->aboutToBlock(); }

int CaretOf(const TForm1& form) { return form.Memo1->textCursor().position(); }

void SetCaret(TForm1& form, int position, int anchor = -1)
{
    QTextCursor cursor = form.Memo1->textCursor();
    cursor.setPosition(anchor < 0 ? position : anchor);
    cursor.setPosition(position, QTextCursor::KeepAnchor);
    form.Memo1->setTextCursor(cursor);
}

}  // namespace

class TestEditorExchange : public WindowTestCase {
    Q_OBJECT

private slots:
    void editedTextAndCaretComeBack()
    {
        TForm1 form;
        form.SetDocument(TwoNodes(), nullptr);
        form.SetFileName(QStringLiteral("/tmp/memo.trm"));
        form.SelectNode(&A(form));
        QCOMPARE(form.Memo1->toPlainText(), QStringLiteral("alpha\nbeta"));
        QCOMPARE(CaretOf(form), 0);
        SetCaret(form, 8);  // "be|ta"
        QTest::keyClicks(form.Memo1, QStringLiteral("XY"));
        form.SelectNode(&B(form));
        QCOMPARE(form.Memo1->toPlainText(), QStringLiteral("bravo"));
        QCOMPARE(A(form).Data().Text(), std::string("alpha\r\nbeXYta\r\n"));
        QCOMPARE(A(form).Data().SelStart, 11);  // 10 in the editor, plus one line break
        form.SelectNode(&A(form));
        QCOMPARE(form.Memo1->toPlainText(), QStringLiteral("alpha\nbeXYta"));
        QCOMPARE(CaretOf(form), 10);

        // A caret moved without typing is remembered by the idle step, without an edit.
        form.SetFileName(QStringLiteral("/tmp/memo.trm"));
        SetCaret(form, 4, 1);  // "a|lph|a": selection from 1 to 4
        Idle();
        QCOMPARE(A(form).Data().SelStart, 1);
        QCOMPARE(A(form).Data().SelLength, 3);
        QVERIFY(!form.Modified());
        form.SelectNode(&B(form));
        form.SelectNode(&A(form));
        QCOMPARE(form.Memo1->textCursor().selectionStart(), 1);
        QCOMPARE(form.Memo1->textCursor().selectionEnd(), 4);
        QVERIFY(!form.Modified());
        QCOMPARE(form.windowTitle(), QStringLiteral("memo.trm - ヴェルモラ (SJIS)"));

        // A selection across a line break is stored in file positions and shown back.
        SetCaret(form, 8, 3);
        form.SelectNode(&B(form));
        QCOMPARE(A(form).Data().SelStart, 3);
        QCOMPARE(A(form).Data().SelLength, 6);
        form.SelectNode(&A(form));
        QCOMPARE(form.Memo1->textCursor().selectionStart(), 3);
        QCOMPARE(form.Memo1->textCursor().selectionEnd(), 8);
    }

    void aNewNodeShowsEmptyWithTheCaretAtZero()
    {
        TForm1 form;
        form.SetDocument(TwoNodes(), nullptr);
        form.SelectNode(&A(form));
        TreeNode& fresh = form.Model().InsertNode(form.Document().Root(), 2, "新規");
        form.SelectNode(&fresh);
        QCOMPARE(form.Memo1->toPlainText(), QString());
        QCOMPARE(CaretOf(form), 0);
        QVERIFY(form.Memo1->isEnabled());
        QVERIFY(!form.Modified());
    }

    void loneCrAndFinalBreak()
    {
        TForm1 form;
        form.SetDocument(TwoNodes(), nullptr);
        form.SelectNode(&B(form));
        form.Memo1->selectAll();
        form.Memo1->insertPlainText(QStringLiteral("one\rtwo"));
        form.SelectNode(&A(form));
        QCOMPARE(B(form).Data().Lines(), (std::vector<std::string>{"one", "two"}));
        QCOMPARE(B(form).Data().Text(), std::string("one\r\ntwo\r\n"));
        form.SelectNode(&B(form));
        QCOMPARE(form.Memo1->blockCount(), 2);
        QCOMPARE(form.Memo1->toPlainText(), QStringLiteral("one\ntwo"));

        form.Memo1->selectAll();
        form.Memo1->insertPlainText(QStringLiteral("last\n"));
        form.SelectNode(&A(form));
        QCOMPARE(B(form).Data().Lines(), std::vector<std::string>{"last"});
        form.SelectNode(&B(form));
        QCOMPARE(form.Memo1->toPlainText(), QStringLiteral("last"));
        QCOMPARE(form.Memo1->blockCount(), 1);
    }

    void unusualCharactersSurviveTheEditor()
    {
        TForm1 form;
        document::DocumentTree tree;
        // No-break space, line separator, tab, a character outside the BMP.
        TreeNode& a = tree.AppendNode(tree.Root(), "A");
        a.Data().SetText("a\u00A0b\u2028c\td\U0001F600\r\n");
        form.SetDocument(std::move(tree), &a);
        form.Memo1->moveCursor(QTextCursor::End);
        QTest::keyClicks(form.Memo1, QStringLiteral("X"));
        form.StoreEditorText();
        QCOMPARE(A(form).Data().Text(), std::string("a\u00A0b\u2028c\td\U0001F600X\r\n"));
        QCOMPARE(A(form).Data().SelStart, 9);  // as Shift_JIS bytes: the emoji and the separators count one
    }

    void withoutSelectionTheEditorIsDisabledAndReachesNoPayload()
    {
        TForm1 form;
        form.SetDocument(TwoNodes(), nullptr);
        form.SelectNode(&B(form));
        form.SetFileName(QStringLiteral("memo.trm"));
        form.TreeView1->clearSelection();
        QCOMPARE(form.Selected(), nullptr);
        QVERIFY(!form.Memo1->isEnabled());
        QCOMPARE(form.Memo1->toPlainText(), QStringLiteral("bravo"));  // the old text stays
        form.Memo1->insertPlainText(QStringLiteral("lost"));
        form.StoreEditorText();
        QCOMPARE(B(form).Data().Text(), std::string("bravo\r\n"));
        QCOMPARE(A(form).Data().Text(), std::string("alpha\r\nbeta\r\n"));
        QVERIFY(!form.Modified());
        form.SelectNode(&B(form));
        QVERIFY(form.Memo1->isEnabled());
        QCOMPARE(form.Memo1->toPlainText(), QStringLiteral("bravo"));
    }

    void modifiedMarkAppearsOnceAndSelectingNeverSetsIt()
    {
        TForm1 form;
        form.SetDocument(TwoNodes(), nullptr);
        form.SetFileName(QStringLiteral("/home/u/memo.trm"));
        const QString clean = QStringLiteral("memo.trm - ヴェルモラ (SJIS)");
        QCOMPARE(form.windowTitle(), clean);
        form.SelectNode(&A(form));
        form.SelectNode(&B(form));
        form.TreeView1->expandAll();
        form.TreeView1->collapseAll();
        QVERIFY(!form.Modified());
        QCOMPARE(form.windowTitle(), clean);
        QTest::keyClicks(form.Memo1, QStringLiteral("ab"));
        QVERIFY(form.Modified());
        QCOMPARE(form.windowTitle(), clean + QStringLiteral(" *"));
        form.SelectNode(&A(form));
        QTest::keyClicks(form.Memo1, QStringLiteral("c"));
        QCOMPARE(form.windowTitle(), clean + QStringLiteral(" *"));
        form.SetModified(false);  // clearing the flag leaves the caption to SetFileName
        QCOMPARE(form.windowTitle(), clean + QStringLiteral(" *"));
        form.SetFileName(QStringLiteral("/home/u/memo.trm"));
        QCOMPARE(form.windowTitle(), clean);
    }

    void pendingTextIsStoredBeforeAnyCommandReadsIt()
    {
        TForm1 form;
        form.SetDocument(TwoNodes(), nullptr);
        form.SelectNode(&A(form));
        form.Memo1->moveCursor(QTextCursor::End);
        QTest::keyClicks(form.Memo1, QStringLiteral("!"));
        // Typing alone leaves the payload stale; a command stores it before it runs.
        QCOMPARE(A(form).Data().Text(), std::string("alpha\r\nbeta\r\n"));
        std::string seen;
        form.RunCommand([&] { seen = A(form).Data().Text(); });
        QCOMPARE(seen, std::string("alpha\r\nbeta!\r\n"));
        QCOMPARE(A(form).Data().SelStart, 12);

        QTest::keyClicks(form.Memo1, QStringLiteral("?"));
        form.ApplicationEvents1Idle();
        form.RunFileDialog = [](QFileDialog&) { return int(QDialog::Rejected); };  // the save is cancelled
        form.actSave->trigger();
        QCOMPARE(A(form).Data().Text(), std::string("alpha\r\nbeta!?\r\n"));
        QTest::keyClick(form.Memo1, Qt::Key_Backspace);
        form.StoreEditorText();
        QCOMPARE(A(form).Data().Text(), std::string("alpha\r\nbeta!\r\n"));
    }

    void expandedStateIsMirroredIntoTheNodes()
    {
        document::DocumentTree tree = TwoNodes();
        TreeNode& a = *tree.Root().Child(0);
        tree.AppendNode(a, "A1");
        tree.Root().SetExpanded(true);
        TForm1 form;
        form.SetDocument(std::move(tree), nullptr);
        const QModelIndex aIndex = form.Model().IndexOf(&A(form));
        QVERIFY(form.TreeView1->isExpanded(form.Model().IndexOf(&form.Document().Root())));
        QVERIFY(!form.TreeView1->isExpanded(aIndex));
        form.TreeView1->expand(aIndex);
        QVERIFY(A(form).Expanded());
        form.TreeView1->collapse(aIndex);
        QVERIFY(!A(form).Expanded());
        // Selecting a hidden node expands its ancestors.
        form.SelectNode(A(form).Child(0));
        QVERIFY(A(form).Expanded());
        QVERIFY(form.TreeView1->isExpanded(aIndex));
        QVERIFY(!form.Modified());
    }

    void modelAdapterKeepsQtsModelRules()
    {
        document::DocumentTree tree = TwoNodes();
        TDocumentModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.SetTree(&tree);
        QCOMPARE(model.rowCount(), 1);
        const QModelIndex root = model.index(0, 0);
        QCOMPARE(model.data(root).toString(), QStringLiteral("ルート"));
        QCOMPARE(model.rowCount(root), 2);
        TreeNode& child = model.InsertNode(*tree.Root().Child(0), 0, "子");
        QCOMPARE(model.parent(model.IndexOf(&child)), model.IndexOf(tree.Root().Child(0)));
        QVERIFY(model.flags(model.IndexOf(&child)) & Qt::ItemIsEditable);
        QSignalSpy renamed(&model, &TDocumentModel::nodeRenamed);
        QVERIFY(model.setData(model.IndexOf(&child), QStringLiteral("名前")));
        QCOMPARE(child.Name(), std::string("名前"));
        QCOMPARE(renamed.size(), 1);
        QVERIFY(!model.setData(model.IndexOf(&child), QStringLiteral("x"), Qt::DisplayRole));
        QVERIFY(model.RemoveNode(*tree.Root().Child(0)));
        QCOMPARE(model.rowCount(root), 1);
        QCOMPARE(model.data(model.index(0, 0, root)).toString(), QStringLiteral("B"));
        QVERIFY(!model.index(1, 0, root).isValid());
        QVERIFY(!model.index(0, 1, root).isValid());
        model.SetTree(nullptr);
        QCOMPARE(model.rowCount(), 0);
    }

    void removingTheShownNodeShowsAnotherAndKeepsNoDanglingNode()
    {
        TForm1 form;
        form.SetDocument(TwoNodes(), nullptr);
        TreeNode& child = form.Model().InsertNode(A(form), 0, "A1");
        child.Data().SetText("child\r\n");
        form.SelectNode(&child);
        QTest::keyClicks(form.Memo1, QStringLiteral("pending"));
        QVERIFY(form.Model().RemoveNode(A(form)));  // A with the shown child
        TreeNode* now = form.Selected();
        QCOMPARE(now, form.Document().Root().Child(0));  // the next sibling of the removed node
        QCOMPARE(form.Memo1->isEnabled(), true);
        QCOMPARE(form.Memo1->toPlainText(), QString::fromStdString(now->Data().EditorText()));
        form.StoreEditorText();
        Idle();
        QCOMPARE(form.Document().Root().Child(0)->Data().Text(), std::string("bravo\r\n"));
        QVERIFY(!form.Model().RemoveNode(form.Document().Root()));
    }
};

QTEST_MAIN(TestEditorExchange)
#include "test_editor_exchange.moc"
