// The rows a tree view keeps (what it draws and steps through), read from Qt's private
// header, and the check that rows changed in place are those a whole layout makes.
#pragma once

#include <QStringList>
#include <QTest>
#include <QTreeView>

#include <private/qtreeview_p.h>

namespace treetest {

inline const QTreeViewPrivate& ViewPrivate(const QTreeView& view)
{
    return *static_cast<const QTreeViewPrivate*>(QObjectPrivate::get(&view));
}

// One line a row.
inline QStringList ViewRows(const QTreeView& view)
{
    QStringList rows;
    for (const QTreeViewItem& item : ViewPrivate(view).viewItems)
        rows << QStringLiteral("%1 row %2 under %3 level %4 open %5 children %6 more %7 total %8")
                    .arg(item.index.data().toString())
                    .arg(item.index.row())
                    .arg(item.parentItem)
                    .arg(item.level)
                    .arg(item.expanded)
                    .arg(item.hasChildren)
                    .arg(item.hasMoreSiblings)
                    .arg(item.total);
    return rows;
}

// Compares the rows kept with those Qt's own whole layout makes; false, comparing nothing,
// while a whole layout is pending anyway.
inline bool CheckViewRows(QTreeView& view)
{
    if (ViewPrivate(view).delayedPendingLayout)
        return false;
    const QStringList kept = ViewRows(view);
    view.QTreeView::doItemsLayout();
    [&] { QCOMPARE(kept, ViewRows(view)); }();
    return true;
}

}  // namespace treetest
