// The editor holds a line too long to lay out after every key as pieces joined by soft
// breaks, which must never reach the node's text, its caret or the clipboard. The test makes
// the same edits in the window and in a plain QPlainTextEdit and holds the node's stored
// text, SelStart and SelLength to what the plain editor gives.
#include "app/MainWindow.h"
#include "UnexpectedDialogs.h"

#include <QAbstractEventDispatcher>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QtTest>

using document::TreeNode;

namespace {

// 50,000 characters without a line break: ASCII words, then Japanese.
QString LongLine()
{
    QString line;
    while (line.size() < 25000)
        line += QStringLiteral("The quick brown fox jumps over the lazy dog. ");
    while (line.size() < 50000)
        line += QString::fromUtf8("これは改行のない長い一行です。");
    return line;
}

QString TextOf(const QPlainTextEdit& editor)
{
    return editor.document()->toRawText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
}

int LongestBlock(const QPlainTextEdit& editor)
{
    int longest = 0;
    for (QTextBlock block = editor.document()->firstBlock(); block.isValid(); block = block.next())
        longest = std::max(longest, block.length() - 1);
    return longest;
}

void PutCaret(QPlainTextEdit& editor, int position, int anchor = -1)
{
    QTextCursor cursor = editor.textCursor();
    cursor.setPosition(anchor < 0 ? position : anchor);
    cursor.setPosition(position, QTextCursor::KeepAnchor);
    editor.setTextCursor(cursor);
}

// Puts the plain editor's caret where the window's editor has it, in real positions.
void FollowCaret(const TPiecedTextEdit& pieced, QPlainTextEdit& plain)
{
    const document::TextSelection selection = pieced.Selection();
    PutCaret(plain, selection.start + selection.length, selection.start);
}

void Idle()
{
    emit QAbstractEventDispatcher::instance()->aboutToBlock();
}

}  // namespace

class TestLongLines : public WindowTestCase {
    Q_OBJECT

private slots:
    void editsInPiecesGiveThePlainTextAndCaret()
    {
        document::DocumentTree tree;
        TreeNode& node = tree.AppendNode(tree.Root(), "long");
        node.Data().SetText("before\r\n" + LongLine().toStdString() + "\r\nafter");
        node.Data().SelStart = document::StoredSelectionFromEditor(node.Data().Text(), 30000, 0).start;
        TreeNode& other = tree.AppendNode(tree.Root(), "other");
        other.Data().SetText("short");
        TForm1 form;
        form.show();
        // The editor's own undo, which the window leaves off for the document's history.
        form.Memo1->setUndoRedoEnabled(true);
        form.SetDocument(std::move(tree), &node);
        TPiecedTextEdit& editor = *form.Memo1;
        QPlainTextEdit plain;
        plain.setPlainText(QString::fromStdString(node.Data().EditorText()));

        // Pieces of at most 4,096 units, cut where the line may wrap; the caret in real units.
        QVERIFY(editor.blockCount() >= 2 + 50000 / TPiecedTextEdit::kPieceLength);
        QVERIFY(LongestBlock(editor) <= TPiecedTextEdit::kPieceLength);
        QVERIFY(editor.document()->findBlockByNumber(1).text().endsWith(QLatin1Char(' ')));
        QCOMPARE(editor.Text(), TextOf(plain));
        QCOMPARE(editor.Selection().start, 30000);
        QCOMPARE(editor.Selection().length, 0);

        // Backspace at a piece start takes only the soft break: no edit for the window.
        QTextBlock third = editor.document()->findBlockByNumber(3);
        PutCaret(editor, third.position());
        const int realStart = 6 + 1 + editor.document()->findBlockByNumber(1).length() - 1 +
                              editor.document()->findBlockByNumber(2).length() - 1;
        QCOMPARE(editor.Selection().start, realStart);
        const int blocks = editor.blockCount();
        QTest::keyClick(&editor, Qt::Key_Backspace);
        QCOMPARE(editor.blockCount(), blocks - 1);
        QCOMPARE(editor.Selection().start, realStart);
        QCOMPARE(editor.Text(), TextOf(plain));
        Idle();
        QVERIFY(!form.Modified());

        // Typing, ASCII and Japanese.
        FollowCaret(editor, plain);
        for (QPlainTextEdit* target : {static_cast<QPlainTextEdit*>(&editor), &plain}) {
            QTest::keyClicks(target, QStringLiteral("abc"));
            QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString::fromUtf8("字"), Qt::NoModifier);
        }
        QCOMPARE(editor.Text(), TextOf(plain));
        Idle();
        QVERIFY(LongestBlock(editor) <= TPiecedTextEdit::kLongestLine);
        QCOMPARE(editor.Selection().start, plain.textCursor().position());

        // Enter inside a piece makes a real line break, with word wrap off.
        form.actWrap->trigger();
        PutCaret(editor, editor.document()->findBlockByNumber(5).position() + 100);
        FollowCaret(editor, plain);
        for (QPlainTextEdit* target : {static_cast<QPlainTextEdit*>(&editor), &plain}) {
            QTest::keyClick(target, Qt::Key_Return);
            QTest::keyClicks(target, QStringLiteral("x"));
        }
        QCOMPARE(editor.Text(), TextOf(plain));
        Idle();
        QVERIFY(form.Modified());

        // A selection across a soft break is copied and cut without it; undo and redo keep
        // the pieces' breaks soft.
        const QTextBlock ninth = editor.document()->findBlockByNumber(9);
        PutCaret(editor, ninth.position() + 10, ninth.position() - 11);
        FollowCaret(editor, plain);
        QCOMPARE(editor.Selection().length, 20);
        editor.copy();
        QCOMPARE(QGuiApplication::clipboard()->text(), plain.textCursor().selectedText());
        QVERIFY(!QGuiApplication::clipboard()->text().contains(QLatin1Char('\n')));
        editor.cut();
        plain.cut();
        QCOMPARE(editor.Text(), TextOf(plain));
        editor.undo();
        plain.undo();
        QCOMPARE(editor.Text(), TextOf(plain));
        editor.redo();
        plain.redo();
        QCOMPARE(editor.Text(), TextOf(plain));

        // A paste of a long line goes in as pieces.
        FollowCaret(editor, plain);
        QGuiApplication::clipboard()->setText(QString(20000, QChar(0x3042)) + QStringLiteral("\nnext line"));
        editor.paste();
        plain.paste();
        QCOMPARE(editor.Text(), TextOf(plain));
        QCOMPARE(editor.Selection().start, plain.textCursor().position());
        QVERIFY(LongestBlock(editor) <= TPiecedTextEdit::kLongestLine);

        // Pieces joined past the limit are cut again at the idle step, caret kept.
        PutCaret(editor, editor.document()->findBlockByNumber(2).position());
        for (int joins = 0; joins < 4 && LongestBlock(editor) <= TPiecedTextEdit::kLongestLine; ++joins) {
            PutCaret(editor, editor.textCursor().block().next().position());
            QTest::keyClick(&editor, Qt::Key_Backspace);
        }
        QVERIFY(LongestBlock(editor) > TPiecedTextEdit::kLongestLine);
        const document::TextSelection joined = editor.Selection();
        Idle();
        QVERIFY(LongestBlock(editor) <= TPiecedTextEdit::kLongestLine);
        QCOMPARE(editor.Selection().start, joined.start);
        QCOMPARE(editor.Text(), TextOf(plain));

        // Stored through a node switch: text and selection as the plain editor has them.
        PutCaret(editor, editor.document()->findBlockByNumber(7).position() + 5,
                 editor.document()->findBlockByNumber(6).position() + 3);
        FollowCaret(editor, plain);
        form.SelectNode(&other);
        document::TVLNodeData expected;
        expected.SetText(TextOf(plain).toStdString());
        const QTextCursor caret = plain.textCursor();
        const document::TextSelection stored = document::StoredSelectionFromEditor(
            expected.Text(), caret.selectionStart(), caret.selectionEnd() - caret.selectionStart());
        QCOMPARE(node.Data().Text(), expected.Text());
        QCOMPARE(node.Data().SelStart, stored.start);
        QCOMPARE(node.Data().SelLength, stored.length);
        form.SelectNode(&node);
        QCOMPARE(editor.Text(), TextOf(plain));
        QCOMPARE(editor.Selection().start, caret.selectionStart());
        QCOMPARE(editor.Selection().length, caret.selectionEnd() - caret.selectionStart());
        QVERIFY(!editor.document()->isUndoAvailable());
    }
};

QTEST_MAIN(TestLongLines)
#include "test_long_lines.moc"
