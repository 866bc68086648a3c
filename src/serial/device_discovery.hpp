// The serial devices of this machine, found in udev's device database without opening any.
#pragma once

#include <string>
#include <vector>

#include "serial/serial.hpp"

namespace discovery {

struct FoundDevices {
    // In the order COM1, COM2 ... take them: USB serial adapters (ttyUSB, then ttyACM, each in
    // numeric order), then on-board ports (ttyS, numeric order) with a UART behind them.
    std::vector<PortInfo> ports;
    // Devices of those kinds that serve as the system console: never searched.
    std::vector<PortInfo> consoles;
};

FoundDevices FindSerialDevices();

}  // namespace discovery
