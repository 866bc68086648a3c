// The COMn mapping taken from a recorded device tree (umockdev): the order of the devices, the
// on-board ports without a UART left out, the USB descriptions, the system console never among
// the ports, the overrides, and one snapshot for the whole run. The program runs under
// umockdev's preload library (umockdev-wrapper), which shows libudev the tree instead of the
// machine's own devices.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <umockdev.h>

#include <string>

#include "serial/serial.hpp"

namespace {

// One USB serial adapter: the USB device with its descriptors, the interface and the tty.
std::string Adapter(const std::string& port, const std::string& tty, const std::string& vendor,
                    const std::string& product, const std::string& strings) {
    const std::string usb = "/devices/pci0000:00/0000:00:14.0/usb1/" + port;
    return "P: " + usb + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nA: idVendor=" + vendor +
           "\nA: idProduct=" + product + "\n" + (strings.empty() ? "" : strings + "\n") + "\n" +
           "P: " + usb + "/" + port + ":1.0\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n\n" +
           "P: " + usb + "/" + port + ":1.0/tty/" + tty + "\nN: " + tty + "\nE: DEVNAME=/dev/" +
           tty + "\nE: SUBSYSTEM=tty\n\n";
}

std::string OnBoard(const std::string& tty, int uartType) {
    return "P: /devices/platform/serial8250/tty/" + tty + "\nN: " + tty + "\nE: DEVNAME=/dev/" +
           tty + "\nE: SUBSYSTEM=tty\nA: type=" + std::to_string(uartType) + "\n\n";
}

const std::string kMachine =
    OnBoard("ttyS0", 4) + OnBoard("ttyS1", 4) + OnBoard("ttyS2", 0) + OnBoard("ttyS10", 6) +
    Adapter("1-2", "ttyUSB0", "0403", "6001",
            "A: manufacturer=FTDI\nA: product=FT232R USB UART\nA: serial=A12345") +
    Adapter("1-3", "ttyUSB1", "1a86", "7523", "") +
    Adapter("1-4", "ttyACM0", "2e8a", "000a",
            "A: manufacturer=Raspberry Pi\nA: product=Raspberry Pi Pico") +
    "P: /devices/virtual/tty/console\nN: console\nE: SUBSYSTEM=tty\nA: active=tty0 ttyS0\n\n" +
    "P: /devices/virtual/tty/tty0\nN: tty0\nE: DEVNAME=/dev/tty0\nE: SUBSYSTEM=tty\n\n";

class PortSnapshot : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int n = 1; n <= 4; ++n) {
            unsetenv(("TK358FW_COM" + std::to_string(n)).c_str());
        }
        const char* preload = getenv("LD_PRELOAD");
        ASSERT_TRUE(preload != nullptr &&
                    std::string(preload).find("umockdev") != std::string::npos)
            << "run under umockdev-wrapper";
        m_testbed = umockdev_testbed_new();
        Add(kMachine);
    }
    void TearDown() override {
        if (m_testbed != nullptr) {
            g_object_unref(m_testbed);
        }
    }

    void Add(const std::string& records) {
        GError* error = nullptr;
        ASSERT_TRUE(umockdev_testbed_add_from_string(m_testbed, records.c_str(), &error))
            << (error != nullptr ? error->message : "");
    }

    UMockdevTestbed* m_testbed = nullptr;
};

TEST_F(PortSnapshot, AdaptersFirstThenOnBoardPortsWithAUartAndNeverTheConsole) {
    const PortMap map = TakePortSnapshot();
    const PortInfo expected[] = {
        {"/dev/ttyUSB0", "FTDI FT232R USB UART, serial A12345, USB 0403:6001", ""},
        {"/dev/ttyUSB1", "USB serial adapter, USB 1a86:7523", ""},
        {"/dev/ttyACM0", "Raspberry Pi Pico, USB 2e8a:000a", ""},
        {"/dev/ttyS1", "on-board serial port, 16550A UART", ""},
    };
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(map.com[i].device, expected[i].device) << i;
        EXPECT_EQ(map.com[i].description, expected[i].description) << i;
        EXPECT_EQ(map.com[i].namedBy, "") << i;
    }
    ASSERT_EQ(map.unmapped.size(), 1u);  // ttyS2 has no UART behind it
    EXPECT_EQ(map.unmapped[0].device, "/dev/ttyS10");
    EXPECT_EQ(map.unmapped[0].description, "on-board serial port, 16650 UART");
    ASSERT_EQ(map.skipped.size(), 1u);
    EXPECT_EQ(map.skipped[0].device, "/dev/ttyS0");
    EXPECT_EQ(map.skipped[0].description, "the system console (on-board serial port, 16550A UART)");
}

TEST_F(PortSnapshot, OverridesFromTheProgramThenTheEnvironmentAndOneSnapshotPerRun) {
    setenv("TK358FW_COM1", "/dev/ttyUSB1", 1);  // the program's choice wins over this
    setenv("TK358FW_COM2", "/dev/ttyS10", 1);
    PortOverrides overrides;
    overrides[0] = {"/dev/ttyACM0", "--port"};
    CPosixPortSystem ports(TakePortSnapshot(overrides));
    PortMap map = ports.Ports();
    EXPECT_EQ(map.com[0].device, "/dev/ttyACM0");
    EXPECT_EQ(map.com[0].namedBy, "--port");
    EXPECT_EQ(map.com[0].description, "Raspberry Pi Pico, USB 2e8a:000a");
    EXPECT_EQ(map.com[1].device, "/dev/ttyS10");
    EXPECT_EQ(map.com[1].namedBy, "TK358FW_COM2");
    // The devices found fill the free slots in their order, none of them twice.
    EXPECT_EQ(map.com[2].device, "/dev/ttyUSB0");
    EXPECT_EQ(map.com[2].namedBy, "");
    EXPECT_EQ(map.com[3].device, "/dev/ttyUSB1");
    ASSERT_EQ(map.unmapped.size(), 1u);  // no COMn stands for it now
    EXPECT_EQ(map.unmapped[0].device, "/dev/ttyS1");

    // A device named for a second slot is not there twice: that slot has none.
    setenv("TK358FW_COM3", "/dev/ttyACM0", 1);
    map = TakePortSnapshot(overrides);
    EXPECT_EQ(map.com[2].device, "");
    EXPECT_EQ(map.com[2].namedBy, "TK358FW_COM3");
    EXPECT_EQ(map.com[2].description, "/dev/ttyACM0 is COM1");
    EXPECT_EQ(map.com[3].device, "/dev/ttyUSB0");
    ASSERT_EQ(map.unmapped.size(), 2u);
    EXPECT_EQ(map.unmapped[0].device, "/dev/ttyUSB1");
    unsetenv("TK358FW_COM3");
    map = ports.Ports();

    // An adapter plugged in during the run changes nothing for this run; the next one sees it.
    unsetenv("TK358FW_COM1");
    unsetenv("TK358FW_COM2");
    Add(Adapter("1-5", "ttyUSB2", "067b", "2303", "A: product=USB-Serial Controller"));
    map = ports.Ports();
    EXPECT_EQ(map.com[0].device, "/dev/ttyACM0");
    EXPECT_EQ(map.unmapped.size(), 1u);
    const PortMap next = TakePortSnapshot();
    EXPECT_EQ(next.com[2].device, "/dev/ttyUSB2");
    EXPECT_EQ(next.com[2].description, "USB-Serial Controller, USB 067b:2303");
}

}  // namespace
