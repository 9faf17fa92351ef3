#include "TestClasses.h"
#include "interchange/HxCommon.h"
#include "interchange/TextFileInsert.h"
#include "platform/file_io.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

namespace {

// Receives the address the desktop is asked to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

QPixmap SquareIcon(QColor color)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(color);
    return pixmap;
}

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

void TestAboutAndImport::aboutBoxShowsTheOwnRecord()
{
    QApplication::setWindowIcon(QIcon(SquareIcon(Qt::magenta)));
    QString caption, message, label;
    QImage image;
    QStringList buttons;
    const TVistaMessageRunner previous = SetVistaMessageRunner([&](THxVistaMessageForm& box) {
        caption = box.windowTitle();
        message = box.MessageText();
        label = box.findChild<QLabel*>(QStringLiteral("Message"))->text();
        image = box.findChild<QLabel*>(QStringLiteral("Image"))->pixmap().toImage();
        for (QPushButton* button : box.findChildren<QPushButton*>()) buttons << button->objectName();
        return 1;
    });
    ShowAboutBox();
    SetVistaMessageRunner(previous);

    QCOMPARE(caption, QStringLiteral("ヴェルモラについて"));
    QCOMPARE(message, QStringLiteral("ヴェルモラ version1.70\rCopyright (C) 2026 Quillworks\r"
                                     "https://quillworks.example/velmora/"));
    QCOMPARE(label.split(QLatin1Char('\n')).size(), 3);
    QCOMPARE(buttons, QStringList{QStringLiteral("OK")});
    QVERIFY(!image.isNull());
    QCOMPARE(image.pixelColor(16, 16), QColor(Qt::magenta));

    // A record with comments and no icon of the application's own: the information icon stays.
    QApplication::setWindowIcon(QIcon());
    interchange::THxCVersionResourceRec record;
    record.Comments = "試作 ";
    record.ProductName = "X";
    auto box = CreateAboutBox(record);
    QCOMPARE(box->MessageText(),
             QStringLiteral("試作 X version\r\rhttps://quillworks.example/velmora/"));
    QVERIFY(!box->findChild<QLabel*>(QStringLiteral("Image"))->pixmap().isNull());
}

void TestAboutAndImport::homePageOpensTheAddress()
{
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
    OpenHomePage();
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QCOMPARE(catcher.urls, QList<QUrl>{QUrl(QStringLiteral("https://quillworks.example/velmora/"))});
}

void TestAboutAndImport::importReplacesSelectionAndCountsAsEdit()
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

void TestAboutAndImport::importOfMissingFileChangesNothing()
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

#include "test_about_and_import.moc"
