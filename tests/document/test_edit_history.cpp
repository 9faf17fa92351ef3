// The edit history against random edits of random trees: every undo must give back the
// document exactly as it was saved at that point, every redo the one after it.
#include "document/EditHistory.h"
#include "document/TrmFormat.h"
#include "document/TreeRules.h"
#include "tests/support/file_bytes.h"

#include <gtest/gtest.h>

#include <random>

using namespace document;

namespace {

class RandomEditor {
public:
    RandomEditor(DocumentTree& tree, EditHistory& history, unsigned seed) : tree_(tree), history_(history), rng_(seed) {}

    // Makes one random change and records it; false when the change picked was refused.
    bool Edit()
    {
        switch (Pick(7)) {
        case 0: return Add();
        case 1: return Delete();
        case 2: return Move();
        case 3: return Rename(RandomNode());
        case 4: return Type(RandomNode());
        case 5: return Collapse(RandomNode());
        default: {
            // A replace-all: several nodes in one step.
            history_.BeginGroup();
            bool changed = false;
            for (int i = 0, n = 1 + Pick(4); i < n; ++i)
                changed = (Pick(2) ? Type(RandomNode()) : Rename(RandomNode())) || changed;
            history_.EndGroup();
            return changed;
        }
        }
    }

private:
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

    TreeNode* RandomNode()
    {
        TreeNode* node = &tree_.Root();
        for (int steps = Pick(8); steps > 0; --steps)
            node = PreOrderNext(*node) ? PreOrderNext(*node) : &tree_.Root();
        return node;
    }

    std::string RandomText()
    {
        static const char* const pieces[] = {"a", "あ", "漢字", "\r\n", "ｶﾞ", "xyz", "\n", "😀"};
        std::string text;
        for (int n = Pick(6); n > 0; --n)
            text += pieces[Pick(8)];
        return text;
    }

    bool Add()
    {
        const NodePlace place = WhereToAdd(tree_, RandomNode(), Pick(2) ? AddCommand::actAddChild : AddCommand::actAddSibling);
        const bool parentExpanded = place.parent->Expanded();
        TreeNode& node = tree_.InsertNode(*place.parent, place.index, kNewNodeName);
        history_.BeginGroup();
        history_.Record(SubtreeChange{true, PathOf(node), SubtreeCopy::Of(node), {parentExpanded, place.parent->Expanded()}});
        Expansion opened;
        for (TreeNode* open : ExpandAll(tree_.Root()))
            opened.nodes.push_back(PathOf(*open));
        history_.Record(std::move(opened));
        history_.EndGroup();
        return true;
    }

    bool Delete()
    {
        TreeNode* node = RandomNode();
        if (node->IsRoot())
            return false;
        TreeNode* parent = node->Parent();
        SubtreeChange removal{false, PathOf(*node), SubtreeCopy::Of(*node), {parent->Expanded(), false}};
        tree_.RemoveNode(*node);
        removal.parentOpen.after = parent->Expanded();
        history_.Record(std::move(removal));
        return true;
    }

    bool Move()
    {
        const auto plan = PlanDrop(RandomNode(), RandomNode(), Pick(2) ? TDropPosition::dpBefore : TDropPosition::dpChild);
        if (!plan)
            return false;
        NodeMove move{PathOf(*plan->node), {}, {plan->fromParent->Expanded()}, {plan->toParent->Expanded()}};
        ApplyMove(tree_, *plan);
        move.to = PathOf(*plan->node);
        move.fromParentOpen.after = plan->fromParent->Expanded();
        move.toParentOpen.after = plan->toParent->Expanded();
        history_.Record(std::move(move));
        return true;
    }

    // Closed nodes, which the commands open again, must come back closed.
    bool Collapse(TreeNode* node)
    {
        if (!node->Expanded())
            return false;
        node->SetExpanded(false);
        history_.Record(Expansion{{PathOf(*node)}, false});
        return true;
    }

    bool Rename(TreeNode* node)
    {
        std::string before = node->Name();
        node->SetName(RandomText());
        history_.Record(NodeRename{PathOf(*node), std::move(before), node->Name()});
        return true;
    }

    bool Type(TreeNode* node)
    {
        TVLNodeData& data = node->Data();
        const std::string before = data.Text();
        const TextSelection caretBefore{data.SelStart, data.SelLength};
        const std::size_t at = std::uniform_int_distribution<std::size_t>(0, before.size())(rng_);
        const std::size_t cut = std::uniform_int_distribution<std::size_t>(0, before.size() - at)(rng_);
        data.SetText(before.substr(0, at) + RandomText() + before.substr(at + cut));
        data.SelStart = Pick(20);
        data.SelLength = Pick(3);
        TextEdit edit = DiffTexts(PathOf(*node), before, data.Text());
        edit.caretBefore = caretBefore;
        edit.caretAfter = {data.SelStart, data.SelLength};
        history_.Record(std::move(edit));
        return true;
    }

    DocumentTree& tree_;
    EditHistory& history_;
    std::mt19937 rng_;
};

std::string SavedBytes(const DocumentTree& tree, const TempFolder& folder)
{
    const std::string path = folder / "state.trm";
    std::tm stamp{};
    stamp.tm_year = 126;
    stamp.tm_mday = 8;
    WriteDocument(path, tree, nullptr, TDocumentEncoding::deUTF8, stamp);
    return ReadBytes(path);
}

// Everything a save writes of the tree, without the cost of a file per state.
std::string Dump(const DocumentTree& tree)
{
    std::string dump;
    for (const DocumentSnapshot::Node& node : TakeSnapshot(tree, nullptr).nodes)
        dump += std::to_string(node.depth) + (node.expanded ? "+" : "-") + node.name + "|" + node.data.Text() + "|" +
                std::to_string(node.data.SelStart) + "," + std::to_string(node.data.SelLength) + "\n";
    return dump;
}

}  // namespace

TEST(EditHistory, UndoAndRedoGiveBackEverySavedStateOfRandomEdits)
{
    const TempFolder folder;
    for (unsigned seed = 1; seed <= 25; ++seed) {
        SCOPED_TRACE(seed);
        DocumentTree tree;
        EditHistory history;
        TreeEditor editor(tree);
        RandomEditor random(tree, history, seed);
        std::vector<std::string> states{Dump(tree)};
        const auto editSome = [&](int count) {
            for (int i = 0; i < count; ++i)
                if (random.Edit())
                    states.push_back(Dump(tree));
        };
        const std::string startBytes = SavedBytes(tree, folder);
        editSome(30);
        const std::size_t savedAt = states.size() / 2;
        // Undo part of the way, save there, then edit on: the undone steps are dropped.
        while (states.size() - 1 > savedAt) {
            history.Undo(editor);
            states.pop_back();
            ASSERT_EQ(Dump(tree), states.back());
        }
        history.MarkSaved();
        editSome(30);
        ASSERT_EQ(history.StepCount(), states.size() - 1);
        const std::string endBytes = SavedBytes(tree, folder);

        for (std::size_t k = states.size() - 1; k > 0; --k) {
            EXPECT_EQ(history.AtSavePoint(), k == savedAt);
            history.Undo(editor);
            ASSERT_EQ(Dump(tree), states[k - 1]) << "undo to state " << k - 1;
        }
        EXPECT_FALSE(history.CanUndo());
        EXPECT_EQ(SavedBytes(tree, folder), startBytes);
        for (std::size_t k = 1; k < states.size(); ++k) {
            history.Redo(editor);
            ASSERT_EQ(Dump(tree), states[k]) << "redo to state " << k;
        }
        EXPECT_FALSE(history.CanRedo());
        EXPECT_EQ(SavedBytes(tree, folder), endBytes);
    }
}

TEST(EditHistory, LimitsDropTheOldestStepsAndTheSavePointWithThem)
{
    for (unsigned seed = 1; seed <= 20; ++seed) {
        SCOPED_TRACE(seed);
        DocumentTree tree;
        EditHistory history(5, 40);
        TreeEditor editor(tree);
        RandomEditor random(tree, history, seed);
        std::vector<std::string> states{Dump(tree)};
        for (int i = 0; i < 40; ++i)
            if (random.Edit())
                states.push_back(Dump(tree));
        EXPECT_LE(history.StepCount(), 5u);
        EXPECT_TRUE(history.StoredBytes() <= 40 || history.StepCount() == 1);
        EXPECT_FALSE(history.AtSavePoint());
        std::size_t at = states.size() - 1;
        while (history.CanUndo()) {
            history.Undo(editor);
            ASSERT_EQ(Dump(tree), states[--at]);
        }
        EXPECT_EQ(states.size() - 1 - at, history.StepCount());
        EXPECT_FALSE(history.AtSavePoint());  // the start was dropped
        while (history.CanRedo())
            history.Redo(editor);
        EXPECT_EQ(Dump(tree), states.back());
    }
}

TEST(EditHistory, AStepThatNoLongerFitsTheTreeClearsTheHistoryInsteadOfGuessing)
{
    DocumentTree tree;
    EditHistory history;
    TreeEditor editor(tree);
    TreeNode& node = tree.AppendNode(tree.Root(), "a");
    history.Record(NodeRename{PathOf(node), "x", "a"});
    node.SetName("changed behind the history's back");
    EXPECT_THROW(history.Undo(editor), std::logic_error);
    EXPECT_FALSE(history.CanUndo());
    EXPECT_FALSE(history.CanRedo());
    EXPECT_EQ(node.Name(), "changed behind the history's back");
}
