#include "settings/HxHistoryMenuBinding.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

THxHistoryMenuBinding::THxHistoryMenuBinding(settings::THxHistoryMenu& list, QMenu& anchor, Runner run)
    : list_(list)
{
    for (int k = 0; k < settings::THxHistoryMenu::kMenuItemCount; ++k) {
        auto* item = new QAction(&anchor);
        item->setObjectName(QStringLiteral("History%1").arg(k));
        item->setProperty("historyItem", true);
        anchor.addAction(item);
        QObject::connect(item, &QAction::triggered, item, [this, k, run] { run([this, k] { list_.ItemClick(k); }); });
        items_.append(item);
    }
    list_.OnMenuUpdated = [this] { Mirror(); };
    list_.UpdateMenu();
}

THxHistoryMenuBinding::THxHistoryMenuBinding(settings::THxHistoryFileMenu& list, QMenu& anchor, bool withCommands,
                                             Runner run)
    : THxHistoryMenuBinding(static_cast<settings::THxHistoryMenu&>(list), anchor, run)
{
    if (!withCommands)
        return;
    anchor.addSeparator();
    clearItem_ = anchor.addAction(QStringLiteral("クリア(&C)"));
    clearItem_->setObjectName(QStringLiteral("HistoryClear"));
    QObject::connect(clearItem_, &QAction::triggered, clearItem_, [&list, run] { run([&list] { list.Clear(); }); });
    removeMissingItem_ = anchor.addAction(QStringLiteral("存在しないファイルをクリア(&N)"));
    removeMissingItem_->setObjectName(QStringLiteral("HistoryRemoveMissing"));
    QObject::connect(removeMissingItem_, &QAction::triggered, removeMissingItem_,
                     [&list, run] { run([&list] { list.RemoveMissing(); }); });
}

THxHistoryMenuBinding::~THxHistoryMenuBinding()
{
    list_.OnMenuUpdated = nullptr;
    for (const QPointer<QAction>& item : items_)
        delete item.data();
}

void THxHistoryMenuBinding::Mirror()
{
    const auto& states = list_.MenuItems();
    for (int k = 0; k < items_.size(); ++k) {
        QAction* item = items_[k];
        if (!item)
            continue;
        const settings::THxHistoryMenuItem& state = states[static_cast<std::size_t>(k)];
        item->setText(QString::fromStdString(state.Caption));
        item->setVisible(state.Visible);
    }
}

bool AskRemoveFromHistory(const QString& text)
{
    const QString shown = QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(QMessageBox::Question, QStringLiteral("確認"), shown, QMessageBox::NoButton, nullptr);
    QPushButton* yes = box.addButton(QStringLiteral("はい(&Y)"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("いいえ(&N)"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        box.move(screen->availableGeometry().center() - box.rect().center());
    box.exec();
    return box.clickedButton() == yes;
}
