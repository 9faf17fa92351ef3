#include "app/SteadyScrollBar.h"

#include <QHeaderView>
#include <QPlainTextEdit>
#include <QStandardItemModel>
#include <QStyleOptionSlider>
#include <QTreeView>
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

// What a user does to a scroll bar: clicks on its arrows and in its trough, drags it to an
// end, and every one by way of the bar's own actions.
constexpr QAbstractSlider::SliderAction kActions[] = {
    QAbstractSlider::SliderPageStepAdd,   QAbstractSlider::SliderPageStepAdd, QAbstractSlider::SliderSingleStepAdd,
    QAbstractSlider::SliderPageStepSub,   QAbstractSlider::SliderToMaximum,   QAbstractSlider::SliderPageStepSub,
    QAbstractSlider::SliderSingleStepSub, QAbstractSlider::SliderPageStepSub, QAbstractSlider::SliderToMinimum,
};

// A tree view that writes down each call of its reactions to its scroll bars, with where the
// header had scrolled to by then.
class RecordingTreeView : public QTreeView {
public:
    QStringList calls;

protected:
    void verticalScrollbarAction(int action) override
    {
        Record(u"vertical action", action);
        QTreeView::verticalScrollbarAction(action);
    }
    void horizontalScrollbarAction(int action) override
    {
        Record(u"horizontal action", action);
        QTreeView::horizontalScrollbarAction(action);
    }
    void verticalScrollbarValueChanged(int value) override
    {
        Record(u"vertical value", value);
        QTreeView::verticalScrollbarValueChanged(value);
    }
    void horizontalScrollbarValueChanged(int value) override
    {
        Record(u"horizontal value", value);
        QTreeView::horizontalScrollbarValueChanged(value);
    }

private:
    void Record(QStringView what, int number)
    {
        calls << QStringLiteral("%1 %2, header at %3").arg(what).arg(number).arg(header()->offset());
    }
};

}  // namespace

class TestSteadyScrollBar : public QObject {
    Q_OBJECT

private slots:
    // A connect that finds no slot warns; here that means a reaction of a view got lost.
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral("connect"))); }

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

    // The editor pages through wrapped lines by its own measure, which a trough click on the
    // steady bar must use too: with plain page steps the view drifts by a line a page.
    void theEditorPagesOverWrappedLinesAsWithItsOwnBar()
    {
        QPlainTextEdit plain;
        QPlainTextEdit steady;
        UseSteadyScrollBars(steady);
        QVERIFY2(qobject_cast<TSteadyScrollBar*>(steady.verticalScrollBar()),
                 "the editor's paging slot could not be connected to a steady bar");
        QString text;
        for (int line = 0; line < 200; ++line)
            text += QStringLiteral("line %1 ").arg(line).repeated(line % 3 == 0 ? 6 : 1) + u'\n';
        for (QPlainTextEdit* editor : {&plain, &steady}) {
            editor->resize(200, 120);
            editor->show();
            QVERIFY(QTest::qWaitForWindowExposed(editor));
            editor->setPlainText(text);
        }
        Settle();
        QVERIFY(plain.verticalScrollBar()->maximum() > 2 * plain.verticalScrollBar()->pageStep());
        QCOMPARE(steady.verticalScrollBar()->maximum(), plain.verticalScrollBar()->maximum());
        for (const QAbstractSlider::SliderAction action : kActions) {
            plain.verticalScrollBar()->triggerAction(action);
            steady.verticalScrollBar()->triggerAction(action);
            Settle();
            QCOMPARE(steady.verticalScrollBar()->value(), plain.verticalScrollBar()->value());
            QCOMPARE(steady.cursorForPosition({0, 0}).blockNumber(), plain.cursorForPosition({0, 0}).blockNumber());
        }
    }

    // The tree view hears of every action on and move of either bar, after it has scrolled,
    // just as it does with its own bars (it updates the hovered row and fetches more rows).
    void theTreeViewReactsToItsBarsAsWithItsOwn()
    {
        QStandardItemModel model;
        for (int row = 0; row < 300; ++row)
            model.appendRow(new QStandardItem(QStringLiteral("row %1").arg(row)));
        RecordingTreeView plain;
        RecordingTreeView steady;
        UseSteadyScrollBars(steady);
        for (RecordingTreeView* view : {&plain, &steady}) {
            view->setModel(&model);
            view->header()->setStretchLastSection(false);
            view->setColumnWidth(0, 1000);
            view->resize(200, 150);
            view->show();
            QVERIFY(QTest::qWaitForWindowExposed(view));
        }
        Settle();
        for (auto bar : {&QAbstractScrollArea::verticalScrollBar, &QAbstractScrollArea::horizontalScrollBar}) {
            QVERIFY((plain.*bar)()->maximum() > 2 * (plain.*bar)()->pageStep());
            for (RecordingTreeView* view : {&plain, &steady}) {
                view->calls.clear();
                for (const QAbstractSlider::SliderAction action : kActions)
                    (view->*bar)()->triggerAction(action);
                (view->*bar)()->setValue(5);
                Settle();
            }
            QCOMPARE((steady.*bar)()->value(), 5);
            QCOMPARE(steady.calls.size(), 2 * std::size(kActions) + 1);
            QCOMPARE(steady.calls, plain.calls);
        }
    }
};

QTEST_MAIN(TestSteadyScrollBar)
#include "test_steady_scroll_bar.moc"
