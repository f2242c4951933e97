#pragma once

#include <QObject>
#include <QTimer>
#include <bitset>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "InstrumentSession.h"
#include "Settings.h"

namespace session {

// Keeps the panel true to the instrument while others (remote clients, a
// command line: any origin but the panel) send it messages. A setting
// message is mirrored at once from the message itself; once the others have
// been quiet for a while, what their messages may have changed is read back:
// the settings they set, or everything after a reset, a recall or a message
// the follower cannot place. So a sweep of many setting messages costs one
// read-back at its end, not one per message.
class SettingsFollower : public QObject {
    Q_OBJECT
public:
    // What the follower needs of the panel. None of these sends a setting.
    struct Panel {
        std::function<void(instrument::SettingId, int16_t)> show; // shows a value
        std::function<void(const std::vector<instrument::SettingId>&)> readBack; // reads these settings back
        std::function<void()> readBackAll; // reads every setting and the reference lock back
    };
    static constexpr std::chrono::milliseconds DefaultQuiet { 200 };

    SettingsFollower(InstrumentSession& session, Panel panel, std::chrono::milliseconds quiet = DefaultQuiet,
        QObject* parent = nullptr);

    // Whether a read-back waits for the others to go quiet.
    bool pending() const { return changed_.any() || everything_; }

private:
    void follow(const std::string& line);
    void readBackWhenQuiet();

    InstrumentSession& session_;
    Panel panel_;
    QTimer quiet_;
    std::bitset<instrument::SettingCount> changed_;
    bool everything_ = false;
};

} // namespace session
