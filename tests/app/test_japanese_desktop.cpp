// The window on a Japanese desktop: Qt's own texts in Japanese beside the program's
// unchanged ones, input-method text in the editor and the rename field, whole node names.
#include "app/QtTranslations.h"
#include "TreeFixture.h"
#include "UnexpectedDialogs.h"
#include "tests/support/file_bytes.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>

using document::TreeNode;
using namespace treetest;

namespace {

void SendPreedit(QWidget* widget, const QString& preedit)
{
    QInputMethodEvent event(preedit, {});
    QApplication::sendEvent(widget, &event);
}

void SendCommit(QWidget* widget, const QString& commit)
{
    QInputMethodEvent event;
    event.setCommitString(commit);
    QApplication::sendEvent(widget, &event);
}

// Key presses in the rename field end or cancel it through a queued call.
void PressKey(QWidget* widget, Qt::Key key)
{
    QTest::keyClick(widget, key);
    QCoreApplication::processEvents();
}

QStringList Texts(const QList<QAction*>& actions)
{
    QStringList texts;
    for (const QAction* action : actions)
        texts << action->text();
    return texts;
}

}  // namespace

class TestJapaneseDesktop : public WindowTestCase {
    Q_OBJECT

private slots:
    void qtTextsInJapaneseTheProgramsAsTheyWere()
    {
        TForm1 before;
        const QString nextShortcut = before.actNext->shortcut().toString(QKeySequence::NativeText);
        QCOMPARE(nextShortcut, QStringLiteral("Ctrl+Down"));
        const QStringList menuBar = Texts(before.MainMenu1->actions());

        QVERIFY2(InstallQtTranslations(*qApp), "Qt's translations are missing (package qt6-translations-l10n)");
        TForm1 form;
        form.SaveDialog1->setOption(QFileDialog::DontUseNativeDialog);
        auto* buttons = form.SaveDialog1->findChild<QDialogButtonBox*>();
        QVERIFY(buttons);
        QCOMPARE(buttons->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("キャンセル"));
        std::unique_ptr<QMenu> context(form.Memo1->createStandardContextMenu());
        const QStringList items = Texts(context->actions());
        QVERIFY2(items.contains(QStringLiteral("元に戻す(&U)\tCtrl+Z")), qPrintable(items.join('|')));
        QVERIFY2(items.contains(QStringLiteral("貼り付け(&P)\tCtrl+V")), qPrintable(items.join('|')));

        // Key names are not translated ("Ctrl+↓"), nor any text of the program's own.
        QCOMPARE(form.actNext->shortcut().toString(QKeySequence::NativeText), nextShortcut);
        QCOMPARE(Texts(form.MainMenu1->actions()), menuBar);
    }

    void editorCommitIsOneEditPreeditChangesNothing()
    {
        TempFolder folder;
        const QString path = QString::fromStdString(folder.Path() + "/memo.trm");
        TForm1 form;
        Open(form);
        form.SelectNode(&NodeAt(form, {2}));  // C "charlie"
        form.Memo1->setFocus();
        form.Memo1->moveCursor(QTextCursor::End);
        form.SetFileName(path);
        form.SetModified(false);
        const QString title = form.windowTitle();

        SendPreedit(form.Memo1, QStringLiteral("にほんご"));
        SendPreedit(form.Memo1, QStringLiteral("日本語"));
        Idle();
        QVERIFY(!form.Modified());
        QCOMPARE(form.windowTitle(), title);
        form.StoreEditorText();
        QCOMPARE(NodeAt(form, {2}).Data().Text(), std::string("charlie\r\n"));

        SendCommit(form.Memo1, QStringLiteral("日本語"));
        QVERIFY(form.Modified());
        QCOMPARE(form.windowTitle(), title + QStringLiteral(" *"));
        form.RunFileDialog = [&path](QFileDialog& dialog) {
            dialog.selectFile(path);
            return int(QDialog::Accepted);
        };
        form.actSave->trigger();
        QVERIFY(!form.Modified());
        const std::string saved = ReadBytes(path.toStdString());
        const std::size_t start = saved.find("<node name=\"C\"");
        QVERIFY(start != std::string::npos);
        // 日本語 in Shift_JIS, the caret after it: "charlie" 7 bytes and 6 more.
        QCOMPARE(QByteArray::fromStdString(saved.substr(start, saved.find("</node>", start) - start)),
                 QByteArray("<node name=\"C\" expanded=\"no\" selstart=\"13\" sellength=\"0\" selected=\"yes\">"
                            "<text>charlie\x93\xfa\x96\x7b\x8c\xea\r\n</text>"));
        // One undo takes the whole commit back.
        Idle();
        form.actUndo->trigger();
        QCOMPARE(form.Memo1->toPlainText(), QStringLiteral("charlie"));
    }

    void renameEnterAndEscapeBelongToTheConversionFirst()
    {
        TForm1 form;
        Open(form, [](TForm1& f) { return &NodeAt(f, {0}); });
        form.SetModified(false);
        form.actEditName->trigger();
        QLineEdit* editor = NameEditor(form);
        QVERIFY(editor);

        SendPreedit(editor, QStringLiteral("にほんご"));
        PressKey(editor, Qt::Key_Return);  // confirms the conversion
        QCOMPARE(NameEditor(form), editor);
        SendPreedit(editor, QString());
        SendCommit(editor, QStringLiteral("日本語"));
        QCOMPARE(editor->text(), QStringLiteral("日本語"));
        QVERIFY(!form.Modified());
        PressKey(editor, Qt::Key_Return);  // ends the rename
        QVERIFY(!NameEditor(form));
        QCOMPARE(NodeAt(form, {0}).Name(), std::string("日本語"));
        QVERIFY(form.Modified());

        form.actEditName->trigger();
        editor = NameEditor(form);
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_End);
        SendPreedit(editor, QStringLiteral("ご"));
        PressKey(editor, Qt::Key_Escape);  // cancels the conversion
        QCOMPARE(NameEditor(form), editor);
        SendPreedit(editor, QString());
        PressKey(editor, Qt::Key_Escape);  // cancels the rename
        QVERIFY(!NameEditor(form));
        QCOMPARE(NodeAt(form, {0}).Name(), std::string("日本語"));
    }

    void treeShowsWholeNamesWithAHorizontalScrollBar()
    {
        TForm1 form;
        Open(form, [](TForm1& f) { return &NodeAt(f, {0, 0}); });
        const QString longName = QStringLiteral("第一章 ") + QString(60, QChar(0x3042));
        form.Model().setData(IndexOf(form, &NodeAt(form, {0, 0})), longName, Qt::EditRole);
        QScrollBar* bar = form.TreeView1->horizontalScrollBar();
        QTRY_VERIFY(bar->maximum() > 0);
        const QRect item = form.TreeView1->visualRect(IndexOf(form, &NodeAt(form, {0, 0})));
        const int textRight = item.left() + form.TreeView1->fontMetrics().horizontalAdvance(longName);
        QVERIFY(textRight > form.TreeView1->viewport()->width());
        QVERIFY2(textRight < form.TreeView1->header()->sectionSize(0), qPrintable(QString::number(textRight)));
        bar->setValue(bar->maximum());
        QVERIFY(form.TreeView1->visualRect(IndexOf(form, &NodeAt(form, {0, 0}))).left() < item.left());

        // Another document forgets the width.
        form.SetDocument(SampleTree(), nullptr);
        QTRY_COMPARE(bar->maximum(), 0);
        QCOMPARE(form.TreeView1->header()->sectionSize(0), form.TreeView1->viewport()->width());
    }
};

QTEST_MAIN(TestJapaneseDesktop)
#include "test_japanese_desktop.moc"
