// Inside of the virtual camera: the exchange state machine shared by the camera_*.cpp files.
#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sim/camera_sim.hpp"

namespace sim {

constexpr size_t kCommandPacketSize = 8;
using CommandPacket = std::array<uint8_t, kCommandPacketSize>;

constexpr uint8_t kAccept = 0xD1;
constexpr uint8_t kRefuse = 0xE1;
constexpr uint8_t kInsteadOfAck = 0x10;  // sent in place of an acknowledgement
constexpr uint8_t kPacketAccepted = 0xD2;
constexpr uint8_t kPacketAgain = 0xE3;
constexpr uint8_t kNoPacket = 0xE2;
constexpr uint8_t kLastFrame = 0x80;
constexpr uint8_t kPacketEnd = 0x1A;

inline constexpr std::array<uint8_t, 12> kGreeting = {'V', 'X', 'P', 'L', 'E', 'Q',
                                                      'F', 'Z', 'U', 'R', 'B', 'W'};
inline constexpr std::array<uint8_t, 12> kGreetingAnswer = {'W', 'B', 'R', 'U', 'Z', 'F',
                                                            'Q', 'E', 'L', 'P', 'X', 'V'};

// What one accepted command asks of the camera after its acknowledgement.
struct CommandPlan {
    enum class Data { None, ToHost, FromHost, FromHostPlain };

    uint8_t ack = kAccept;
    Data data = Data::None;
    std::vector<uint8_t> toHost;  // Data::ToHost: the whole payload
    size_t frameLength = 0;       // bytes per packet on the line, XOR and control byte included
    // Data::FromHost / FromHostPlain: the whole payload once its last frame was accepted.
    std::function<void(const std::vector<uint8_t>&)> onData;
    std::function<void()> onAccepted;      // right after the acknowledgement was sent
    std::optional<uint32_t> baudAfterAck;  // line speed once the acknowledgement has left
    bool completes = true;                 // false: the acknowledgement ends the command
    bool slow = false;                     // takes CameraTiming::slowCommandUs to complete
    std::function<void()> onCompleted;     // after the completion byte was sent

    static CommandPlan Refused() {
        CommandPlan plan;
        plan.ack = kRefuse;
        return plan;
    }
};

// Counts events from the moment a fault field got its current value.
class FaultCounter {
  public:
    int Next(int field) {
        Sync(field);
        return ++m_count;
    }
    int Peek(int field) {
        Sync(field);
        return m_count;
    }

  private:
    void Sync(int field) {
        if (field != m_seen) {
            m_seen = field;
            m_count = 0;
        }
    }
    int m_seen = INT_MIN;
    int m_count = 0;
};

enum class ExchangePhase {
    Idle,           // waiting for a command packet or the greeting
    Working,        // the camera is preparing its next answer
    AwaitAnswer,    // a data packet went out; waiting for 0xD2 or 0xE3
    ReceiveFrames,  // collecting data frames from the host
};

struct VirtualCamera::Impl {
    explicit Impl(VirtualCamera& owner) : cam(owner), line(owner.m_line) {}

    VirtualCamera& cam;
    ICameraLine& line;
    std::function<void(uint64_t, const std::string&)> logger;

    // Input assembly.
    std::vector<uint8_t> window;  // bytes collected towards a command packet or the greeting
    uint64_t lastByteUs = 0;
    bool heardByte = false;
    bool breakOn = false;
    uint64_t breakStartUs = 0;
    // After a greeting answer: only the host's 0xD1 or a new greeting is heard.
    bool awaitingGreetingAccept = false;
    bool greetingAcceptMissed = false;  // the protocol error for it has been recorded
    // Download mode was entered: the loader hears nothing before this time.
    uint64_t loaderReadyAtUs = 0;
    bool loaderStartDisturbed = false;  // the protocol error for it has been recorded

    // The command in progress.
    ExchangePhase phase = ExchangePhase::Idle;
    int opcode = -1;
    CommandPlan current;            // the plan of the command in progress
    size_t sendOffset = 0;          // data to the host: start of the packet being sent
    int sendings = 0;               // sendings of that packet so far
    std::vector<uint8_t> frame;     // data from the host: the frame being collected
    std::vector<uint8_t> received;  // payload of the frames accepted so far
    uint64_t waitTimer = 0;         // resend or frame-wait timer of the current phase
    bool waitIsFrameWait = false;   // waitTimer is the frame-wait timer
    uint64_t frameWaitUntilUs = 0;  // the frame wait ends here; every byte moves it on

    // Timers; an abandoned exchange bumps the epoch so that its pending timers do nothing.
    uint64_t epoch = 0;
    uint64_t nextTimerKey = 1;
    std::map<uint64_t, ICameraLine::TimerId> timers;

    FaultCounter badXorCounter;
    FaultCounter silentCounter;

    // camera_core.cpp
    void Log(const std::string& text);
    uint64_t Later(uint64_t delayUs, std::function<void()> fn);
    void CancelTimer(uint64_t key);
    void CancelAllTimers();
    void Abandon();
    void WhenOutputDrained(std::function<void()> fn);
    uint64_t AnswerDelayUs() const;
    bool Silent();
    void Send(const std::vector<uint8_t>& bytes);
    void SendByte(uint8_t byte);
    void SetSpeed(uint32_t baud);
    void ProtocolError(const std::string& text);
    // True while the loader starts; what arrives meanwhile (`what`) is recorded once as an error.
    bool LoaderStarting(const char* what);

    // camera_packets.cpp
    void OnIdleByte(uint8_t byte, uint64_t gapUs);
    void PushToWindow(uint8_t byte, uint64_t gapUs);
    bool CollectPacket(uint8_t byte, uint64_t gapUs, CommandPacket* packet);
    bool WindowHoldsGreeting() const;
    void OnGreetingAcceptByte(uint8_t byte, uint64_t gapUs);
    void OnGreeting();
    void OnPacket(const CommandPacket& packet);

    // camera_exchange.cpp
    void SendAck();
    void StartDataPhase();
    void SendDataPacket();
    void OnHostAnswer(uint8_t byte);
    void OnResendTimeout();
    void ArmFrameWait();
    void ScheduleFrameWait(uint64_t delayUs);
    void OnFrameByte(uint8_t byte, uint64_t gapUs);
    void OnFrame();
    void ScheduleCompletion();
    void Finish();

    // camera_normal.cpp, camera_download.cpp
    CommandPlan PlanNormal(const CommandPacket& p);
    CommandPlan PlanDownload(const CommandPacket& p);
    CommandPlan PlanSpeed(const CommandPacket& p);

    // camera_stores.cpp
    CommandPlan PlanStoreCommand(const CommandPacket& p);
};

// camera_normal.cpp: the baud rate announced by the digit bytes of command 0x41, 0 if unknown.
uint32_t BaudForSpeedDigits(uint8_t high, uint8_t low);

// camera_log.cpp
std::string OpcodeName(int opcode, CameraMode mode);
std::string DescribePacket(const CommandPacket& p, CameraMode mode);
std::string HexByte(uint8_t byte);

inline uint16_t BigEndian16(uint8_t high, uint8_t low) {
    return static_cast<uint16_t>((high << 8) | low);
}

inline uint8_t XorOf(const uint8_t* data, size_t n) {
    uint8_t x = 0;
    for (size_t i = 0; i < n; ++i) {
        x = static_cast<uint8_t>(x ^ data[i]);
    }
    return x;
}

}  // namespace sim
