#include "SerialPortIo.h"

#include <QDeadlineTimer>
#include <QSerialPort>

#include "LineWaits.h"

namespace usblink {

// Without a way to ask the descriptor, a vanished device shows only as the
// error Qt reports for it.
bool hungUp(const QSerialPort&)
{
    return false;
}

uint32_t writeThrough(QSerialPort& port, const char* bytes, uint32_t count, const QDeadlineTimer& deadline)
{
    if (port.write(bytes, count) != count)
        return 0;
    // Qt writes in chunks; each wait returns after one of them.
    while (port.bytesToWrite() > 0 && port.waitForBytesWritten(remainingMs(deadline))) { }
    return count - static_cast<uint32_t>(port.bytesToWrite());
}

} // namespace usblink
