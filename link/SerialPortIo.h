#pragma once

#include <cstdint>

class QDeadlineTimer;
class QSerialPort;

namespace usblink {

// What the serial backend does on an open port beyond Qt's own calls, as the
// system allows it. Each platform folder (platform/linux, platform/generic)
// defines these functions; the build takes the one R6140K_PLATFORM names.

// Whether the port's other end hung up for good: a pty whose master closed,
// a USB bridge that was unplugged. Always false where the system cannot
// tell.
bool hungUp(const QSerialPort& port);

// Writes count bytes before the deadline, waiting for room while the line
// is slow. Returns how many bytes went out.
uint32_t writeThrough(QSerialPort& port, const char* bytes, uint32_t count, const QDeadlineTimer& deadline);

} // namespace usblink
