// The storage dialog: its layout, the explanations that select their options, and what
// Execute makes of OK and Cancel.
#include "settings/HxRegIniDlg.h"

#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

using settings::isIni;
using settings::isRegistry;

namespace {

QWidget* NextTabStop(QWidget* widget)
{
    QWidget* next = widget->nextInFocusChain();
    while (next != widget && !(next->focusPolicy() & Qt::TabFocus))
        next = next->nextInFocusChain();
    return next;
}

}  // namespace

class TestStorageDialog : public QObject {
    Q_OBJECT
private slots:
    void layout()
    {
        THxIniStyleDialog dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("アプリケーション設定の保存先"));
        // 472 x 208 for a face with tight lines; taller lines of a fallback face push the
        // lower controls down, so that nothing is cut.
        QCOMPARE(dialog.width(), 472);
        QVERIFY(dialog.height() >= 208);
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QCOMPARE(dialog.font().pixelSize(), 12);
        const int shift = dialog.height() - 208;
        QCOMPARE(dialog.rdoIni->pos(), QPoint(16, 8));
        QCOMPARE(dialog.rdoIni->text(), QStringLiteral("&INIファイルを使う"));
        QCOMPARE(dialog.Label4->x(), 32);
        QCOMPARE(dialog.Label4->width(), 425);
        QCOMPARE(dialog.Label4->text(), QStringLiteral("マルチユーザー環境には対応しませんが、アンインストールが簡単です。"
                                                       "シングルユーザー環境ではこちらをお勧めします。"));
        QCOMPARE(dialog.rdoRegistry->x(), 16);
        QCOMPARE(dialog.rdoRegistry->text(), QStringLiteral("レジストリを使う(&R)"));
        QCOMPARE(dialog.Label5->x(), 32);
        QCOMPARE(dialog.Label5->width(), 425);
        QCOMPARE(dialog.lblKeyPath->x(), 32);
        QCOMPARE(dialog.Button2->geometry(), QRect(232, 175 + shift, 113, 25));
        QCOMPARE(dialog.Button3->geometry(), QRect(352, 175 + shift, 113, 25));
        const QList<QWidget*> inOrder{dialog.rdoIni, dialog.Label4, dialog.rdoRegistry, dialog.Label5,
                                      dialog.lblKeyPath, dialog.Button2};
        for (qsizetype i = 0; i < inOrder.size(); ++i) {
            QWidget* control = inOrder[i];
            QVERIFY2(control->width() >= control->sizeHint().width() || control == dialog.Label4 ||
                         control == dialog.Label5,
                     qPrintable(control->objectName()));
            if (i > 0)
                QVERIFY2(inOrder[i - 1]->geometry().bottom() < control->y(), qPrintable(control->objectName()));
        }
        QVERIFY(dialog.Label4->wordWrap() && dialog.Label5->wordWrap());
        QVERIFY(dialog.Label4->height() >= dialog.Label4->heightForWidth(425));
        QVERIFY(dialog.Label5->height() >= dialog.Label5->heightForWidth(425));
        QCOMPARE(dialog.Button2->text(), QStringLiteral("OK"));
        QVERIFY(dialog.Button2->isDefault());
        QCOMPARE(dialog.Button3->text(), QStringLiteral("キャンセル"));
        QCOMPARE(NextTabStop(dialog.rdoIni), static_cast<QWidget*>(dialog.rdoRegistry));
        QCOMPARE(NextTabStop(dialog.rdoRegistry), static_cast<QWidget*>(dialog.Button2));
        QCOMPARE(NextTabStop(dialog.Button2), static_cast<QWidget*>(dialog.Button3));
    }

    void explanationsSelectTheirOptionsWithoutClosing()
    {
        THxIniStyleDialog dialog;
        dialog.show();
        QTest::mouseClick(dialog.Label5, Qt::LeftButton);
        QVERIFY(dialog.rdoRegistry->isChecked());
        QTest::mouseClick(dialog.Label4, Qt::LeftButton);
        QVERIFY(dialog.rdoIni->isChecked());
        QVERIFY(!dialog.rdoRegistry->isChecked());
        QVERIFY(dialog.isVisible());
    }

    void executeShowsTheKindAndReturnsTheChoice()
    {
        const QString key = QStringLiteral("HKEY_CURRENT_USER\\Software\\Quillworks\\velmora");
        std::optional<settings::THxIniStyle> kind;
        bool neitherChecked = false;
        QString shownKey;
        QVERIFY(THxIniStyleDialog::Execute(nullptr, key, kind, [&](THxIniStyleDialog& dialog) {
            neitherChecked = !dialog.rdoIni->isChecked() && !dialog.rdoRegistry->isChecked();
            shownKey = dialog.lblKeyPath->text();
            return int(QDialog::Accepted);
        }));
        QVERIFY(neitherChecked);
        QCOMPARE(shownKey, key);
        QVERIFY(!kind.has_value());  // OK with nothing checked leaves the kind unset

        kind = isIni;
        QVERIFY(THxIniStyleDialog::Execute(nullptr, key, kind, [](THxIniStyleDialog& dialog) {
            if (!dialog.rdoIni->isChecked())
                return int(QDialog::Rejected);
            dialog.show();
            QTest::mouseClick(dialog.rdoRegistry, Qt::LeftButton);
            QTest::mouseClick(dialog.Button2, Qt::LeftButton);
            return dialog.result();
        }));
        QCOMPARE(kind, std::optional(isRegistry));

        QVERIFY(!THxIniStyleDialog::Execute(nullptr, key, kind, [](THxIniStyleDialog& dialog) {
            dialog.show();
            dialog.rdoIni->setChecked(true);
            QTest::keyClick(&dialog, Qt::Key_Escape);
            return dialog.result();
        }));
        QCOMPARE(kind, std::optional(isRegistry));
    }
};

QTEST_MAIN(TestStorageDialog)
#include "test_storage_dialog.moc"
