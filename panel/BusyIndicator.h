#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <optional>

#include "InstrumentSession.h"

class QWidget;

namespace panel {

class LinkMonitor;

// Shows that the panel waits: once one of the panel's own exchanges has run
// for longer than ShownAfter, the pointer over the window is the busy
// pointer and the link status line says what is awaited ("Waiting for the
// instrument's reply to :SYST:ERR?", or the activity the panel names, such
// as "Reading settings back…"); both go when the exchange ends. An exchange
// counts from its first wait for a reply, on the session's clock, and is
// followed at the session's event points.
class BusyIndicator : public QObject {
public:
    static constexpr std::chrono::milliseconds ShownAfter { 300 };

    BusyIndicator(session::InstrumentSession& session, QWidget* window, LinkMonitor& monitor);

    // Names what the panel does for the scope's life, in place of the reply
    // it awaits.
    class Activity {
    public:
        Activity(BusyIndicator& indicator, QString name);
        ~Activity();
        Activity(const Activity&) = delete;
        Activity& operator=(const Activity&) = delete;

    private:
        BusyIndicator& indicator_;
        QString outer_;
    };

    bool shown() const { return !shownText_.isEmpty(); }

private:
    void follow();
    QString waitingFor() const;
    void show(const QString& text);

    session::InstrumentSession& session_;
    QWidget* window_;
    LinkMonitor& monitor_;
    QString activity_;
    std::optional<std::chrono::milliseconds> began_;
    QString shownText_;
};

} // namespace panel
