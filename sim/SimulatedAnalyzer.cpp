#include "SimulatedAnalyzer.h"

#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

namespace sim {

namespace {

// One client of the raw socket. Its lines are answered in order: while a
// reply waits for its sweep to end, the next lines stay in the socket, so
// that a client sending without reading is held back by TCP itself.
class AnalyzerClient : public QObject {
public:
    static constexpr qint64 ReadBufferSize = 64 * 1024;

    AnalyzerClient(QTcpSocket* socket, AnalyzerCommands& commands, QObject* parent)
        : QObject(parent)
        , socket_(socket)
        , commands_(commands)
    {
        socket_->setParent(this);
        socket_->setReadBufferSize(ReadBufferSize);
        connect(socket_, &QTcpSocket::readyRead, this, &AnalyzerClient::takeLines);
    }

    void takeLines()
    {
        while (!waiting_ && socket_->state() == QAbstractSocket::ConnectedState) {
            char byte = 0;
            if (!socket_->getChar(&byte))
                return;
            if (byte != '\n') {
                append(byte);
                continue;
            }
            if (std::exchange(discarding_, false))
                continue;
            std::string line = std::exchange(line_, {});
            if (line.ends_with('\r'))
                line.pop_back();
            answer(commands_.handleLine(line));
        }
    }

private:
    // A line that never ends cannot make the buffer grow without bound.
    void append(char byte)
    {
        if (discarding_)
            return;
        if (line_.size() >= SimulatedAnalyzer::MaxLineLength) {
            line_.clear();
            discarding_ = true;
            commands_.noteError(AnalyzerCommands::InputBufferOverrun);
            return;
        }
        line_ += byte;
    }

    void answer(const AnalyzerAnswer& answer)
    {
        if (answer.hangUp) {
            socket_->abort();
            return;
        }
        if (!answer.reply)
            return;
        const auto wait = answer.due - AnalyzerCommands::steadyClock();
        const QByteArray bytes = QByteArray::fromStdString(*answer.reply + '\n');
        if (wait.count() <= 0) {
            socket_->write(bytes);
            return;
        }
        waiting_ = true;
        QTimer::singleShot(wait, this, [this, bytes] {
            waiting_ = false;
            socket_->write(bytes);
            takeLines();
        });
    }

    QTcpSocket* socket_;
    AnalyzerCommands& commands_;
    std::string line_;
    bool discarding_ = false;
    bool waiting_ = false;
};

} // namespace

SimulatedAnalyzer::SimulatedAnalyzer(const Instrument& instrument, SimulatedAnalyzerOptions options, QObject* parent)
    : QObject(parent)
    , model_(instrument, options.model)
    , commands_(model_, options.sweepTime)
{
    connect(&server_, &QTcpServer::newConnection, this, &SimulatedAnalyzer::takeConnections);
}

bool SimulatedAnalyzer::listen(const QHostAddress& address, quint16 port)
{
    if (server_.listen(address, port))
        return true;
    errorString_ = server_.errorString();
    return false;
}

QString SimulatedAnalyzer::socketResource() const
{
    return QString("TCPIP::%1::%2::SOCKET").arg(address().toString()).arg(port());
}

void SimulatedAnalyzer::takeConnections()
{
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        if (clients_ >= MaxClients) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            socket->abort();
            continue;
        }
        auto* client = new AnalyzerClient(socket, commands_, this);
        ++clients_;
        connect(socket, &QTcpSocket::disconnected, this, [this, client] {
            --clients_;
            client->deleteLater();
        });
        client->takeLines();
    }
}

} // namespace sim

#include "moc_SimulatedAnalyzer.cpp"
