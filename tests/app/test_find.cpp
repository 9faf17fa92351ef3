// The find panel driven as a user would: typing searches, a result shows its node and hit,
// F3 and Shift+F3 step across nodes and wrap, すべて置換 changes the document that is saved.
#include "app/FindPanel.h"
#include "app/MainWindow.h"
#include "document/TrmFormat.h"
#include "tests/app/UnexpectedDialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QFileDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using document::TreeNode;

namespace {

// root "はじめに"
//   第一章 "ねこが好き" / "ネコ と ｶﾞｯｺｳ"
//     ねこの話 "ねこ"
//   犬 "いぬ"
document::DocumentTree Book()
{
    document::DocumentTree tree;
    tree.Root().Data().SetText("はじめに");
    TreeNode& one = tree.AppendNode(tree.Root(), "第一章");
    one.Data().SetText("ねこが好き\nネコ と ｶﾞｯｺｳ");
    tree.AppendNode(one, "ねこの話").Data().SetText("ねこ");
    tree.AppendNode(tree.Root(), "犬").Data().SetText("いぬ");
    tree.Root().SetExpanded(true);
    return tree;
}

// Types text key by key, as an input method delivers it.
void Type(QWidget* widget, const QString& text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

QByteArray Stampless(QByteArray bytes)
{
    static const QRegularExpression stamp(QStringLiteral("modified=\"[0-9/: ]{19}\""));
    return QString::fromLatin1(bytes).replace(stamp, QStringLiteral("modified=\"STAMP\"")).toLatin1();
}

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class TestFind : public WindowTestCase {
    Q_OBJECT

private slots:
    void findShowStepReplaceAllAndSave()
    {
        TForm1 form;
        form.SetDocument(Book(), nullptr);
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        TreeNode& root = form.Document().Root();
        TreeNode& one = *root.Child(0);
        TreeNode& story = *one.Child(0);
        TFindPanel& panel = *form.FindPanel1;

        // Ctrl+F from the editor opens the panel; typing searches (half-width ｶﾞ is ガ).
        form.Memo1->setFocus();
        QTest::keyClick(form.Memo1, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(form.FindDock->isVisible());
        Type(panel.SearchBox->lineEdit(), QStringLiteral("ガッコウ"));
        QTRY_COMPARE(panel.CountLabel->text(), QStringLiteral("1 件 (1 ノード)"));
        const QModelIndex first = panel.ResultList->model()->index(0, 0);
        QCOMPARE(first.data().toString(), QStringLiteral("ルート > 第一章  2 行: ネコ と 【ｶﾞｯｺｳ】"));
        emit panel.ResultList->activated(first);
        QCOMPARE(form.Selected(), &one);
        QCOMPARE(form.Memo1->Selection().start, 11);  // "ねこが好き" LF "ネコ と " before it
        QCOMPARE(form.Memo1->Selection().length, 5);
        QCOMPARE(form.Memo1->textCursor().selectedText(), QStringLiteral("ｶﾞｯｺｳ"));

        // Kana folded: F3 goes on from the caret into the next node, then wraps with a note.
        panel.FoldKana->setChecked(true);
        panel.SearchBox->setEditText(QStringLiteral("ねこ"));
        QTRY_COMPARE(panel.CountLabel->text(), QStringLiteral("3 件 (2 ノード)"));
        form.Memo1->setFocus();
        QTest::keyClick(form.Memo1, Qt::Key_F3);
        QCOMPARE(form.Selected(), &story);
        QCOMPARE(form.Memo1->textCursor().selectedText(), QStringLiteral("ねこ"));
        QVERIFY(panel.NoteLabel->text().isEmpty());
        QTest::keyClick(form.Memo1, Qt::Key_F3);
        QCOMPARE(form.Selected(), &one);
        QCOMPARE(form.Memo1->Selection().start, 0);
        QCOMPARE(panel.NoteLabel->text(), QStringLiteral("最後まで検索したので、最初に戻りました"));
        form.TreeView1->setFocus();
        QTest::keyClick(form.TreeView1, Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(form.Selected(), &story);
        QCOMPARE(panel.NoteLabel->text(), QStringLiteral("先頭まで検索したので、最後に戻りました"));
        QCOMPARE(panel.SearchBox->itemText(0), QStringLiteral("ねこ"));  // remembered
        QCOMPARE(panel.SearchBox->itemText(1), QStringLiteral("ガッコウ"));

        // A refused pattern says why in the panel, not in a dialog.
        panel.Regex->setChecked(true);
        panel.SearchBox->setEditText(QStringLiteral("ね(こ"));
        QCOMPARE(panel.NoteLabel->text(), QStringLiteral("正規表現に誤りがあります: missing ): ね(こ"));
        panel.Regex->setChecked(false);

        // すべて置換 over all nodes, names too; the document is marked and saved byte for byte.
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("book.trm"));
        form.RunFileDialog = [path](QFileDialog& dialog) {
            dialog.selectFile(path);
            return int(QDialog::Accepted);
        };
        QVERIFY(!form.Modified());
        panel.SearchBox->setEditText(QStringLiteral("ねこ"));
        panel.TargetBox->setCurrentIndex(2);  // 両方
        panel.ReplaceBox->setText(QStringLiteral("猫"));
        QTest::mouseClick(panel.ReplaceAllButton, Qt::LeftButton);
        QCOMPARE(panel.NoteLabel->text(), QStringLiteral("4 件置換しました"));
        QVERIFY(form.Modified());
        QCOMPARE(form.Memo1->toPlainText(), QStringLiteral("猫"));  // the shown node's text too
        QTRY_COMPARE(panel.CountLabel->text(), QStringLiteral("0 件 (0 ノード)"));
        form.actSave->trigger();
        QVERIFY(!form.Modified());

        document::DocumentTree expected = Book();
        TreeNode& expectedOne = *expected.Root().Child(0);
        expectedOne.Data().SetText("猫が好き\n猫 と ｶﾞｯｺｳ");
        expectedOne.Child(0)->SetName("猫の話");
        expectedOne.Child(0)->Data().SetText("猫");
        expectedOne.SetExpanded(true);
        // Carets are the window's business, not this test's: taken as the window left them.
        const TreeNode* nodes[] = {&root, &one, &story, root.Child(1)};
        TreeNode* expectedNodes[] = {&expected.Root(), &expectedOne, expectedOne.Child(0), expected.Root().Child(1)};
        for (int i = 0; i < 4; ++i) {
            expectedNodes[i]->Data().SelStart = nodes[i]->Data().SelStart;
            expectedNodes[i]->Data().SelLength = nodes[i]->Data().SelLength;
        }
        const QString expectedPath = folder.filePath(QStringLiteral("expected.trm"));
        document::WriteDocument(expectedPath.toStdString(), expected, expectedOne.Child(0), form.Encoding());
        QCOMPARE(Stampless(Read(path)), Stampless(Read(expectedPath)));

        // Esc closes the panel.
        QTest::keyClick(panel.SearchBox->lineEdit(), Qt::Key_Escape);
        QVERIFY(!form.FindDock->isVisible());
    }

    // The list grows batch by batch while the worker searches, rows only ever added at its
    // end; past the first thousand rows they come as the list is scrolled. The nodes are
    // searched again only after the document changed.
    void listGrowsAsHitsAreFound()
    {
        constexpr int kNodes = 1500;
        document::DocumentTree tree;
        for (int i = 0; i < kNodes; ++i)
            tree.AppendNode(tree.Root(), "n" + std::to_string(i)).Data().SetText("猫 " + std::to_string(i));
        TForm1 form;
        form.SetDocument(std::move(tree), nullptr);
        form.show();
        TFindPanel& panel = *form.FindPanel1;
        panel.SetBatchInterval(std::chrono::milliseconds(0));  // every block of nodes its own batch
        form.actFind->trigger();
        QAbstractItemModel& model = *panel.ResultList->model();
        QStringList events;
        connect(&model, &QAbstractItemModel::modelReset, &form,
                [&] { events << QStringLiteral("reset %1").arg(model.rowCount()); });
        connect(&model, &QAbstractItemModel::rowsInserted, &form, [&](const QModelIndex&, int first, int last) {
            events << QStringLiteral("rows %1-%2 after %3").arg(first).arg(last).arg(panel.CountLabel->text());
        });

        panel.SearchBox->setEditText(QStringLiteral("猫"));
        QTRY_COMPARE(panel.CountLabel->text(), QStringLiteral("1500 件 (1500 ノード)"));
        // Blocks of 256 nodes, the root (no hit) first; the first thousand rows come as found.
        const QStringList expected = {
            QStringLiteral("reset 255"),
            QStringLiteral("rows 255-510 after 255 件 (255 ノード) 検索しています…"),
            QStringLiteral("rows 511-766 after 511 件 (511 ノード) 検索しています…"),
            QStringLiteral("rows 767-999 after 767 件 (767 ノード) 検索しています…"),
        };
        QCOMPARE(events, expected);
        QCOMPARE(model.rowCount(), 1000);
        QVERIFY(model.canFetchMore({}));
        model.fetchMore({});
        QCOMPARE(model.rowCount(), kNodes);
        QVERIFY(!model.canFetchMore({}));
        for (int row : {0, 999, 1000, kNodes - 1})
            QCOMPARE(model.index(row, 0).data().toString(),
                     QStringLiteral("ルート > n%1  1 行: 【猫】 %1").arg(row));

        // Unchanged, the document's nodes are not copied again for the next search.
        const auto* searched = &panel.Sources();
        panel.SearchBox->setEditText(QStringLiteral("猫 1"));
        QTRY_COMPARE(panel.CountLabel->text(), QStringLiteral("611 件 (611 ノード)"));
        QCOMPARE(&panel.Sources(), searched);
        // Shift+F3 from the start wraps to the last hit, whose row is added for it.
        form.Memo1->setFocus();
        QTest::keyClick(form.Memo1, Qt::Key_F3, Qt::ShiftModifier);
        QCOMPARE(panel.Current(), 610);
        QCOMPARE(model.rowCount(), 611);
        QCOMPARE(form.Selected(), form.Document().Root().Child(1499));

        // Typed text is a change: the next search sees it.
        QTest::keyClick(form.Memo1, Qt::Key_End);
        Type(form.Memo1, QStringLiteral("、猫 1"));
        panel.SearchBox->setEditText(QStringLiteral("、猫"));
        QTRY_COMPARE(panel.CountLabel->text(), QStringLiteral("1 件 (1 ノード)"));
        QVERIFY(&panel.Sources() != searched);
    }
};

QTEST_MAIN(TestFind)
#include "test_find.moc"
