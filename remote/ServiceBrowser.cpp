#include "ServiceBrowser.h"

namespace remote {

QString resourceOfService(const QString& type, const QString& address, quint16 port)
{
    if (type == "_scpi-raw._tcp")
        return QString("TCPIP::%1::%2::SOCKET").arg(address).arg(port);
    if (type == "_vxi-11._tcp")
        return QString("TCPIP::%1::INSTR").arg(address);
    return {};
}

} // namespace remote
