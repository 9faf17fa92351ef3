// Inserting a text file into an editor at the caret.
#include "TestClasses.h"
#include "interchange/TextFileInsert.h"
#include "platform/file_io.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(bytes);
    return path;
}

// An editor with text and a selection from..to, ready for an import.
void Prepare(QPlainTextEdit& editor, const QString& text, int from, int to)
{
    editor.setPlainText(text);
    QTextCursor cursor = editor.textCursor();
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    editor.setTextCursor(cursor);
}

}  // namespace

void TestTextFileInsert::importReplacesSelectionAndCountsAsEdit()
{
    QTemporaryDir dir;
    QPlainTextEdit editor;
    QSignalSpy changes(&editor, &QPlainTextEdit::textChanged);

    // An empty file over a selection deletes the selection, and that is an edit.
    Prepare(editor, QStringLiteral("abcdef"), 2, 4);
    changes.clear();
    InsertTextFile(editor, WriteFile(dir, QStringLiteral("empty.txt"), ""));
    QCOMPARE(editor.toPlainText(), QStringLiteral("abef"));
    QCOMPARE(editor.textCursor().position(), 2);
    QVERIFY(changes.count() >= 1);

    // LF and CR files at the caret: one break per line, one added at the end, caret after.
    Prepare(editor, QStringLiteral("ab"), 1, 1);
    InsertTextFile(editor, WriteFile(dir, QStringLiteral("lf.txt"), "x\ny"));
    QCOMPARE(editor.toPlainText(), QStringLiteral("ax\ny\nb"));
    QCOMPARE(editor.textCursor().position(), 5);
    QVERIFY(!editor.textCursor().hasSelection());

    Prepare(editor, QString(), 0, 0);
    InsertTextFile(editor, WriteFile(dir, QStringLiteral("cr.txt"), "p\rq\n\rr\r\n"));
    QCOMPARE(editor.toPlainText(), QStringLiteral("p\nq\n\nr\n"));

    // UTF-8 with a mark, CP932, and a NUL that is dropped, the text after it kept.
    Prepare(editor, QStringLiteral("[]"), 1, 1);
    InsertTextFile(editor, WriteFile(dir, QStringLiteral("bom.txt"), "\xEF\xBB\xBF\xE6\x97\xA5\xE6\x9C\xAC"));
    QCOMPARE(editor.toPlainText(), QStringLiteral("[日本\n]"));
    Prepare(editor, QString(), 0, 0);
    InsertTextFile(editor, WriteFile(dir, QStringLiteral("sjis.txt"), QByteArray("\x93\xFA\x96\x7B\0tail", 9)));
    QCOMPARE(editor.toPlainText(), QStringLiteral("日本tail\n"));
}

void TestTextFileInsert::importOfMissingFileChangesNothing()
{
    QTemporaryDir dir;
    QPlainTextEdit editor;
    Prepare(editor, QStringLiteral("keep"), 1, 3);
    QSignalSpy changes(&editor, &QPlainTextEdit::textChanged);
    const QString path = dir.filePath(QStringLiteral("absent.txt"));
    try {
        InsertTextFile(editor, path);
        QFAIL("no error");
    } catch (const platform::FileError& error) {
        QCOMPARE(QString::fromUtf8(error.what()), QStringLiteral("ファイル %1 は開けません").arg(path));
    }
    QCOMPARE(editor.toPlainText(), QStringLiteral("keep"));
    QCOMPARE(changes.count(), 0);
    QCOMPARE(editor.textCursor().selectionStart(), 1);
    QCOMPARE(editor.textCursor().selectionEnd(), 3);
}
