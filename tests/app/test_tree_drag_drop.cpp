#include "UnexpectedDialogs.h"
#include "TreeFixture.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QPlainTextEdit>
#include <QSignalSpy>

using document::TreeNode;
using namespace treetest;

namespace {

TreeNode* NodeA(TForm1& form) { return &NodeAt(form, {0}); }
TreeNode* NodeC(TForm1& form) { return &NodeAt(form, {2}); }

QRect Label(TForm1& form, const TreeNode* node) { return form.TreeView1->LabelRect(IndexOf(form, node)); }

// Points on a node's label: on its left half, on its right half, and right of the label.
QPoint LeftHalf(TForm1& form, const TreeNode* node)
{
    const QRect label = Label(form, node);
    return {label.left() + 1, label.center().y()};
}
QPoint RightHalf(TForm1& form, const TreeNode* node)
{
    const QRect label = Label(form, node);
    return {label.left() + label.width() - 2, label.center().y()};
}
QPoint RightOfLabel(TForm1& form, const TreeNode* node)
{
    const QRect label = Label(form, node);
    return {label.left() + label.width() + 15, label.center().y()};
}

// A drag arriving at a point of the tree, as the toolkit delivers it: enter, then move.
// Returns whether a drop there would be taken.
bool DragTo(TForm1& form, QPoint position, const QMimeData& data)
{
    QWidget* viewport = form.TreeView1->viewport();
    QDragEnterEvent enter(position, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &enter);
    QDragMoveEvent move(position, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(viewport, &move);
    return move.isAccepted();
}

void DropAt(TForm1& form, QPoint position, const QMimeData& data)
{
    QDropEvent drop(position, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form.TreeView1->viewport(), &drop);
}

// The names and texts of a subtree in pre-order.
QStringList Contents(const TreeNode& top)
{
    QStringList lines;
    const TreeNode* end = nullptr;
    for (const TreeNode* p = &top; p && !end; p = p->Parent())
        end = p->NextSibling();
    for (const TreeNode* node = &top; node && node != end; node = document::PreOrderNext(*node))
        lines << QString::fromStdString(node->Name() + "=" + node->Data().Text());
    return lines;
}

}  // namespace

class TestTreeDragDrop : public WindowTestCase {
    Q_OBJECT

private slots:
    void theTreeStartsDragsOfItsNodes()
    {
        TForm1 form;
        Open(form);
        QVERIFY(form.TreeView1->dragEnabled());
        QVERIFY(form.TreeView1->viewport()->acceptDrops());
        QVERIFY(form.Model().flags(IndexOf(form, NodeC(form))) & Qt::ItemIsDragEnabled);
        // The label is the text only: it starts where the indentation ends and is narrower
        // than the row.
        const QRect item = form.TreeView1->visualRect(IndexOf(form, NodeC(form)));
        const QRect label = Label(form, NodeC(form));
        QCOMPARE(label.left(), item.left());
        QVERIFY(label.width() > 0 && label.width() < item.width());
        QVERIFY(Label(form, &NodeAt(form, {0, 0})).left() > label.left());

        // Pressing on a node selects it, and moving with the button held starts a drag of it
        // by itself, carrying the tree's own data.
        QWidget* viewport = form.TreeView1->viewport();
        QTest::mousePress(viewport, Qt::LeftButton, {}, label.center());
        QCOMPARE(form.Selected(), NodeC(form));
        QVERIFY(!form.TreeView1->findChild<QDrag*>());
        for (int step = 1; step <= 4; ++step)
            QTest::mouseMove(viewport, label.center() + QPoint(0, step * 10));
        const QDrag* drag = form.TreeView1->findChild<QDrag*>();
        QVERIFY(drag);
        QCOMPARE(DragSourceOf(drag->mimeData()), form.TreeView1);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, label.center() + QPoint(0, 40));
        QCOMPARE(Outline(form).size(), 7);
    }

    void everyRefusal()
    {
        TForm1 form;
        Open(form, NodeA);
        form.SetFileName(QStringLiteral("memo.trm"));
        const QStringList outline = Outline(form);
        auto own = form.TreeView1->NodeDragData();

        // Onto itself, on either half, and onto any descendant.
        QVERIFY(!DragTo(form, LeftHalf(form, NodeA(form)), *own));
        QVERIFY(!DragTo(form, RightHalf(form, NodeA(form)), *own));
        QVERIFY(!DragTo(form, RightOfLabel(form, &NodeAt(form, {0, 1})), *own));
        QVERIFY(!DragTo(form, LeftHalf(form, &NodeAt(form, {0, 0})), *own));
        // Before the root: its left half, and left of its label.
        const QPoint rootLeft = LeftHalf(form, &form.Document().Root());
        QVERIFY(!DragTo(form, rootLeft, *own));
        QVERIFY(!DragTo(form, QPoint(0, rootLeft.y()), *own));
        // Below the last node, where no node is under the pointer.
        const QPoint below(RightHalf(form, NodeC(form)).x(), form.TreeView1->viewport()->height() - 3);
        QVERIFY(!form.TreeView1->indexAt(below).isValid());
        QVERIFY(!DragTo(form, below, *own));
        QVERIFY(!form.TreeView1->DropMark());
        DropAt(form, below, *own);  // a drop after a refused drag-over moves nothing
        // A drag that is not the tree's own: other data, or another view's node.
        QMimeData text;
        text.setText(QStringLiteral("C"));
        QVERIFY(!DragTo(form, LeftHalf(form, NodeC(form)), text));
        TTreeNodeView otherView;
        QVERIFY(!DragTo(form, LeftHalf(form, NodeC(form)), *otherView.NodeDragData()));
        QCOMPARE(Outline(form), outline);
        QVERIFY(!form.Modified());

        // The root itself cannot be dragged anywhere, not even into a node as its child.
        form.SelectNode(&form.Document().Root());
        QVERIFY(!DragTo(form, RightHalf(form, NodeC(form)), *own));
        QVERIFY(!form.TreeView1DragOver(form.TreeView1, RightHalf(form, NodeC(form)).x(),
                                        RightHalf(form, NodeC(form)).y()));
        form.TreeView1DragDrop(form.TreeView1);
        // Nothing selected: no drag either.
        form.TreeView1->clearSelection();
        QVERIFY(!DragTo(form, RightHalf(form, NodeC(form)), *own));
        QCOMPARE(Outline(form), outline);
        QVERIFY(!form.Modified());
    }

    void dropBeforeANodeMovesTheSubtreeWithItsTexts()
    {
        TForm1 form;
        Open(form, NodeA);
        const QStringList moving = Contents(*NodeA(form));
        TreeNode* a = NodeA(form);
        auto own = form.TreeView1->NodeDragData();
        // The left half of C's label, and left of it, mean "before C".
        QVERIFY(DragTo(form, QPoint(2, LeftHalf(form, NodeC(form)).y()), *own));
        QVERIFY(DragTo(form, LeftHalf(form, NodeC(form)), *own));
        const QRect label = Label(form, NodeC(form));
        QCOMPARE(form.TreeView1->DropMark(),
                 std::optional<QLine>(QLine(label.left(), label.top(), label.left() + label.width(), label.top())));
        QSignalSpy selectionChanges(form.TreeView1->selectionModel(), &QItemSelectionModel::selectionChanged);
        DropAt(form, LeftHalf(form, NodeC(form)), *own);
        QCOMPARE(Outline(form), (QStringList{"ルート", "  B", "    B1", "  A", "    A1", "    A2", "  C"}));
        QCOMPARE(NodeAt(form, {1}).Name(), std::string("A"));
        QCOMPARE(&NodeAt(form, {1}), a);
        QCOMPARE(Contents(*a), moving);
        QCOMPARE(form.Selected(), a);
        QCOMPARE(selectionChanges.size(), 0);
        QCOMPARE(form.Memo1->toPlainText(), QStringLiteral("alpha"));
        QVERIFY(form.Modified());
        QVERIFY(form.windowTitle().endsWith(QStringLiteral(" *")));
        QVERIFY(!form.TreeView1->DropMark());
        // The moved node keeps its children shown, and the view still matches the tree.
        QVERIFY(form.TreeView1->isExpanded(IndexOf(form, a)));
        QCOMPARE(form.Model().rowCount(IndexOf(form, a)), 2);
        QCOMPARE(form.TreeView1->indexAt(RightHalf(form, a)), IndexOf(form, a));
    }

    void dropAsFirstChildExpandsTheNewParent()
    {
        TForm1 form;
        Open(form, NodeA);
        form.SetFileName(QStringLiteral("memo.trm"));
        TreeNode* a = NodeA(form);
        TreeNode* b = &NodeAt(form, {1});
        const QStringList moving = Contents(*a);
        auto own = form.TreeView1->NodeDragData();
        // Right of the middle of collapsed B's label: as B's first child, ahead of B1.
        QVERIFY(!b->Expanded());
        QVERIFY(DragTo(form, RightHalf(form, b), *own));
        const QRect label = Label(form, b);
        const int bottom = label.top() + label.height();
        QCOMPARE(form.TreeView1->DropMark(),
                 std::optional<QLine>(QLine(label.left() + 32, bottom, label.left() + label.width() + 32, bottom)));
        DropAt(form, RightHalf(form, b), *own);
        QCOMPARE(Outline(form), (QStringList{"ルート", "  B", "    A", "      A1", "      A2", "    B1", "  C"}));
        QCOMPARE(Contents(*a), moving);
        QVERIFY(b->Expanded());
        QVERIFY(form.TreeView1->isExpanded(IndexOf(form, b)));
        QCOMPARE(form.Selected(), a);
        QVERIFY(form.Modified());
        QVERIFY(!form.TreeView1->DropMark());

        // Into the root as its first child, far right of its label; then a leaf into a leaf.
        form.SelectNode(&NodeAt(form, {1}));  // C
        QVERIFY(DragTo(form, RightOfLabel(form, &form.Document().Root()), *own));
        DropAt(form, RightOfLabel(form, &form.Document().Root()), *own);
        QCOMPARE(Outline(form), (QStringList{"ルート", "  C", "  B", "    A", "      A1", "      A2", "    B1"}));
        form.SelectNode(&NodeAt(form, {1, 1}));  // B1
        QVERIFY(form.TreeView1DragOver(form.TreeView1, RightHalf(form, NodeA(form)).x(),
                                       RightHalf(form, NodeA(form)).y()));
        form.TreeView1DragDrop(form.TreeView1);
        QCOMPARE(Outline(form), (QStringList{"ルート", "  C", "    B1", "  B", "    A", "      A1", "      A2"}));
        QCOMPARE(NodeAt(form, {0, 0}).Data().Text(), std::string("b-one\r\n"));
        QVERIFY(NodeAt(form, {0}).Expanded());
    }

    void theMarkGoesWithTheNextDragOverAndWhenTheDragLeaves()
    {
        TForm1 form;
        Open(form, NodeC);
        auto own = form.TreeView1->NodeDragData();
        QVERIFY(DragTo(form, LeftHalf(form, NodeA(form)), *own));
        QVERIFY(form.TreeView1->DropMark());
        const QLine before = *form.TreeView1->DropMark();
        // Drawn over the tree, inverting the white background into a dark line.
        const QPoint onMark = before.center();
        QVERIFY(qGray(form.TreeView1->viewport()->grab().toImage().pixel(onMark)) < 64);
        QVERIFY(DragTo(form, RightHalf(form, NodeA(form)), *own));
        QVERIFY(*form.TreeView1->DropMark() != before);
        QVERIFY(!DragTo(form, LeftHalf(form, NodeC(form)), *own));  // onto itself
        QVERIFY(!form.TreeView1->DropMark());
        QVERIFY(DragTo(form, LeftHalf(form, NodeA(form)), *own));
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(form.TreeView1->viewport(), &leave);
        QVERIFY(!form.TreeView1->DropMark());
        QVERIFY(qGray(form.TreeView1->viewport()->grab().toImage().pixel(onMark)) > 192);
        QVERIFY(!form.Modified());
    }
};

QTEST_MAIN(TestTreeDragDrop)
#include "test_tree_drag_drop.moc"
