#include "app/SteadyScrollBar.h"

#include <QPlainTextEdit>
#include <QStyleOptionSlider>
#include <QtTest>

#include <utility>

namespace {

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget& widget) { widget.installEventFilter(this); }
    int Take() { return std::exchange(count_, 0); }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++count_;
        return false;
    }

private:
    int count_ = 0;
};

// Where the style puts the slider of bar now.
QRect SliderRect(const QScrollBar& bar)
{
    QStyleOptionSlider option;
    option.initFrom(&bar);
    option.subControls = QStyle::SC_None;
    option.activeSubControls = QStyle::SC_None;
    option.orientation = bar.orientation();
    option.minimum = bar.minimum();
    option.maximum = bar.maximum();
    option.sliderPosition = bar.sliderPosition();
    option.sliderValue = bar.value();
    option.singleStep = bar.singleStep();
    option.pageStep = bar.pageStep();
    option.upsideDown = bar.invertedAppearance();
    if (bar.orientation() == Qt::Horizontal)
        option.state |= QStyle::State_Horizontal;
    return bar.style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, &bar);
}

void Settle() { QCoreApplication::processEvents(); }

}  // namespace

class TestSteadyScrollBar : public QObject {
    Q_OBJECT

private slots:
    // A bar over 100,000 rows: a step of one row leaves the slider where it is and paints
    // nothing; every change that moves or resizes the slider, or reaches an end, repaints.
    void repaintsExactlyWhenTheSliderOrAnEndChanges()
    {
        TSteadyScrollBar bar(Qt::Vertical);
        bar.resize(16, 300);
        bar.setRange(0, 100000);
        bar.setPageStep(30);
        bar.setValue(50000);
        PaintCounter paints(bar);
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        Settle();
        QVERIFY(paints.Take() > 0);

        const QRect before = SliderRect(bar);
        bar.setValue(50001);
        bar.setPageStep(30);
        bar.setSingleStep(2);
        Settle();
        QCOMPARE(SliderRect(bar), before);
        QCOMPARE(paints.Take(), 0);

        bar.setValue(90000);
        Settle();
        QVERIFY(SliderRect(bar) != before);
        QCOMPARE(paints.Take(), 1);

        // A range that lets the slider grow.
        bar.setRange(0, 100);
        Settle();
        QCOMPARE(paints.Take(), 1);
        QCOMPARE(bar.value(), 100);

        // Reaching an end repaints even where the slider would not move a pixel.
        bar.setRange(0, 100000);
        bar.setValue(100000);
        Settle();
        paints.Take();
        bar.setValue(99999);
        Settle();
        QCOMPARE(paints.Take(), 1);
        bar.setValue(100000);
        Settle();
        QCOMPARE(paints.Take(), 1);

        // Hiding and showing again paints anew.
        bar.hide();
        bar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bar));
        Settle();
        QVERIFY(paints.Take() > 0);
    }

    // Both scroll bars of a view are replaced, keeping the view's policies, and the view
    // drives them exactly as it drives its own.
    void aViewGetsSteadyBarsInBothDirections()
    {
        QPlainTextEdit plain;
        QPlainTextEdit steady;
        for (QPlainTextEdit* editor : {&plain, &steady}) {
            editor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            editor->setLineWrapMode(QPlainTextEdit::NoWrap);
            editor->resize(200, 100);
        }
        UseSteadyScrollBars(steady);
        QVERIFY(qobject_cast<TSteadyScrollBar*>(steady.verticalScrollBar()));
        QVERIFY(qobject_cast<TSteadyScrollBar*>(steady.horizontalScrollBar()));
        QCOMPARE(steady.verticalScrollBar()->orientation(), Qt::Vertical);
        QCOMPARE(steady.horizontalScrollBar()->orientation(), Qt::Horizontal);
        QCOMPARE(steady.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

        const QString text = QString(QStringLiteral("a long line of text to scroll sideways\n")).repeated(500);
        for (QPlainTextEdit* editor : {&plain, &steady}) {
            editor->show();
            QVERIFY(QTest::qWaitForWindowExposed(editor));
            editor->setPlainText(text);
            editor->moveCursor(QTextCursor::End);
            editor->moveCursor(QTextCursor::Up);
            editor->moveCursor(QTextCursor::EndOfLine);
        }
        Settle();
        for (auto bar : {&QAbstractScrollArea::verticalScrollBar, &QAbstractScrollArea::horizontalScrollBar}) {
            QVERIFY((plain.*bar)()->maximum() > 0);
            QVERIFY((plain.*bar)()->value() > 0);
            QCOMPARE((steady.*bar)()->maximum(), (plain.*bar)()->maximum());
            QCOMPARE((steady.*bar)()->pageStep(), (plain.*bar)()->pageStep());
            QCOMPARE((steady.*bar)()->value(), (plain.*bar)()->value());
        }
    }
};

QTEST_MAIN(TestSteadyScrollBar)
#include "test_steady_scroll_bar.moc"
