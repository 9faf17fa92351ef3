#include "tests/support/modal_helpers.h"
#include "TestClasses.h"
#include "interchange/ExportDialog.h"
#include "interchange/TreeExport.h"

#include <QApplication>
#include <QButtonGroup>
#include <QClipboard>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

using document::DocumentTree;

namespace {

DocumentTree JapaneseTree()
{
    DocumentTree tree;
    tree.Root().Data().SetText("abc\r\ndef\r\n");
    document::TreeNode& a = tree.AppendNode(tree.Root(), "A");
    a.Data().SetText("x");
    tree.AppendNode(a, "A1");
    tree.AppendNode(tree.Root(), "B").Data().SetText("y");
    return tree;
}

QString Crlf(const std::vector<std::string>& lines)
{
    return QString::fromStdString(interchange::JoinOutlineLines(lines));
}

QRadioButton* StyleButton(TExportDialog& dialog, int index)
{
    return dialog.rdoStyle->findChildren<QRadioButton*>().at(index);
}

QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return "<unreadable>";
    return file.readAll();
}

}  // namespace

void TestExportDialog::layoutCaptionsAndStartingStyle()
{
    TExportDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("書き出し"));
    QCOMPARE(dialog.size(), QSize(640, 320));
    QCOMPARE(dialog.Memo1->geometry(), QRect(8, 8, 489, 305));
    QCOMPARE(dialog.rdoStyle->geometry(), QRect(504, 8, 129, 81));
    QCOMPARE(dialog.Button3->geometry(), QRect(504, 96, 129, 25));
    QCOMPARE(dialog.Button1->geometry(), QRect(504, 128, 129, 25));
    QCOMPARE(dialog.Button2->geometry(), QRect(504, 288, 129, 25));
    QCOMPARE(dialog.rdoStyle->title(), QStringLiteral("形式"));
    QCOMPARE(StyleButton(dialog, 0)->text(), QStringLiteral("テキスト形式"));
    QCOMPARE(StyleButton(dialog, 1)->text(), QStringLiteral("HTML形式"));
    QCOMPARE(dialog.Button3->text(), QStringLiteral("すべてコピー"));
    QCOMPARE(dialog.Button1->text(), QStringLiteral("名前を付けて保存..."));
    QCOMPARE(dialog.Button2->text(), QStringLiteral("閉じる"));
    QCOMPARE(dialog.SelectedStyle(), TExportDialog::esHtml);
    QVERIFY(dialog.ExportNode == nullptr);

    // Anchors: the preview grows with the dialog, the column stays right, 閉じる at the bottom.
    dialog.show();
    dialog.resize(800, 400);
    QCOMPARE(dialog.Memo1->geometry(), QRect(8, 8, 649, 385));
    QCOMPARE(dialog.rdoStyle->geometry(), QRect(664, 8, 129, 81));
    QCOMPARE(dialog.Button2->geometry(), QRect(664, 368, 129, 25));
}

void TestExportDialog::previewShowsTheRenderingsAndSwitchesStyle()
{
    const DocumentTree tree = JapaneseTree();
    TExportDialog dialog;
    dialog.ExportNode = &tree.Root();
    dialog.show();
    QCOMPARE(dialog.PreviewText(), Crlf(interchange::MakeHtmlOutline(tree.Root())));
    QVERIFY(dialog.Memo1->toPlainText().startsWith(QStringLiteral("<html>\n\t<head>\n\t\t<title>ルート</title>\n")));

    QTest::mouseClick(StyleButton(dialog, 0), Qt::LeftButton);
    QCOMPARE(dialog.SelectedStyle(), TExportDialog::esText);
    QCOMPARE(dialog.PreviewText(), Crlf(interchange::MakeTextOutline(tree.Root())));
    QVERIFY(dialog.PreviewText().startsWith(QStringLiteral("ルート\r\n\r\nabc\r\ndef\r\n\r\n1 A\r\n")));

    QTest::mouseClick(StyleButton(dialog, 1), Qt::LeftButton);
    QCOMPARE(dialog.PreviewText(), Crlf(interchange::MakeHtmlOutline(tree.Root())));
}

void TestExportDialog::switchingDiscardsEditsCopyAndSaveKeepThem()
{
    QTemporaryDir dir;
    const DocumentTree tree = JapaneseTree();
    TExportDialog dialog;
    dialog.ExportNode = &tree.Root();
    dialog.show();
    QTest::mouseClick(StyleButton(dialog, 0), Qt::LeftButton);

    dialog.Memo1->moveCursor(QTextCursor::End);
    QTest::keyClicks(dialog.Memo1, QStringLiteral("edited"));
    const QString edited = Crlf(interchange::MakeTextOutline(tree.Root())) + QStringLiteral("edited\r\n");
    QCOMPARE(dialog.PreviewText(), edited);

    QGuiApplication::clipboard()->clear();
    QTextCursor selection = dialog.Memo1->textCursor();
    selection.setPosition(2);
    selection.setPosition(4, QTextCursor::KeepAnchor);
    dialog.Memo1->setTextCursor(selection);
    QTest::mouseClick(dialog.Button3, Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), edited);
    QCOMPARE(dialog.Memo1->textCursor().selectionStart(), 2);
    QCOMPARE(dialog.Memo1->textCursor().selectionEnd(), 4);

    dialog.SaveToFile(dir.filePath(QStringLiteral("kept.txt")));
    QCOMPARE(FileBytes(dir.filePath(QStringLiteral("kept.txt"))), edited.toUtf8());

    QTest::mouseClick(StyleButton(dialog, 0), Qt::LeftButton);
    QCOMPARE(dialog.PreviewText(), Crlf(interchange::MakeTextOutline(tree.Root())));
}

void TestExportDialog::saveDialogOffersOneEntryPerStyle()
{
    TExportDialog dialog;
    dialog.SetSelectedStyle(TExportDialog::esText);
    dialog.PrepareSaveDialog();
    QCOMPARE(dialog.SaveDialog1->nameFilters(), QStringList{QStringLiteral("テキストファイル (*.txt)")});
    QCOMPARE(dialog.SaveDialog1->defaultSuffix(), QStringLiteral("txt"));
    dialog.SetSelectedStyle(TExportDialog::esHtml);
    dialog.PrepareSaveDialog();
    QCOMPARE(dialog.SaveDialog1->nameFilters(), QStringList{QStringLiteral("HTMLファイル (*.html)")});
    QCOMPARE(dialog.SaveDialog1->defaultSuffix(), QStringLiteral("html"));
    QVERIFY(dialog.SaveDialog1->testOption(QFileDialog::DontConfirmOverwrite));
    QCOMPARE(dialog.SaveDialog1->acceptMode(), QFileDialog::AcceptSave);
}

void TestExportDialog::saveThroughTheDialogAddsExtensionAndReplaces()
{
    QTemporaryDir dir;
    const DocumentTree tree = JapaneseTree();
    TExportDialog dialog;
    dialog.ExportNode = &tree.Root();
    dialog.show();
    dialog.SaveDialog1->setDirectory(dir.path());
    const QString target = dir.filePath(QStringLiteral("outline.html"));
    {
        QFile old(target);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old contents that are longer than nothing");
    }
    WhenModalOpens([&](QWidget* modal) { AnswerFileDialog(modal, dir.filePath(QStringLiteral("outline"))); });
    dialog.Button1Click();
    QCOMPARE(FileBytes(target), Crlf(interchange::MakeHtmlOutline(tree.Root())).toUtf8());
    QVERIFY(FileBytes(target).startsWith("<html>\r\n\t<head>\r\n\t\t<title>\xE3\x83\xAB"));

    // Cancelling writes nothing.
    QVERIFY(QFile::remove(target));
    WhenModalOpens([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    dialog.Button1Click();
    QVERIFY(!QFile::exists(target));
}

void TestExportDialog::saveFailureShowsTheErrorAndKeepsTheDialog()
{
    QTemporaryDir dir;
    const DocumentTree tree = JapaneseTree();
    TExportDialog dialog;
    dialog.ExportNode = &tree.Root();
    dialog.show();
    QTest::keyClicks(dialog.Memo1, QStringLiteral("typed "));
    const QString preview = dialog.PreviewText();

    const QString target = dir.filePath(QStringLiteral("missing-folder/out.html"));
    QString shown;
    const TVistaMessageRunner previous = SetVistaMessageRunner([&](THxVistaMessageForm& box) {
        shown = box.MessageText();
        return 1;
    });
    WhenModalOpens([&](QWidget* modal) { AnswerFileDialog(modal, target); });
    QTest::mouseClick(dialog.Button1, Qt::LeftButton);
    SetVistaMessageRunner(previous);

    QCOMPARE(shown, QStringLiteral("ファイル %1 を作成できません.").arg(target));
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.PreviewText(), preview);
}

void TestExportDialog::escapeClosesAndReopeningStartsAtHtml()
{
    const DocumentTree tree = JapaneseTree();
    int result = -1;
    bool wasHtml = false;
    QString firstLine;
    auto chooseTextAndEscape = [&](QWidget* modal) {
        auto* dialog = qobject_cast<TExportDialog*>(modal);
        QVERIFY(dialog);
        wasHtml = dialog->SelectedStyle() == TExportDialog::esHtml;
        QTest::mouseClick(StyleButton(*dialog, 0), Qt::LeftButton);
        firstLine = dialog->Memo1->toPlainText().section(QLatin1Char('\n'), 0, 0);
        QObject::connect(dialog, &QDialog::finished, [&](int r) { result = r; });
        QTest::keyClick(dialog->Memo1, Qt::Key_Escape);
    };
    for (int opening = 0; opening < 2; ++opening) {
        wasHtml = false;
        result = -1;
        WhenModalOpens(chooseTextAndEscape);
        ShowExportDialog(tree.Root());
        QVERIFY(wasHtml);
        QCOMPARE(firstLine, QStringLiteral("ルート"));
        QCOMPARE(result, 2);
    }
}
