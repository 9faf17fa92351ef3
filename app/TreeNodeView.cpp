#include "app/TreeNodeView.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>

#include <algorithm>

namespace {

// The mark is white and drawn so that it inverts what lies under it: visible on the
// white background and on the highlighted selection alike.
constexpr int kDropMarkWidth = 4;

// The delegate of the names: while an input method composes in the rename field, Enter and
// Esc are the conversion's (confirm it, cancel it), and only after that the rename's.
class TNodeNameDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        // The column is as wide as the widest row: a deep node's name may lie wholly beside
        // the pane, where laying it out would cost as much as showing it.
        const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
        if (view && !option.rect.intersects(view->viewport()->rect()))
            return;
        QStyledItemDelegate::paint(painter, option, index);
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        if (event->type() == QEvent::InputMethod) {
            composing_ = static_cast<QInputMethodEvent*>(event)->preeditString().isEmpty() ? nullptr : object;
        } else if (event->type() == QEvent::KeyPress && composing_ == object) {
            switch (static_cast<QKeyEvent*>(event)->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
            case Qt::Key_Escape:
                event->accept();
                return true;
            default:
                break;
            }
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    // The editor that shows a preedit, if any.
    QPointer<QObject> composing_;
};

}  // namespace

TNodeDragData::TNodeDragData(QObject* source)
    : source_(source)
{
    setData(QString::fromLatin1(kFormat), QByteArray());
}

QObject* DragSourceOf(const QMimeData* data)
{
    const auto* nodeData = qobject_cast<const TNodeDragData*>(data);
    return nodeData ? nodeData->Source() : nullptr;
}

TTreeNodeView::TTreeNodeView(QWidget* parent)
    : QTreeView(parent)
{
    setDragDropMode(QAbstractItemView::DragDrop);
    setDropIndicatorShown(false);  // the window draws its own mark
    setItemDelegate(new TNodeNameDelegate(this));
    // One column as wide as the widest name, scrolled by pixels; never "…".
    header()->setStretchLastSection(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setTextElideMode(Qt::ElideNone);
    // A double-click opens a node through ExpandNodes.
    setExpandsOnDoubleClick(false);
    connect(this, &QAbstractItemView::doubleClicked, this, &TTreeNodeView::ToggleOnDoubleClick);
    CheckBranchStyle();
}

void TTreeNodeView::drawRow(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    branchWidth_ = 0;
    QTreeView::drawRow(painter, option, index);
    // The item delegate keeps this margin on either side of the text.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const int width = branchWidth_ + TextWidth(option.fontMetrics, index.data(Qt::DisplayRole).toString()) + 2 * margin;
    if (width <= widestRow_)
        return;
    widestRow_ = width;
    // Not while painting: resizing the column repaints the rows.
    if (!fitPending_) {
        fitPending_ = true;
        QTimer::singleShot(0, const_cast<TTreeNodeView*>(this), &TTreeNodeView::FitColumn);
    }
}

int TTreeNodeView::TextWidth(const QFontMetrics& metrics, const QString& text) const
{
    // Shaping a Japanese name costs microseconds, and a repaint after each move or addition
    // shows mostly the same names again.
    constexpr qsizetype kWidthsKept = 4096;
    if (const auto known = textWidths_.constFind(text); known != textWidths_.cend())
        return *known;
    if (textWidths_.size() >= kWidthsKept)
        textWidths_.clear();
    const int width = metrics.horizontalAdvance(text);
    textWidths_.insert(text, width);
    return width;
}

void TTreeNodeView::FitColumn()
{
    fitPending_ = false;
    if (!model() || header()->count() == 0)
        return;
    const int width = std::max(viewport()->width(), widestRow_);
    if (header()->sectionSize(0) != width)
        header()->resizeSection(0, width);
}

void TTreeNodeView::ForgetWidestRow()
{
    widestRow_ = 0;
    textWidths_.clear();
    FitColumn();
}

void TTreeNodeView::resizeEvent(QResizeEvent* event)
{
    QTreeView::resizeEvent(event);
    FitColumn();
}

void TTreeNodeView::reset()
{
    QTreeView::reset();
    ForgetWidestRow();
}

bool TTreeNodeView::Opens(const QModelIndex& index) const
{
    return model() && index.isValid() && !isExpanded(index) && model()->hasChildren(index);
}

void TTreeNodeView::ExpandNodes(const QModelIndexList& indexes)
{
    constexpr qsizetype kOneByOne = 16;
    if (indexes.size() <= kOneByOne) {
        for (const QModelIndex& index : indexes)
            if (!ExpandInPlace(index))
                expand(index);
        return;
    }
    // With a layout pending, the view only records what opens.
    scheduleDelayedItemsLayout();
    for (const QModelIndex& index : indexes)
        expand(index);
    executeDelayedItemsLayout();
}

QRect TTreeNodeView::BranchMarkRect(const QModelIndex& index) const
{
    const QRect item = visualRect(index);
    if (item.isEmpty() || (!rootIsDecorated() && !index.parent().isValid()))
        return {};
    // The mark takes the last step of the indentation, just before the item.
    QStyleOption option;
    option.initFrom(this);
    option.rect = isRightToLeft() ? QRect(item.right() + 1, item.top(), indentation(), item.height())
                                  : QRect(item.left() - indentation(), item.top(), indentation(), item.height());
    return style()->subElementRect(QStyle::SE_TreeViewDisclosureItem, &option, this);
}

void TTreeNodeView::mousePressEvent(QMouseEvent* event)
{
    const QPoint position = event->position().toPoint();
    const QModelIndex index = indexAt(position);
    const bool opensOnPress =
        style()->styleHint(QStyle::SH_ListViewExpand_SelectMouseType, nullptr, this) == QEvent::MouseButtonPress;
    if (event->button() == Qt::LeftButton && opensOnPress && state() == NoState && itemsExpandable() &&
        index.isValid() && BranchMarkRect(index).contains(position) && Opens(index)) {
        ExpandNodes({index});
        event->accept();
        return;
    }
    QTreeView::mousePressEvent(event);
}

void TTreeNodeView::ToggleOnDoubleClick(const QModelIndex& index)
{
    // What the view does itself, with the opening done here.
    if (state() != NoState || !itemsExpandable() || !index.isValid() || !model()->hasChildren(index))
        return;
    if (isExpanded(index))
        collapse(index);
    else
        ExpandNodes({index});
}

void TTreeNodeView::keyPressEvent(QKeyEvent* event)
{
    const QModelIndex current = currentIndex();
    const bool opens = (event->key() == Qt::Key_Right || event->key() == Qt::Key_Plus) &&
                       (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (opens && state() == NoState && itemsExpandable() && Opens(current)) {
        ExpandNodes({current});
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

std::unique_ptr<TNodeDragData> TTreeNodeView::NodeDragData()
{
    return std::make_unique<TNodeDragData>(this);
}

QRect TTreeNodeView::LabelRect(const QModelIndex& index) const
{
    const QRect item = visualRect(index);
    if (item.isEmpty())
        return {};
    // The item delegate draws the text this far inside the item on either side.
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const int textWidth = fontMetrics().horizontalAdvance(index.data(Qt::DisplayRole).toString());
    const int width = std::min(textWidth + 2 * margin, item.width());
    return QRect(item.left(), item.top(), width, item.height());
}

void TTreeNodeView::ShowDropMark(QLine line)
{
    dropMark_ = line;
    viewport()->update();
}

void TTreeNodeView::ClearDropMark()
{
    if (!dropMark_)
        return;
    dropMark_.reset();
    viewport()->update();
}

void TTreeNodeView::startDrag(Qt::DropActions)
{
    // The selected node moves; the owner makes the move when the drop comes, so what the
    // drag reports afterwards needs no handling here (the item view would remove rows).
    if (!currentIndex().isValid())
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(NodeDragData().release());
    drag->exec(Qt::MoveAction);
}

void TTreeNodeView::AskDragOver(QDropEvent& event)
{
    if (DragOverHandler && DragOverHandler(DragSourceOf(event.mimeData()), event.position().toPoint())) {
        event.setDropAction(Qt::MoveAction);
        event.accept();
    } else {
        event.ignore();
    }
}

void TTreeNodeView::dragEnterEvent(QDragEnterEvent* event)
{
    // Only drags of a tree view are followed; whether one may drop here is decided by the
    // drag-over that comes right after the enter.
    if (DragSourceOf(event->mimeData())) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void TTreeNodeView::dragMoveEvent(QDragMoveEvent* event)
{
    ScrollNearEdges(event->position().toPoint());
    AskDragOver(*event);
}

void TTreeNodeView::dragLeaveEvent(QDragLeaveEvent*)
{
    stopAutoScroll();
    ClearDropMark();
}

void TTreeNodeView::dropEvent(QDropEvent* event)
{
    stopAutoScroll();
    if (DragDropHandler)
        DragDropHandler(DragSourceOf(event->mimeData()));
    ClearDropMark();
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void TTreeNodeView::ScrollNearEdges(QPoint position)
{
    const QRect area = viewport()->rect();
    const int margin = autoScrollMargin();
    if (position.y() - area.top() < margin || area.bottom() - position.y() < margin)
        startAutoScroll();
}

void TTreeNodeView::paintEvent(QPaintEvent* event)
{
    QTreeView::paintEvent(event);
    if (!dropMark_)
        return;
    QPainter painter(viewport());
    painter.setCompositionMode(QPainter::CompositionMode_Difference);
    painter.setPen(QPen(Qt::white, kDropMarkWidth));
    painter.drawLine(*dropMark_);
}
