// Start-up and shut-down of the main window: the first document, the remembered settings in
// both back ends, placement, the old XML settings file and the storage switch.
#include "LifecycleTestSupport.h"

#include "document/TrmFormat.h"

#include <QAction>
#include <QFontInfo>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTest>
#include <QTreeView>

#include <memory>

using settings::isIni;
using settings::isRegistry;

namespace {

const QString kPlaceholder = QStringLiteral("（ファイル名未設定）");

QString MakeDocument(const QString& path)
{
    document::DocumentTree tree;
    tree.Root().Data().SetText("text\r\n");
    document::WriteDocument(path.toStdString(), tree, &tree.Root(), nanxml::deShiftJIS);
    return path;
}

QByteArray IniText(const QStringList& lines)
{
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

QString Entry(const char* name, const QString& value)
{
    return QLatin1String(name) + QLatin1Char('=') + value;
}

QString Entry(const char* name, int value)
{
    return Entry(name, QString::number(value));
}

// The "Preferences" lines of the window's current state, in their stored order.
QStringList PreferenceLines(const TForm1& form, const QRect& bounds, int state)
{
    const QString fileName = form.FileName();
    return {QStringLiteral("[Preferences]"),
            Entry("Form.Left", bounds.x()),
            Entry("Form.Top", bounds.y()),
            Entry("Form.Width", bounds.width()),
            Entry("Form.Height", bounds.height()),
            Entry("Form.State", state),
            Entry("LeftPaneWidth", form.Splitter1->sizes().value(0)),
            Entry("WardWrap", form.actWrap->isChecked() ? 1 : 0),
            Entry("Font.Name", form.Memo1->font().family()),
            Entry("Font.Size", QFontInfo(form.Memo1->font()).pointSize()),
            Entry("TreeFont.Name", form.TreeView1->font().family()),
            Entry("TreeFont.Size", QFontInfo(form.TreeView1->font()).pointSize()),
            Entry("EditingFileName", fileName),
            QString()};
}

const QStringList kEmptyRecentFiles{QStringLiteral("[RecentFiles]"), QStringLiteral("Count=0"),
                                    QStringLiteral("MaxCount=32"), QStringLiteral("VisibleCount=8"), QString()};

}  // namespace

class TestFormStartup : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { SetApplicationTitle(QStringLiteral("ヴェルモラ")); }

    void firstStartAsksOnceAndStoresTheDefaults()
    {
        QTemporaryDir folder;
        TempSettings settings(folder.path());
        QByteArray expected;
        {
            TForm1 form(settings.Startup());
            QCOMPARE(settings.questions, QStringList{QString::fromStdString(settings::THxIniFile2::FirstStartQuestionText())});
            QCOMPARE(ReadBytes(settings.IniPath()), QByteArray());  // the empty INI file of the answer Yes
            QCOMPARE(form.pos(), QPoint(128, 128));
            QVERIFY(form.actWrap->isChecked());
            QCOMPARE(form.FileName(), kPlaceholder);
            expected = IniText(PreferenceLines(form, QRect(128, 128, form.width(), form.height()), 0) + kEmptyRecentFiles);
        }
        QCOMPARE(ReadBytes(settings.IniPath()), expected);
        TForm1 again(settings.Startup());
        QCOMPARE(settings.questions.size(), 1);
        QCOMPARE(again.FileName(), kPlaceholder);  // the placeholder names no file
    }

    void startUpOpensTheArgumentElseTheRememberedFileElseANewDocument()
    {
        QTemporaryDir folder;
        TempSettings settings(folder.path());
        const QString remembered = MakeDocument(folder.filePath(QStringLiteral("remembered.trm")));
        const QString argument = MakeDocument(folder.filePath(QStringLiteral("argument.trm")));
        const QString missing = folder.filePath(QStringLiteral("missing.trm"));
        {
            TForm1 form(settings.Startup());
            form.OpenDocument(remembered);
        }
        {
            TForm1 form(settings.Startup({argument}));
            QCOMPARE(form.FileName(), argument);
            form.OpenDocument(remembered);
        }
        {
            TForm1 form(settings.Startup({missing}));
            QCOMPARE(form.FileName(), remembered);
            QCOMPARE(QString::fromStdString(form.HistoryMenu().DataList().front()), remembered);
            QCOMPARE(form.HistoryMenu().Count(), 2);
        }
        QFile::remove(remembered);
        TForm1 form(settings.Startup({missing}));
        QCOMPARE(form.FileName(), kPlaceholder);
        QCOMPARE(form.windowTitle(), QStringLiteral("（ファイル名未設定） - ヴェルモラ (SJIS)"));
    }

    void preferencesComeBackThroughBothBackEnds_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("INI file") << int(forms::mrYes);
        QTest::newRow("key store") << int(forms::mrNo);
    }

    void preferencesComeBackThroughBothBackEnds()
    {
        QFETCH(int, answer);
        QTemporaryDir folder;
        TempSettings settings(folder.path(), answer);
        const QString document = MakeDocument(folder.filePath(QStringLiteral("memo.trm")));
        {
            TForm1 form(settings.Startup());
            form.show();
            form.move(200, 150);
            form.resize(500, 300);
            form.Splitter1->setSizes({150, 347});
            form.actWrap->trigger();
            QFont text(QStringLiteral("TextFace"));
            text.setPointSize(14);
            form.Memo1->setFont(text);
            QFont tree(QStringLiteral("TreeFace"));
            tree.setPointSize(11);
            form.TreeView1->setFont(tree);
            form.HistoryMenu().AddFile("/elsewhere/old.trm");
            form.OpenDocument(document);
        }
        QCOMPARE(QFileInfo::exists(settings.IniPath()), answer == forms::mrYes);
        QCOMPARE(QFileInfo::exists(settings.KeyFolder() + QStringLiteral("/Preferences")), answer != forms::mrYes);

        TForm1 form(settings.Startup());
        QCOMPARE(settings.questions.size(), 1);
        QCOMPARE(form.pos(), QPoint(200, 150));
        QCOMPARE(form.size(), QSize(500, 300));
        QCOMPARE(form.windowState(), Qt::WindowNoState);
        QCOMPARE(form.Splitter1->sizes().value(0), 150);
        QVERIFY(!form.actWrap->isChecked());
        QCOMPARE(form.Memo1->lineWrapMode(), QPlainTextEdit::NoWrap);
        QCOMPARE(form.Memo1->font().family(), QStringLiteral("TextFace"));
        QCOMPARE(form.Memo1->font().pointSize(), 14);
        QCOMPARE(form.TreeView1->font().family(), QStringLiteral("TreeFace"));
        QCOMPARE(form.TreeView1->font().pointSize(), 11);
        QCOMPARE(form.FileName(), document);
        QCOMPARE(form.HistoryMenu().DataList(),
                 (std::vector<std::string>{document.toStdString(), "/elsewhere/old.trm"}));
        QCOMPARE(form.HistoryMenuBinding().MenuItems().value(1)->text(), QStringLiteral("&2 /elsewhere/old.trm"));
    }

    void maximisedAndMinimisedWindowsComeBackSo()
    {
        QTemporaryDir folder;
        TempSettings settings(folder.path());
        const QRect normal(100, 90, 400, 250);
        {
            TForm1 form(settings.Startup());
            form.move(normal.topLeft());
            form.resize(normal.size());
            form.show();
            form.ApplicationEvents1Idle();
            QCOMPARE(form.NormalBounds(), normal);
            form.showMaximized();
            QTRY_VERIFY(form.windowState() & Qt::WindowMaximized);
            QTRY_VERIFY(form.size() != normal.size());
        }
        const QByteArray maximised = ReadBytes(settings.IniPath());
        QVERIFY2(maximised.contains("Form.Left=100\r\nForm.Top=90\r\nForm.Width=400\r\nForm.Height=250\r\nForm.State=2\r\n"),
                 maximised.constData());
        {
            // Never in the normal state: its restored geometry is kept, not zeros.
            TForm1 form(settings.Startup());
            QVERIFY(form.windowState() & Qt::WindowMaximized);
            QCOMPARE(form.NormalBounds(), normal);
            form.show();
            QTRY_VERIFY(form.size() != normal.size());
        }
        QCOMPARE(ReadBytes(settings.IniPath()), maximised);
        {
            TForm1 form(settings.Startup());
            form.show();
            form.showNormal();
            QTRY_COMPARE(form.windowState(), Qt::WindowNoState);
            form.move(60, 70);
            form.resize(300, 200);
            form.showMinimized();
            QTRY_VERIFY(form.windowState() & Qt::WindowMinimized);
        }
        const QByteArray minimised = ReadBytes(settings.IniPath());
        QVERIFY2(minimised.contains("Form.Left=60\r\nForm.Top=70\r\nForm.Width=300\r\nForm.Height=200\r\nForm.State=1\r\n"),
                 minimised.constData());
        TForm1 form(settings.Startup());
        QVERIFY(form.windowState() & Qt::WindowMinimized);
    }

    void theOldXmlSettingsFileIsReadOnceAndRewrittenAsIni()
    {
        QTemporaryDir folder;
        TempSettings settings(folder.path());
        WriteBytes(settings.IniPath(), "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n"
                                       "<form left=\"40\" top=\"50\" width=\"420\" height=\"260\" state=\"0\" "
                                       "WardWrap=\"True\"><left size=\"140\"/></form>\r\n"
                                       "<font size=\"11\"><name>OldFace</name></font>\r\n");
        TForm1 form(settings.Startup());
        QVERIFY(settings.questions.isEmpty());
        QCOMPARE(form.pos(), QPoint(40, 50));
        QCOMPARE(form.size(), QSize(420, 260));
        QCOMPARE(form.Splitter1->sizes().value(0), 140);
        QVERIFY(!form.actWrap->isChecked());  // only the exact text "true" is true
        QCOMPARE(form.Memo1->font().family(), QStringLiteral("OldFace"));
        QCOMPARE(form.Memo1->font().pointSize(), 11);
        QCOMPARE(form.FileName(), kPlaceholder);

        // Rewritten at once, before the document was set up: no document name yet.
        QStringList lines = PreferenceLines(form, QRect(40, 50, 420, 260), 0);
        lines[12] = QStringLiteral("EditingFileName=");
        QCOMPARE(ReadBytes(settings.IniPath()), IniText(lines + kEmptyRecentFiles));
    }

    void theStorageSwitchGoesBothWaysAndCancelChangesNothing()
    {
        QTemporaryDir folder;
        TempSettings settings(folder.path());
        TForm1 form(settings.Startup());
        form.HistoryMenu().AddFile("/data/a.trm");
        QStringList shownKeys;
        std::vector<std::optional<settings::THxIniStyle>> shownKinds;
        std::optional<settings::THxIniStyle> choice;
        bool confirm = false;
        form.StorageDialog = [&](const QString& keyText, std::optional<settings::THxIniStyle>& kind) {
            shownKeys.append(keyText);
            shownKinds.push_back(kind);
            if (confirm)
                kind = choice;
            return confirm;
        };

        form.actIniStyle->trigger();
        QCOMPARE(shownKeys, QStringList{QStringLiteral("HKEY_CURRENT_USER\\Software\\Quillworks\\velmora")});
        QCOMPARE(shownKinds.back(), std::optional(isIni));
        QCOMPARE(ReadBytes(settings.IniPath()), QByteArray());  // cancelled: nothing written
        QVERIFY(!QFileInfo::exists(settings.KeyFolder()));

        confirm = true;
        choice = isRegistry;
        form.actIniStyle->trigger();
        QVERIFY(!QFileInfo::exists(settings.IniPath()));
        const QByteArray recent = ReadBytes(settings.KeyFolder() + QStringLiteral("/RecentFiles/values.txt"));
        QVERIFY2(recent.contains("/data/a.trm"), recent.constData());
        QVERIFY(QFileInfo::exists(settings.KeyFolder() + QStringLiteral("/Preferences/values.txt")));

        choice = isIni;
        form.actIniStyle->trigger();
        QCOMPARE(shownKinds.back(), std::optional(isRegistry));
        QVERIFY(!QFileInfo::exists(settings.KeyFolder()));
        const QByteArray ini = ReadBytes(settings.IniPath());
        QVERIFY(ini.startsWith("[Preferences]\r\nForm.Left="));
        QVERIFY(ini.contains("\r\n\r\n[RecentFiles]\r\nCount=1\r\nCaption0=/data/a.trm\r\nData0=/data/a.trm\r\n"));

        // The same kind again: nothing deleted, the settings saved at once.
        WriteBytes(settings.IniPath(), "[Preferences]\r\nExtra=1\r\n\r\n");
        form.actIniStyle->trigger();
        QVERIFY(ReadBytes(settings.IniPath()).startsWith("[Preferences]\r\nExtra=1\r\nForm.Left="));
        QCOMPARE(settings.questions.size(), 1);
    }
};

QTEST_MAIN(TestFormStartup)
#include "test_form_startup.moc"
