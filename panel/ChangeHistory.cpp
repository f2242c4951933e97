#include "ChangeHistory.h"

namespace panel {

void ChangeHistory::record(Change change)
{
    undone_.clear();
    if (done_.size() == Capacity)
        done_.erase(done_.begin());
    done_.push_back(change);
}

namespace {

// Moves the latest change from one list to the other: an undo takes it
// from the done to the undone, a redo back.
template <typename Change>
std::optional<Change> moveLatest(std::vector<Change>& from, std::vector<Change>& to)
{
    if (from.empty())
        return std::nullopt;
    const Change change = from.back();
    from.pop_back();
    to.push_back(change);
    return change;
}

} // namespace

std::optional<ChangeHistory::Change> ChangeHistory::undo()
{
    return moveLatest(done_, undone_);
}

std::optional<ChangeHistory::Change> ChangeHistory::redo()
{
    return moveLatest(undone_, done_);
}

void ChangeHistory::clear()
{
    done_.clear();
    undone_.clear();
}

} // namespace panel
