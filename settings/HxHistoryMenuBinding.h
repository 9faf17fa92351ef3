// The recent-files list on screen: 16 menu items under an anchor submenu that mirror the
// list's items whenever it rebuilds them and hand a click back to it; for a file list also a
// separator and the commands "クリア(&C)" and "存在しないファイルをクリア(&N)".
#pragma once

#include "settings/HxHistoryMenu.h"

#include <QList>
#include <QPointer>
#include <QString>

#include <functional>

class QAction;
class QMenu;

class THxHistoryMenuBinding {
public:
    // Runs a click's work; the owner passes its command guard so that no exception crosses
    // the menu's signal.
    using Runner = std::function<void(const std::function<void()>&)>;

    THxHistoryMenuBinding(settings::THxHistoryMenu& list, QMenu& anchor, Runner run);
    THxHistoryMenuBinding(settings::THxHistoryFileMenu& list, QMenu& anchor, bool withCommands, Runner run);
    // Takes the 16 items out of the menu; the commands stay with the anchor.
    ~THxHistoryMenuBinding();
    THxHistoryMenuBinding(const THxHistoryMenuBinding&) = delete;
    THxHistoryMenuBinding& operator=(const THxHistoryMenuBinding&) = delete;

    const QList<QPointer<QAction>>& MenuItems() const { return items_; }
    QAction* ClearItem() const { return clearItem_; }
    QAction* RemoveMissingItem() const { return removeMissingItem_; }

private:
    void Mirror();

    settings::THxHistoryMenu& list_;
    QList<QPointer<QAction>> items_;
    QPointer<QAction> clearItem_;
    QPointer<QAction> removeMissingItem_;
};

// The question before an entry whose file is gone is removed: a message box of the
// application (no owner window), centred on the screen, title "確認", "はい(&Y)" the default
// and "いいえ(&N)" on Escape. True for はい.
bool AskRemoveFromHistory(const QString& text);
