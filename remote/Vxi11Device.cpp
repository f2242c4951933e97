#include "Vxi11Device.h"

#include <QPointer>
#include <QRandomGenerator>
#include <algorithm>
#include <QString>

#include "ClientWait.h"

namespace remote {

namespace {

using vxi11::ErrorCode;
using vxi11::Procedure;

ErrorCode errorOf(DeviceLock::Outcome outcome)
{
    switch (outcome) {
    case DeviceLock::Outcome::Granted:
        return ErrorCode::None;
    case DeviceLock::Outcome::TimedOut:
        return ErrorCode::LockedByAnotherLink;
    case DeviceLock::Outcome::Aborted:
        break;
    }
    return ErrorCode::Abort;
}

// The client's host in an origin ("vxi11 127.0.0.1:40000", "vxi11 [::1]:40000").
QString hostOf(const std::string& origin)
{
    const QString text = QString::fromStdString(origin);
    return text.left(text.lastIndexOf(':'));
}

// Device names are compared without regard to case.
bool namesThisDevice(const std::string& name)
{
    return QString::fromStdString(name).compare(Vxi11Device::Name, Qt::CaseInsensitive) == 0;
}

} // namespace

Vxi11Device::Vxi11Device(session::InstrumentSession& session, ClientSlots& clientSlots, QObject* parent)
    : QObject(parent)
    , session_(session)
    , slots_(clientSlots)
{
    connect(&lock_, &DeviceLock::holderChanged, this, &Vxi11Device::linksChanged);
}

void Vxi11Device::carryOut(
    const QObject* connection, const std::string& origin, const vxi11::Call& call, Answer answer)
{
    slots_.touch(connection);
    if (call.procedure == Procedure::Null)
        return answer(std::monostate {});
    if (call.procedure == Procedure::CreateLink)
        return createLink(connection, origin, std::get<vxi11::CreateLinkParms>(call.arguments), std::move(answer));
    const std::optional<vxi11::LinkId> id = vxi11::linkOf(call.arguments);
    if (!id)
        return answer(vxi11::errorResult(call.procedure, ErrorCode::OperationNotSupported));
    if (call.procedure == Procedure::DeviceAbort)
        return abort(*id, hostOf(origin), answer);
    const auto entry = links_.find(*id);
    if (entry == links_.end() || entry->second.connection != connection)
        return answer(vxi11::errorResult(call.procedure, ErrorCode::InvalidLink));
    carryOutOnLink(*entry->second.link, call, answer);
}

void Vxi11Device::createLink(
    const QObject* connection, const std::string& origin, const vxi11::CreateLinkParms& parms, Answer answer)
{
    if (!namesThisDevice(parms.device))
        return answer(vxi11::errorResult(Procedure::CreateLink, ErrorCode::DeviceNotAccessible));
    if (linksOf(connection) >= MaxLinksPerConnection) {
        slots_.noteRefused();
        return answer(vxi11::errorResult(Procedure::CreateLink, ErrorCode::OutOfResources));
    }
    if (!slots_.take(connection, [this, connection](std::chrono::seconds) { emit idleConnectionEvicted(connection); }))
        return answer(vxi11::errorResult(Procedure::CreateLink, ErrorCode::OutOfResources));
    const vxi11::LinkId id = unusedLinkId();
    links_.emplace(id, LinkEntry { connection, hostOf(origin), std::make_unique<Vxi11Link>(id, session_, origin) });
    emit linksChanged();
    const vxi11::CreateLinkResp created { ErrorCode::None, id, abortPort_, MaxRecvSize };
    if (!parms.lockDevice)
        return answer(created);
    lock_.acquire(id, clientWait(parms.lockTimeout), [this, id, created, answer](DeviceLock::Outcome outcome) {
        if (outcome == DeviceLock::Outcome::Granted)
            return answer(created);
        destroy(id);
        answer(vxi11::errorResult(Procedure::CreateLink, errorOf(outcome)));
    });
}

// Link ids are drawn at random, so that another client cannot name a link it
// was not given; positive, as clients that take them for unsigned expect,
// and never one in use.
vxi11::LinkId Vxi11Device::unusedLinkId() const
{
    vxi11::LinkId id = 0;
    while (id == 0 || links_.contains(id))
        id = static_cast<vxi11::LinkId>(QRandomGenerator::system()->bounded(1U, 0x80000000U));
    return id;
}

int Vxi11Device::linksOf(const QObject* connection) const
{
    return static_cast<int>(std::ranges::count_if(links_, [connection](const auto& entry) { return entry.second.connection == connection; }));
}

// From the abort channel, which any connection may open: taken only from
// the host of the link's own client, and answered as for no link otherwise,
// so that the answer tells others nothing of which links exist.
void Vxi11Device::abort(vxi11::LinkId id, const QString& host, const Answer& answer)
{
    const auto entry = links_.find(id);
    if (entry == links_.end() || entry->second.host != host)
        return answer(vxi11::DeviceError { ErrorCode::InvalidLink });
    lock_.abortWaits(id);
    entry->second.link->abort();
    answer(vxi11::DeviceError {});
}

void Vxi11Device::carryOutOnLink(Vxi11Link& link, const vxi11::Call& call, const Answer& answer)
{
    const vxi11::LinkId id = link.id();
    switch (call.procedure) {
    case Procedure::DeviceLock:
        return lock_.acquire(id, clientWait(vxi11::lockTimeoutOf(call.arguments)),
            [answer](DeviceLock::Outcome outcome) { answer(vxi11::DeviceError { errorOf(outcome) }); });
    case Procedure::DeviceUnlock:
        return answer(vxi11::DeviceError { lock_.release(id) ? ErrorCode::None : ErrorCode::NoLockHeld });
    case Procedure::DestroyLink:
        destroy(id);
        return answer(vxi11::DeviceError {});
    case Procedure::DeviceWrite:
    case Procedure::DeviceRead:
    case Procedure::DeviceClear:
    case Procedure::DeviceReadStb:
        break;
    default:
        return answer(vxi11::errorResult(call.procedure, ErrorCode::OperationNotSupported));
    }
    // Each call waits its lock time-out, with the waitlock flag or without:
    // pyvisa-py gives its time-out without the flag. Not to wait, a client
    // gives a time-out of 0.
    lock_.whenFree(id, clientWait(vxi11::lockTimeoutOf(call.arguments)),
        [this, link = QPointer(&link), call, answer](DeviceLock::Outcome outcome) {
            if (outcome != DeviceLock::Outcome::Granted)
                answer(vxi11::errorResult(call.procedure, errorOf(outcome)));
            else if (link)
                carryOutUnlocked(*link, call, answer);
        });
}

// Once no other link holds the lock; a read may wait for the link's
// exchange, the others go after it.
void Vxi11Device::carryOutUnlocked(Vxi11Link& link, const vxi11::Call& call, const Answer& answer)
{
    if (call.procedure == Procedure::DeviceRead)
        return link.read(std::get<vxi11::ReadParms>(call.arguments), answer);
    link.whenIdle([link = &link, call, answer] {
        switch (call.procedure) {
        case Procedure::DeviceWrite:
            return link->write(std::get<vxi11::WriteParms>(call.arguments), answer);
        case Procedure::DeviceClear:
            link->clear();
            return answer(vxi11::DeviceError {});
        default:
            return answer(vxi11::ReadStbResp { ErrorCode::None, link->statusByte() });
        }
    });
}

void Vxi11Device::destroy(vxi11::LinkId id)
{
    lock_.forget(id);
    const auto entry = links_.find(id);
    if (entry == links_.end())
        return;
    const QObject* connection = entry->second.connection;
    links_.erase(entry);
    slots_.release(connection);
    emit linksChanged();
}

QString Vxi11Device::lockHolder() const
{
    const auto holder = links_.find(lock_.holder());
    if (holder == links_.end())
        return {};
    const QString origin = QString::fromStdString(holder->second.link->origin());
    return origin.left(origin.lastIndexOf(':')); // without the client's port
}

void Vxi11Device::dropLinksOf(const QObject* connection)
{
    std::vector<vxi11::LinkId> gone;
    for (const auto& [id, entry] : links_)
        if (entry.connection == connection)
            gone.push_back(id);
    for (const vxi11::LinkId id : gone)
        destroy(id);
}

} // namespace remote

#include "moc_Vxi11Device.cpp"
