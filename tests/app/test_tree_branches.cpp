#include "app/TreeNodeView.h"

#include <QProxyStyle>
#include <QStandardItemModel>
#include <QStyleFactory>
#include <QTreeView>
#include <QtTest>

#include <memory>

namespace {

// Passes everything to a built-in style and counts the branch cells it is asked to draw.
class CountingStyle : public QProxyStyle {
public:
    explicit CountingStyle(const QString& key)
        : QProxyStyle(QStyleFactory::create(key))
    {
    }
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
    {
        if (element == PE_IndicatorBranch)
            ++branchCells;
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
    mutable int branchCells = 0;
};

// A chain ten levels deep; on every level a sibling after the chain's node, one of them
// with a hidden child, so that rows show every kind of branch cell.
void FillDeepTree(QStandardItemModel& model)
{
    QStandardItem* parent = model.invisibleRootItem();
    for (int level = 0; level < 10; ++level) {
        auto* chain = new QStandardItem(QStringLiteral("ノード %1").arg(level));
        auto* sibling = new QStandardItem(QStringLiteral("sibling %1").arg(level));
        if (level % 3 == 1)
            sibling->appendRow(new QStandardItem(QStringLiteral("hidden")));
        parent->appendRow(chain);
        parent->appendRow(sibling);
        parent = chain;
    }
}

struct Pane {
    std::unique_ptr<QTreeView> view;
    CountingStyle* style;
};

Pane ShowPane(std::unique_ptr<QTreeView> view, QStandardItemModel& model, const QString& styleKey,
              Qt::LayoutDirection direction, bool rootDecorated)
{
    auto* style = new CountingStyle(styleKey);
    style->setParent(view.get());
    view->setStyle(style);
    view->setLayoutDirection(direction);
    view->setRootIsDecorated(rootDecorated);
    view->setHeaderHidden(true);
    view->setIndentation(19);
    view->setModel(&model);
    view->expandAll();
    view->collapse(model.index(1, 0, model.index(0, 0)));  // a closed parent among the open ones
    view->setCurrentIndex(model.index(0, 0, model.index(0, 0, model.index(0, 0))));
    view->resize(360, 420);
    view->show();
    return {std::move(view), style};
}

}  // namespace

class TreeBranchesTest : public QObject {
    Q_OBJECT
private slots:
    // Rows look the same as the stock view's, pixel for pixel, in every style, direction and
    // root decoration; where the style draws nothing at the ancestors' levels, only each row's
    // own cell is drawn, and where it draws lines, every level still is.
    void rowsLookAsTheStockViewsAndSkipOnlyBlankLevels_data()
    {
        QTest::addColumn<QString>("styleKey");
        QTest::addColumn<Qt::LayoutDirection>("direction");
        QTest::addColumn<bool>("rootDecorated");
        QTest::addColumn<bool>("skipsLevels");
        QTest::newRow("fusion") << "Fusion" << Qt::LeftToRight << true << true;
        QTest::newRow("fusion right to left") << "Fusion" << Qt::RightToLeft << true << true;
        QTest::newRow("fusion, root undecorated") << "Fusion" << Qt::LeftToRight << false << true;
        QTest::newRow("windows, with lines") << "Windows" << Qt::LeftToRight << true << false;
    }
    void rowsLookAsTheStockViewsAndSkipOnlyBlankLevels()
    {
        QFETCH(QString, styleKey);
        QFETCH(Qt::LayoutDirection, direction);
        QFETCH(bool, rootDecorated);
        QFETCH(bool, skipsLevels);
        if (!QStyleFactory::keys().contains(styleKey))
            QSKIP("style not built into this Qt");
        QStandardItemModel model;
        FillDeepTree(model);
        Pane stock = ShowPane(std::make_unique<QTreeView>(), model, styleKey, direction, rootDecorated);
        Pane ours = ShowPane(std::make_unique<TTreeNodeView>(), model, styleKey, direction, rootDecorated);
        QVERIFY(QTest::qWaitForWindowExposed(stock.view.get()));
        QVERIFY(QTest::qWaitForWindowExposed(ours.view.get()));

        stock.style->branchCells = 0;
        ours.style->branchCells = 0;
        const QImage expected = stock.view->viewport()->grab().toImage();
        const QImage actual = ours.view->viewport()->grab().toImage();
        QCOMPARE(actual, expected);

        int rows = 0;
        for (QModelIndex row = model.index(0, 0); row.isValid(); row = stock.view->indexBelow(row))
            ++rows;
        QCOMPARE(rows, 22);  // ten chain nodes, ten siblings, the children of two open siblings
        QVERIFY(stock.style->branchCells > 3 * rows);  // every level of every row
        if (skipsLevels)
            QVERIFY(ours.style->branchCells <= rows);
        else
            QCOMPARE(ours.style->branchCells, stock.style->branchCells);

        // Another selected row, at the top level, looks the same too.
        stock.view->setCurrentIndex(model.index(1, 0));
        ours.view->setCurrentIndex(model.index(1, 0));
        QCOMPARE(ours.view->viewport()->grab().toImage(), stock.view->viewport()->grab().toImage());
    }
};

QTEST_MAIN(TreeBranchesTest)
#include "test_tree_branches.moc"
