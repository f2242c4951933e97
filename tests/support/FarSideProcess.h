#pragma once

#include <QProcess>
#include <string>

namespace test_support {

// Serves one connection on a free loopback port, which it prints first, in
// the manner its argument names; it prints "sent" once what it sends
// unasked has gone. Every query (a line ending in '?') is
// answered with 0, *IDN? with its identity, FLOOD? with bytes and no line
// end until the connection closes (a flood that ended would leave the
// session in step or not, as the load on the machine has it); "silent" answers nothing; "ask-never-read" floods telnet questions
// once the first line has come, and reads no more.
inline const char* FarSideScript = R"(
import socket, sys
mode = sys.argv[1]
IAC, SB, DO, DONT = 255, 250, 253, 254
server = socket.create_server(('127.0.0.1', 0))
print(server.getsockname()[1], flush=True)
conn, _ = server.accept()
if mode == 'ask-never-read':
    while b'\n' not in conn.recv(65536):
        pass
    questions = bytes([IAC, DO, 0, IAC, DONT, 0]) * 10000
    try:
        while True:
            conn.sendall(questions)
    except OSError:
        sys.exit(0)
if mode == 'endless-subnegotiation':
    conn.sendall(bytes([IAC, SB, 44]) + b'x' * 5000)
    print('sent', flush=True)
pending = b''
while True:
    data = conn.recv(65536)
    if not data:
        break
    pending += data
    while b'\n' in pending:
        line, pending = pending.split(b'\n', 1)
        line = line.rstrip(b'\r')
        if mode == 'silent' or not line.endswith(b'?'):
            continue
        if line.endswith(b'*IDN?'):
            conn.sendall(b'FAR,SIDE,1,0\r\n')
        elif line.endswith(b'FLOOD?'):
            try:
                while True:
                    conn.sendall(b'A' * 65536)
            except OSError:
                sys.exit(0)
        else:
            conn.sendall(b'0\r\n')
)";

// The far side above as a process of its own, stopped with the object.
class FarSideProcess {
public:
    // Starts it in the given manner; the URL that reaches it with the given
    // scheme (tcp or rfc2217), or empty when it did not start.
    std::string start(const char* mode, const char* scheme)
    {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start("/usr/bin/python3", { "-c", FarSideScript, mode });
        if (!process_.waitForReadyRead(10000))
            return {};
        return std::string(scheme) + "://127.0.0.1:" + process_.readLine().trimmed().toStdString();
    }

    // Whether what it sends unasked has gone.
    bool hasSent() { return process_.canReadLine(); }

    ~FarSideProcess()
    {
        process_.kill();
        process_.waitForFinished();
    }

private:
    QProcess process_;
};

} // namespace test_support
