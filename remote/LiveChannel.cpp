#include "LiveChannel.h"

#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QUrlQuery>
#include <QWebSocket>
#include <algorithm>

#include "CommandSet.h"
#include "DeviceLock.h"

namespace remote {

namespace {

QString addressOf(const QWebSocket* socket)
{
    return socket->peerAddress().toString();
}

const instrument::Setting* settingNamed(const QString& name)
{
    for (const auto& setting : instrument::Settings)
        if (name == setting.mnemonic)
            return &setting;
    return nullptr;
}

} // namespace

LiveChannel::LiveChannel(session::InstrumentSession& session, LiveState& state, QString token, QObject* parent)
    : QObject(parent)
    , session_(session)
    , state_(state)
    , token_(std::move(token))
    , server_("r6140k-panel", QWebSocketServer::NonSecureMode)
{
    server_.setMaxPendingConnections(MaxViewers);
    connect(&server_, &QWebSocketServer::newConnection, this, &LiveChannel::admit);
    connect(&state_, &LiveState::changed, this, &LiveChannel::broadcast);
}

LiveChannel::~LiveChannel()
{
    for (const Viewer& viewer : viewers_) {
        viewer.socket->disconnect(this);
        viewer.socket->abort();
        delete viewer.socket;
    }
}

QString LiveChannel::newToken()
{
    std::array<quint32, 4> words;
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    return QByteArray(reinterpret_cast<const char*>(words.data()), sizeof words).toHex();
}

void LiveChannel::take(QTcpSocket* socket)
{
    server_.handleConnection(socket);
}

quint16 LiveChannel::listenOnLoopback()
{
    return server_.listen(QHostAddress::LocalHost, 0) ? server_.serverPort() : 0;
}

void LiveChannel::admit()
{
    while (QWebSocket* socket = server_.nextPendingConnection()) {
        if (viewers_.size() >= MaxViewers) {
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated,
                QString("At most %1 viewers watch the panel at once").arg(MaxViewers));
            // Owned by the channel until its closing handshake ends, so that
            // a channel that goes first takes it along.
            socket->setParent(this);
            connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
            continue;
        }
        socket->setMaxAllowedIncomingFrameSize(MaxFrame);
        socket->setMaxAllowedIncomingMessageSize(MaxFrame);
        const QString presented = QUrlQuery(socket->requestUrl()).queryItemValue("token");
        viewers_.push_back({ socket, !token_.isEmpty() && presented == token_ });
        connect(socket, &QWebSocket::textMessageReceived, this,
            [this, socket](const QString& text) { received(socket, text); });
        connect(socket, &QWebSocket::binaryMessageReceived, this,
            [this, socket] { refuse(socket, "a binary message"); });
        connect(socket, &QWebSocket::bytesWritten, this, [this, socket] { catchUp(socket); });
        connect(socket, &QWebSocket::disconnected, this, [this, socket] { drop(socket); });
        send(viewers_.back(), wholeFor(viewers_.back()));
    }
}

void LiveChannel::drop(QWebSocket* socket)
{
    std::erase_if(viewers_, [socket](const Viewer& viewer) { return viewer.socket == socket; });
    socket->deleteLater();
}

LiveChannel::Viewer* LiveChannel::viewerOf(const QWebSocket* socket)
{
    for (Viewer& viewer : viewers_)
        if (viewer.socket == socket)
            return &viewer;
    return nullptr;
}

QJsonObject LiveChannel::wholeFor(const Viewer& viewer) const
{
    QJsonObject whole = state_.whole();
    whole["control"] = controlAllowed_ && viewer.mayControl;
    return whole;
}

void LiveChannel::send(Viewer& viewer, const QJsonObject& message)
{
    if (viewer.socket->bytesToWrite() > SendBound) {
        viewer.behind = true;
        return;
    }
    viewer.socket->sendTextMessage(QString::fromUtf8(QJsonDocument(message).toJson(QJsonDocument::Compact)));
}

qint64 LiveChannel::largestBacklog() const
{
    qint64 largest = 0;
    for (const Viewer& viewer : viewers_)
        largest = std::max(largest, viewer.socket->bytesToWrite());
    return largest;
}

void LiveChannel::catchUp(QWebSocket* socket)
{
    Viewer* viewer = viewerOf(socket);
    if (!viewer || !viewer->behind || socket->bytesToWrite() > SendBound / 2)
        return;
    viewer->behind = false;
    send(*viewer, wholeFor(*viewer));
}

void LiveChannel::broadcast(const QJsonObject& part)
{
    for (Viewer& viewer : viewers_)
        if (!viewer.behind)
            send(viewer, part);
}

void LiveChannel::setControlAllowed(bool allowed)
{
    if (allowed == controlAllowed_)
        return;
    controlAllowed_ = allowed;
    session_.note(allowed ? "web control allowed" : "web control withdrawn");
    for (Viewer& viewer : viewers_)
        send(viewer, { { "type", "control" }, { "allowed", allowed && viewer.mayControl } });
    emit controlAllowedChanged(allowed);
}

void LiveChannel::refuse(const QWebSocket* socket, const QString& why)
{
    ++refusals_;
    session_.note(QString("web %1 refused: %2").arg(addressOf(socket), why).toStdString());
}

void LiveChannel::received(QWebSocket* socket, const QString& text)
{
    const Viewer* viewer = viewerOf(socket);
    QJsonParseError error;
    const QJsonObject message = QJsonDocument::fromJson(text.toUtf8(), &error).object();
    if (error.error != QJsonParseError::NoError || message["type"].toString() != "set")
        return refuse(socket, "not a change of a setting");
    if (!viewer || !viewer->mayControl || message["token"].toString() != token_)
        return refuse(socket, "a change without the token");
    if (!controlAllowed_)
        return refuse(socket, "a change while control from browsers is not allowed");
    const instrument::Setting* setting = settingNamed(message["name"].toString());
    if (!setting)
        return refuse(socket, "no setting " + message["name"].toString().left(64));
    const double value = message["value"].toDouble(-1e9);
    const auto range = instrument::rangeOf(setting->kind);
    if (value != double(int(value)) || value < range.min || value > range.max)
        return refuse(socket, QString("%1 is not a value of %2").arg(value).arg(setting->mnemonic));
    change(addressOf(socket), setting->id, int(value));
}

void LiveChannel::holdBackWhile(const DeviceLock& lock)
{
    lock_ = &lock;
    connect(&lock, &DeviceLock::holderChanged, this, &LiveChannel::queueSend);
}

void LiveChannel::change(const QString& address, instrument::SettingId id, int value)
{
    pending_[instrument::indexOf(id)] = value;
    pendingOrigin_ = "web " + address.toStdString();
    queueSend();
}

bool LiveChannel::heldBack() const
{
    return lock_ && lock_->isHeld();
}

// Queued to the next turn of the event loop, after every frame already
// read: a flood of changes costs one message per setting per turn. While
// the lock is held nothing joins the session's queue; its release queues
// what waits.
void LiveChannel::queueSend()
{
    if (sendQueued_ || std::ranges::none_of(pending_, [](const auto& value) { return value.has_value(); }))
        return;
    if (heldBack()) {
        if (!std::exchange(waitNoted_, true))
            session_.note(pendingOrigin_ + ": changes wait while a VXI-11 link holds the lock");
        return;
    }
    waitNoted_ = false;
    sendQueued_ = true;
    QMetaObject::invokeMethod(
        this, [this] { session_.enqueue([this] { sendPending(); }, pendingOrigin_); }, Qt::QueuedConnection);
}

// A link may have taken the lock while this waited in the session's queue:
// then the changes wait for its release.
void LiveChannel::sendPending()
{
    sendQueued_ = false;
    if (heldBack())
        return queueSend();
    for (std::size_t i = 0; i < instrument::SettingCount; ++i)
        if (const auto value = std::exchange(pending_[i], std::nullopt))
            session_.send(instrument::commands::withArgument(instrument::Settings[i].prefix, *value));
}

} // namespace remote

#include "moc_LiveChannel.cpp"
