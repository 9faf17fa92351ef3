// The window's recovery copies: written when the program is ended from outside, offered by
// the next window once their process is gone (restore, decide later, discard), and a folder
// that cannot be written reported once.
#include "LifecycleTestSupport.h"

#include "document/RecoveryStore.h"
#include "document/TrmFormat.h"

#include <QPlainTextEdit>
#include <QTest>


namespace {

// The copy of the window that ran here, as a crash would leave it: nobody holds its lock.
void LeaveAsIfCrashed(const document::RecoveryStore& store)
{
    QCOMPARE(store.FindStale().stale.size(), std::size_t(0));  // a running window's copy is never offered
    const QStringList copies = QDir(QString::fromStdString(store.Folder())).entryList({QStringLiteral("*.info")});
    QCOMPARE(copies.size(), 1);
    const std::string id = QFileInfo(copies[0]).completeBaseName().toStdString();
    store.Adopt({id, {}}, "crashed", {"", nanxml::deUTF8, 1000, document::TProcessIdentity::Current(), {}});
}

}  // namespace

class TestRecovery : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { SetApplicationTitle(QStringLiteral("ヴェルモラ")); }

    void aCopyLeftByAGoneProcessIsOfferedAndRestored()
    {
        QTemporaryDir folder;
        TempSettings settings(folder.path());
        settings.recovery = folder.filePath(QStringLiteral("state/recovery")).toStdString();
        const document::RecoveryStore store(*settings.recovery);
        const QString expected = folder.filePath(QStringLiteral("expected.trm"));
        {
            TForm1 form(settings.Startup());
            form.Memo1->insertPlainText(QStringLiteral("打ちかけ\nの文"));
            form.StoreEditorText();
            document::WriteDocument(expected.toStdString(), form.Document(), form.Selected(), nanxml::deUTF8);
            form.EndFromOutside();
            QCOMPARE(store.FindStale().stale.size(), std::size_t(0));
            LeaveAsIfCrashed(store);
        }
        QCOMPARE(store.FindStale().stale.size(), std::size_t(1));  // the ended window kept it

        // Decide later, then restore.
        for (const int answer : {forms::mrCancel, forms::mrYes}) {
            settings.answer = forms::mrYes;
            QStringList asked;
            const TVistaMessageRunner previous = SetVistaMessageRunner([&](THxVistaMessageForm& box) {
                asked << box.MessageText();
                return answer;
            });
            TForm1 form(settings.Startup());
            SetVistaMessageRunner(previous);
            QCOMPARE(asked.size(), 1);
            QVERIFY2(asked[0].startsWith(QStringLiteral("保存されていない変更を含む文書を復元できます。\r\r文書: （ファイル名未設定）\r")),
                     qPrintable(asked[0]));
            if (answer == forms::mrCancel) {
                QVERIFY(!form.Modified());
                continue;
            }
            QCOMPARE(form.Memo1->toPlainText(), QStringLiteral("打ちかけ\nの文"));
            QVERIFY(form.Modified());
            QCOMPARE(form.windowTitle(), QStringLiteral("（ファイル名未設定） - ヴェルモラ (UTF8) *"));
            // The window holds the copy now; given up, it goes.
            QVERIFY(store.FindStale().stale.empty());
            // Saved, it is what the ended window held, byte for byte.
            Answers answers(form);
            const QString saved = folder.filePath(QStringLiteral("saved.trm"));
            answers.fileAnswers.push_back(Answers::Choose(saved));
            form.actSaveAs->trigger();
            QCOMPARE(WithoutStamp(ReadBytes(saved)), WithoutStamp(ReadBytes(expected)));
            form.Memo1->insertPlainText(QStringLiteral("more"));
            answers.messageAnswers = {forms::mrNo};
            form.actNew->trigger();
        }
        QVERIFY(QDir(QString::fromStdString(store.Folder())).entryList(QDir::Files).isEmpty());
    }

    void aFolderThatCannotBeWrittenIsReportedOnce()
    {
        QTemporaryDir folder;
        WriteBytes(folder.filePath(QStringLiteral("file")), "not a folder");
        TempSettings settings(folder.path());
        settings.recovery = folder.filePath(QStringLiteral("file/recovery")).toStdString();
        TForm1 form(settings.Startup());
        Answers answers(form);
        for (int i = 0; i < 2; ++i) {
            form.Memo1->insertPlainText(QStringLiteral("x"));
            form.EndFromOutside();
        }
        QCoreApplication::processEvents();
        QCOMPARE(answers.asked.size(), std::size_t(1));
        QVERIFY2(answers.asked[0].text.startsWith(QStringLiteral("復元用のコピーを書き込めません。")),
                 qPrintable(answers.asked[0].text));
        QVERIFY(form.Modified());  // editing goes on
    }
};

QTEST_MAIN(TestRecovery)
#include "test_recovery.moc"
