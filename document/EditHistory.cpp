#include "document/EditHistory.h"

#include <stdexcept>
#include <utility>

namespace document {

EditHistory::EditHistory(std::size_t maxSteps, std::size_t maxStoredBytes)
    : maxSteps_(maxSteps), maxStoredBytes_(maxStoredBytes)
{
}

void EditHistory::Record(TreeChange change)
{
    if (replaying_)
        return;
    group_.storedBytes += document::StoredBytes(change);
    group_.changes.push_back(std::move(change));
    if (groupDepth_ == 0)
        Push(std::exchange(group_, {}));
}

void EditHistory::BeginGroup()
{
    ++groupDepth_;
}

void EditHistory::EndGroup()
{
    if (groupDepth_ == 0 || --groupDepth_ > 0)
        return;
    if (!group_.changes.empty())
        Push(std::exchange(group_, {}));
}

void EditHistory::Push(Step step)
{
    while (steps_.size() > done_) {
        storedBytes_ -= steps_.back().storedBytes;
        steps_.pop_back();
    }
    if (savePoint_ && *savePoint_ > done_)
        savePoint_.reset();
    storedBytes_ += step.storedBytes;
    steps_.push_back(std::move(step));
    ++done_;
    while (steps_.size() > 1 && (steps_.size() > maxSteps_ || storedBytes_ > maxStoredBytes_)) {
        storedBytes_ -= steps_.front().storedBytes;
        steps_.pop_front();
        --done_;
        if (savePoint_ && *savePoint_ == 0)
            savePoint_.reset();
        else if (savePoint_)
            --*savePoint_;
    }
}

Landing EditHistory::Replay(TreeEditor& editor, const Step& step, bool forward)
{
    Landing landing;
    replaying_ = true;
    const struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{replaying_};
    try {
        const std::size_t count = step.changes.size();
        for (std::size_t i = 0; i < count; ++i) {
            const Landing at = ApplyChange(editor, step.changes[forward ? i : count - 1 - i], forward);
            if (at.node)
                landing = at;
        }
    } catch (const std::logic_error&) {
        Clear();
        ForgetSavePoint();
        throw;
    }
    return landing;
}

Landing EditHistory::Undo(TreeEditor& editor)
{
    if (!CanUndo())
        return {};
    --done_;
    return Replay(editor, steps_[done_], false);
}

Landing EditHistory::Redo(TreeEditor& editor)
{
    if (!CanRedo())
        return {};
    ++done_;
    return Replay(editor, steps_[done_ - 1], true);
}

void EditHistory::Clear()
{
    steps_.clear();
    done_ = 0;
    savePoint_ = 0;
    storedBytes_ = 0;
    groupDepth_ = 0;
    group_ = {};
}

}  // namespace document
