#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>

#include "InstrumentSession.h"

class QWidget;

namespace panel {

class StatusLine;

// The main window's link status line and the reconnecting behind it. While
// the session's link is down the line says why and what to do, and about
// once a second the device is opened again, or a silent instrument asked
// whether it answers again; once it is back, the window's identification and
// read-back run and the line is empty again. While the link is up the line
// may say what the panel waits for (see BusyIndicator).
class LinkMonitor : public QObject {
    Q_OBJECT

public:
    static constexpr const char* RetryNote
        = "Waiting for the link to return, trying every second; changes are not sent meanwhile.";
    static constexpr const char* SilenceNote
        = "Asking it again every second; changes are not sent meanwhile.";

    // The line is placed on window at geometry. An interval of zero
    // leaves the reopening to attempt().
    LinkMonitor(session::InstrumentSession& session, QWidget* window, QRect geometry,
        std::chrono::milliseconds interval, std::function<void()> reconnected);

    StatusLine* line() const { return line_; }

    // What the panel waits for, shown while the link is up; empty when
    // it waits for nothing.
    void showWaiting(const QString& waitingFor);
    // What the operator should know about the link that came back (another
    // instrument answers now), shown while it stays up and nothing is waited
    // for; the link going down again ends it.
    void showRemark(const QString& remark);

    // One attempt to open the device again, or to hear a silent instrument;
    // nothing while the link is up or an exchange runs. Runs as one exchange,
    // with the identification and read-back when the instrument is back.
    void attempt();

private:
    void show();

    session::InstrumentSession& session_;
    StatusLine* line_;
    QString waitingFor_;
    QString remark_;
    QTimer timer_;
    std::function<void()> reconnected_;
};

} // namespace panel
