#include "Resource.h"

#include <QRegularExpression>
#include <QString>

namespace analyzer {

std::optional<Resource> Resource::parse(const std::string& text)
{
    static const QRegularExpression socket(R"(^TCPIP\d*::([^:]+)::(\d{1,5})::SOCKET$)",
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression instr(R"(^TCPIP\d*::([^:]+)(?:::([A-Za-z][\w,]*))?::INSTR$)",
        QRegularExpression::CaseInsensitiveOption);
    const QString resource = QString::fromStdString(text);
    if (const auto m = socket.match(resource); m.hasMatch()) {
        const int port = m.captured(2).toInt();
        if (port < 1 || port > 65535)
            return std::nullopt;
        return Resource { Kind::Socket, m.captured(1).toStdString(), static_cast<uint16_t>(port), {} };
    }
    if (const auto m = instr.match(resource); m.hasMatch())
        return Resource { Kind::Vxi11, m.captured(1).toStdString(), 0,
            m.captured(2).isEmpty() ? "inst0" : m.captured(2).toStdString() };
    return std::nullopt;
}

} // namespace analyzer
