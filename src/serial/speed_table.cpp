// Speed codes (line speed in units of 100 bit/s) and the port baud rate each one sets.
#include "serial/serial.hpp"

uint32_t BaudRateForSpeedCode(int speedCode) {
    switch (speedCode) {
        case 96:
            return 9600;
        case 192:
            return 19200;
        case 384:
            return 38400;
        case 576:
            return 56000;  // the port runs at 56,000, not 57,600; the camera accepts the difference
        case 1152:
            return 115200;
        case 2304:
            return 1200;  // this code sets the port to 1,200 bit/s
        default:
            return 0;
    }
}
