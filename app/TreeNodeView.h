// The tree pane's view: it starts a drag of the selected node by itself, asks its owner
// whether a drag over a point may go on and what a drop does, and shows the insertion mark
// as an overlay until the next drag-over, the drop or the drag leaving clears it. Rows of
// deep nodes are drawn without asking the style for branch levels it leaves blank. Names are
// shown whole: the column grows to the widest row drawn so far, and a horizontal scroll bar
// appears when that is wider than the pane.
#pragma once

#include <QHash>
#include <QLine>
#include <QMimeData>
#include <QList>
#include <QTreeView>

#include <functional>
#include <memory>
#include <optional>

// The data of a drag that a tree view started: it names that view, so a drop can tell
// its own drags from anything else carrying the same format.
class TNodeDragData : public QMimeData {
    Q_OBJECT
public:
    static constexpr const char* kFormat = "application/x-velmora-tree-node";
    explicit TNodeDragData(QObject* source);
    QObject* Source() const { return source_; }

private:
    QObject* source_;
};

// The view that started the drag, or null for a drag from anywhere else.
QObject* DragSourceOf(const QMimeData* data);

class QTreeViewPrivate;
struct QTreeViewItem;

class TTreeNodeView : public QTreeView {
    Q_OBJECT
public:
    explicit TTreeNodeView(QWidget* parent = nullptr);

    // Asked on every drag-over with the source of the drag and the pointer position in the
    // viewport; true accepts a drop there.
    std::function<bool(QObject* source, QPoint position)> DragOverHandler;
    // Runs the drop of a drag whose last drag-over was accepted.
    std::function<void(QObject* source)> DragDropHandler;

    // What a drag of this view carries.
    std::unique_ptr<TNodeDragData> NodeDragData();

    // The rectangle of an item's label text (not its indentation), in viewport coordinates.
    QRect LabelRect(const QModelIndex& index) const;

    void ShowDropMark(QLine line);
    void ClearDropMark();
    const std::optional<QLine>& DropMark() const { return dropMark_; }

    // Expands the nodes. Qt's view, opening a closed node, lays out each of its open
    // descendants in turn and moves every row below it each time: with many open descendants
    // that takes seconds. A few nodes open here one at a time, each with all of its rows
    // laid out at once; many in one layout of every open row. The user's ways of expanding
    // (the branch mark, double-click, Right and +) come here too.
    void ExpandNodes(const QModelIndexList& indexes);

    // A new model forgets the widest row.
    void reset() override;
    void setModel(QAbstractItemModel* model) override;
    // Lays out every open row without a call for each level (TreeNodeViewRows.cpp).
    void doItemsLayout() override;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const override;
    void changeEvent(QEvent* event) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void resizeEvent(QResizeEvent* event) override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;

private:
    // The rows changed in place rather than by laying out every open row (TreeNodeViewRows.cpp).
    static constexpr int kNotOpen = -2;
    // The view rows that rows leaving their parent take along: first and count, under the
    // view row parentItem (-1: the top level; kNotOpen: a parent not shown open, whose
    // children have no rows).
    struct LeavingRows {
        bool inPlace = false;
        // How many rows the view had, to tell that nothing laid them out again meanwhile.
        qsizetype rowsBefore = 0;
        int parentItem = kNotOpen;
        int first = 0;
        int count = 0;
    };
    QTreeViewPrivate* Rows() const;
    bool FollowsRowsInPlace() const;
    // The view row of an open parent shown, -1 for the top level, kNotOpen otherwise.
    int OpenItemOf(const QModelIndex& parent) const;
    // The rows of the model's rows first to last below parent and of their open descendants,
    // as a whole layout makes them, for a block at view row at below the row parentItem.
    QList<QTreeViewItem> LayOutRows(const QModelIndex& parent, int first, int last, int at, int parentItem) const;
    // Returns the view row the block went to.
    int InsertRowsInPlace(int parentItem, const QModelIndex& parent, int first, int last);
    void RemoveRowsInPlace(const LeavingRows& leaving, const QModelIndex& parent);
    void RefreshChildRows(int parentItem, const QModelIndex& parent);
    LeavingRows LeavingRowsOf(const QModelIndex& parent, int start, int end) const;
    // Whether rows found leaving can still be taken out in place.
    bool StillInPlace(const LeavingRows& leaving) const;
    void ForgetOpenIfChildless(const QModelIndex& parent);
    // Drops the view's records of open nodes whose rows went.
    void DropRecordsOfRemovedRows();
    void RowsChangedInPlace();
    void RowsRemoved(const QModelIndex& parent, int start, int end);
    void RowsAboutToBeMoved(const QModelIndex& from, int start, int end, const QModelIndex& to);
    void RowsMoved(const QModelIndex& from, int start, int end, const QModelIndex& to, int row);
    // Opens a closed node shown by inserting the rows of its open descendants; false when the
    // view must do it its own way.
    bool ExpandInPlace(const QModelIndex& index);

    // Whether the node is closed and has children: the user's ways of opening it come to
    // ExpandNodes then.
    bool Opens(const QModelIndex& index) const;
    // Where the node's branch mark is clicked to open or close it, in viewport coordinates.
    QRect BranchMarkRect(const QModelIndex& index) const;
    void ToggleOnDoubleClick(const QModelIndex& index);
    void AskDragOver(QDropEvent& event);
    void ScrollNearEdges(QPoint position);
    void CheckBranchStyle();
    // Sets the column to the pane's width or the widest row drawn, whichever is wider.
    void FitColumn();
    void ForgetWidestRow();
    int TextWidth(const QFontMetrics& metrics, const QString& text) const;

    LeavingRows leaving_;
    // Rows removed since the view last dropped the records of open nodes that went with them.
    qsizetype removedSincePrune_ = 0;
    int arrivingParentItem_ = kNotOpen;
    std::optional<QLine> dropMark_;
    // Whether the style draws nothing at an ancestor's level of a row (no connecting lines);
    // asked again when the style changes.
    bool ancestorLevelsBlank_ = false;
    // The width the widest row drawn needs (indentation, name, margins). Measured only for
    // rows drawn, so the cost follows the rows on screen, not the tree's size; it grows as
    // wider rows come into view and never shrinks until a new model, font or style.
    mutable int widestRow_ = 0;
    // The indentation of the row being drawn: drawBranches is given it.
    mutable int branchWidth_ = 0;
    mutable bool fitPending_ = false;
    // The widths of names drawn lately, in the view's font.
    mutable QHash<QString, int> textWidths_;
};
