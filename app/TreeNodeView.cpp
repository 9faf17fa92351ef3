#include "app/TreeNodeView.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QPainter>
#include <QStyle>

#include <algorithm>

namespace {

// The mark is white and drawn so that it inverts what lies under it: visible on the
// white background and on the highlighted selection alike.
constexpr int kDropMarkWidth = 4;

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
    CheckBranchStyle();
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
