// What the tree command tests share: a small document, ways to reach its nodes and the
// in-place name editor, and a recorder that answers the window's questions.
#pragma once

#include "app/DocumentModel.h"
#include "app/MainWindow.h"

#include <QAbstractEventDispatcher>
#include <QLineEdit>
#include <QtTest>

#include <initializer_list>
#include <vector>

namespace treetest {

// root
//   A      "alpha"
//     A1   "a-one"
//     A2   "a-two"
//   B      (collapsed)
//     B1   "b-one"
//   C      "charlie"
inline document::DocumentTree SampleTree()
{
    document::DocumentTree tree;
    document::TreeNode& root = tree.Root();
    document::TreeNode& a = tree.AppendNode(root, "A");
    a.Data().SetText("alpha\r\n");
    tree.AppendNode(a, "A1").Data().SetText("a-one\r\n");
    tree.AppendNode(a, "A2").Data().SetText("a-two\r\n");
    document::TreeNode& b = tree.AppendNode(root, "B");
    tree.AppendNode(b, "B1").Data().SetText("b-one\r\n");
    tree.AppendNode(root, "C").Data().SetText("charlie\r\n");
    root.SetExpanded(true);
    a.SetExpanded(true);
    return tree;
}

inline document::TreeNode& NodeAt(TForm1& form, std::initializer_list<std::size_t> path)
{
    document::TreeNode* node = &form.Document().Root();
    for (std::size_t index : path)
        node = node->Child(index);
    return *node;
}

// The node of that name, searched in pre-order; null when there is none.
inline document::TreeNode* Find(TForm1& form, const std::string& name)
{
    for (document::TreeNode* node = &form.Document().Root(); node; node = document::PreOrderNext(*node))
        if (node->Name() == name)
            return node;
    return nullptr;
}

// The names of the tree in pre-order, children indented by two spaces per level.
inline QStringList Outline(TForm1& form)
{
    QStringList lines;
    for (document::TreeNode* node = &form.Document().Root(); node; node = document::PreOrderNext(*node))
        lines << QString(int(node->Level() - 1) * 2, QLatin1Char(' ')) + QString::fromStdString(node->Name());
    return lines;
}

inline QModelIndex IndexOf(TForm1& form, const document::TreeNode* node) { return form.Model().IndexOf(node); }

// The in-place name editor of the tree while one is open.
inline QLineEdit* NameEditor(const TForm1& form)
{
    for (QLineEdit* editor : form.TreeView1->viewport()->findChildren<QLineEdit*>())
        if (editor->isVisible())
            return editor;
    return nullptr;
}

inline void Idle() { emit QAbstractEventDispatcher::instance()->aboutToBlock(); }

// A window with the sample document, on screen and active, the update rules applied.
inline void Open(TForm1& form, document::TreeNode* (*select)(TForm1&) = nullptr)
{
    form.SetDocument(SampleTree(), nullptr);
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    if (select)
        form.SelectNode(select(form));
    Idle();
}

// Records the questions the window asks and answers each with the next prepared answer.
struct Questions {
    struct Asked {
        QString message;
        forms::TMsgDlgType type;
        forms::TMsgDlgButtons buttons;
    };
    std::vector<Asked> asked;
    std::vector<int> answers;

    void Install(TForm1& form)
    {
        form.MessageDlg = [this](const QString& message, forms::TMsgDlgType type,
                                 forms::TMsgDlgButtons buttons) {
            asked.push_back({message, type, buttons});
            if (answers.empty())
                return forms::mrCancel;
            const int answer = answers.front();
            answers.erase(answers.begin());
            return answer;
        };
    }
};

}  // namespace treetest
