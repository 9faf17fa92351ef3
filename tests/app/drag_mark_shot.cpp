// Holds the main window in the middle of a drag inside the tree, for scripts/screenshot-drag.sh:
//   drag_mark_shot before <png>   the mark over a label: the dragged node would go before it
//   drag_mark_shot child <png>    the mark under a label, shifted right: as its first child
// Writes the window's own picture to <png>, prints READY and stays until it is killed.
#include "app/DocumentModel.h"
#include "app/MainWindow.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QPlainTextEdit>
#include <QTimer>

#include <cstdio>

namespace {

document::DocumentTree SmallDocument()
{
    document::DocumentTree tree;
    document::TreeNode& root = tree.Root();
    document::TreeNode& plans = tree.AppendNode(root, "旅行の計画");
    tree.AppendNode(plans, "持ち物").Data().SetText("傘\r\n充電器\r\n");
    tree.AppendNode(plans, "行程");
    tree.AppendNode(root, "読書メモ");
    tree.AppendNode(root, "買い物リスト");
    root.SetExpanded(true);
    plans.SetExpanded(true);
    return tree;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    if (argc < 3) {
        std::fputs("usage: drag_mark_shot before|child <png>\n", stderr);
        return 2;
    }
    SetApplicationTitle(QStringLiteral("ヴェルモラ"));
    const bool asChild = QString::fromLocal8Bit(argv[1]) == QLatin1String("child");
    const QString picture = QString::fromLocal8Bit(argv[2]);

    TForm1 form;
    form.SetDocument(SmallDocument(), nullptr);
    document::TreeNode& root = form.Document().Root();
    form.SelectNode(root.Child(0)->Child(0));  // 持ち物 is being dragged
    form.show();

    QTimer::singleShot(300, &form, [&] {
        // 読書メモ: on the left half of its label (before it) or past its middle (child).
        const QRect label = form.TreeView1->LabelRect(form.Model().IndexOf(root.Child(1)));
        const QPoint position(asChild ? label.right() - 2 : label.left() + 2, label.center().y());
        const auto data = form.TreeView1->NodeDragData();
        QDragEnterEvent enter(position, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form.TreeView1->viewport(), &enter);
        QDragMoveEvent move(position, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(form.TreeView1->viewport(), &move);
        QTimer::singleShot(200, &form, [&form, picture, accepted = move.isAccepted()] {
            if (!accepted || !form.grab().save(picture)) {
                std::fputs("the drag was refused or the picture could not be written\n", stderr);
                QApplication::exit(1);
                return;
            }
            std::puts("READY");
            std::fflush(stdout);
        });
    });
    return application.exec();
}
