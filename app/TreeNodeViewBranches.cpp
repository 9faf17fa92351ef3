// The branch area of a row: the item view asks the style to draw every level of it, the
// row's own indicator and one cell for each ancestor. Where the style leaves the ancestors'
// cells blank (no connecting lines), a row of a node thirty levels deep costs thirty style
// calls for nothing; only the row's own indicator is drawn then.
#include "app/TreeNodeView.h"

#include <QCursor>
#include <QEvent>
#include <QImage>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionViewItem>

namespace {

// Draws an ancestor's cell in the states a row can be in and looks for any pixel drawn.
bool StyleLeavesAncestorLevelsBlank(const QStyle& style, const QStyleOptionViewItem& base, const QWidget* widget)
{
    constexpr int kCell = 24;
    const QStyle::State rowStates[] = {
        QStyle::State_Enabled,
        QStyle::State_Enabled | QStyle::State_Active | QStyle::State_HasFocus | QStyle::State_Selected,
        QStyle::State_Enabled | QStyle::State_MouseOver,
        QStyle::State_None,
    };
    for (const QStyle::State rowState : rowStates) {
        for (const QStyle::State sibling : {QStyle::State(QStyle::State_None), QStyle::State(QStyle::State_Sibling)}) {
            QImage cell(kCell, kCell, QImage::Format_ARGB32_Premultiplied);
            cell.fill(Qt::transparent);
            QStyleOptionViewItem option = base;
            option.rect = QRect(0, 0, kCell, kCell);
            option.state = rowState | sibling;
            {
                QPainter painter(&cell);
                style.drawPrimitive(QStyle::PE_IndicatorBranch, &option, &painter, widget);
            }
            for (int y = 0; y < kCell; ++y) {
                const auto* line = reinterpret_cast<const QRgb*>(cell.constScanLine(y));
                for (int x = 0; x < kCell; ++x)
                    if (qAlpha(line[x]) != 0)
                        return false;
            }
        }
    }
    return true;
}

}  // namespace

void TTreeNodeView::CheckBranchStyle()
{
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    ancestorLevelsBlank_ = StyleLeavesAncestorLevelsBlank(*style(), option, this);
}

void TTreeNodeView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::StyleChange || event->type() == QEvent::PaletteChange)
        CheckBranchStyle();
    QTreeView::changeEvent(event);
    // Rows measured in another font or style say nothing of their width now.
    if (event->type() == QEvent::StyleChange || event->type() == QEvent::FontChange)
        ForgetWidestRow();
}

void TTreeNodeView::drawBranches(QPainter* painter, const QRect& rect, const QModelIndex& index) const
{
    branchWidth_ = rect.width();
    // Alternating rows would need the row's number, which only the base class knows.
    if (!ancestorLevelsBlank_ || alternatingRowColors()) {
        QTreeView::drawBranches(painter, rect, index);
        return;
    }
    const QModelIndex parent = index.parent();
    if (!parent.isValid() && !rootIsDecorated())
        return;

    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const int indent = indentation();
    option.rect = QRect(isRightToLeft() ? rect.left() : rect.right() + 1 - indent, rect.top(), indent, rect.height());
    QStyle::State state = QStyle::State_Item;
    state.setFlag(QStyle::State_Enabled, isEnabled());
    state.setFlag(QStyle::State_HasFocus, hasFocus());
    state.setFlag(QStyle::State_Active, window()->isActiveWindow());
    state.setFlag(QStyle::State_Selected, selectionModel()->isSelected(index));
    state.setFlag(QStyle::State_Sibling, index.row() + 1 < model()->rowCount(parent));
    state.setFlag(QStyle::State_Children, model()->hasChildren(index));
    state.setFlag(QStyle::State_Open, isExpanded(index));
    state.setFlag(QStyle::State_MouseOver,
                  viewport()->underMouse() && option.rect.contains(viewport()->mapFromGlobal(QCursor::pos())));
    option.state = state;

    const QPoint brushOrigin = painter->brushOrigin();
    if (verticalScrollMode() == QAbstractItemView::ScrollPerPixel)
        painter->setBrushOrigin(QPoint(0, verticalOffset()));
    style()->drawPrimitive(QStyle::PE_IndicatorBranch, &option, painter, this);
    painter->setBrushOrigin(brushOrigin);
}
