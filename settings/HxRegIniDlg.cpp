#include "settings/HxRegIniDlg.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>

using settings::isIni;
using settings::isRegistry;

namespace {

constexpr int kClientWidth = 472;
constexpr int kClientHeight = 208;
constexpr int kFontPixelHeight = 12;

QLabel* NewExplanation(QWidget* parent, const char* name, const char* text, const QRect& bounds)
{
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(QString::fromUtf8(name));
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(bounds);
    return label;
}

}  // namespace

THxIniStyleDialog::THxIniStyleDialog()
    : THxVistaForm<QDialog>(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setWindowTitle(QStringLiteral("アプリケーション設定の保存先"));
    QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
    font.setPixelSize(kFontPixelHeight);
    setFont(font);
    setFixedSize(kClientWidth, kClientHeight);

    rdoIni = new QRadioButton(QStringLiteral("&INIファイルを使う"), this);
    rdoIni->setObjectName(QStringLiteral("rdoIni"));
    rdoIni->setGeometry(16, 8, 105, 17);
    Label4 = NewExplanation(this, "Label4",
                            "マルチユーザー環境には対応しませんが、アンインストールが簡単です。"
                            "シングルユーザー環境ではこちらをお勧めします。",
                            QRect(32, 32, 425, 31));
    rdoRegistry = new QRadioButton(QStringLiteral("レジストリを使う(&R)"), this);
    rdoRegistry->setObjectName(QStringLiteral("rdoRegistry"));
    rdoRegistry->setGeometry(16, 80, 121, 17);
    Label5 = NewExplanation(this, "Label5",
                            "マルチユーザー環境ではこちらをお勧めします。設定はレジストリの下記の位置に保存されます。"
                            "アンインストールの時は必要に応じてこのキーを削除して下さい。",
                            QRect(32, 104, 425, 25));
    lblKeyPath = new QLabel(this);
    lblKeyPath->setObjectName(QStringLiteral("lblKeyPath"));
    lblKeyPath->move(32, 136);
    lblKeyPath->setTextInteractionFlags(Qt::TextSelectableByMouse);

    Button2 = new QPushButton(QStringLiteral("OK"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(232, 175, 113, 25);
    Button2->setDefault(true);
    Button3 = new QPushButton(QStringLiteral("キャンセル"), this);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button3->setGeometry(352, 175, 113, 25);
    connect(Button2, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button3, &QPushButton::clicked, this, &QDialog::reject);

    for (QWidget* control : {static_cast<QWidget*>(rdoIni), static_cast<QWidget*>(rdoRegistry),
                             static_cast<QWidget*>(Button2), static_cast<QWidget*>(Button3)})
        control->setFocusPolicy(Qt::StrongFocus);
    setTabOrder(rdoIni, rdoRegistry);
    setTabOrder(rdoRegistry, Button2);
    setTabOrder(Button2, Button3);
    Label4->installEventFilter(this);
    Label5->installEventFilter(this);
    FitToText();
}

void THxIniStyleDialog::FitToText()
{
    // The layout suits a 12-pixel face with tight lines. A fallback face with taller lines or
    // wider glyphs gets the room it needs, downwards, so that no caption or explanation is cut.
    lblKeyPath->resize(lblKeyPath->width(), lblKeyPath->fontMetrics().height());
    int shift = 0;
    for (QWidget* control : {static_cast<QWidget*>(rdoIni), static_cast<QWidget*>(Label4),
                             static_cast<QWidget*>(rdoRegistry), static_cast<QWidget*>(Label5),
                             static_cast<QWidget*>(lblKeyPath)}) {
        QRect bounds = control->geometry().translated(0, shift);
        int needed = control->sizeHint().height();
        if (auto* label = qobject_cast<QLabel*>(control); label && label->wordWrap())
            needed = label->heightForWidth(bounds.width());
        else
            bounds.setWidth(std::max(bounds.width(), control->sizeHint().width()));
        if (needed > bounds.height()) {
            shift += needed - bounds.height();
            bounds.setHeight(needed);
        }
        control->setGeometry(bounds);
    }
    Button2->move(Button2->x(), Button2->y() + shift);
    Button3->move(Button3->x(), Button3->y() + shift);
    setFixedSize(kClientWidth, kClientHeight + shift);
}

void THxIniStyleDialog::Label4Click()
{
    rdoIni->setChecked(true);
}

void THxIniStyleDialog::Label5Click()
{
    rdoRegistry->setChecked(true);
}

bool THxIniStyleDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == Label4)
            Label4Click();
        else if (watched == Label5)
            Label5Click();
    }
    return QDialog::eventFilter(watched, event);
}

bool THxIniStyleDialog::Execute(QWidget* owner, const QString& keyText, std::optional<settings::THxIniStyle>& kind,
                                const Runner& run)
{
    THxIniStyleDialog dialog;
    if (owner && dialog.parentWidget() != owner)
        dialog.setParent(owner, dialog.windowFlags());
    dialog.lblKeyPath->setText(keyText);
    dialog.lblKeyPath->adjustSize();
    if (kind == isIni)
        dialog.rdoIni->setChecked(true);
    else if (kind == isRegistry)
        dialog.rdoRegistry->setChecked(true);
    const int result = run ? run(dialog) : dialog.exec();
    if (result != QDialog::Accepted)
        return false;
    if (dialog.rdoIni->isChecked())
        kind = isIni;
    else if (dialog.rdoRegistry->isChecked())
        kind = isRegistry;
    return true;
}

settings::SettingsEnvironment ProgramSettingsEnvironment()
{
    using namespace forms;
    return settings::SettingsEnvironment::ForThisProgram(
        [](const settings::FirstStartQuestion& question) {
            return VistaMessageDlg(QString::fromStdString(question.text), TMsgDlgType::mtConfirmation,
                                   TMsgDlgBtn::mbYes | TMsgDlgBtn::mbNo, question.ownTaskbarButton);
        },
        [](const std::string& text) {
            // At the first start no main window is on screen; in the storage choice the
            // warning belongs to the main window.
            const bool ownTaskbarButton = !PrimaryForm() || !PrimaryForm()->isVisible();
            VistaMessageDlg(QString::fromStdString(text), TMsgDlgType::mtWarning, ButtonBit(TMsgDlgBtn::mbOK),
                            ownTaskbarButton);
        });
}
