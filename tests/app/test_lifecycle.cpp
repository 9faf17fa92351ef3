// The document's life in the main window: caption, prompt, open, save, encodings, drops and
// the recent-files menu, with every dialog answered by the test.
#include "LifecycleTestSupport.h"

#include "document/TrmFormat.h"

#include <QAction>
#include <QCoreApplication>
#include <QDropEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTest>
#include <QUrl>

#include <sys/stat.h>
#include <unistd.h>

using forms::TMsgDlgBtn;
using forms::TMsgDlgType;

namespace {

const QString kPlaceholder = QStringLiteral("（ファイル名未設定）");
const QString kQuestion = QStringLiteral("ファイル %1 の内容は変更されています。\r変更を保存しますか？");

QString Caption(const QString& name, const char* encoding, bool modified = false)
{
    return name + QStringLiteral(" - ヴェルモラ (") + QLatin1String(encoding) + QLatin1Char(')') +
           (modified ? QStringLiteral(" *") : QString());
}

void Type(TForm1& form, const QString& text)
{
    form.Memo1->moveCursor(QTextCursor::End);
    form.Memo1->insertPlainText(text);
}

QString RootText(TForm1& form)
{
    form.StoreEditorText();
    return QString::fromStdString(form.Document().Root().Data().Text());
}

// A small saved document: root "ルート" with text "saved", a child "子".
QString MakeDocument(const QString& path, const QString& text = QStringLiteral("saved"))
{
    document::DocumentTree tree;
    tree.Root().Data().SetText(text.toStdString() + "\r\n");
    tree.AppendNode(tree.Root(), "子");
    document::WriteDocument(path.toStdString(), tree, &tree.Root(), nanxml::deShiftJIS);
    return path;
}

void Drop(TForm1& form, const QStringList& paths)
{
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls.append(QUrl::fromLocalFile(path));
    QMimeData data;
    data.setUrls(urls);
    // As a real drag: the enter picks the widget that takes the drop.
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form.Memo1->viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form.Memo1->viewport(), &drop);
    QVERIFY(drop.isAccepted());
}

const QByteArray kNewDocumentSjis = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><velmora><file version=\"2\" "
                                    "modified=\"STAMP\"/><node name=\"\x83\x8b\x81\x5b\x83\x67\" expanded=\"no\" "
                                    "selstart=\"0\" sellength=\"0\" selected=\"yes\"><text/></node></velmora>\r\n";

}  // namespace

class TestLifecycle : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { SetApplicationTitle(QStringLiteral("ヴェルモラ")); }

    void captionInEveryState()
    {
        QTemporaryDir folder;
        TForm1 form;
        Answers answers(form);
        QCOMPARE(form.windowTitle(), Caption(kPlaceholder, "SJIS"));
        QCOMPARE(form.FileName(), kPlaceholder);
        Type(form, QStringLiteral("a"));
        Type(form, QStringLiteral("b"));
        QCOMPARE(form.windowTitle(), Caption(kPlaceholder, "SJIS", true));

        const QString path = folder.filePath(QStringLiteral("memo.trm"));
        answers.fileAnswers.push_back(Answers::Choose(path));
        form.actSave->trigger();
        QCOMPARE(form.windowTitle(), Caption(QStringLiteral("memo.trm"), "SJIS"));
        QCOMPARE(form.FileName(), path);
        QVERIFY(!form.Modified());

        form.actCodeUTF8->trigger();
        QCOMPARE(form.windowTitle(), Caption(QStringLiteral("memo.trm"), "UTF8"));
        QVERIFY(!form.Modified());
        Type(form, QStringLiteral("c"));
        QCOMPARE(form.windowTitle(), Caption(QStringLiteral("memo.trm"), "UTF8", true));
        // Choosing an encoding keeps the mark of unsaved work.
        form.actCodeSJIS->trigger();
        QCOMPARE(form.windowTitle(), Caption(QStringLiteral("memo.trm"), "SJIS", true));
        QVERIFY(form.Modified());

        form.actSave->trigger();
        QCOMPARE(form.windowTitle(), Caption(QStringLiteral("memo.trm"), "SJIS"));
        QCOMPARE(answers.dialogs, QStringList{QStringLiteral("SaveDialog1")});  // the named file is saved directly
        QCOMPARE(ReadBytes(path).count("abc"), 1);

        answers.messageAnswers.push_back(forms::mrNo);
        Type(form, QStringLiteral("d"));
        form.actNew->trigger();
        QCOMPARE(form.windowTitle(), Caption(kPlaceholder, "SJIS"));
    }

    void promptForEachOperationAndAnswer_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("answer");
        for (const char* operation : {"new", "open", "drop", "recent", "close"})
            for (const char* answer : {"no", "cancel", "yes-dialog-cancelled", "yes-saved"})
                QTest::newRow(QByteArray(operation).append(' ').append(answer).constData())
                    << QString::fromLatin1(operation) << QString::fromLatin1(answer);
    }

    void promptForEachOperationAndAnswer()
    {
        QFETCH(QString, operation);
        QFETCH(QString, answer);
        QTemporaryDir folder;
        const QString other = MakeDocument(folder.filePath(QStringLiteral("other.trm")), QStringLiteral("other"));
        const QString saveTo = folder.filePath(QStringLiteral("saved.trm"));
        ShownErrors errors;
        TForm1 form;
        form.show();
        Answers answers(form);
        form.HistoryMenu().AddFile(other.toStdString());
        Type(form, QStringLiteral("unsaved"));

        if (answer == QLatin1String("no"))
            answers.messageAnswers.push_back(forms::mrNo);
        else if (answer != QLatin1String("cancel")) {
            answers.messageAnswers.push_back(forms::mrYes);
            if (answer == QLatin1String("yes-saved"))
                answers.fileAnswers.push_back(Answers::Choose(saveTo));
            else
                answers.fileAnswers.push_back([](QFileDialog&) { return int(QDialog::Rejected); });
        }
        if (operation == QLatin1String("open"))
            answers.fileAnswers.push_back(Answers::Choose(other));

        bool closed = false;
        if (operation == QLatin1String("new"))
            form.actNew->trigger();
        else if (operation == QLatin1String("open"))
            form.actOpen->trigger();
        else if (operation == QLatin1String("drop"))
            Drop(form, {other});
        else if (operation == QLatin1String("recent"))
            form.HistoryMenuBinding().MenuItems().first()->trigger();
        else
            closed = form.close();

        QCOMPARE(answers.asked.size(), std::size_t(1));
        QCOMPARE(answers.asked[0].text, kQuestion.arg(kPlaceholder));
        QCOMPARE(answers.asked[0].type, TMsgDlgType::mtWarning);
        QCOMPARE(answers.asked[0].buttons, TMsgDlgBtn::mbYes | TMsgDlgBtn::mbNo | TMsgDlgBtn::mbCancel);
        QVERIFY(errors.messages.isEmpty());

        const bool goesOn = answer == QLatin1String("no") || answer == QLatin1String("yes-saved");
        QStringList expectedDialogs;
        if (answer.startsWith(QLatin1String("yes")))
            expectedDialogs << QStringLiteral("SaveDialog1");
        if (operation == QLatin1String("open") && goesOn)
            expectedDialogs << QStringLiteral("OpenDialog1");  // the prompt comes before the dialog
        QCOMPARE(answers.dialogs, expectedDialogs);

        if (answer == QLatin1String("yes-saved")) {
            QVERIFY(ReadBytes(saveTo).contains("unsaved"));
            QCOMPARE(form.HistoryMenu().Count(), 2);
            QCOMPARE(QString::fromStdString(form.HistoryMenu().DataList().front()),
                     operation == QLatin1String("new") || operation == QLatin1String("close") ? saveTo : other);
        } else {
            QVERIFY(!QFileInfo::exists(saveTo));
        }

        if (!goesOn) {
            QVERIFY(!closed);
            QVERIFY(form.Modified());
            QCOMPARE(form.windowTitle(), Caption(kPlaceholder, "SJIS", true));
            QCOMPARE(RootText(form), QStringLiteral("unsaved\r\n"));
            return;
        }
        if (operation == QLatin1String("close")) {
            QVERIFY(closed);
        } else if (operation == QLatin1String("new")) {
            QCOMPARE(form.windowTitle(), Caption(kPlaceholder, "SJIS"));
            QCOMPARE(RootText(form), QString());
        } else {
            QCOMPARE(form.windowTitle(), Caption(QStringLiteral("other.trm"), "SJIS"));
            QCOMPARE(RootText(form), QStringLiteral("other\r\n"));
            QCOMPARE(QString::fromStdString(form.HistoryMenu().DataList().front()), other);
        }
    }

    void saveAsProposesThePlaceholderAndWritesTheFile()
    {
        QTemporaryDir folder;
        TForm1 form;
        Answers answers(form);
        QStringList proposed, filters;
        QString suffix;
        bool confirmsOverwrite = false;
        bool savesWithAnyName = false;
        answers.fileAnswers.push_back([&](QFileDialog& dialog) {
            proposed = dialog.selectedFiles();
            filters = dialog.nameFilters();
            suffix = dialog.defaultSuffix();
            confirmsOverwrite = !dialog.testOption(QFileDialog::DontConfirmOverwrite);
            savesWithAnyName = dialog.acceptMode() == QFileDialog::AcceptSave && dialog.fileMode() == QFileDialog::AnyFile;
            dialog.selectFile(folder.filePath(QStringLiteral("new")));  // no extension typed
            return int(QDialog::Accepted);
        });
        form.actSaveAs->trigger();
        QCOMPARE(proposed.size(), 1);
        QCOMPARE(QFileInfo(proposed.first()).completeBaseName(), kPlaceholder);
        QCOMPARE(filters, (QStringList{QStringLiteral("ツリーメモ (*.trm)"), QStringLiteral("すべてのファイル (*)")}));
        QCOMPARE(suffix, QStringLiteral("trm"));
        QVERIFY(confirmsOverwrite);
        QVERIFY(savesWithAnyName);
        const QString path = folder.filePath(QStringLiteral("new.trm"));
        QCOMPARE(form.FileName(), path);
        QCOMPARE(WithoutStamp(ReadBytes(path)), kNewDocumentSjis);
        QCOMPARE(form.HistoryMenu().DataList(), std::vector<std::string>{path.toStdString()});

        // Save As on a named document proposes its path.
        answers.fileAnswers.push_back([&](QFileDialog& dialog) {
            proposed = dialog.selectedFiles();
            return int(QDialog::Rejected);
        });
        form.actSaveAs->trigger();
        QCOMPARE(proposed, QStringList{path});
    }

    void encodingCommandsFormOneRadioGroupAndChooseTheBytes()
    {
        QTemporaryDir folder;
        TForm1 form;
        Answers answers(form);
        form.ApplicationEvents1Idle();
        QVERIFY(form.actCodeSJIS->isChecked());
        QVERIFY(!form.actCodeUTF8->isChecked());
        form.actCodeUTF8->trigger();
        form.ApplicationEvents1Idle();
        QVERIFY(!form.actCodeSJIS->isChecked());
        QVERIFY(form.actCodeUTF8->isChecked());
        QCOMPARE(form.Encoding(), nanxml::deUTF8);

        const QString path = folder.filePath(QStringLiteral("utf8.trm"));
        answers.fileAnswers.push_back(Answers::Choose(path));
        form.actSave->trigger();
        const QByteArray utf8 = ReadBytes(path);
        QVERIFY(utf8.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"));
        QVERIFY(utf8.contains("name=\"ルート\""));
        QVERIFY(utf8.endsWith("</velmora>"));

        // Reading sets the encoding found; a new document is Shift_JIS again.
        answers.messageAnswers.clear();
        form.actNew->trigger();
        QCOMPARE(form.Encoding(), nanxml::deShiftJIS);
        Drop(form, {path});
        QCOMPARE(form.Encoding(), nanxml::deUTF8);
        QCOMPARE(form.windowTitle(), Caption(QStringLiteral("utf8.trm"), "UTF8"));
    }

    void aWriteProtectedTargetIsReportedAndKeepsTheWork()
    {
        QTemporaryDir folder;
        const QString path = MakeDocument(folder.filePath(QStringLiteral("locked.trm")));
        ShownErrors errors;
        TForm1 form;
        Answers answers(form);
        form.OpenDocument(path);
        const QByteArray before = ReadBytes(path);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        Type(form, QStringLiteral("more"));

        form.actSave->trigger();
        QCOMPARE(errors.messages.size(), 1);
        const QString expectedStart = QStringLiteral("ファイル %1 を作成できません\r").arg(path);
        QVERIFY2(errors.messages[0].startsWith(expectedStart), qPrintable(errors.messages[0]));
        QVERIFY(errors.messages[0].size() > expectedStart.size() + 1);  // the system's cause follows
        QVERIFY(form.Modified());
        QCOMPARE(form.windowTitle(), Caption(QStringLiteral("locked.trm"), "SJIS", true));
        QCOMPARE(ReadBytes(path), before);

        // Through the prompt, the failed save abandons the new document.
        answers.messageAnswers.push_back(forms::mrYes);
        form.actNew->trigger();
        QCOMPARE(errors.messages.size(), 2);
        QCOMPARE(form.FileName(), path);
        QVERIFY(RootText(form).contains(QStringLiteral("more")));
        QCOMPARE(ReadBytes(path), before);
    }

    void shiftJisLossIsAskedFirst()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("emoji.trm"));
        TForm1 form;
        Answers answers(form);
        Type(form, QStringLiteral("a😀b"));
        const QString question = QStringLiteral(
            "この文書には Shift_JIS で保存できない文字が 1 個あります。\r\r"
            "UTF-8 に切り替えて保存しますか？\r"
            "「いいえ」を選ぶと、それらの文字を「?」に置き換えて Shift_JIS で保存します。");

        answers.fileAnswers.push_back(Answers::Choose(path));
        form.actSave->trigger();  // answered Cancel
        QCOMPARE(answers.asked.size(), std::size_t(1));
        QCOMPARE(answers.asked[0].text, question);
        QCOMPARE(answers.asked[0].type, TMsgDlgType::mtConfirmation);
        QVERIFY(!QFileInfo::exists(path));
        QVERIFY(form.Modified());
        QCOMPARE(form.Encoding(), nanxml::deShiftJIS);

        answers.fileAnswers.push_back(Answers::Choose(path));
        answers.messageAnswers.push_back(forms::mrNo);
        form.actSave->trigger();
        QVERIFY(ReadBytes(path).contains("a?b\r\n"));
        QVERIFY(!form.Modified());

        Type(form, QStringLiteral("c"));
        answers.messageAnswers.push_back(forms::mrYes);
        form.actSave->trigger();
        QCOMPARE(form.Encoding(), nanxml::deUTF8);
        QCOMPARE(form.windowTitle(), Caption(QStringLiteral("emoji.trm"), "UTF8"));
        QVERIFY(ReadBytes(path).contains("a😀b"));
        QCOMPARE(answers.asked.size(), std::size_t(3));
    }

    void aFailedOpenLeavesTheNewUnnamedDocument()
    {
        QTemporaryDir folder;
        const QString missing = folder.filePath(QStringLiteral("missing.trm"));
        const QString badUtf8 = folder.filePath(QStringLiteral("bad.trm"));
        WriteBytes(badUtf8, "<?xml version=\"1.0\" encoding=\"UTF-8\"?><velmora><node name=\"\xff\"/></velmora>");
        const QString good = MakeDocument(folder.filePath(QStringLiteral("good.trm")));
        ShownErrors errors;
        TForm1 form;
        Answers answers(form);
        form.OpenDocument(good);

        answers.fileAnswers.push_back(Answers::Choose(missing));  // a typed name that does not exist
        form.actOpen->trigger();
        QCOMPARE(errors.messages, QStringList{QStringLiteral("ファイル %1 は開けません.").arg(missing)});
        QCOMPARE(form.windowTitle(), Caption(kPlaceholder, "SJIS"));
        QCOMPARE(form.FileName(), kPlaceholder);
        QVERIFY(!form.Modified());
        QCOMPARE(form.Document().Root().ChildCount(), std::size_t(0));

        Drop(form, {badUtf8});
        QCOMPARE(errors.messages.size(), 2);
        QVERIFY2(errors.messages[1].contains(QStringLiteral("UTF-8 として正しくないバイト列があります")),
                 qPrintable(errors.messages[1]));
        QCOMPARE(form.FileName(), kPlaceholder);
        QCOMPARE(form.HistoryMenu().DataList(), std::vector<std::string>{good.toStdString()});

        // Not a document, or not a file at all: refused without waiting, and a later save
        // asks for a name instead of replacing what the user opened by mistake.
        const QString text = folder.filePath(QStringLiteral("notes.txt"));
        WriteBytes(text, "plain text\n");
        const QString fifo = folder.filePath(QStringLiteral("fifo"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        Drop(form, {text});
        form.RunCommand([&] { form.OpenDocument(fifo); });  // as from the command line
        QCOMPARE(errors.messages.mid(2), (QStringList{QStringLiteral("ファイル %1 はツリーメモの文書ではありません.").arg(text),
                                                      QStringLiteral("ファイル %1 は開けません.").arg(fifo)}));
        Type(form, QStringLiteral("x"));
        form.actSave->trigger();
        QCOMPARE(answers.dialogs, (QStringList{QStringLiteral("OpenDialog1"), QStringLiteral("SaveDialog1")}));
        QCOMPARE(ReadBytes(text), QByteArray("plain text\n"));
    }

    // Another program's change to the open file is not overwritten without asking; a file
    // cut short is reported on opening; Save As proposes a folder that still exists.
    void savingRespectsTheFileOnDisk()
    {
        QTemporaryDir folder;
        QDir(folder.path()).mkpath(QStringLiteral("sub"));
        const QString path = MakeDocument(folder.filePath(QStringLiteral("sub/memo.trm")));
        TForm1 form;
        Answers answers(form);
        form.OpenDocument(path);
        QVERIFY(answers.asked.empty());
        Type(form, QStringLiteral("mine"));
        WriteBytes(path, "theirs");
        const QString question =
            QStringLiteral("ファイル %1 は、開いた後にほかのプログラムによって変更されています。\r上書きして保存しますか？").arg(path);
        answers.messageAnswers = {forms::mrCancel, forms::mrYes};
        form.actSave->trigger();
        QCOMPARE(ReadBytes(path), QByteArray("theirs"));
        QCOMPARE(form.windowTitle(), Caption(QStringLiteral("memo.trm"), "SJIS", true));
        form.actSave->trigger();
        QVERIFY(ReadBytes(path).contains("mine"));
        QVERIFY(!form.Modified());
        QCOMPARE(answers.asked.size(), std::size_t(2));
        for (const AskedMessage& asked : answers.asked) {
            QCOMPARE(asked.text, question);
            QCOMPARE(asked.type, TMsgDlgType::mtWarning);
            QCOMPARE(asked.buttons, TMsgDlgBtn::mbYes | TMsgDlgBtn::mbCancel);
        }
        // Our own save is no change by another program.
        Type(form, QStringLiteral("again"));
        form.actSave->trigger();
        QCOMPARE(answers.asked.size(), std::size_t(2));
        QVERIFY(ReadBytes(path).contains("again"));

        const QByteArray whole = ReadBytes(path);
        WriteBytes(path, whole.left(whole.size() - 10));
        form.OpenDocument(path);
        QCOMPARE(answers.asked.size(), std::size_t(3));
        QCOMPARE(answers.asked.back().text,
                 QStringLiteral("ファイル %1 は途中で終わっています。文書の一部が欠けているおそれがあります。").arg(path));
        QCOMPARE(answers.asked.back().type, TMsgDlgType::mtWarning);

        QVERIFY(QDir(folder.filePath(QStringLiteral("sub"))).removeRecursively());
        QStringList proposed;
        answers.fileAnswers.push_back([&](QFileDialog& dialog) {
            proposed = dialog.selectedFiles();
            return int(QDialog::Rejected);
        });
        form.actSaveAs->trigger();
        QCOMPARE(proposed, QStringList{folder.filePath(QStringLiteral("memo.trm"))});
    }

    // A save of a hard-linked file rewrites it in place after a backup; cut short, the file
    // may be garbled or unreadable. Opening it offers the backup's whole old contents.
    void aSaveCutShortOffersItsBackup()
    {
        QTemporaryDir folder;
        const QString path = MakeDocument(folder.filePath(QStringLiteral("memo.trm")), QStringLiteral("before"));
        const QString link = folder.filePath(QStringLiteral("link.trm"));
        QVERIFY(::link(QFile::encodeName(path).constData(), QFile::encodeName(link).constData()) == 0);
        const QString backup = folder.filePath(QStringLiteral(".memo.trm.Ab3dEf~"));
        QVERIFY(QFile::copy(path, backup));
        const QByteArray old = ReadBytes(path);
        for (const QByteArray& cutShort : {QByteArray("<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><vel"),
                                           old.left(old.size() / 2)}) {
            WriteBytes(path, cutShort);
            ShownErrors errors;
            TForm1 form;
            Answers answers(form);
            answers.messageAnswers = {forms::mrYes};
            form.RunCommand([&] { form.OpenDocument(path); });
            QVERIFY(errors.messages.isEmpty());
            QCOMPARE(answers.asked.size(), std::size_t(1));
            QVERIFY2(answers.asked.back().text.startsWith(
                         QStringLiteral("ファイル %1 の前回の保存は途中で終わったため").arg(path)),
                     qPrintable(answers.asked.back().text));
            QCOMPARE(RootText(form), QStringLiteral("before\r\n"));
            QCOMPARE(form.FileName(), path);
            QCOMPARE(form.windowTitle(), Caption(QStringLiteral("memo.trm"), "SJIS", true));
            QCOMPARE(ReadBytes(path), cutShort);  // nothing written before a save
            QVERIFY(QFile::exists(backup));
        }
        // Saved: the whole document for both names of the file, and the backup is gone.
        TForm1 form;
        Answers answers(form);
        answers.messageAnswers = {forms::mrYes};
        form.RunCommand([&] { form.OpenDocument(path); });
        form.actSave->trigger();
        QVERIFY(!form.Modified());
        QCOMPARE(WithoutStamp(ReadBytes(path)), WithoutStamp(old));
        QCOMPARE(ReadBytes(link), ReadBytes(path));
        QVERIFY(!QFile::exists(backup));
    }

    void droppingThreeFilesOpensTheFirst()
    {
        QTemporaryDir folder;
        const QString a = MakeDocument(folder.filePath(QStringLiteral("a.trm")), QStringLiteral("A"));
        const QString b = MakeDocument(folder.filePath(QStringLiteral("b.trm")), QStringLiteral("B"));
        const QString c = MakeDocument(folder.filePath(QStringLiteral("c.trm")), QStringLiteral("C"));
        TForm1 form;
        Drop(form, {a, b, c});
        QCOMPARE(form.FileName(), a);
        QCOMPARE(RootText(form), QStringLiteral("A\r\n"));
        QCOMPARE(form.HistoryMenu().DataList(), std::vector<std::string>{a.toStdString()});
    }

    void recentFilesMenuShowsTheListAndAsksAboutAMissingFile()
    {
        QTemporaryDir folder;
        const QString kept = MakeDocument(folder.filePath(QStringLiteral("kept.trm")));
        const QString gone = MakeDocument(folder.filePath(QStringLiteral("gone.trm")));
        TForm1 form;
        QStringList removalQuestions;
        bool removeAnswer = false;
        form.HistoryMenu().AskRemove = [&](const std::string& text) {
            removalQuestions.append(QString::fromStdString(text));
            return removeAnswer;
        };
        const QList<QPointer<QAction>>& items = form.HistoryMenuBinding().MenuItems();
        QCOMPARE(items.size(), 16);
        const QList<QAction*> all = form.mnuHistory->actions();
        QCOMPARE(all.size(), 19);
        QVERIFY(all[16]->isSeparator());
        QCOMPARE(all[17]->text(), QStringLiteral("クリア(&C)"));
        QCOMPARE(all[18]->text(), QStringLiteral("存在しないファイルをクリア(&N)"));

        emit form.menuBar()->actions().first()->menu()->aboutToShow();  // File1Click
        QVERIFY(!form.mnuHistory->menuAction()->isEnabled());

        form.OpenDocument(kept);
        form.OpenDocument(gone);
        QVERIFY(items[0]->isVisible() && items[1]->isVisible() && !items[2]->isVisible());
        QCOMPARE(items[0]->text(), QStringLiteral("&1 ") + gone);
        QCOMPARE(items[1]->text(), QStringLiteral("&2 ") + kept);
        emit form.menuBar()->actions().first()->menu()->aboutToShow();
        QVERIFY(form.mnuHistory->menuAction()->isEnabled());

        QFile::remove(gone);
        form.actNew->trigger();
        items[0]->trigger();  // answered No: kept, nothing opened
        QCOMPARE(removalQuestions,
                 QStringList{QStringLiteral("ファイルが見つかりません。\r\n%1\r\n履歴から削除しますか？").arg(gone)});
        QCOMPARE(form.HistoryMenu().Count(), 2);
        QCOMPARE(form.FileName(), kPlaceholder);
        removeAnswer = true;
        items[0]->trigger();
        QCOMPARE(form.HistoryMenu().DataList(), std::vector<std::string>{kept.toStdString()});
        QCOMPARE(items[0]->text(), QStringLiteral("&1 ") + kept);
        QVERIFY(!items[1]->isVisible());
        QCOMPARE(form.FileName(), kPlaceholder);

        items[0]->trigger();
        QCOMPARE(form.FileName(), kept);
        all[18]->trigger();  // nothing missing: nothing removed
        QCOMPARE(form.HistoryMenu().Count(), 1);
        all[17]->trigger();
        QCOMPARE(form.HistoryMenu().Count(), 0);
        QVERIFY(!items[0]->isVisible());
    }
};

QTEST_MAIN(TestLifecycle)
#include "test_lifecycle.moc"
