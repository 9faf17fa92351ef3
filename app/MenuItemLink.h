// Menu items that show an action. Each item is a QAction of its own, named like the item,
// whose caption, shortcut, enabled and checked state follow the action and which triggers
// the action when chosen. The action carries the live shortcut; an item shows it only
// (its own binding is limited to the open menu), so no key is ever bound twice in the
// window. An item may instead own a live shortcut that its action lacks.
#pragma once

#include <QAction>
#include <QKeySequence>

class QActionGroup;
class QMenu;

QAction* AddActionItem(QMenu& menu, const QString& name, QAction& action,
                       const QKeySequence& itemShortcut = {}, QActionGroup* radioGroup = nullptr);

// A plain item (not showing an action) whose shortcut is only shown.
QAction* AddPlainItem(QMenu& menu, const QString& name, const QString& caption,
                      const QKeySequence& shownShortcut = {});

QAction* AddSeparatorItem(QMenu& menu, const QString& name);

// The action a menu item shows; null for plain items and separators.
QAction* LinkedAction(const QAction& item);
