// The view's rows follow rows inserted, removed and moved, and a node opened, one block at a
// time. Qt's tree view lays out every open row again after any insertion under an open node,
// any removal and any move: with a hundred thousand rows open that is a good part of a frame
// or more for each step. Here the view's own row list is changed in place instead, through
// Qt's private header of the tree view (see the README): the rows of the block are laid out
// as a whole layout would lay them out, the rows after it shift, and the open ancestors'
// counts change. Whatever this does not cover (hidden or spanning rows, animation, a whole
// layout already pending) goes Qt's own way. A whole layout is made here too, with the open
// levels kept in a list: Qt's calls itself for each level. The document model holds all of
// its rows at once, so nothing is fetched on the way.
#include "app/TreeNodeView.h"

#include <QAccessible>
#include <QAccessibleEvent>
#include <QHeaderView>

#include <private/qtreeview_p.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// The view row of the child at row of the open view row parentItem (-1: the top level),
// found by stepping over the children before it with their open rows.
int ChildItem(const QList<QTreeViewItem>& items, int parentItem, int row)
{
    int item = parentItem + 1;
    for (int i = 0; i < row; ++i)
        item += static_cast<int>(items.at(item).total) + 1;
    return item;
}

// The first view row after the block of the open view row item and its open descendants.
int EndOfBlock(const QList<QTreeViewItem>& items, int item)
{
    return item < 0 ? static_cast<int>(items.size()) : item + static_cast<int>(items.at(item).total) + 1;
}

void AddToTotals(QList<QTreeViewItem>& items, int item, int delta)
{
    for (; item >= 0; item = items.at(item).parentItem)
        items[item].total = static_cast<uint>(static_cast<int>(items.at(item).total) + delta);
}

}  // namespace

QTreeViewPrivate* TTreeNodeView::Rows() const
{
    return static_cast<QTreeViewPrivate*>(d_ptr.data());
}

bool TTreeNodeView::FollowsRowsInPlace() const
{
    const QTreeViewPrivate* d = Rows();
    return model() && !d->delayedPendingLayout && !d->viewItems.isEmpty() && d->hiddenIndexes.isEmpty() &&
           d->spanningIndexes.isEmpty() && !isAnimated() && !rootIndex().isValid();
}

int TTreeNodeView::OpenItemOf(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return -1;
    const int item = Rows()->viewIndex(parent);
    return item >= 0 && Rows()->viewItems.at(item).expanded ? item : kNotOpen;
}

QList<QTreeViewItem> TTreeNodeView::LayOutRows(const QModelIndex& parent, int first, int last, int at,
                                               int parentItem) const
{
    QTreeViewPrivate* d = Rows();
    QAbstractItemModel* const items = model();
    QList<QTreeViewItem> rows;
    // The open rows whose children are being laid out, outermost first.
    struct Open {
        QModelIndex index;
        int next;
        int last;
        int item;
        int level;
        int lastChild;
    };
    const int level = parentItem < 0 ? 0 : static_cast<int>(d->viewItems.at(parentItem).level) + 1;
    std::vector<Open> open{{parent, first, last, parentItem, level, -1}};
    while (!open.empty()) {
        Open& top = open.back();
        if (top.next > top.last) {
            if (open.size() > 1) {
                QTreeViewItem& owner = rows[top.item - at];
                owner.total = static_cast<uint>(at + static_cast<int>(rows.size()) - top.item - 1);
                owner.hasChildren = owner.total > 0;
            }
            open.pop_back();
            continue;
        }
        if (top.lastChild >= 0)
            rows[top.lastChild - at].hasMoreSiblings = true;
        QTreeViewItem row;
        row.index = items->index(top.next++, 0, top.index);
        row.parentItem = top.item;
        row.level = static_cast<uint>(top.level);
        top.lastChild = at + static_cast<int>(rows.size());
        const int childLevel = top.level + 1;
        if (d->isIndexExpanded(row.index)) {
            row.expanded = true;
            rows.append(row);
            open.push_back({row.index, 0, items->rowCount(row.index) - 1, top.lastChild, childLevel, -1});
        } else {
            row.hasChildren = d->hasVisibleChildren(row.index);
            rows.append(row);
        }
    }
    return rows;
}

int TTreeNodeView::InsertRowsInPlace(int parentItem, const QModelIndex& parent, int first, int last)
{
    QTreeViewPrivate* d = Rows();
    const int at = first == 0 ? parentItem + 1 : EndOfBlock(d->viewItems, ChildItem(d->viewItems, parentItem, first - 1));
    const QList<QTreeViewItem> block = LayOutRows(parent, first, last, at, parentItem);
    d->insertViewItems(at, static_cast<int>(block.size()), QTreeViewItem());
    std::copy(block.begin(), block.end(), d->viewItems.begin() + at);
    AddToTotals(d->viewItems, parentItem, static_cast<int>(block.size()));
    if (parentItem >= 0)
        d->viewItems[parentItem].hasChildren = true;
    return at;
}

void TTreeNodeView::RemoveRowsInPlace(const LeavingRows& leaving, const QModelIndex& parent)
{
    QTreeViewPrivate* d = Rows();
    if (leaving.parentItem == kNotOpen)
        return;
    AddToTotals(d->viewItems, leaving.parentItem, -leaving.count);
    d->removeViewItems(leaving.first, leaving.count);
    if (leaving.parentItem >= 0 && model()->rowCount(parent) == 0) {
        QTreeViewItem& owner = d->viewItems[leaving.parentItem];
        owner.expanded = false;
        owner.hasChildren = false;
    }
}

void TTreeNodeView::RefreshChildRows(int parentItem, const QModelIndex& parent)
{
    // A row's index holds its row number: the children after a change have new ones.
    QTreeViewPrivate* d = Rows();
    if (parentItem == kNotOpen) {
        if (const int shown = d->viewIndex(parent); shown >= 0)
            d->viewItems[shown].hasChildren = d->hasVisibleChildren(parent);
        return;
    }
    const int rows = model()->rowCount(parent);
    int item = parentItem + 1;
    for (int row = 0; row < rows; ++row) {
        QTreeViewItem& child = d->viewItems[item];
        child.index = model()->index(row, 0, parent);
        child.hasMoreSiblings = row + 1 < rows;
        item += static_cast<int>(child.total) + 1;
    }
}

TTreeNodeView::LeavingRows TTreeNodeView::LeavingRowsOf(const QModelIndex& parent, int start, int end) const
{
    LeavingRows leaving;
    leaving.inPlace = true;
    leaving.rowsBefore = Rows()->viewItems.size();
    leaving.parentItem = OpenItemOf(parent);
    if (leaving.parentItem != kNotOpen) {
        const QList<QTreeViewItem>& items = Rows()->viewItems;
        leaving.first = ChildItem(items, leaving.parentItem, start);
        int item = leaving.first;
        for (int row = start; row < end; ++row)
            item = EndOfBlock(items, item);
        leaving.count = EndOfBlock(items, item) - leaving.first;
    }
    return leaving;
}

void TTreeNodeView::ForgetOpenIfChildless(const QModelIndex& parent)
{
    // A node that lost its last child is closed, as the document has it; the view would
    // otherwise open it again with the next child it gets.
    if (parent.isValid() && model()->rowCount(parent) == 0)
        Rows()->expandedIndexes.remove(parent);
}

void TTreeNodeView::DropRecordsOfRemovedRows()
{
    QTreeViewPrivate* d = Rows();
    d->expandedIndexes.removeIf([](const QPersistentModelIndex& index) { return !index.isValid(); });
    d->hasRemovedItems = false;
    removedSincePrune_ = 0;
}

void TTreeNodeView::RowsChangedInPlace()
{
    Rows()->lastViewedItem = 0;
    updateGeometries();
    viewport()->update();
}

void TTreeNodeView::rowsInserted(const QModelIndex& parent, int start, int end)
{
    const int parentItem = FollowsRowsInPlace() ? OpenItemOf(parent) : kNotOpen;
    if (parentItem == kNotOpen) {
        // Under a closed node Qt's own way lays out nothing either.
        QTreeView::rowsInserted(parent, start, end);
        return;
    }
    InsertRowsInPlace(parentItem, parent, start, end);
    RefreshChildRows(parentItem, parent);
    RowsChangedInPlace();
    QAbstractItemView::rowsInserted(parent, start, end);
}

void TTreeNodeView::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end)
{
    leaving_ = {};
    if (!FollowsRowsInPlace()) {
        QTreeView::rowsAboutToBeRemoved(parent, start, end);
        return;
    }
    // This may move the current row, which may lay out the rows: the block is found after it.
    QAbstractItemView::rowsAboutToBeRemoved(parent, start, end);
    if (!FollowsRowsInPlace()) {
        Rows()->viewItems.clear();
        return;
    }
    leaving_ = LeavingRowsOf(parent, start, end);
    // Their nodes are about to go: nothing may reach them through these rows meanwhile.
    if (leaving_.parentItem != kNotOpen)
        for (int item = leaving_.first; item < leaving_.first + leaving_.count; ++item)
            Rows()->viewItems[item].index = QModelIndex();
}

bool TTreeNodeView::StillInPlace(const LeavingRows& leaving) const
{
    return leaving.inPlace && FollowsRowsInPlace() && Rows()->viewItems.size() == leaving.rowsBefore;
}

void TTreeNodeView::RowsRemoved(const QModelIndex& parent, int start, int end)
{
    const LeavingRows leaving = std::exchange(leaving_, {});
    ForgetOpenIfChildless(parent);
    if (!StillInPlace(leaving)) {
        QTreeView::rowsRemoved(parent, start, end);
        return;
    }
    RemoveRowsInPlace(leaving, parent);
    RefreshChildRows(leaving.parentItem, parent);
    // The records of open nodes that went with the rows: dropped by the next whole layout, or
    // here once as many rows went as there are records.
    QTreeViewPrivate* d = Rows();
    removedSincePrune_ += std::max(leaving.count, 1);
    if (removedSincePrune_ > d->expandedIndexes.size())
        DropRecordsOfRemovedRows();
    else
        d->hasRemovedItems = true;
    d->_q_rowsRemoved(parent, start, end);
    RowsChangedInPlace();
}

void TTreeNodeView::RowsAboutToBeMoved(const QModelIndex& from, int start, int end, const QModelIndex& to)
{
    leaving_ = {};
    if (!FollowsRowsInPlace())
        return;
    leaving_ = LeavingRowsOf(from, start, end);
    // Where the rows arrive, as the rows stand now; the block leaving shifts it below.
    arrivingParentItem_ = OpenItemOf(to);
}

void TTreeNodeView::RowsMoved(const QModelIndex& from, int start, int end, const QModelIndex& to, int row)
{
    const LeavingRows leaving = std::exchange(leaving_, {});
    ForgetOpenIfChildless(from);
    if (!StillInPlace(leaving)) {
        scheduleDelayedItemsLayout();
    } else {
        RemoveRowsInPlace(leaving, from);
        int parentItem = arrivingParentItem_;
        if (parentItem != kNotOpen && leaving.parentItem != kNotOpen && parentItem > leaving.first)
            parentItem -= leaving.count;
        int leftItem = leaving.parentItem;
        if (parentItem != kNotOpen) {
            const int count = end - start + 1;
            const int first = from == to && row > end ? row - count : row;
            const int rowsBefore = static_cast<int>(Rows()->viewItems.size());
            const int at = InsertRowsInPlace(parentItem, to, first, first + count - 1);
            if (leftItem >= at)
                leftItem += static_cast<int>(Rows()->viewItems.size()) - rowsBefore;
        }
        // The open parents first, found by position: a closed parent is found by its index,
        // whose row number may be among those they put right.
        const std::pair<int, QModelIndex> parents[] = {{leftItem, from}, {parentItem, to}};
        for (const auto& [item, parent] : parents)
            if (item != kNotOpen)
                RefreshChildRows(item, parent);
        for (const auto& [item, parent] : parents)
            if (item == kNotOpen)
                RefreshChildRows(item, parent);
        RowsChangedInPlace();
    }
    if (QAccessible::isActive()) {
        QAccessibleTableModelChangeEvent event(this, QAccessibleTableModelChangeEvent::ModelReset);
        QAccessible::updateAccessibility(&event);
    }
}

bool TTreeNodeView::ExpandInPlace(const QModelIndex& index)
{
    if (!FollowsRowsInPlace() || index.model() != model() || (index.flags() & Qt::ItemNeverHasChildren) ||
        isExpanded(index))
        return false;
    QTreeViewPrivate* d = Rows();
    const int item = d->viewIndex(index);
    if (item < 0 || d->viewItems.at(item).expanded)
        return false;
    d->storeExpanded(index);
    d->viewItems[item].expanded = true;
    InsertRowsInPlace(item, index, 0, model()->rowCount(index) - 1);
    d->viewItems[item].hasChildren = d->viewItems.at(item).total > 0;
    RowsChangedInPlace();
    emit expanded(index);
    return true;
}

void TTreeNodeView::doItemsLayout()
{
    // Qt's own layout of every row calls itself once a level: a document tens of thousands of
    // levels deep, open, overflowed the stack. LayOutRows keeps its levels in a list.
    QTreeViewPrivate* d = Rows();
    if (!model() || !d->hiddenIndexes.isEmpty() || !d->spanningIndexes.isEmpty() || rootIndex().isValid()) {
        QTreeView::doItemsLayout();
        return;
    }
    if (d->hasRemovedItems)
        DropRecordsOfRemovedRows();
    const int rows = model()->rowCount();
    if (uniformRowHeights() && rows > 0)
        d->defaultItemHeight = indexRowSizeHint(model()->index(0, 0));
    d->viewItems = rows > 0 ? LayOutRows(QModelIndex(), 0, rows - 1, 0, -1) : QList<QTreeViewItem>();
    QAbstractItemView::doItemsLayout();
    header()->doItemsLayout();
}

void TTreeNodeView::setModel(QAbstractItemModel* newModel)
{
    if (QAbstractItemModel* old = model()) {
        disconnect(old, &QAbstractItemModel::rowsRemoved, this, &TTreeNodeView::RowsRemoved);
        disconnect(old, &QAbstractItemModel::rowsAboutToBeMoved, this, &TTreeNodeView::RowsAboutToBeMoved);
        disconnect(old, &QAbstractItemModel::rowsMoved, this, &TTreeNodeView::RowsMoved);
    }
    leaving_ = {};
    QTreeView::setModel(newModel);
    if (!newModel)
        return;
    // The tree view's own handlers of these lay out every row; ours call them when they must.
    disconnect(newModel, SIGNAL(rowsRemoved(QModelIndex,int,int)), this, SLOT(rowsRemoved(QModelIndex,int,int)));
    disconnect(newModel, SIGNAL(rowsMoved(QModelIndex,int,int,QModelIndex,int)), this,
               SLOT(_q_rowsMoved(QModelIndex,int,int,QModelIndex,int)));
    connect(newModel, &QAbstractItemModel::rowsRemoved, this, &TTreeNodeView::RowsRemoved);
    connect(newModel, &QAbstractItemModel::rowsAboutToBeMoved, this, &TTreeNodeView::RowsAboutToBeMoved);
    connect(newModel, &QAbstractItemModel::rowsMoved, this, &TTreeNodeView::RowsMoved);
}
