#pragma once

#include <QSerialPort>

#include <string>

#include "Line.h"

namespace usblink {

// An operating system's serial port as a Line, through Qt Serial Port: the
// line settings are the port's own. Qt holds its unread input, up to the
// bound.
class SerialLine : public Line {
public:
    explicit SerialLine(const std::string& path);

    bool open();
    const QSerialPort& port() const { return port_; }

    FT_STATUS setBaudRate(uint32_t baud) override;
    FT_STATUS setDataCharacteristics(uint8_t bits, uint8_t stopBits, uint8_t parity) override;
    FT_STATUS setFlowControl(uint16_t flow) override;

private:
    QIODevice& device() override { return port_; }
    std::size_t pending() const override;
    std::size_t takeInput(char* into, std::size_t count) override;
    std::size_t dropInput() override;
    uint32_t send(const char* bytes, uint32_t count, const QDeadlineTimer& deadline) override;
    FT_STATUS abandonWrite() override;
    bool clear(bool input, bool output) override;
    FT_STATUS status() override;
    void stop() override;
    std::string goneReason() const override;

    std::string path_;
    QSerialPort port_;
};

} // namespace usblink
