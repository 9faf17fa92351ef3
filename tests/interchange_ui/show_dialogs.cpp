// Puts the export dialog (with a small Japanese tree) or the About box on the display for a
// while and closes it again: scripts/screenshot-export.sh photographs them under Xvfb.
//
//   show_dialogs export|about [milliseconds]
#include "interchange/ExportDialog.h"
#include "forms/AboutBox.h"
#include "forms/ErrorGuard.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>

#include <cstdlib>
#include <cstring>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    SetApplicationTitle(QStringLiteral("ヴェルモラ"));
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) icon.addFile(QStringLiteral(":/icons/velmora-%1.png").arg(size));
    QApplication::setWindowIcon(icon);
    const bool about = argc > 1 && std::strcmp(argv[1], "about") == 0;
    const int shownFor = argc > 2 ? std::atoi(argv[2]) : 3000;
    QTimer::singleShot(shownFor, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
    });

    if (about) {
        Guarded([] { ShowAboutBox(); });
        return 0;
    }
    document::DocumentTree tree(QStringLiteral("旅の計画").toStdString());
    tree.Root().Data().SetText("夏休みの旅行メモ\r\n予算は十万円まで\r\n");
    document::TreeNode& places = tree.AppendNode(tree.Root(), "行き先");
    places.Data().SetText("京都\r\n奈良\r\n");
    tree.AppendNode(places, "宿").Data().SetText("駅の近く <朝食付き> & 温泉\r\n");
    tree.AppendNode(tree.Root(), "持ち物").Data().SetText("カメラ\r\n充電器\r\n");
    ShowExportDialog(tree.Root());
    return 0;
}
