// The virtual TK358 camera: answers every exchange of the camera line as the real camera must,
// keeps its state (status block values, picture stores, name table) and records what it received.
// It runs on any ICameraLine: the virtual line (virtual time) or a pseudo-terminal (real time).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
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
    uint32_t clock = 0;  // half-seconds since 1994-01-01 00:00:00 local time
    uint8_t modeIndex = 0;
    bool store1Present = false;
    std::array<uint8_t, 11> text{};     // the 11-character text
    std::array<uint8_t, 32> cameraId{}; // the camera ID text
    PictureStore store0;
    PictureStore store1;
    std::array<uint8_t, 256> nameTable{};  // eight 15-byte fields at 0, 15, ..., 105
    int selectedName = -1;
    // Raw bytes of the status block that carry no decoded meaning here; applied last.
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
// (kAnyOpcode = all). Counters count occurrences since the fault was set.
constexpr int kAnyOpcode = -1;
struct CameraFaults {
    int refuseOpcode = -2;              // answer 0xE1 to this command (kAnyOpcode: every command)
    int answer10Opcode = -2;            // answer 0x10 instead of 0xD1
    int badXorOnPacket = 0;             // send a wrong XOR byte on the n-th data packet sent (1-based)
    int badXorCount = 0;                // ... this many times in a row
    int refuseDataPackets = 0;          // answer 0xE3 to the next k data packets received
    int e2InsteadOfPacketOpcode = -2;   // send 0xE2 instead of the data packet of this command
    int completionByteOpcode = -2;      // send `completionByte` as completion of this command
    uint8_t completionByte = 0x01;
    int noCompletionOpcode = -2;        // send no completion byte for this command
    int failBlockIndex = -1;            // refuse (0xE1) the block command with this index
    uint64_t stallUs = 0;               // extra delay before every answer (within the waits)
    int silentAfterCommands = -1;       // answer nothing at all after this many commands
    bool unplugged = false;             // answers nothing
    int greetingWrongByte = -1;         // in download mode: corrupt this byte of the answer
    int greetingShortBy = 0;            // in download mode: leave out this many final bytes
    uint32_t deafAtBaud = 0;            // answers nothing while the line runs at this baud rate
    bool ignoreBreak = false;           // a break does not bring it back to 9,600 bit/s
};

class VirtualCamera final : public ICameraReceiver {
public:
    explicit VirtualCamera(ICameraLine& line);
    ~VirtualCamera() override;

    CameraState& State() { return m_state; }
    CameraFaults& Faults() { return m_faults; }

    // The 126-byte status block as the camera sends it now.
    std::array<uint8_t, 126> BuildStatusBlock() const;

    // What was received.
    const std::vector<ReceivedCommand>& Commands() const { return m_commands; }
    const std::vector<ReceivedBank>& Banks() const { return m_banks; }
    const std::vector<ReceivedBlock>& Blocks() const { return m_blocks; }
    const std::vector<ReceivedParameter>& Parameters() const { return m_parameters; }
    int Greetings() const { return m_greetings; }
    int Breaks() const { return m_breaks; }
    // The firmware image as written so far (196,608 bytes, zero where no block arrived).
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
    std::vector<ReceivedCommand> m_commands;
    std::vector<ReceivedBank> m_banks;
    std::vector<ReceivedBlock> m_blocks;
    std::vector<ReceivedParameter> m_parameters;
    int m_greetings = 0;
    int m_breaks = 0;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace sim
