// Puts the main window on screen in a few states for the screenshots of
// scripts/screenshots.sh, prints READY once it is drawn and stays until it is killed.
//   screenshot_scenes main     the window with a small document
//   screenshot_scenes menu     the same with the File menu open
//   screenshot_scenes editmenu the 編集 menu open after an edit, undo and the clipboard first
//   screenshot_scenes dialog   the save question over the window
//   screenshot_scenes save     the save dialog (Qt's own, in Japanese)
//   screenshot_scenes context  the editor's context menu (Qt's own, in Japanese)
//   screenshot_scenes longname the tree with a name wider than its pane
//   screenshot_scenes find     the find panel with its hits, the first one shown
#include "app/DocumentModel.h"
#include "app/FindPanel.h"
#include "app/MainWindow.h"
#include "app/QtTranslations.h"

#include <QApplication>
#include <QComboBox>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTimer>

#include <cstdio>

namespace {

document::DocumentTree SmallDocument(document::TreeNode*& selected)
{
    document::DocumentTree tree;
    document::TreeNode& root = tree.Root();
    document::TreeNode& plans = tree.AppendNode(root, "旅行の計画");
    tree.AppendNode(plans, "持ち物");
    document::TreeNode& route = tree.AppendNode(plans, "行程");
    tree.AppendNode(root, "読書メモ");
    tree.AppendNode(root, "買い物リスト");
    route.Data().SetText("一日目：京都駅に九時集合。\r\n二日目：嵐山と金閣寺。\r\n三日目：帰路、新幹線は十六時発。\r\n");
    root.SetExpanded(true);
    plans.SetExpanded(true);
    selected = &route;
    return tree;
}

void Ready()
{
    std::puts("READY");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    InstallQtTranslations(application);
    SetApplicationTitle(QStringLiteral("ヴェルモラ"));
    const QString scene = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("main");

    TForm1 form;
    document::TreeNode* selected = nullptr;
    document::DocumentTree tree = SmallDocument(selected);
    if (scene == QLatin1String("longname"))
        selected = &tree.AppendNode(*selected->Parent(), "三日目の予定：午前は嵐山で竹林と渡月橋、午後は金閣寺");
    form.SetDocument(std::move(tree), nullptr);
    form.SelectNode(selected);
    form.SetFileName(QStringLiteral("/home/user/旅行.trm"));
    form.Memo1->moveCursor(QTextCursor::End);
    form.Memo1->insertPlainText(QStringLiteral("\n四日目：予備日。"));
    form.show();

    QTimer::singleShot(300, &form, [&] {
        if (scene == QLatin1String("menu") || scene == QLatin1String("editmenu")) {
            if (scene == QLatin1String("editmenu"))
                form.Memo1->insertPlainText(QStringLiteral("追記"));
            QAction* menu = form.MainMenu1->actions().at(scene == QLatin1String("menu") ? 0 : 2);
            form.MainMenu1->setActiveAction(menu);
            QTimer::singleShot(300, &form, Ready);
        } else if (scene == QLatin1String("dialog")) {
            QTimer::singleShot(300, &form, Ready);
            VistaMessageDlg(QStringLiteral("ファイル /home/user/旅行.trm の内容は変更されています。\r変更を保存しますか？"),
                            forms::TMsgDlgType::mtWarning,
                            forms::TMsgDlgBtn::mbYes | forms::TMsgDlgBtn::mbNo | forms::TMsgDlgBtn::mbCancel);
        } else if (scene == QLatin1String("save")) {
            QTimer::singleShot(300, &form, Ready);
            form.actSaveAs->trigger();
        } else if (scene == QLatin1String("context")) {
            // Something typed, so that 元に戻す is there to take.
            form.Memo1->insertPlainText(QStringLiteral("追記"));
            emit form.Memo1->customContextMenuRequested(QPoint(60, 30));
            QTimer::singleShot(300, &form, Ready);
        } else if (scene == QLatin1String("find")) {
            form.setGeometry(60, 40, 820, 600);
            form.actFind->trigger();
            form.FindPanel1->SearchBox->setEditText(QStringLiteral("日目"));
            form.FindPanel1->FinishSearch();
            emit form.FindPanel1->ResultList->activated(form.FindPanel1->ResultList->model()->index(1, 0));
            QTimer::singleShot(300, &form, Ready);
        } else {
            Ready();
        }
    });
    return application.exec();
}
