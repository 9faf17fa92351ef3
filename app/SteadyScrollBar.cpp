#include "app/SteadyScrollBar.h"

#include <QAbstractItemView>
#include <QPlainTextEdit>
#include <QStyleOptionSlider>

TSteadyScrollBar::TSteadyScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent)
{
}

TSteadyScrollBar::Look TSteadyScrollBar::CurrentLook() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    Look look;
    look.slider = style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
    look.state = option.state;
    look.activeSubControls = option.activeSubControls;
    look.atMinimum = option.sliderValue == option.minimum;
    look.atMaximum = option.sliderValue == option.maximum;
    return look;
}

void TSteadyScrollBar::sliderChange(SliderChange change)
{
    if (change != SliderOrientationChange && painted_ && *painted_ == CurrentLook())
        return;
    QScrollBar::sliderChange(change);
}

void TSteadyScrollBar::paintEvent(QPaintEvent* event)
{
    painted_ = CurrentLook();
    QScrollBar::paintEvent(event);
}

// setVerticalScrollBar and setHorizontalScrollBar connect only the scroll area's own slots to
// the new bar; what the view itself connected to the bar it made goes with that bar.

void UseSteadyScrollBars(QAbstractItemView& view)
{
    auto* vertical = new TSteadyScrollBar(Qt::Vertical);
    auto* horizontal = new TSteadyScrollBar(Qt::Horizontal);
    view.setVerticalScrollBar(vertical);
    view.setHorizontalScrollBar(horizontal);
    // The view's reactions (hover update after a scroll, fetching more rows), connected after
    // the scroll area's as the view connects them, so that they see the contents scrolled.
    QObject::connect(vertical, SIGNAL(actionTriggered(int)), &view, SLOT(verticalScrollbarAction(int)));
    QObject::connect(vertical, SIGNAL(valueChanged(int)), &view, SLOT(verticalScrollbarValueChanged(int)));
    QObject::connect(horizontal, SIGNAL(actionTriggered(int)), &view, SLOT(horizontalScrollbarAction(int)));
    QObject::connect(horizontal, SIGNAL(valueChanged(int)), &view, SLOT(horizontalScrollbarValueChanged(int)));
}

void UseSteadyScrollBars(QPlainTextEdit& editor)
{
    auto* vertical = new TSteadyScrollBar(Qt::Vertical);
    // A click in the trough pages by the editor's own measure of wrapped lines. The slot is
    // private and found by name only: on a Qt without it the connect fails (with a warning)
    // and the editor keeps its own vertical bar rather than page wrongly.
    if (QObject::connect(vertical, SIGNAL(actionTriggered(int)), &editor,
                         SLOT(_q_verticalScrollbarActionTriggered(int))))
        editor.setVerticalScrollBar(vertical);
    else
        delete vertical;
    editor.setHorizontalScrollBar(new TSteadyScrollBar(Qt::Horizontal));
}
