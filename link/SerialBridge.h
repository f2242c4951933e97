#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "LineBackend.h"
#include "ListingBridge.h"

namespace usblink {

// A serial port as the bridge lists it, with the path that opens it.
struct SerialPortEntry {
    std::string description;
    std::string serial;
    std::string portPath;
};

// The default backend: the operating system's serial ports through Qt
// Serial Port. Lists the USB serial ports, then one device per extra port
// path (a pseudo-terminal of the simulated instrument, say). Why an open
// failed names a missing port, the group to join for a permission problem,
// the program that holds a busy port. Use it on one thread that Qt knows,
// the GUI thread.
class SerialBridge : public ListingBridge<SerialPortEntry, LineBackend> {
public:
    explicit SerialBridge(std::vector<std::string> extraPorts = {});

    FT_STATUS FT_Open(int32_t index, DeviceHandle* handle) override;
    // Opening a serial port does not wait.
    void limitOpenWait(uint32_t) override { }

protected:
    std::vector<SerialPortEntry> attachedDevices() override;

private:
    std::vector<std::string> extraPorts_;
};

} // namespace usblink
