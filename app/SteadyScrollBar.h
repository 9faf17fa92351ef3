// A scroll bar that repaints only when what it shows changes. Walking a 100,000-row tree
// moves the view's scroll value by one row at a time, which moves the slider by less than a
// pixel, and the editor sets the same page step again for every text it shows; the plain
// scroll bar repaints itself (and the window behind it) whole on each of those.
#pragma once

#include <QScrollBar>
#include <QStyle>

#include <optional>

class QAbstractItemView;
class QPlainTextEdit;

class TSteadyScrollBar : public QScrollBar {
    Q_OBJECT
public:
    explicit TSteadyScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent* event) override;

private:
    // What the style draws from the slider's state: the slider's place and size, and the
    // ends that the value has reached.
    struct Look {
        QRect slider;
        QStyle::State state;
        QStyle::SubControls activeSubControls;
        bool atMinimum = false;
        bool atMaximum = false;
        bool operator==(const Look&) const = default;
    };
    Look CurrentLook() const;

    std::optional<Look> painted_;
};

// Give a view steady scroll bars in both directions, keeping the view's own reactions to its
// bars. Only views whose reactions are known here can have them.
void UseSteadyScrollBars(QAbstractItemView& view);
void UseSteadyScrollBars(QPlainTextEdit& editor);
