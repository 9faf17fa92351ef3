// The export, text import and About commands of the main window, with their dialogs.
#include "app/MainWindow.h"
#include "forms/FormBase.h"
#include "interchange/ExportDialog.h"
#include "interchange/TextFileInsert.h"
#include "interchange/TreeExport.h"

#include <QAction>
#include <QDesktopServices>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include "tests/support/modal_helpers.h"

using document::DocumentTree;
using document::TreeNode;

namespace {

DocumentTree SmallTree()
{
    DocumentTree tree;
    tree.Root().Data().SetText("本文\r\n");
    tree.AppendNode(tree.Root(), "子").Data().SetText("abc\r\n");
    return tree;
}

TreeNode& Child(TForm1& form) { return *form.Document().Root().Child(0); }

void PlaceCaret(QPlainTextEdit& editor, int from, int to)
{
    QTextCursor cursor = editor.textCursor();
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    editor.setTextCursor(cursor);
}

// Records the message boxes a command shows and answers them with OK.
class ShownMessages {
public:
    ShownMessages()
    {
        previous_ = SetVistaMessageRunner([this](THxVistaMessageForm& box) {
            captions.append(box.windowTitle());
            messages.append(box.MessageText());
            return 1;
        });
    }
    ~ShownMessages() { SetVistaMessageRunner(previous_); }
    QStringList captions, messages;

private:
    TVistaMessageRunner previous_;
};

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

}  // namespace

class TestMainWindowWiring : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { SetApplicationTitle(QStringLiteral("ヴェルモラ")); }
    void exportShowsTheWholeDocumentWithPendingEdits();
    void openTextInsertsAtTheCaretAsAnEdit();
    void openTextOfAMissingFileShowsTheError();
    void aboutAndWebsiteCommands();
};

void TestMainWindowWiring::exportShowsTheWholeDocumentWithPendingEdits()
{
    ShownMessages shown;
    TForm1 form;
    form.SetDocument(SmallTree(), nullptr);
    form.SelectNode(&Child(form));
    form.Memo1->moveCursor(QTextCursor::End);
    form.Memo1->insertPlainText(QStringLiteral("\n追記"));

    QString preview;
    bool html = false;
    WhenModalOpens([&](QWidget* modal) {
        auto* dialog = qobject_cast<TExportDialog*>(modal);
        QVERIFY(dialog);
        html = dialog->SelectedStyle() == TExportDialog::esHtml;
        preview = dialog->PreviewText();
        QTest::mouseClick(dialog->Button2, Qt::LeftButton);
    });
    form.actExportText->trigger();

    // The whole tree from the root, with the text typed into the selected child.
    QVERIFY(html);
    QCOMPARE(Child(form).Data().Text(), std::string("abc\r\n追記\r\n"));
    QCOMPARE(preview, QString::fromStdString(
                          interchange::JoinOutlineLines(interchange::MakeHtmlOutline(form.Document().Root()))));
    QVERIFY(preview.contains(QStringLiteral("\t\t\t\t\t追記<br>\r\n")));
    QVERIFY(shown.messages.isEmpty());
}

void TestMainWindowWiring::openTextInsertsAtTheCaretAsAnEdit()
{
    ShownMessages shown;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("import.txt"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("\xEF\xBB\xBF" "一行目\n二行目");
    }
    TForm1 form;
    form.SetDocument(SmallTree(), nullptr);
    form.SelectNode(&Child(form));
    QVERIFY(!form.Modified());
    form.actOpenText->setEnabled(true);
    PlaceCaret(*form.Memo1, 1, 2);  // "a[b]c"

    QStringList filters;
    WhenModalOpens([&](QWidget* modal) {
        filters = form.OpenDialog1->nameFilters();
        AnswerFileDialog(modal, path);
    });
    form.actOpenText->trigger();

    QCOMPARE(filters, TextFileFilters());
    QCOMPARE(form.Memo1->toPlainText(), QStringLiteral("a一行目\n二行目\nc"));
    QCOMPARE(form.Memo1->textCursor().position(), 9);
    QVERIFY(form.Modified());
    form.SelectNode(&form.Document().Root());
    QCOMPARE(Child(form).Data().Text(), std::string("a一行目\r\n二行目\r\nc\r\n"));
    QVERIFY(shown.messages.isEmpty());
}

void TestMainWindowWiring::openTextOfAMissingFileShowsTheError()
{
    ShownMessages shown;
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("missing.txt"));
    TForm1 form;
    form.SetDocument(SmallTree(), nullptr);
    form.SelectNode(&Child(form));
    form.actOpenText->setEnabled(true);
    WhenModalOpens([&](QWidget* modal) { AnswerFileDialog(modal, missing); });
    form.actOpenText->trigger();

    QCOMPARE(shown.messages, QStringList{QStringLiteral("ファイル %1 は開けません.").arg(missing)});
    QCOMPARE(form.Memo1->toPlainText(), QStringLiteral("abc"));
    QVERIFY(!form.Modified());
}

void TestMainWindowWiring::aboutAndWebsiteCommands()
{
    ShownMessages shown;
    TForm1 form;
    form.actAbout->trigger();
    QCOMPARE(shown.captions, QStringList{QStringLiteral("ヴェルモラについて")});
    QVERIFY(shown.messages.value(0).startsWith(QStringLiteral("ヴェルモラ version1.70\r")));

    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "open");
    form.actWebsite->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QCOMPARE(catcher.urls, QList<QUrl>{QUrl(QStringLiteral("https://quillworks.example/velmora/"))});
}

QTEST_MAIN(TestMainWindowWiring)
#include "test_main_window_wiring.moc"
