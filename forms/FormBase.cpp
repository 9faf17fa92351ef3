#include "forms/FormBase.h"

#include "forms/ErrorGuard.h"
#include "forms/MessageDialogLayout.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include <utility>

using forms::TMsgDlgBtn;
using forms::TMsgDlgButtons;
using forms::TMsgDlgType;

namespace {

QString& TitleStore()
{
    static QString title;
    return title;
}

// Set once, to the first form made. A form that is destroyed leaves the place to the next
// one, so no window is ever parented to a dead one.
QPointer<QWidget>& PrimaryFormStore()
{
    static QPointer<QWidget> form;
    return form;
}

TVistaMessageRunner& RunnerStore()
{
    static TVistaMessageRunner runner;
    return runner;
}

QString FromUtf8(const char* text) { return QString::fromUtf8(text); }

// Message texts break lines with a lone CR; the label wants LF.
QString DisplayedMessage(QString message)
{
    message.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    message.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return message;
}

QStyle::StandardPixmap IconOf(TMsgDlgType type)
{
    switch (type) {
    case TMsgDlgType::mtWarning: return QStyle::SP_MessageBoxWarning;
    case TMsgDlgType::mtError: return QStyle::SP_MessageBoxCritical;
    case TMsgDlgType::mtInformation: return QStyle::SP_MessageBoxInformation;
    case TMsgDlgType::mtConfirmation: return QStyle::SP_MessageBoxQuestion;
    case TMsgDlgType::mtCustom: break;
    }
    return QStyle::SP_CustomBase;
}

QSize ScreenSize()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize(640, 480);
}

constexpr Qt::WindowFlags kMessageFormFlags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                              Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;

void LayOut(THxVistaMessageForm& form, TMsgDlgType type, bool taskbar)
{
    form.setLayoutDirection(QGuiApplication::layoutDirection());
    const QFont font = QApplication::font("QMessageBox");
    form.setFont(font);
    const QFontMetrics metrics(font);

    forms::MessageMeasures measures;
    measures.units = forms::DialogUnitsFrom(
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")),
        metrics.height());
    const std::vector<TMsgDlgBtn> kinds = forms::ButtonsInOrder(form.Buttons());
    for (TMsgDlgBtn kind : kinds) {
        const QString shown =
            QString::fromStdString(forms::StripMnemonics(forms::ButtonKindOf(kind).caption));
        measures.captionWidths.push_back(metrics.horizontalAdvance(shown));
    }
    const QString text = DisplayedMessage(form.MessageText());
    const QRect textBox = metrics.boundingRect(
        QRect(0, 0, forms::MessageWrapWidth(ScreenSize().width()), 0),
        Qt::AlignLeft | Qt::TextWordWrap | Qt::TextExpandTabs, text);
    measures.textWidth = textBox.width();
    measures.textHeight = textBox.height();
    measures.hasIcon = forms::TypeHasIcon(type);
    measures.rightToLeft = form.layoutDirection() == Qt::RightToLeft;

    const forms::MessageLayout layout = forms::LayOutMessageDialog(measures);
    form.setFixedSize(layout.clientWidth, layout.clientHeight);

    auto place = [](QWidget* widget, const forms::Rect& rect) {
        widget->setGeometry(rect.left, rect.top, rect.width, rect.height);
    };
    if (measures.hasIcon) {
        auto* image = new QLabel(&form);
        image->setObjectName(QStringLiteral("Image"));
        const int size = forms::kIconSize;
        image->setPixmap(form.style()->standardIcon(IconOf(type), nullptr, &form).pixmap(size, size));
        place(image, layout.icon);
    }
    auto* label = new QLabel(&form);
    label->setObjectName(QStringLiteral("Message"));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setText(text);
    place(label, layout.text);

    const std::optional<TMsgDlgBtn> defaultKind = forms::DefaultButton(form.Buttons());
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        const forms::ButtonKind& kind = forms::ButtonKindOf(kinds[i]);
        auto* button = new QPushButton(FromUtf8(kind.caption), &form);
        button->setObjectName(FromUtf8(kind.name));
        place(button, layout.buttons[i]);
        if (kind.modalResult != 0) {
            const int result = kind.modalResult;
            QObject::connect(button, &QPushButton::clicked, &form, [&form, result] {
                Guarded([&] { form.done(result); });
            });
        }
        if (kinds[i] == defaultKind) {
            button->setDefault(true);
            button->setFocus();
        }
    }
    if (!defaultKind && !kinds.empty())
        form.Button(kinds.front())->setFocus();

    form.setWindowTitle(QString::fromStdString(
        forms::DialogCaption(type, taskbar, ApplicationTitle().toStdString())));
}

}  // namespace

QString ApplicationTitle() { return TitleStore(); }
void SetApplicationTitle(const QString& title) { TitleStore() = title; }

QWidget* PrimaryForm() { return PrimaryFormStore().data(); }

void AdoptForm(QWidget* form)
{
    if (!PrimaryFormStore())
        PrimaryFormStore() = form;
}

THxVistaMessageForm::THxVistaMessageForm(const QString& message, TMsgDlgButtons buttons)
    : THxVistaMessageForm(message, buttons, PrimaryForm())
{
}

THxVistaMessageForm::THxVistaMessageForm(const QString& message, TMsgDlgButtons buttons, QWidget* owner)
    : QDialog(owner, kMessageFormFlags)
    , message_(message)
    , buttons_(buttons)
{
}

QPushButton* THxVistaMessageForm::Button(TMsgDlgBtn kind) const
{
    return findChild<QPushButton*>(FromUtf8(forms::ButtonKindOf(kind).name), Qt::FindDirectChildrenOnly);
}

QString THxVistaMessageForm::CopyText() const
{
    std::vector<std::string> captions;
    for (TMsgDlgBtn kind : forms::ButtonsInOrder(buttons_))
        captions.emplace_back(forms::ButtonKindOf(kind).caption);
    return QString::fromStdString(
        forms::MessageDialogCopyText(windowTitle().toStdString(), message_.toStdString(), captions));
}

void THxVistaMessageForm::keyPressEvent(QKeyEvent* event)
{
    Guarded([&] {
        if (event->key() == Qt::Key_C && event->modifiers() == Qt::ControlModifier) {
            QApplication::beep();
            QGuiApplication::clipboard()->setText(CopyText());
            return;
        }
        if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
            // Esc presses the cancel button; without one it does nothing.
            if (const std::optional<TMsgDlgBtn> kind = forms::CancelButton(buttons_))
                Button(*kind)->click();
            return;
        }
        if (!(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier)) && PressMnemonic(event->key()))
            return;
        QDialog::keyPressEvent(event);
    });
}

bool THxVistaMessageForm::PressMnemonic(int key)
{
    // The underlined letter alone or with Alt, as in the dialogs of the format's home
    // platform. A letter that several buttons share moves the focus from one to the next
    // instead of pressing any, as the buttons' own Alt shortcuts do.
    QList<QPushButton*> matching;
    for (TMsgDlgBtn kind : forms::ButtonsInOrder(buttons_)) {
        QPushButton* button = Button(kind);
        const QKeySequence mnemonic = button->shortcut();
        if (!mnemonic.isEmpty() && mnemonic[0].key() == key)
            matching.append(button);
    }
    if (matching.isEmpty())
        return false;
    if (matching.size() == 1) {
        matching.front()->click();
        return true;
    }
    const qsizetype focused = matching.indexOf(qobject_cast<QPushButton*>(focusWidget()));
    matching[(focused + 1) % matching.size()]->setFocus(Qt::ShortcutFocusReason);
    return true;
}

void THxVistaMessageForm::reject()
{
    done(forms::mrCancel);
}

THxVistaMessageFormTaskBar::THxVistaMessageFormTaskBar(const QString& message, TMsgDlgButtons buttons)
    : THxVistaMessageForm(message, buttons, nullptr)
{
}

std::unique_ptr<THxVistaMessageForm> CreateVistaMessageDialog(const QString& message, TMsgDlgType type,
                                                              TMsgDlgButtons buttons, bool taskbar)
{
    std::unique_ptr<THxVistaMessageForm> form =
        taskbar ? std::make_unique<THxVistaMessageFormTaskBar>(message, buttons)
                : std::make_unique<THxVistaMessageForm>(message, buttons);
    LayOut(*form, type, taskbar);
    CenterOnScreen(*form);
    return form;
}

int VistaMessageDlg(const QString& message, TMsgDlgType type, TMsgDlgButtons buttons, bool taskbar)
{
    std::unique_ptr<THxVistaMessageForm> form = CreateVistaMessageDialog(message, type, buttons, taskbar);
    return RunVistaMessageDialog(*form);
}

void CenterOnScreen(QWidget& window)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QRect screenRect = screen ? screen->geometry() : QRect(QPoint(0, 0), ScreenSize());
    const QSize outer = window.frameGeometry().size();
    const forms::Point at =
        forms::CenteredPosition(screenRect.width(), screenRect.height(), outer.width(), outer.height());
    window.move(screenRect.left() + at.x, screenRect.top() + at.y);
}

TVistaMessageRunner SetVistaMessageRunner(TVistaMessageRunner runner)
{
    return std::exchange(RunnerStore(), std::move(runner));
}

int RunVistaMessageDialog(THxVistaMessageForm& dialog)
{
    if (RunnerStore())
        return RunnerStore()(dialog);
    return dialog.exec();
}
