// Readable names for the camera's log: opcodes and command packets.
#include <cstdio>
#include <string>

#include "sim/camera_impl.hpp"

namespace sim {

std::string HexByte(uint8_t byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

std::string OpcodeName(int opcode, CameraMode mode) {
    switch (opcode) {
        case 0x41:
            return "speed";
        case 0x7F:
            return "status request";
        case 0x75:
            return "set clock";
        case 0x9E:
            return "set ID";
        case 0x8D:
            return "enter download mode";
        case 0x42:
            return "write name table";
        case 0x43:
            return "read name table";
        case 0x44:
            return "read group names";
        case 0x45:
            return "read item count";
        case 0x46:
            return "group command";
        case 0x47:
            return "rename group";
        case 0x48:
            return "move item";
        case 0x49:
            return "select name";
        case 0x4A:
            return "list items";
        case 0x1D:
            return "block";
        case 0x1E:
            return "bank";
        case 0x21:
            return "parameter";
        default:
            return mode == CameraMode::Download ? "unknown (download mode)" : "unknown";
    }
}

std::string DescribePacket(const CommandPacket& p, CameraMode mode) {
    std::string text = HexByte(p[0]) + " " + OpcodeName(p[0], mode);
    const unsigned high = BigEndian16(p[2], p[3]);
    const unsigned low = BigEndian16(p[4], p[5]);
    switch (p[0]) {
        case 0x41: {
            const uint32_t baud = BaudForSpeedDigits(p[2], p[3]);
            text += baud != 0 ? " " + std::to_string(baud) : " (unknown digits)";
            break;
        }
        case 0x1D:
            text += " " + std::to_string(high);
            break;
        case 0x1E:
            text += " " + std::to_string(high);
            break;
        case 0x21:
            text += " " + std::to_string(high) + " = " + std::to_string(low);
            break;
        case 0x44:
        case 0x45:
        case 0x46:
        case 0x47:
        case 0x4A:
            text += " store " + std::to_string(p[1]) + " group " + std::to_string(p[4]);
            break;
        case 0x48:
            text += " store " + std::to_string(p[1]) + " item " + std::to_string(high) +
                    " from group " + std::to_string(p[4]) + " to group " + std::to_string(p[5]);
            break;
        case 0x49:
            text += " " + std::to_string(p[2]);
            break;
        default:
            break;
    }
    text += " [";
    for (size_t i = 0; i < p.size(); ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, i == 0 ? "%02X" : " %02X", p[i]);
        text += hex;
    }
    return text + "]";
}

}  // namespace sim
