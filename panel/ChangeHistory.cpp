#include "ChangeHistory.h"

namespace panel {

void ChangeHistory::record(Change change)
{
    undone_.clear();
    if (done_.size() == Capacity)
        done_.erase(done_.begin());
    done_.push_back(change);
}

std::optional<ChangeHistory::Change> ChangeHistory::undo()
{
    if (done_.empty())
        return std::nullopt;
    const Change change = done_.back();
    done_.pop_back();
    undone_.push_back(change);
    return change;
}

std::optional<ChangeHistory::Change> ChangeHistory::redo()
{
    if (undone_.empty())
        return std::nullopt;
    const Change change = undone_.back();
    undone_.pop_back();
    done_.push_back(change);
    return change;
}

void ChangeHistory::clear()
{
    done_.clear();
    undone_.clear();
}

} // namespace panel
