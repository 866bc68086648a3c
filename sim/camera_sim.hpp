// The virtual TK358 camera: answers every exchange of the camera line as the real camera must,
// keeps its state (status block values, picture stores, name table) and records what it received.
// It runs on any ICameraLine: the virtual line (virtual time) or a pseudo-terminal (real time).
//
// It is driven only by OnByte, OnBreak and its own timers (ICameraLine::After); it has no thread.
//
// Normal mode: 8-byte command packets ending in 0x1A are acknowledged with 0xD1 (0xE1 for an
// unknown opcode, a loader opcode, bad parameters or a store that is absent), followed by the
// command's data phase and the completion byte 0x00. Data to the host goes in packets of the
// command's packet size plus an XOR byte; the camera waits for 0xD2 (next packet) or 0xE3 (send
// it again), sends again after 3,000 ms of silence and gives the command up after five sendings.
// Data from the host arrives in frames (control byte, payload, XOR over the payload), each
// answered 0xD2 or 0xE3; control byte 0x80 marks the last one.
// Download mode: answers the greeting, takes the speed, bank, block and parameter commands.
// Entering download mode starts the loader, which hears nothing for CameraTiming::loaderStartUs.
// After a greeting answer only the host's 0xD1 (or a new greeting) is heard.
//
// What the host does against the protocol (a byte other than 0xD1 after a greeting answer, bytes
// while the loader starts) is logged as a protocol error and kept in ProtocolErrors().
//
// The byte stream is resynchronised on garbage: a pause of more than 20 ms between two bytes
// drops a partial packet, and a packet is taken only as 8 bytes whose byte 6 is 0 and byte 7 is
// 0x1A (anything before them slides out). Garbage is never answered.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/sim.hpp"

namespace sim {

enum class CameraMode { Normal, Download };

struct PictureItem {
    std::array<uint8_t, 20> record{};  // bytes 0-6 and 8-10 form the item's name
};

struct PictureGroup {
    std::array<uint8_t, 16> name{};  // 15 significant bytes
    std::vector<PictureItem> items;
};

struct PictureStore {
    int16_t pictures = 0;
    std::array<int16_t, 4> figures{};  // per-mode figures 0..3
    std::vector<PictureGroup> groups;  // group 0 first; the status block reports size() - 1
};

// Everything the status block is built from, plus the camera's other contents.
struct CameraState {
    CameraMode mode = CameraMode::Normal;
    uint8_t statusByte0 = 0;
    uint8_t stateByte = 2;  // the camera accepts commands only when it is 2
    uint8_t versionMajor = 1;
    uint8_t versionMinor = 5;
    uint32_t clock = 0;  // half-seconds since 1994-01-01 00:00:00 local time; does not tick
    uint8_t modeIndex = 0;
    bool store1Present = false;
    std::array<uint8_t, 11> text{};      // the 11-character text
    std::array<uint8_t, 32> cameraId{};  // the camera ID text
    PictureStore store0;
    PictureStore store1;
    std::array<uint8_t, 256> nameTable{};  // eight 15-byte fields at 0, 15, ..., 105
    int selectedName = -1;
    // Raw bytes of the status block (offset, value) that carry no decoded meaning here; applied
    // last, so they can also overwrite any field above.
    std::vector<std::pair<uint8_t, uint8_t>> statusOverrides;
};

// What the camera was sent, in order, with the virtual or real time of each record.
struct ReceivedCommand {
    uint64_t atUs = 0;
    std::array<uint8_t, 8> packet{};
};
struct ReceivedParameter {
    uint64_t atUs = 0;
    uint16_t number = 0;
    uint16_t value = 0;
};
struct ReceivedBank {
    uint64_t atUs = 0;
    uint16_t bank = 0;
};
struct ReceivedBlock {
    uint64_t atUs = 0;
    uint16_t index = 0;
    std::array<uint8_t, 256> data{};
};

// Faults, each active until cleared. Opcodes select which command a fault applies to
// (kAnyOpcode = all; the default -2 matches nothing). Counters that count "from the moment the
// fault was set" restart whenever their field gets a new value.
constexpr int kAnyOpcode = -1;
struct CameraFaults {
    // Answer 0xE1 to this command, in either mode. The command is still recorded.
    int refuseOpcode = -2;
    // Answer 0x10 instead of 0xD1 to this command; the command then ends.
    int answer10Opcode = -2;
    // Send a wrong XOR byte on the n-th data packet sent to the host (1-based, counting every
    // sending, resends included, from the moment this field was set) ...
    int badXorOnPacket = 0;
    // ... and on this many packets in a row from there (0 counts as 1).
    int badXorCount = 0;
    // Answer 0xE3 to the next k good data packets received; decremented as it is used.
    int refuseDataPackets = 0;
    // Send the single byte 0xE2 instead of the first data packet of this command; the command
    // then ends without a completion byte.
    int e2InsteadOfPacketOpcode = -2;
    // Send `completionByte` as the completion byte of this command.
    int completionByteOpcode = -2;
    uint8_t completionByte = 0x01;
    // Send no completion byte for this command (it ends silently after its data phase).
    int noCompletionOpcode = -2;
    // Refuse (0xE1) the block command 0x1D for this block index; the block is not recorded.
    int failBlockIndex = -1;
    // Extra delay before every answer byte or packet. Below 1,900,000 us the camera stays within
    // every wait of the host; above, it provokes the host's time-outs.
    uint64_t stallUs = 0;
    // After this many command packets (counted from the moment the field was set) the camera
    // answers nothing at all, as if unplugged from that point on. -1: off.
    int silentAfterCommands = -1;
    // Hears nothing and answers nothing (no command, break or greeting reaches it).
    bool unplugged = false;
    // In download mode: corrupt this byte (0-11) of the greeting answer.
    int greetingWrongByte = -1;
    // In download mode: leave out this many final bytes of the greeting answer.
    int greetingShortBy = 0;
    // Hears nothing while its line runs at this baud rate (a break still reaches it).
    uint32_t deafAtBaud = 0;
    // A break does not bring it back to 9,600 bit/s (it is still counted).
    bool ignoreBreak = false;
};

// The camera's own pace. Every delay is measured from the moment the byte or packet that
// prompts it has arrived; `CameraFaults::stallUs` is added to each.
struct CameraTiming {
    uint64_t answerUs = 1'000;             // processing time before an answer
    uint64_t slowCommandUs = 20'000;       // time 0x45, 0x46, 0x48 and 0x4A take before completing
    uint64_t resendAfterUs = 3'000'000;    // no answer to a data packet: send it again
    int sendingsPerPacket = 5;             // then the command is given up silently
    uint64_t hostFrameWaitUs = 4'000'000;  // no data frame from the host: command given up
    uint64_t interByteGapUs = 20'000;      // a longer pause drops a partially received packet
    uint64_t minBreakUs = 250'000;         // a shorter break is ignored
    // After the completion byte of the switch into download mode the loader starts, and the camera
    // hears nothing (no byte, no break) for this long.
    uint64_t loaderStartUs = 300'000;
};

class VirtualCamera final : public ICameraReceiver {
  public:
    explicit VirtualCamera(ICameraLine& line);
    ~VirtualCamera() override;
    VirtualCamera(const VirtualCamera&) = delete;
    VirtualCamera& operator=(const VirtualCamera&) = delete;

    CameraState& State() { return m_state; }
    CameraFaults& Faults() { return m_faults; }
    CameraTiming& Timing() { return m_timing; }

    // The 126-byte status block as the camera sends it now.
    std::array<uint8_t, 126> BuildStatusBlock() const;

    // What was received.
    const std::vector<ReceivedCommand>& Commands() const { return m_commands; }
    const std::vector<ReceivedBank>& Banks() const { return m_banks; }
    const std::vector<ReceivedBlock>& Blocks() const { return m_blocks; }
    const std::vector<ReceivedParameter>& Parameters() const { return m_parameters; }
    int Greetings() const { return m_greetings; }  // greetings heard, in either mode
    int Breaks() const { return m_breaks; }        // breaks of at least minBreakUs
    // What the host did against the protocol, in order, one line each (also logged).
    const std::vector<std::string>& ProtocolErrors() const { return m_protocolErrors; }
    // The firmware image as written so far (196,608 bytes, zero where no block arrived; blocks
    // with an index beyond 767 are recorded but not placed).
    std::vector<uint8_t> Image() const;

    // Called for every event worth a line in a log (packets, answers, speed changes, breaks).
    void SetLogger(std::function<void(uint64_t atUs, const std::string& text)> logger);

    // ICameraReceiver
    void OnByte(uint8_t byte) override;
    void OnBreak(bool on) override;

    struct Impl;

  private:
    ICameraLine& m_line;
    CameraState m_state;
    CameraFaults m_faults;
    CameraTiming m_timing;
    std::vector<ReceivedCommand> m_commands;
    std::vector<ReceivedBank> m_banks;
    std::vector<ReceivedBlock> m_blocks;
    std::vector<ReceivedParameter> m_parameters;
    std::vector<std::string> m_protocolErrors;
    int m_greetings = 0;
    int m_breaks = 0;
    std::unique_ptr<Impl> m_impl;
};

constexpr size_t kCameraImageBytes = 196'608;

}  // namespace sim
