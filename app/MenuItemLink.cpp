#include "app/MenuItemLink.h"

#include <QActionGroup>
#include <QMenu>

namespace {

constexpr const char* kLinkedActionProperty = "linkedAction";

void Mirror(QAction& item, const QAction& action, bool ownShortcut)
{
    item.setText(action.text());
    if (!ownShortcut)
        item.setShortcut(action.shortcut());
    item.setEnabled(action.isEnabled());
    item.setCheckable(action.isCheckable());
    item.setChecked(action.isChecked());
    item.setVisible(action.isVisible());
}

}  // namespace

QAction* AddActionItem(QMenu& menu, const QString& name, QAction& action, const QKeySequence& itemShortcut,
                       QActionGroup* radioGroup)
{
    auto* item = new QAction(&menu);
    item->setObjectName(name);
    item->setProperty(kLinkedActionProperty, QVariant::fromValue<QObject*>(&action));
    const bool ownShortcut = !itemShortcut.isEmpty();
    if (ownShortcut)
        item->setShortcut(itemShortcut);
    else
        item->setShortcutContext(Qt::WidgetShortcut);
    if (radioGroup)
        radioGroup->addAction(item);
    Mirror(*item, action, ownShortcut);
    QObject::connect(&action, &QAction::changed, item, [item, &action, ownShortcut] { Mirror(*item, action, ownShortcut); });
    // A checkable item flips itself before it triggers; the action then sets the state.
    QObject::connect(item, &QAction::triggered, &action, [item, &action] {
        item->setChecked(action.isChecked());
        action.trigger();
    });
    menu.addAction(item);
    return item;
}

QAction* AddPlainItem(QMenu& menu, const QString& name, const QString& caption, const QKeySequence& shownShortcut)
{
    auto* item = new QAction(caption, &menu);
    item->setObjectName(name);
    item->setShortcut(shownShortcut);
    item->setShortcutContext(Qt::WidgetShortcut);
    menu.addAction(item);
    return item;
}

QAction* AddSeparatorItem(QMenu& menu, const QString& name)
{
    QAction* separator = menu.addSeparator();
    separator->setObjectName(name);
    return separator;
}

QAction* LinkedAction(const QAction& item)
{
    return qobject_cast<QAction*>(item.property(kLinkedActionProperty).value<QObject*>());
}
