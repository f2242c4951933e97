#include "UsbPortStrings.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using usblink::readUsbPortStrings;
namespace fs = std::filesystem;

namespace {

// A sysfs tree in a temporary folder, laid out like the kernel's: the USB
// device directory (with idVendor, product, serial) holds the interface,
// the tty sits below it, /class/tty/<name> links to the tty and its
// "device" link points back at the port's own directory.
class UsbPortStringsInFakeSysfs : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    fs::path root() const { return fs::path(folder.path().toStdString()) / "sys"; }

    static void writeFile(const fs::path& file, const std::string& text)
    {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text;
    }

    // Adds a tty whose device link points at portDir (relative to root).
    void addTty(const std::string& name, const fs::path& portDir)
    {
        const fs::path classDir = root() / portDir / "tty" / name;
        fs::create_directories(classDir);
        fs::create_directory_symlink(fs::relative(root() / portDir, classDir), classDir / "device");
        fs::create_directories(root() / "class" / "tty");
        fs::create_directory_symlink(fs::relative(classDir, root() / "class" / "tty"), root() / "class" / "tty" / name);
    }

    // A USB device at usbDir with the given attribute files.
    void addUsbDevice(const fs::path& usbDir, const std::string& product, const std::string& serial)
    {
        writeFile(root() / usbDir / "idVendor", "0403\n");
        if (!product.empty())
            writeFile(root() / usbDir / "product", product + "\n");
        if (!serial.empty())
            writeFile(root() / usbDir / "serial", serial + "\n");
    }

    QTemporaryDir folder;
    const fs::path hub = "devices/pci0000:00/0000:00:14.0/usb1";
};

TEST_F(UsbPortStringsInFakeSysfs, ReadsTheStringsOfTheNearestUsbDeviceAboveTheTty)
{
    addUsbDevice(hub, "xHCI Host Controller", "0000:00:14.0");
    addUsbDevice(hub / "1-2", "R6140K I/Q Upconverter", "FT6140K1");
    addTty("ttyUSB0", hub / "1-2/1-2:1.0/ttyUSB0"); // usb-serial port below the interface
    addUsbDevice(hub / "1-3", "Other Bridge", "AC0001");
    addTty("ttyACM0", hub / "1-3/1-3:1.0"); // the interface itself

    const auto ftdi = readUsbPortStrings("ttyUSB0", root().string());
    ASSERT_TRUE(ftdi.has_value());
    EXPECT_EQ("R6140K I/Q Upconverter", ftdi->product);
    EXPECT_EQ("FT6140K1", ftdi->serial);

    const auto acm = readUsbPortStrings("ttyACM0", root().string());
    ASSERT_TRUE(acm.has_value());
    EXPECT_EQ("Other Bridge", acm->product);
    EXPECT_EQ("AC0001", acm->serial);
}

TEST_F(UsbPortStringsInFakeSysfs, MissingAttributeFilesGiveEmptyStrings)
{
    addUsbDevice(hub / "1-2", "R6140K I/Q Upconverter", "");
    addTty("ttyUSB0", hub / "1-2/1-2:1.0/ttyUSB0");
    addUsbDevice(hub / "1-4", "", "");
    addTty("ttyUSB1", hub / "1-4/1-4:1.0/ttyUSB1");

    const auto noSerial = readUsbPortStrings("ttyUSB0", root().string());
    ASSERT_TRUE(noSerial.has_value());
    EXPECT_EQ("R6140K I/Q Upconverter", noSerial->product);
    EXPECT_EQ("", noSerial->serial);

    const auto bare = readUsbPortStrings("ttyUSB1", root().string());
    ASSERT_TRUE(bare.has_value());
    EXPECT_EQ("", bare->product);
    EXPECT_EQ("", bare->serial);
}

TEST_F(UsbPortStringsInFakeSysfs, TtysNotOnUsbAndUnknownTtysGiveNothing)
{
    // An idVendor above the sysfs root must not be taken for a USB device.
    writeFile(root().parent_path() / "idVendor", "0403\n");
    fs::create_directories(root() / "devices/platform/serial8250");
    addTty("ttyS0", "devices/platform/serial8250");

    EXPECT_FALSE(readUsbPortStrings("ttyS0", root().string()).has_value());
    EXPECT_FALSE(readUsbPortStrings("ttyUSB9", root().string()).has_value());
    EXPECT_FALSE(readUsbPortStrings("ttyS0", (root() / "missing").string()).has_value());
}

} // namespace
