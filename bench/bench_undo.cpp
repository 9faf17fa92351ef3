// Undo and redo in the main window, offscreen: deleting a subtree that holds 10 MB of text,
// undoing the deletion and redoing it (goal: each under 50 ms, with everything it sets off:
// the idle step, the repaint); the end of a typing step in a node of 10 MB (a key and the
// store that a pause, a caret jump or a command makes, once a run of typing; no goal); and
// the memory 1,000 such steps take in the history (goal: under 1 MiB), measured as the heap
// that clearing the history gives back.
//
// Prints one line a result: name <TAB> value <TAB> unit <TAB> goal (same unit, "-" for none).
#include "app/MainWindow.h"
#include "forms/FormBase.h"
#include "bench/tabbed_row.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QTest>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using document::TreeNode;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::size_t kSubtreeTextBytes = 10 * 1024 * 1024;
constexpr std::size_t kSubtreeNodes = 1000;
constexpr int kRuns = 15;

void Settle()
{
    emit QAbstractEventDispatcher::instance()->aboutToBlock();
    QCoreApplication::processEvents();
}

double Median(std::vector<double> runs)
{
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

double TimeMs(const std::function<void()>& op)
{
    const Clock::time_point start = Clock::now();
    op();
    Settle();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string TextOf(std::size_t bytes)
{
    const std::string line = "これは取り消しの速さを測るための行です。The quick brown fox 0123456789\r\n";
    std::string text;
    text.reserve(bytes + line.size());
    while (text.size() < bytes)
        text += line;
    return text;
}

[[noreturn]] void Fail(const char* what)
{
    std::fprintf(stderr, "bench_undo: %s\n", what);
    std::exit(1);
}

// A root with a chapter of 1,000 nodes holding 10 MB between them, and a small node after it.
void DeleteUndoRedo(TForm1& form)
{
    document::DocumentTree tree;
    TreeNode& chapter = tree.AppendNode(tree.Root(), "大きな章");
    const std::string text = TextOf(kSubtreeTextBytes / kSubtreeNodes);
    for (std::size_t i = 0; i < kSubtreeNodes; ++i)
        tree.AppendNode(chapter, "節 " + std::to_string(i)).Data().SetText(text);
    chapter.Data().SetText(text);
    tree.AppendNode(tree.Root(), "あとがき").Data().SetText("おわり");
    tree.Root().SetExpanded(true);
    chapter.SetExpanded(true);
    form.SetDocument(std::move(tree), &chapter);
    form.MessageDlg = [](const QString&, forms::TMsgDlgType, forms::TMsgDlgButtons) { return int(forms::mrOk); };
    Settle();

    std::vector<double> deletes, undos, redos;
    for (int run = 0; run < kRuns; ++run) {
        deletes.push_back(TimeMs([&] { form.actDelete->trigger(); }));
        if (form.Document().NodeCount() != 2)
            Fail("the delete left the subtree");
        undos.push_back(TimeMs([&] { form.actUndo->trigger(); }));
        if (form.Document().NodeCount() != kSubtreeNodes + 3 || form.Selected()->Name() != "大きな章")
            Fail("the undo did not bring the subtree back");
        redos.push_back(TimeMs([&] { form.actRedo->trigger(); }));
        form.actUndo->trigger();
        Settle();
    }
    Report("window delete of a subtree holding 10 MB, median of 15", Median(deletes), "ms", 50);
    Report("window undo of that delete, median of 15", Median(undos), "ms", 50);
    Report("window redo of that delete, median of 15", Median(redos), "ms", 50);
}

std::size_t HeapInUse()
{
    return mallinfo2().uordblks;
}

// Typing steps in a node of 10 MB: each a key and the store that ends the step.
void TypingSteps(TForm1& form)
{
    document::DocumentTree tree;
    TreeNode& node = tree.AppendNode(tree.Root(), "大きなノード");
    node.Data().SetText(TextOf(kSubtreeTextBytes));
    node.Data().SelStart = static_cast<std::int32_t>(node.Data().Text().size() / 2);
    tree.Root().SetExpanded(true);
    form.SetDocument(std::move(tree), &node);
    form.Memo1->setFocus();
    Settle();

    std::vector<double> steps;
    for (int run = 0; run < 50; ++run)
        steps.push_back(TimeMs([&] {
            QTest::keyClick(form.Memo1, Qt::Key_A);
            form.StoreEditorText();
        }));
    // Once a run of typing, at its end, not a key: the keys themselves are bench_typing's.
    Report("window end of a typing step in a 10 MB node (key and record), median of 50", Median(steps), "ms", 0);

    form.History().Clear();
    for (int step = 0; step < 1000; ++step) {
        QTest::keyClick(form.Memo1, Qt::Key_B);
        form.StoreEditorText();
    }
    if (form.History().StepCount() != 1000)
        Fail("the typing steps were not recorded one by one");
    const std::size_t withHistory = HeapInUse();
    form.History().Clear();
    const std::size_t held = withHistory - std::min(withHistory, HeapInUse());
    Report("history of 1,000 typing steps in a 10 MB node", static_cast<double>(held) / 1024.0, "KiB", 1024);
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    TForm1 form;
    form.resize(1000, 700);
    form.show();
    Settle();
    DeleteUndoRedo(form);
    TypingSteps(form);
    return 0;
}
