// Undo and redo for the whole document: a list of steps, each one or more changes of the
// tree, with the point where the document was last saved.
#pragma once

#include "document/TreeChanges.h"

#include <cstddef>
#include <deque>
#include <optional>
#include <vector>

namespace document {

class EditHistory {
public:
    static constexpr std::size_t kMaxSteps = 1000;
    static constexpr std::size_t kMaxStoredBytes = std::size_t{64} << 20;

    // The oldest steps are dropped beyond maxSteps steps or maxStoredBytes of names and
    // texts. The newest step is always kept, however large: the user's last deletion can
    // be undone even when it held more text than the limit.
    explicit EditHistory(std::size_t maxSteps = kMaxSteps, std::size_t maxStoredBytes = kMaxStoredBytes);

    // Records a change that was just made to the tree. Within a group it joins the group's
    // step; otherwise it is a step of its own. Recording drops the steps that were undone.
    // While a step is being undone or redone nothing is recorded: what the editor's view does
    // then is part of that step.
    void Record(TreeChange change);
    // Changes recorded between these make one step; groups may nest.
    void BeginGroup();
    void EndGroup();
    // A group for a scope, ended however the scope is left.
    class Group {
    public:
        explicit Group(EditHistory& history) : history_(history) { history_.BeginGroup(); }
        ~Group() { history_.EndGroup(); }
        Group(const Group&) = delete;
        Group& operator=(const Group&) = delete;

    private:
        EditHistory& history_;
    };

    bool CanUndo() const noexcept { return done_ > 0; }
    bool CanRedo() const noexcept { return done_ < steps_.size(); }
    // Undoes the last step done (redoes the next one undone) through editor and returns
    // where to look. Nothing to do gives an empty landing. When the tree does not hold what
    // the step expects, the history is cleared and std::logic_error thrown.
    Landing Undo(TreeEditor& editor);
    Landing Redo(TreeEditor& editor);

    // Forgets every step; the document as it is counts as saved.
    void Clear();
    void MarkSaved() noexcept { savePoint_ = done_; }
    // The document now differs from every state the history can reach back to as saved.
    void ForgetSavePoint() noexcept { savePoint_.reset(); }
    bool AtSavePoint() const noexcept { return savePoint_ == done_; }

    std::size_t StepCount() const noexcept { return steps_.size(); }
    std::size_t StoredBytes() const noexcept { return storedBytes_; }

private:
    struct Step {
        std::vector<TreeChange> changes;
        std::size_t storedBytes = 0;
    };

    void Push(Step step);
    Landing Replay(TreeEditor& editor, const Step& step, bool forward);

    std::size_t maxSteps_;
    std::size_t maxStoredBytes_;
    std::deque<Step> steps_;
    std::size_t done_ = 0;  // steps_[0, done_) are in the document
    std::optional<std::size_t> savePoint_ = 0;
    std::size_t storedBytes_ = 0;
    int groupDepth_ = 0;
    Step group_;
    bool replaying_ = false;
};

}  // namespace document
