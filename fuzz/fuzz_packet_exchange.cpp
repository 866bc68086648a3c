// Fuzz target: the receiving side of the packet exchange. Any byte stream from the camera,
// released turn by turn, answers one camera operation on an open link.
//
// Input: byte 0 picks the clock start (bits 0-1) and the operation (bits 2-5), bytes 1-2 are
// the operation's argument, the rest is the camera's script (see scripted_line.hpp).
#include <array>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "camera/camera.hpp"
#include "fuzz/scripted_line.hpp"

namespace {

// Opens the protocol object's protected members to the harness.
class Exchange final : public CCameraProtocol {
  public:
    using CCameraProtocol::CCameraProtocol;
    uint16_t RecvLen() const { return m_recvLen; }
    uint16_t SendLen() const { return m_sendLen; }
};

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void RunOperation(Exchange& link, int op, int argument) {
    std::vector<uint8_t> buffer(2048, 0);
    std::vector<uint8_t> source(700);
    for (size_t i = 0; i < source.size(); ++i) {
        source[i] = static_cast<uint8_t>(i * 7);
    }
    const int length = argument % 700;
    const int frame = argument >> 6;  // 0 to 1023, including frames that do not fit the buffers
    switch (op) {
        case 0: {
            link.ClearCommand();
            const uint32_t status = link.SendCommand();
            Check(status == kStatusOk || status == kStatusRefused || status == kStatusTimeout ||
                  status == kStatusPortFailed || status == kStatusInsteadOfAck);
            link.ReadCompletion(3000);
            break;
        }
        case 1:
            link.ReceivePayload(buffer.data(), length, 257);
            break;
        case 2:
            link.ReceivePayload(buffer.data(), length, 17);
            break;
        case 3:
            link.ReceivePayload(buffer.data(), std::min(length, 600), frame);
            break;
        case 4:
            link.SendPayload(source.data(), length, frame);
            break;
        case 5:
            link.SendDataPacket(source.data(), 256);
            break;
        case 6: {
            CameraInfo info;
            link.ReadInfo(&info);
            break;
        }
        case 7: {
            CameraIdText text = {};
            CameraClockId out;
            out.text = &text;
            link.ReadClockId(&out);
            Check(text.back() == '\0');
            break;
        }
        case 8:
            link.CheckLink(0);
            break;
        case 9:
            link.SetSpeed(argument % 3000);
            break;
        case 10:
            link.DrainLine();
            break;
        case 11: {
            uint8_t params[5] = {static_cast<uint8_t>(argument), 0, 0, 0, 0};
            link.RunCommand(0x43, params, buffer.data(), length, nullptr, 0, 257, 3000);
            break;
        }
        case 12: {
            std::vector<GroupEntry> entries(static_cast<size_t>(argument % 300));
            link.ReadGroupTable(argument & 1, entries);
            break;
        }
        case 13: {
            std::vector<ItemName> names(static_cast<size_t>(length));
            link.ListItems(argument & 1, static_cast<int16_t>(argument >> 10), names);
            break;
        }
        case 14: {
            NameTable table;
            link.ReadNameTable(&table);
            break;
        }
        default: {
            const uint32_t status = link.ReadAck(0xD2, 0xE3);
            Check(status == kStatusOk || status == kStatusRefused || status == kStatusTimeout ||
                  status == kStatusPortFailed || status == kStatusInsteadOfAck);
            break;
        }
    }
    // Whatever arrived, the lengths never pass the buffers.
    Check(link.RecvLen() <= kPortBufferSize);
    Check(link.SendLen() <= kPortBufferSize);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) {
        return 0;
    }
    const int op = (data[0] >> 2) & 0x0F;
    const int argument = (data[1] << 8) | data[2];
    fuzzline::ScriptedLine line(std::span<const uint8_t>(data + 3, size - 3),
                                fuzzline::StartClockFor(data[0]));
    ScopedClock scoped(line);
    {
        Exchange link(line);
        if (link.OpenPort(1) == kStatusOk) {
            RunOperation(link, op, argument);
            link.ClosePort();
        }
    }
    Check(line.OpenDrivers() == 0);
    // No single wait is longer than a later data packet try, or than the completion of a slow
    // command (the item count of the picture store operations).
    const bool slowCommands = op == 12 || op == 13;
    Check(line.LongestWaitMs() <= (slowCommands ? 200'000u + 1 : 10'000u + kPortBufferSize));
    return 0;
}
