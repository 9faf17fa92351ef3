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

    // Expands the nodes. The view remembers which descendants of a closed node were open, and
    // opening it lays out each of them in turn, moving every row below it each time: with
    // many open descendants and many rows below, that takes seconds where one layout of
    // every open row takes milliseconds. Such nodes are opened in one layout; the few others
    // one by one, which lays out only their rows. The user's ways of expanding (the branch
    // mark, double-click, Right and +) come here too.
    void ExpandNodes(const QModelIndexList& indexes);

    // Runs removal with the view's record of open nodes set aside, then opens the nodes open
    // gives (what is left of them) again in one layout, at the same scroll position. Before
    // rows leave a model, Qt walks from each of its persistent indexes up to the root; the
    // view keeps one per open node, and with tens of thousands open, deep in an outline,
    // that walk takes a good part of a second where rebuilding the record takes one layout.
    void RemoveWithOpenNodesSetAside(const std::function<void()>& removal,
                                     const std::function<QModelIndexList()>& open);

    // A new model forgets the widest row.
    void reset() override;

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

private:
    // Whether expanding the node would show again more open descendants than one by one
    // allows; false for an open node or a leaf.
    bool ReopensManyNodes(const QModelIndex& index) const;
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
