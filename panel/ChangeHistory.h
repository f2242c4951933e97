#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "Settings.h"

namespace panel {

// The operator's changes that reached the instrument, for undo and redo:
// each one the setting, the value it had and the value sent. A new change
// drops what could be redone; an undone change can be redone until then.
// The history holds only while the instrument keeps the values the panel
// sent: whoever finds another value clears it.
class ChangeHistory {
public:
    struct Change {
        instrument::SettingId setting;
        int16_t before;
        int16_t after;
    };

    void record(Change change);
    // The change to undo, moved to what can be redone; none when empty.
    std::optional<Change> undo();
    // The change to redo, moved back to what can be undone.
    std::optional<Change> redo();
    void clear();

    bool canUndo() const { return !done_.empty(); }
    bool canRedo() const { return !undone_.empty(); }
    bool empty() const { return !canUndo() && !canRedo(); }

    // A history of an afternoon at the panel, not of a held-down key for
    // ever: the oldest changes make way.
    static constexpr std::size_t Capacity = 1000;

private:
    std::vector<Change> done_;
    std::vector<Change> undone_;
};

} // namespace panel
