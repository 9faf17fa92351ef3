// A run of text with no place to break a line makes Qt's word wrapping take time in the
// square of its length (a 1 MB one froze the window for a minute per key). The editor wraps
// a text holding such a run anywhere; these tests hold it to that, and to leaving every
// other text wrapped at word boundaries, without timing anything.
#include "app/MainWindow.h"
#include "UnexpectedDialogs.h"

#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextLayout>
#include <QtTest>

using document::TreeNode;

namespace {

// 20,000 letters without a space: enough to be wrapped anywhere, cheap to lay out either way.
const std::string kLongRun(20000, 'x');

}  // namespace

class TestLongLines : public WindowTestCase {
    Q_OBJECT

private slots:
    void aRunWithoutBreaksIsWrappedAnywhereAndOtherTextsAtWords()
    {
        document::DocumentTree tree;
        TreeNode& words = tree.AppendNode(tree.Root(), "words");
        words.Data().SetText("short words\r\nthat wrap at their boundaries");
        TreeNode& joined = tree.AppendNode(tree.Root(), "joined");
        joined.Data().SetText("short");
        TreeNode& run = tree.AppendNode(tree.Root(), "run");
        run.Data().SetText("before " + kLongRun + " after");
        TForm1 form;
        form.show();
        form.SetDocument(std::move(tree), &words);
        QCOMPARE(form.Memo1->wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);

        form.SelectNode(&run);
        QCOMPARE(form.Memo1->wordWrapMode(), QTextOption::WrapAnywhere);
        QCOMPARE(form.Memo1->lineWrapMode(), QPlainTextEdit::WidgetWidth);
        // Still wrapped on screen, and the text itself untouched.
        QVERIFY(form.Memo1->document()->firstBlock().layout()->lineCount() > 10);
        QCOMPARE(form.Memo1->toPlainText().toStdString(), "before " + kLongRun + " after");

        // Word wrap off and on again keeps the choice for this text.
        form.actWrap->trigger();
        QCOMPARE(form.Memo1->lineWrapMode(), QPlainTextEdit::NoWrap);
        form.actWrap->trigger();
        QCOMPARE(form.Memo1->wordWrapMode(), QTextOption::WrapAnywhere);

        // The next node is chosen for afresh; typing words keeps word boundaries.
        form.SelectNode(&words);
        QCOMPARE(form.Memo1->wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);
        QTest::keyClicks(form.Memo1, QStringLiteral("more words "));
        QCOMPARE(form.Memo1->wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);

        // A paste that brings such a run in switches the mode, and so does one that joins two
        // shorter runs into one too long.
        form.Memo1->insertPlainText(QString::fromStdString(kLongRun));
        QCOMPARE(form.Memo1->wordWrapMode(), QTextOption::WrapAnywhere);
        form.SelectNode(&joined);
        QCOMPARE(form.Memo1->wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);
        QTextCursor end = form.Memo1->textCursor();
        end.movePosition(QTextCursor::End);
        form.Memo1->setTextCursor(end);
        form.Memo1->insertPlainText(QString(800, QLatin1Char('y')));
        QCOMPARE(form.Memo1->wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);
        end.movePosition(QTextCursor::End);
        end.movePosition(QTextCursor::Left, QTextCursor::MoveAnchor, 400);
        form.Memo1->setTextCursor(end);
        form.Memo1->insertPlainText(QString(400, QLatin1Char('z')));
        QCOMPARE(form.Memo1->wordWrapMode(), QTextOption::WrapAnywhere);
    }
};

QTEST_MAIN(TestLongLines)
#include "test_long_lines.moc"
