#include "app/SteadyScrollBar.h"

#include <QAbstractScrollArea>
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

void UseSteadyScrollBars(QAbstractScrollArea& area)
{
    area.setVerticalScrollBar(new TSteadyScrollBar(Qt::Vertical));
    area.setHorizontalScrollBar(new TSteadyScrollBar(Qt::Horizontal));
}
