// The tree view changes its rows in place as rows come, go and move and as nodes open: after
// random steps on random trees, with the view's own ways of closing and opening between
// them, its rows are those a whole layout of the same tree makes.
#include "app/DocumentModel.h"
#include "app/TreeNodeView.h"
#include "document/TreeRules.h"
#include "tests/app/ViewRows.h"

#include <QAbstractItemModelTester>
#include <QTest>

#include <random>
#include <string>
#include <vector>

using document::TreeNode;

class TestTreeViewRows : public QObject {
    Q_OBJECT

private slots:
    void randomStepsKeepTheRowsOfAWholeLayout()
    {
        int compared = 0;
        for (unsigned seed = 1; seed <= 30; ++seed) {
            std::mt19937 random(seed);
            const auto pick = [&random](std::size_t n) {
                return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
            };
            document::DocumentTree tree;
            std::vector<TreeNode*> nodes{&tree.Root()};
            for (int i = 0; i < 40; ++i)
                nodes.push_back(&tree.AppendNode(*nodes[pick(nodes.size())], "n" + std::to_string(i)));
            TDocumentModel model;
            model.SetTree(&tree);
            QAbstractItemModelTester checker(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
            TTreeNodeView view;
            // Heard before the view hears of it: the rows are asked about in between.
            connect(&model, &QAbstractItemModel::rowsRemoved, &view, [&view] {
                for (QModelIndex row = view.indexAt({1, 1}); row.isValid(); row = view.indexBelow(row))
                    view.visualRect(row);
            });
            view.setModel(&model);
            view.resize(200, 300);
            view.show();
            for (TreeNode* node : nodes)
                if (pick(3))
                    view.expand(model.IndexOf(node));
            view.doItemsLayout();
            for (int step = 0; step < 120; ++step) {
                std::vector<TreeNode*> all;
                for (TreeNode* node = &tree.Root(); node; node = document::PreOrderNext(*node))
                    all.push_back(node);
                view.setCurrentIndex(model.IndexOf(all[pick(all.size())]));
                TreeNode* node = all[pick(all.size())];
                switch (pick(6)) {
                case 0:
                    model.InsertNode(*node, pick(node->ChildCount() + 1), "new " + std::to_string(step));
                    break;
                case 1:
                    model.RemoveNode(*node);
                    break;
                case 2:
                    if (const auto plan = document::PlanDrop(node, all[pick(all.size())],
                                                             pick(2) ? document::TDropPosition::dpBefore
                                                                     : document::TDropPosition::dpChild))
                        model.MoveNode(*plan);
                    break;
                case 3:
                    view.ExpandNodes({model.IndexOf(node)});
                    break;
                case 4:
                    view.collapse(model.IndexOf(node));
                    break;
                default:
                    view.expand(model.IndexOf(node));
                    break;
                }
                compared += treetest::CheckViewRows(view);
                if (QTest::currentTestFailed())
                    QFAIL(qPrintable(QStringLiteral("seed %1, step %2").arg(seed).arg(step)));
            }
        }
        // Nearly every step is compared: none of them leaves a whole layout pending.
        QVERIFY(compared > 30 * 110);
    }

    // Laying out every row keeps no call per level: a chain 60,000 levels deep, all open,
    // shows all of its rows (Qt's own layout overflowed the stack at some 26,000; a row's
    // level holds up to 65,535).
    void aChainSixtyThousandLevelsDeepOpensWhole()
    {
        constexpr int kLevels = 60000;
        document::DocumentTree tree;
        QModelIndexList open;
        TDocumentModel model;
        TreeNode* node = &tree.Root();
        for (int i = 0; i < kLevels; ++i) {
            open.append(model.IndexOf(node));
            node = &tree.AppendNode(*node, "d" + std::to_string(i));
        }
        model.SetTree(&tree);
        TTreeNodeView view;
        view.setModel(&model);
        view.show();
        view.ExpandNodes(open);
        const auto& rows = treetest::ViewPrivate(view).viewItems;
        QCOMPARE(rows.size(), kLevels + 1);
        QCOMPARE(int(rows.last().level), kLevels);
        QCOMPARE(int(rows.first().total), kLevels);
        QCOMPARE(view.indexBelow(model.IndexOf(node->Parent())), model.IndexOf(node));
    }
};

QTEST_MAIN(TestTreeViewRows)
#include "test_tree_view_rows.moc"
