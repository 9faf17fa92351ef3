#include "forms/ErrorGuard.h"
#include "forms/FormBase.h"
#include "forms/MessageDialogLayout.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include <stdexcept>

using forms::TMsgDlgBtn;
using forms::TMsgDlgType;
using B = forms::TMsgDlgBtn;

namespace {

// Answers every message dialog with a key press and remembers what it showed.
struct ScriptedAnswer {
    QString caption;
    QString message;
    bool hasErrorIcon = false;
    QPoint position;
    int calls = 0;
    TVistaMessageRunner previous;

    explicit ScriptedAnswer(Qt::Key key)
    {
        previous = SetVistaMessageRunner([this, key](THxVistaMessageForm& dialog) {
            ++calls;
            caption = dialog.windowTitle();
            message = dialog.findChild<QLabel*>(QStringLiteral("Message"))->text();
            hasErrorIcon = dialog.findChild<QLabel*>(QStringLiteral("Image")) != nullptr;
            position = dialog.pos();
            dialog.show();
            QTest::keyClick(&dialog, key);
            return dialog.result();
        });
    }
    ~ScriptedAnswer() { SetVistaMessageRunner(previous); }
};

forms::DialogUnits UnitsOf(const QFont& font)
{
    const QFontMetrics metrics(font);
    return forms::DialogUnitsFrom(
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")),
        metrics.height());
}

int PressAndResult(forms::TMsgDlgButtons buttons, Qt::Key key)
{
    auto dialog = CreateVistaMessageDialog(QStringLiteral("質問"), TMsgDlgType::mtConfirmation, buttons);
    dialog->show();
    QTest::keyClick(dialog.get(), key);
    return dialog->isVisible() ? -1 : dialog->result();
}

// Types a key with modifiers into the focused button, as a user would; -1 while the dialog
// stays open.
int TypeAndResult(THxVistaMessageForm& dialog, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    dialog.show();
    QTest::keyClick(dialog.focusWidget(), key, modifiers);
    return dialog.isVisible() ? -1 : dialog.result();
}

std::unique_ptr<THxVistaMessageForm> Question(forms::TMsgDlgButtons buttons)
{
    return CreateVistaMessageDialog(QStringLiteral("質問"), TMsgDlgType::mtConfirmation, buttons);
}

}  // namespace

class TestHxVista : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { SetApplicationTitle(QStringLiteral("ヴェルモラ")); }

    void buttonsInTableOrderWithCaptionsNamesAndLayout()
    {
        auto dialog = CreateVistaMessageDialog(QStringLiteral("保存しますか？"), TMsgDlgType::mtWarning,
                                               B::mbCancel | B::mbNo | B::mbYes | B::mbHelp);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("警告"));
        const QStringList names{"Yes", "No", "Cancel", "Help"};
        const QStringList captions{"はい(&Y)", "いいえ(&N)", "キャンセル", "ヘルプ(&H)"};
        int lastRight = -1;
        int width = -1;
        for (int i = 0; i < names.size(); ++i) {
            auto* button = dialog->findChild<QPushButton*>(names[i]);
            QVERIFY2(button, qPrintable(names[i]));
            QCOMPARE(button->text(), captions[i]);
            QVERIFY(button->x() > lastRight);
            if (width >= 0)
                QCOMPARE(button->width(), width);
            width = button->width();
            lastRight = button->geometry().right();
        }
        QCOMPARE(dialog->findChildren<QPushButton*>().size(), 4);
        auto* image = dialog->findChild<QLabel*>(QStringLiteral("Image"));
        QVERIFY(image);
        QCOMPARE(image->size(), QSize(32, 32));
        QVERIFY(!image->pixmap().isNull());
        QCOMPARE(dialog->findChild<QLabel*>(QStringLiteral("Message"))->text(), QStringLiteral("保存しますか？"));
        // The row is centred in the client area.
        const int left = dialog->findChild<QPushButton*>(QStringLiteral("Yes"))->x();
        QVERIFY(qAbs(left - (dialog->width() - 1 - lastRight)) <= 1);
    }

    void resultsOfClicksCloseBoxAndHelp()
    {
        const std::pair<B, int> cases[] = {
            {B::mbYes, 6}, {B::mbNo, 7}, {B::mbOK, 1}, {B::mbCancel, 2}, {B::mbAbort, 3}, {B::mbRetry, 4},
            {B::mbIgnore, 5}, {B::mbAll, 8}, {B::mbNoToAll, 9}, {B::mbYesToAll, 10},
        };
        for (auto [kind, result] : cases) {
            auto dialog = CreateVistaMessageDialog(QStringLiteral("x"), TMsgDlgType::mtInformation, 0x07FF);
            dialog->show();
            dialog->Button(kind)->click();
            QVERIFY(!dialog->isVisible());
            QCOMPARE(dialog->result(), result);
        }
        auto dialog = CreateVistaMessageDialog(QStringLiteral("x"), TMsgDlgType::mtInformation,
                                               B::mbOK | B::mbHelp);
        dialog->show();
        dialog->Button(B::mbHelp)->click();
        QVERIFY(dialog->isVisible());  // Help does not close
        dialog->close();
        QCOMPARE(dialog->result(), 2);  // the close box answers Cancel
    }

    void enterAndEscapePerButtonSet()
    {
        QCOMPARE(PressAndResult(B::mbYes | B::mbNo | B::mbCancel, Qt::Key_Return), 6);
        QCOMPARE(PressAndResult(B::mbYes | B::mbNo | B::mbCancel, Qt::Key_Escape), 2);
        QCOMPARE(PressAndResult(B::mbYes | B::mbNo, Qt::Key_Return), 6);
        QCOMPARE(PressAndResult(B::mbYes | B::mbNo, Qt::Key_Escape), 7);
        QCOMPARE(PressAndResult(B::mbOK | B::mbCancel, Qt::Key_Enter), 1);
        QCOMPARE(PressAndResult(B::mbOK | B::mbCancel, Qt::Key_Escape), 2);
        QCOMPARE(PressAndResult(forms::ButtonBit(B::mbOK), Qt::Key_Return), 1);
        QCOMPARE(PressAndResult(forms::ButtonBit(B::mbOK), Qt::Key_Escape), 1);
        QCOMPARE(PressAndResult(B::mbAbort | B::mbRetry | B::mbIgnore, Qt::Key_Return), 4);
        QCOMPARE(PressAndResult(B::mbAbort | B::mbRetry | B::mbIgnore, Qt::Key_Escape), -1);  // stays open
    }

    void underlinedLetterAlonePressesItsButton()
    {
        QCOMPARE(TypeAndResult(*Question(B::mbYes | B::mbNo | B::mbCancel), Qt::Key_N), 7);
        QCOMPARE(TypeAndResult(*Question(B::mbYes | B::mbNo | B::mbCancel), Qt::Key_Y), 6);
        QCOMPARE(TypeAndResult(*Question(B::mbYes | B::mbNo), Qt::Key_N, Qt::ShiftModifier), 7);
        QCOMPARE(TypeAndResult(*Question(B::mbYes | B::mbNo), Qt::Key_N, Qt::AltModifier), 7);
        QCOMPARE(TypeAndResult(*Question(B::mbYes | B::mbNo), Qt::Key_N, Qt::ControlModifier), -1);
        QCOMPARE(TypeAndResult(*Question(B::mbYes | B::mbNo | B::mbCancel), Qt::Key_C), -1);  // キャンセル has none
        QCOMPARE(TypeAndResult(*Question(B::mbAbort | B::mbRetry | B::mbIgnore), Qt::Key_I), 5);
        QCOMPARE(TypeAndResult(*Question(B::mbAbort | B::mbRetry | B::mbIgnore), Qt::Key_A), 3);

        // A letter that two buttons share moves the focus between them and presses neither.
        auto shared = Question(B::mbAbort | B::mbIgnore | B::mbAll);
        QCOMPARE(TypeAndResult(*shared, Qt::Key_A), -1);
        QCOMPARE(shared->focusWidget(), shared->Button(B::mbAll));
        QCOMPARE(TypeAndResult(*shared, Qt::Key_A), -1);
        QCOMPARE(shared->focusWidget(), shared->Button(B::mbAbort));
        QCOMPARE(TypeAndResult(*shared, Qt::Key_Return), 3);
    }

    void captionRulesAndOwnership()
    {
        QCOMPARE(CreateVistaMessageDialog("x", TMsgDlgType::mtError, 4)->windowTitle(), QStringLiteral("エラー"));
        QCOMPARE(CreateVistaMessageDialog("x", TMsgDlgType::mtInformation, 4)->windowTitle(), QStringLiteral("情報"));
        QCOMPARE(CreateVistaMessageDialog("x", TMsgDlgType::mtConfirmation, 4)->windowTitle(), QStringLiteral("確認"));
        auto custom = CreateVistaMessageDialog("x", TMsgDlgType::mtCustom, 4);
        QCOMPARE(custom->windowTitle(), QStringLiteral("ヴェルモラ"));
        QVERIFY(!custom->findChild<QLabel*>(QStringLiteral("Image")));

        // Before any form exists a dialog has no owner.
        QVERIFY(!PrimaryForm());
        QVERIFY(!CreateVistaMessageDialog("x", TMsgDlgType::mtWarning, 4)->parentWidget());

        THxVistaForm<QMainWindow> mainWindow;
        THxVistaForm<QDialog> laterForm;
        QCOMPARE(PrimaryForm(), &mainWindow);
        QVERIFY(!mainWindow.parentWidget());
        QCOMPARE(laterForm.parentWidget(), &mainWindow);
        QVERIFY(laterForm.isWindow());

        auto owned = CreateVistaMessageDialog("x", TMsgDlgType::mtWarning, 4, false);
        QCOMPARE(owned->parentWidget(), &mainWindow);
        QVERIFY(owned->isWindow());
        auto ownButton = CreateVistaMessageDialog("x", TMsgDlgType::mtConfirmation, B::mbYes | B::mbNo, true);
        QVERIFY(!ownButton->parentWidget());
        QVERIFY(dynamic_cast<THxVistaMessageFormTaskBar*>(ownButton.get()));
        QCOMPARE(ownButton->windowTitle(), QStringLiteral("ヴェルモラ"));
    }

    void minimumWidthsAndIconHeight()
    {
        auto dialog = CreateVistaMessageDialog(QStringLiteral("a"), TMsgDlgType::mtInformation,
                                               forms::ButtonBit(B::mbOK));
        const forms::MessageMetrics m = forms::MetricsFor(UnitsOf(dialog->font()));
        auto* ok = dialog->Button(B::mbOK);
        QCOMPARE(ok->width(), forms::MulDiv(50, UnitsOf(dialog->font()).x, 4));
        QCOMPARE(ok->height(), m.buttonHeight);
        QVERIFY(dialog->width() >= ok->width() + 2 * m.horizontalMargin);
        // A one-line message still leaves the 32-pixel icon its height.
        QCOMPARE(ok->y(), 32 + m.verticalMargin + m.verticalSpacing);
        QCOMPARE(dialog->height(), 32 + m.buttonHeight + m.verticalSpacing + 2 * m.verticalMargin);
    }

    void longTextWrapsAndLineBreaksAreKept()
    {
        const int half = QGuiApplication::primaryScreen()->geometry().width() / 2;
        QString longText;
        for (int i = 0; i < 60; ++i)
            longText += QStringLiteral("word%1 ").arg(i);
        auto dialog = CreateVistaMessageDialog(longText, TMsgDlgType::mtWarning, forms::ButtonBit(B::mbOK));
        auto* label = dialog->findChild<QLabel*>(QStringLiteral("Message"));
        const QFontMetrics metrics(dialog->font());
        QVERIFY(metrics.horizontalAdvance(longText) > half);
        QVERIFY(label->width() <= half);
        QVERIFY(label->height() >= 2 * metrics.height());
        QVERIFY(label->wordWrap());

        auto broken = CreateVistaMessageDialog(QStringLiteral("一行目\r二行目"), TMsgDlgType::mtWarning, 4);
        auto* brokenLabel = broken->findChild<QLabel*>(QStringLiteral("Message"));
        QCOMPARE(brokenLabel->text(), QStringLiteral("一行目\n二行目"));
        QVERIFY(brokenLabel->height() >= 2 * metrics.height());
        QCOMPARE(broken->MessageText(), QStringLiteral("一行目\r二行目"));

        // One word wider than half the screen widens the text beyond it.
        auto wide = CreateVistaMessageDialog(QString(half / 2, QLatin1Char('W')), TMsgDlgType::mtWarning, 4);
        QVERIFY(wide->findChild<QLabel*>(QStringLiteral("Message"))->width() > half);
    }

    void ctrlCCopiesTheDialogText()
    {
        auto dialog = CreateVistaMessageDialog(QStringLiteral("ファイル a.trm の内容は変更されています。\r変更を保存しますか？"),
                                               TMsgDlgType::mtWarning, B::mbYes | B::mbNo | B::mbCancel);
        dialog->show();
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(dialog.get(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(QGuiApplication::clipboard()->text().isEmpty());  // only Ctrl alone copies
        QTest::keyClick(dialog.get(), Qt::Key_C, Qt::ControlModifier);
        const QByteArray divider = "---------------------------\r\n";
        const QByteArray expected = divider + "警告\r\n" + divider +
                                    "ファイル a.trm の内容は変更されています。\r変更を保存しますか？\r\n" + divider +
                                    "はい(Y)   いいえ(N)   キャンセル   \r\n" + divider;
        QCOMPARE(QGuiApplication::clipboard()->text().toUtf8(), expected);
        QVERIFY(dialog->isVisible());  // copying answers nothing
    }

    void dialogsAreCentredOnTheScreen()
    {
        auto dialog = CreateVistaMessageDialog(QStringLiteral("中央"), TMsgDlgType::mtInformation, 4);
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(dialog->pos(), QPoint(screen.width() / 2 - dialog->frameGeometry().width() / 2,
                                       screen.height() / 2 - dialog->frameGeometry().height() / 2));
    }

    void messageDlgCentresAndReturnsTheAnswer()
    {
        ScriptedAnswer answer(Qt::Key_Escape);
        const int result = VistaMessageDlg(QStringLiteral("変更を保存しますか？"), TMsgDlgType::mtWarning,
                                           B::mbYes | B::mbNo | B::mbCancel);
        QCOMPARE(result, 2);
        QCOMPARE(answer.calls, 1);
        QCOMPARE(answer.caption, QStringLiteral("警告"));
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QVERIFY(answer.position.x() > 0 && answer.position.x() < screen.width() / 2);
        QVERIFY(answer.position.y() > 0 && answer.position.y() < screen.height() / 2);
    }

    void errorDisplayShowsTheMessageAndCarriesOn()
    {
        ScriptedAnswer answer(Qt::Key_Return);
        bool after = false;
        Guarded([] { throw std::runtime_error("ファイル /tmp/x.trm は開けません"); });
        after = true;
        QVERIFY(after);
        QCOMPARE(answer.calls, 1);
        QCOMPARE(answer.caption, QStringLiteral("ヴェルモラ"));
        QCOMPARE(answer.message, QStringLiteral("ファイル /tmp/x.trm は開けません."));
        QVERIFY(answer.hasErrorIcon);

        Guarded([] { throw std::runtime_error("done."); });
        QCOMPARE(answer.message, QStringLiteral("done."));
        Guarded([] { throw 42; });
        QCOMPARE(answer.message, UnknownErrorMessage() + QLatin1Char('.'));
        Guarded([] {});
        QCOMPARE(answer.calls, 3);
    }
};

QTEST_MAIN(TestHxVista)
#include "test_form_base.moc"
