#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <array>
#include <deque>
#include <optional>
#include <string>

#include "InstrumentSession.h"
#include "Settings.h"

namespace remote {

// What the live front panel in a browser shows: every setting's value, or
// why it is not known, the reference lock, the link and remote status lines
// and the last lines of the traffic. It learns all of it from the session's
// line and link observers, where every change passes whoever caused it (the
// operator, a script, VXI-11, a read-back), so it needs no window.
class LiveState : public QObject {
    Q_OBJECT
public:
    static constexpr std::size_t LogLines = 20;

    explicit LiveState(session::InstrumentSession& session, QObject* parent = nullptr);

    // Everything, as a new viewer gets it first.
    QJsonObject whole() const;
    void setRemoteStatus(const QString& status);

signals:
    // One part changed: a "setting", "lock", "link", "remote" or "log" message.
    void changed(const QJsonObject& part);

private:
    struct Value {
        std::optional<int> value;
        QString reason;
    };
    void observe(session::InstrumentSession::Direction direction, const std::string& line, const std::string& origin);
    void sent(const std::string& line);
    void received(const std::string& line);
    void setValue(instrument::SettingId id, Value value);
    void markEveryValueUnknown(const QString& reason);
    void linkChanged();
    QJsonObject settingPart(std::size_t index) const;
    QJsonObject lockPart() const;
    QJsonObject linkPart() const;

    session::InstrumentSession& session_;
    std::array<Value, instrument::SettingCount> values_;
    QString lock_;
    QString remote_;
    std::deque<QString> log_;
    std::string awaited_; // the query whose reply comes next
};

} // namespace remote
