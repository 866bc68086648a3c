// A whole firmware update in virtual time with faults injected at a chosen moment, and the checks
// that every run must pass whatever went wrong. Used by the fault matrix, the small soak of the
// test suite and the soak program; header-only so that all three can share it.
//
// The pieces between the workflow and the virtual camera:
//   WaitRecordingClock   the clock the workflow waits on; records the longest single wait
//   RecordingPorts       the port system; records every port wait and the ports left open, and
//                        can fail like a serial adapter pulled out
//   FaultStage           sits between the virtual line and the camera: spots greetings and
//                        command packets, sets the camera's faults when the trigger passes, and
//                        flips bits on the line (at a chosen byte or at random)
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "app/app.hpp"
#include "sim/camera_sim.hpp"
#include "sim/sim.hpp"
#include "tests/temp_dir.hpp"

namespace rig {

// The longest wait any step of an update may make: a later try of a 257-byte data packet from the
// camera (10,000 ms plus one per expected byte). Every other time-out is shorter.
constexpr uint32_t kLongestAllowedWaitMs = 10'000 + 257;

constexpr uint8_t kOpBlock = 0x1D;
constexpr uint8_t kOpBank = 0x1E;
constexpr uint8_t kOpParameter = 0x21;
constexpr uint8_t kOpSpeed = 0x41;
constexpr uint8_t kOpStatus = 0x7F;
constexpr uint8_t kOpDownloadMode = 0x8D;
constexpr uint8_t kTriggerGreeting = 0;  // stands for the 12-byte greeting in a trigger

// ---------------------------------------------------------------------------------------------
// Waits.
// ---------------------------------------------------------------------------------------------
class WaitRecordingClock final : public IClock {
  public:
    explicit WaitRecordingClock(sim::VirtualClock& inner) : m_inner(inner) {}
    uint32_t NowMs() override { return m_inner.NowMs(); }
    void SleepUntilMs(uint32_t ms) override {
        Record(ms - m_inner.NowMs());
        m_inner.SleepUntilMs(ms);
    }
    void Record(uint32_t waitMs) {
        if (static_cast<int32_t>(waitMs) > 0) {
            m_longest = std::max(m_longest, waitMs);
        }
    }
    uint32_t LongestWaitMs() const { return m_longest; }

  private:
    sim::VirtualClock& m_inner;
    uint32_t m_longest = 0;
};

class RecordingPorts final : public IPortSystem {
  public:
    RecordingPorts(IPortSystem& inner, WaitRecordingClock& clock)
        : m_inner(inner), m_clock(clock) {}
    std::unique_ptr<IPortDriver> Open(const std::string& name, PortFailure* failure) override {
        std::unique_ptr<IPortDriver> port = m_failing ? nullptr : m_inner.Open(name, failure);
        if (!port) {
            return nullptr;
        }
        return std::make_unique<Driver>(std::move(port), *this);
    }
    PortMap Ports() override { return m_inner.Ports(); }
    int OpenNow() const { return m_open; }
    // The adapter is pulled: every driver operation fails and no port opens, until Restore.
    void FailFromNow() { m_failing = true; }
    void Restore() { m_failing = false; }

  private:
    class Driver final : public IPortDriver {
      public:
        Driver(std::unique_ptr<IPortDriver> inner, RecordingPorts& owner)
            : m_inner(std::move(inner)), m_owner(owner) {
            ++m_owner.m_open;
        }
        ~Driver() override { --m_owner.m_open; }
        Driver(const Driver&) = delete;
        Driver& operator=(const Driver&) = delete;
        PortFailure LastFailure() const override { return m_inner->LastFailure(); }
        bool SetupQueues(uint32_t in, uint32_t out) override {
            return Up() && m_inner->SetupQueues(in, out);
        }
        bool ClearErrors(QueueCounts* counts) override {
            return Up() && m_inner->ClearErrors(counts);
        }
        bool Purge(bool input, bool output) override {
            return Up() && m_inner->Purge(input, output);
        }
        bool SetBreak(bool on) override { return Up() && m_inner->SetBreak(on); }
        bool GetSettings(LineSettings* s) override { return Up() && m_inner->GetSettings(s); }
        bool SetSettings(const LineSettings& s) override { return Up() && m_inner->SetSettings(s); }
        bool Write(const uint8_t* data, uint32_t n) override {
            return Up() && m_inner->Write(data, n);
        }
        bool Read(uint8_t* data, uint32_t n) override { return Up() && m_inner->Read(data, n); }
        void WaitForChange(WaitFor what, uint32_t deadlineMs) override {
            m_owner.m_clock.Record(deadlineMs - m_owner.m_clock.NowMs());
            m_inner->WaitForChange(what, deadlineMs);
        }

      private:
        bool Up() const { return !m_owner.m_failing; }

        std::unique_ptr<IPortDriver> m_inner;
        RecordingPorts& m_owner;
    };

    IPortSystem& m_inner;
    WaitRecordingClock& m_clock;
    int m_open = 0;
    bool m_failing = false;
};

// ---------------------------------------------------------------------------------------------
// Faults.
// ---------------------------------------------------------------------------------------------
enum class Fault {
    None,
    Refuse,               // 0xE1 to the trigger's command, and to every later one of its opcode
    Answer10,             // 0x10 instead of the acknowledgement
    BadXorAll,            // every sending of the next data packet to the host has a wrong XOR
    BadXorOnce,           // only the first sending of it
    RefuseDataFourTimes,  // the next data packet from the host refused four times
    RefuseDataFiveTimes,  // ... five times
    E2InsteadOfPacket,    // 0xE2 in place of the first data packet
    BadCompletion,        // completion byte 0x01
    NoCompletion,         // no completion byte
    FailBlock,            // the block command of the trigger's block refused
    StallWithin,          // every answer 1.5 s late: inside every wait of the host
    StallBeyond,          // every answer 2.5 s late: beyond the host's data packet wait
    Silent,               // answers nothing from the trigger on
    Unplugged,            // hears nothing from the trigger on
    GreetingWrongByte,    // a wrong byte in the greeting answer
    GreetingShort,        // the greeting answer one byte short
    DeafAtTransferSpeed,  // hears nothing at 38,400 bit/s
    NoiseToCamera,        // one bit flipped in a byte the host sends after the trigger
    NoiseToHost,          // one bit flipped in a byte the camera sends after the trigger
    IgnoreBreak,          // a break does not bring the camera back to 9,600 bit/s
    PortFails,            // the host's serial adapter fails (pulled out) from the trigger on
};
constexpr Fault kLastFault = Fault::PortFails;

inline const char* FaultName(Fault f) {
    static constexpr std::array<const char*, 22> kNames = {
        "None",          "Refuse",       "Answer10",      "BadXorAll",
        "BadXorOnce",    "RefuseData4",  "RefuseData5",   "E2InsteadOfPacket",
        "BadCompletion", "NoCompletion", "FailBlock",     "StallWithin",
        "StallBeyond",   "Silent",       "Unplugged",     "GreetingWrongByte",
        "GreetingShort", "DeafAt38400",  "NoiseToCamera", "NoiseToHost",
        "IgnoreBreak",   "PortFails"};
    return kNames[static_cast<size_t>(f)];
}

// The moment a fault starts: the n-th greeting (opcode kTriggerGreeting) or the n-th command
// packet with this opcode (and, when `number` is not -1, with this number in bytes 2 and 3).
// Occurrence 0 means from the start.
struct Trigger {
    uint8_t opcode = kTriggerGreeting;
    int occurrence = 0;
    int number = -1;
};

struct FaultPlan {
    Fault fault = Fault::None;
    Trigger at;
    int noiseByte = 1;  // for the noise faults: the n-th byte after the trigger (1-based)
    uint8_t noiseBit = 0x10;
};

// Between the virtual line and the camera.
class FaultStage final : public sim::ICameraLine, public sim::ICameraReceiver {
  public:
    FaultStage(sim::ICameraLine& end, uint64_t noiseSeed) : m_end(end), m_random(noiseSeed) {}
    // Bits flipped towards the camera land only in the data packets of blocks (see OnByte); a
    // flip due elsewhere waits for the next such byte.
    void Attach(sim::VirtualCamera* camera) { m_camera = camera; }
    void OnPortFailure(std::function<void()> fail) { m_onPortFailure = std::move(fail); }
    // Drops every plan and stops the noise (the camera's own faults are cleared by the caller).
    void ClearPlans() {
        m_plans.clear();
        m_toCamera = {};
        m_toHost = {};
    }
    void Add(const FaultPlan& plan) { m_plans.push_back({plan, false}); }
    // Random single-bit noise: each byte is hit with this probability, with no other flip in the
    // next 300 bytes of that direction (so a data packet carries at most one flip, which its XOR
    // byte shows). Command packets to the camera carry no check and are left alone.
    void SetRandomNoise(double toCamera, double toHost) {
        m_toCamera.rate = toCamera;
        m_toHost.rate = toHost;
    }
    int FlipsToCamera() const { return m_toCamera.flips; }
    int FlipsToHost() const { return m_toHost.flips; }

    // sim::ICameraLine (the camera's sending side)
    uint64_t NowUs() override { return m_end.NowUs(); }
    void Send(const uint8_t* data, size_t n) override {
        std::vector<uint8_t> bytes(data, data + n);
        for (uint8_t& b : bytes) {
            if (m_inBlock && b == 0xE3) {
                m_dataLeft = kBlockFrame;  // the host sends the block's data packet again
            }
            b = MaybeFlip(m_toHost, b, true);
        }
        m_end.Send(bytes.data(), bytes.size());
    }
    size_t PendingOutput() override { return m_end.PendingOutput(); }
    void SetBaudRate(uint32_t baud) override { m_end.SetBaudRate(baud); }
    uint32_t BaudRate() override { return m_end.BaudRate(); }
    TimerId After(uint64_t delayUs, std::function<void()> fn) override {
        return m_end.After(delayUs, std::move(fn));
    }
    void CancelTimer(TimerId id) override { m_end.CancelTimer(id); }

    // sim::ICameraReceiver (what reaches the camera)
    void OnByte(uint8_t byte) override {
        m_window.push_back(byte);
        if (m_window.size() > kGreetingLength) {
            m_window.erase(m_window.begin());
        }
        // Only data packets are hit: command packets carry no check byte, so a flipped bit in
        // one would reach the camera as a different command, which neither end can notice.
        const bool data = m_dataLeft > 0;
        if (data) {
            --m_dataLeft;
        }
        byte = MaybeFlip(m_toCamera, byte, data);
        m_window.back() = byte;
        SpotTriggers();
        m_camera->OnByte(byte);
    }
    void OnBreak(bool on) override { m_camera->OnBreak(on); }

  private:
    static constexpr size_t kGreetingLength = 12;
    static constexpr size_t kCommandLength = 8;
    static constexpr int kBlockFrame = 257;  // a block's data packet: 256 bytes and the XOR byte
    // Bytes after a flip in which a direction gets no other flip: more than a data packet, so
    // that no packet carries two flips (which its XOR byte could miss).
    static constexpr uint64_t kQuietBytes = 300;
    // One direction of the line: the byte count, a flip due at a chosen count (0 none), random
    // flips at a rate, and the quiet stretch after each flip.
    struct Direction {
        uint64_t count = 0;
        uint64_t due = 0;
        uint8_t dueBit = 0;
        double rate = 0.0;
        uint64_t quietUntil = 0;
        int flips = 0;
    };
    struct Armed {
        FaultPlan plan;
        bool fired;
    };

    // Counts the byte and returns it, with one bit flipped when a flip is due or drawn.
    uint8_t MaybeFlip(Direction& d, uint8_t byte, bool eligible) {
        ++d.count;
        if (!eligible || d.count < d.quietUntil) {
            return byte;
        }
        uint8_t bit = 0;
        if (d.due != 0 && d.count >= d.due) {
            bit = d.dueBit;
            d.due = 0;
        } else if (d.rate > 0.0 &&
                   std::uniform_real_distribution<double>(0.0, 1.0)(m_random) < d.rate) {
            bit = RandomBit();
        }
        if (bit == 0) {
            return byte;
        }
        d.quietUntil = d.count + kQuietBytes;
        ++d.flips;
        return static_cast<uint8_t>(byte ^ bit);
    }
    uint8_t RandomBit() {
        return static_cast<uint8_t>(1u << std::uniform_int_distribution<int>(0, 7)(m_random));
    }

    void SpotTriggers() {
        const bool greeting = m_window.size() == kGreetingLength &&
                              std::memcmp(m_window.data(), "VXPLEQFZURBW", kGreetingLength) == 0;
        const uint8_t* packet = m_window.size() >= kCommandLength
                                    ? m_window.data() + m_window.size() - kCommandLength
                                    : nullptr;
        const bool command = packet != nullptr && packet[7] == 0x1A && packet[6] == 0;
        if (greeting) {
            ++m_seen[kTriggerGreeting];
        } else if (command) {
            ++m_seen[packet[0]];
            m_inBlock = packet[0] == kOpBlock;
            m_dataLeft = m_inBlock ? kBlockFrame : 0;
            if (packet[0] == kOpBlock || packet[0] == kOpParameter || packet[0] == kOpBank) {
                m_lastNumber = (packet[2] << 8) | packet[3];
            }
        } else {
            return;
        }
        const uint8_t opcode = greeting ? kTriggerGreeting : packet[0];
        for (Armed& a : m_plans) {
            if (a.fired || a.plan.at.occurrence == 0) {
                continue;
            }
            const Trigger& t = a.plan.at;
            if (t.opcode != opcode) {
                continue;
            }
            const bool matches = t.number >= 0 ? (m_lastNumber == t.number && !greeting)
                                               : m_seen[opcode] == t.occurrence;
            if (matches) {
                a.fired = true;
                Apply(a.plan, opcode);
            }
        }
    }

  public:
    // Sets a plan's fault on the camera now (also used for plans that hold from the start).
    void Apply(const FaultPlan& plan, int opcode) {
        sim::CameraFaults& f = m_camera->Faults();
        const int op = (opcode == kTriggerGreeting) ? sim::kAnyOpcode : opcode;
        switch (plan.fault) {
            case Fault::None:
                break;
            case Fault::Refuse:
                f.refuseOpcode = op;
                break;
            case Fault::Answer10:
                f.answer10Opcode = op;
                break;
            case Fault::BadXorAll:
                f.badXorOnPacket = 1;
                f.badXorCount = 5;
                break;
            case Fault::BadXorOnce:
                f.badXorOnPacket = 1;
                f.badXorCount = 1;
                break;
            case Fault::RefuseDataFourTimes:
                f.refuseDataPackets = 4;
                break;
            case Fault::RefuseDataFiveTimes:
                f.refuseDataPackets = 5;
                break;
            case Fault::E2InsteadOfPacket:
                f.e2InsteadOfPacketOpcode = op;
                break;
            case Fault::BadCompletion:
                f.completionByteOpcode = op;
                f.completionByte = 0x01;
                break;
            case Fault::NoCompletion:
                f.noCompletionOpcode = op;
                break;
            case Fault::FailBlock:
                f.failBlockIndex = plan.at.number >= 0 ? plan.at.number : m_lastNumber;
                break;
            case Fault::StallWithin:
                f.stallUs = 1'500'000;
                break;
            case Fault::StallBeyond:
                f.stallUs = 2'500'000;
                break;
            case Fault::Silent:
                f.silentAfterCommands = 0;
                break;
            case Fault::Unplugged:
                f.unplugged = true;
                break;
            case Fault::GreetingWrongByte:
                f.greetingWrongByte = 5;
                break;
            case Fault::GreetingShort:
                f.greetingShortBy = 1;
                break;
            case Fault::DeafAtTransferSpeed:
                f.deafAtBaud = 38'400;
                break;
            case Fault::NoiseToCamera:
                // Counted from the byte that completed the trigger.
                m_toCamera.due = m_toCamera.count + static_cast<uint64_t>(plan.noiseByte);
                m_toCamera.dueBit = plan.noiseBit;
                break;
            case Fault::NoiseToHost:
                m_toHost.due = m_toHost.count + static_cast<uint64_t>(plan.noiseByte);
                m_toHost.dueBit = plan.noiseBit;
                break;
            case Fault::IgnoreBreak:
                f.ignoreBreak = true;
                break;
            case Fault::PortFails:
                if (m_onPortFailure) {
                    m_onPortFailure();
                }
                break;
        }
    }
    void ApplyStartingPlans() {
        for (Armed& a : m_plans) {
            if (a.plan.at.occurrence == 0 && a.plan.at.number < 0) {
                a.fired = true;
                Apply(a.plan, a.plan.at.opcode);
            }
        }
    }

  private:
    sim::ICameraLine& m_end;
    sim::VirtualCamera* m_camera = nullptr;
    std::function<void()> m_onPortFailure;
    std::mt19937_64 m_random;
    std::vector<Armed> m_plans;
    std::vector<uint8_t> m_window;
    std::array<int, 256> m_seen{};
    int m_lastNumber = -1;
    bool m_inBlock = false;  // the last command heard was a block command
    int m_dataLeft = 0;      // bytes of the block's data packet still to come
    Direction m_toCamera;
    Direction m_toHost;
};

// ---------------------------------------------------------------------------------------------
// The firmware file every run installs.
// ---------------------------------------------------------------------------------------------
inline std::vector<uint8_t> FirmwareFileBytes() {
    std::vector<uint8_t> bytes(kFirmwareCompleteBytes, 0);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>((i * 131 + 17) ^ (i >> 8));
    }
    std::memcpy(bytes.data(), kIdentificationText, 49);
    std::memcpy(bytes.data() + kFirmwareVersionOffset, "0207", 4);
    return bytes;
}

// A firmware file in a temporary folder for the lifetime of the object.
class FirmwareFile {
  public:
    FirmwareFile() : m_bytes(FirmwareFileBytes()), m_path(m_dir.Write("update.fw", m_bytes)) {}
    FirmwareFile(const FirmwareFile&) = delete;
    FirmwareFile& operator=(const FirmwareFile&) = delete;

    const std::string& Path() const { return m_path; }
    std::vector<uint8_t> Image() const {
        return {m_bytes.begin() + kFirmwareHeaderBytes, m_bytes.end()};
    }

  private:
    testdir::TempDir m_dir;
    std::vector<uint8_t> m_bytes;
    std::string m_path;
};

// ---------------------------------------------------------------------------------------------
// One run.
// ---------------------------------------------------------------------------------------------
enum class Ending { Installed, CameraNotFound, TransferFailed, Other };

inline const char* EndingName(Ending e) {
    switch (e) {
        case Ending::Installed:
            return "Installed";
        case Ending::CameraNotFound:
            return "CameraNotFound";
        case Ending::TransferFailed:
            return "TransferFailed";
        case Ending::Other:
            break;
    }
    return "Other";
}

struct RunSetup {
    sim::CameraMode mode = sim::CameraMode::Normal;
    int16_t portAnswer = 1;  // 0 searches COM1 to COM4
    std::vector<FaultPlan> plans;
    uint64_t noiseSeed = 0;
    double randomNoiseToCamera = 0.0;
    double randomNoiseToHost = 0.0;
};

struct RunReport {
    Ending ending = Ending::Other;
    CFirmwareUpdater::Outcome outcome = CFirmwareUpdater::Outcome::EndedByChoice;
    std::vector<std::string> violations;  // empty when every check held
    uint32_t longestWaitMs = 0;
    uint64_t virtualMs = 0;
    size_t blocks = 0;
    int flips = 0;
    std::vector<std::string> prompts;  // the prompt lines shown, in order

    std::string Describe() const {
        std::string text = std::string(EndingName(ending)) + ", " + std::to_string(blocks) +
                           " blocks, longest wait " + std::to_string(longestWaitMs) + " ms, " +
                           std::to_string(virtualMs) + " ms in all";
        for (const std::string& v : violations) {
            text += "\n  violated: " + v;
        }
        return text;
    }
};

namespace detail {

// Bank checksum as the camera must receive it: the XOR of the little-endian words of the bank,
// bytes exchanged (so the even-offset XOR comes first on the wire).
inline uint16_t ExpectedChecksumValue(const std::vector<uint8_t>& image, int bank) {
    uint8_t even = 0;
    uint8_t odd = 0;
    const size_t start = static_cast<size_t>(bank) * 65'536;
    for (size_t i = 0; i < 65'536; i += 2) {
        even = static_cast<uint8_t>(even ^ image[start + i]);
        odd = static_cast<uint8_t>(odd ^ image[start + i + 1]);
    }
    return static_cast<uint16_t>((even << 8) | odd);
}

inline std::vector<std::string> TextsOf(const CScriptedUserInterface& ui, UiEvent::Kind kind) {
    const std::vector<UiEvent> events = ui.EventsOf(kind);
    std::vector<std::string> texts(events.size());
    std::transform(events.begin(), events.end(), texts.begin(),
                   [](const UiEvent& e) { return e.text; });
    return texts;
}

// Classifies the run by what the user saw, and notes every way in which that is not one of the
// endings the workflow defines.
inline Ending Classify(const CScriptedUserInterface& ui, CFirmwareUpdater::Outcome outcome,
                       std::vector<std::string>& violations) {
    const std::vector<std::string> messages = TextsOf(ui, UiEvent::Kind::Message);
    const std::vector<UiEvent> progress = ui.EventsOf(UiEvent::Kind::Progress);
    const std::vector<UiEvent> dialogs = ui.EventsOf(UiEvent::Kind::TextDialog);
    using Outcome = CFirmwareUpdater::Outcome;

    if (messages == std::vector<std::string>{LoadString(kStrCameraNotFound)}) {
        if (outcome != Outcome::Failed) {
            violations.push_back("camera-not-found message without a failed outcome");
        }
        if (!progress.empty() || ui.Count(UiEvent::Kind::ChooseFile) != 0) {
            violations.push_back("camera not found, yet the run went on to the file or transfer");
        }
        return Ending::CameraNotFound;
    }
    if (messages == std::vector<std::string>{LoadString(kStrUpdateFailed)}) {
        if (outcome != Outcome::Failed) {
            violations.push_back("update-failed message without a failed outcome");
        }
        if (progress.empty() || progress.back().text != kProgressFailed ||
            progress.back().stage != 3) {
            violations.push_back("update failed without the progress window's failure text");
        }
        if (ui.Count(UiEvent::Kind::CloseProgress) != 1) {
            violations.push_back("progress window not closed exactly once");
        }
        if (!dialogs.empty()) {
            violations.push_back("a dialog after a failed transfer");
        }
        return Ending::TransferFailed;
    }
    if (messages.empty() && outcome == Outcome::Installed) {
        if (progress.empty() || progress.back().stage != 2 || progress.back().value != 100 ||
            progress.back().text != kProgressCompleted) {
            violations.push_back("installed without the completed progress");
        }
        if (dialogs.size() != 1 || dialogs[0].dialog != kDialogSuccess) {
            violations.push_back("installed without exactly the success dialog");
        }
        return Ending::Installed;
    }
    violations.push_back("an ending the workflow does not define (" +
                         std::to_string(messages.size()) + " messages, outcome " +
                         std::to_string(static_cast<int>(outcome)) + ")");
    return Ending::Other;
}

// Where one run's records start in what the camera has received over all runs.
struct CameraMarks {
    size_t blocks = 0;
    size_t parameters = 0;
    size_t protocolErrors = 0;
};

// What the camera received in one run must be what a sound transfer sends, up to where it
// stopped.
inline void CheckCamera(const sim::VirtualCamera& camera, const CameraMarks& from,
                        const std::vector<uint8_t>& image, Ending ending,
                        std::vector<std::string>& violations) {
    const std::vector<sim::ReceivedBlock>& all = camera.Blocks();
    const std::span<const sim::ReceivedBlock> blocks(all.data() + from.blocks,
                                                     all.size() - from.blocks);
    for (size_t i = 0; i < blocks.size(); ++i) {
        if (blocks[i].index != i) {
            violations.push_back("block " + std::to_string(blocks[i].index) + " received as the " +
                                 std::to_string(i + 1) + ". block");
            break;
        }
        if (!std::equal(blocks[i].data.begin(), blocks[i].data.end(),
                        image.begin() + static_cast<std::ptrdiff_t>(i * 256))) {
            violations.push_back("block " + std::to_string(i) + " accepted with wrong data");
            break;
        }
    }
    const bool allBlocks = blocks.size() == kFirmwareBlocks;
    // A parameter written again after a lost acknowledgement counts once.
    std::set<uint16_t> checksumNumbers;
    std::set<uint16_t> fixedNumbers;
    const std::vector<sim::ReceivedParameter>& parameters = camera.Parameters();
    for (size_t k = from.parameters; k < parameters.size(); ++k) {
        const sim::ReceivedParameter& p = parameters[k];
        int bank = -1;
        if (p.number == 79 || p.number == 108) {
            bank = 0;
        } else if (p.number == 109 || p.number == 110) {
            bank = p.number - 108;
        }
        if (bank >= 0) {
            checksumNumbers.insert(p.number);
            if (!allBlocks) {
                violations.push_back("checksum parameter " + std::to_string(p.number) +
                                     " written after an incomplete transfer");
            } else if (p.value != ExpectedChecksumValue(image, bank)) {
                violations.push_back("checksum parameter " + std::to_string(p.number) +
                                     " disagrees with the blocks");
            }
        } else if (p.number >= 202 && p.number <= 249) {
            fixedNumbers.insert(p.number);
        }
    }
    if (ending == Ending::Installed && (!allBlocks || checksumNumbers.size() != 4 ||
                                        fixedNumbers.size() != 48 || camera.Image() != image)) {
        violations.push_back("installed although the camera lacks part of the firmware (" +
                             std::to_string(blocks.size()) + " blocks, " +
                             std::to_string(checksumNumbers.size()) + " checksums, " +
                             std::to_string(fixedNumbers.size()) + " fixed parameters)");
    }
}

}  // namespace detail

// The camera on COM1 and everything between it and the workflow. Runs can follow one another on
// the same camera, as a user runs the tool again after a failure.
class UpdateWorld {
  public:
    explicit UpdateWorld(const RunSetup& setup)
        : m_setup(setup), m_stage(m_line.CameraEnd(), setup.noiseSeed), m_camera(m_stage) {
        m_stage.Attach(&m_camera);
        m_stage.OnPortFailure([this] { m_ports.FailFromNow(); });
        m_line.AttachCamera(&m_stage);
        m_virtualPorts.Connect(1, &m_line);
        m_camera.State().mode = setup.mode;
        const char id[] = "TK358-000417";
        std::memcpy(m_camera.State().cameraId.data(), id, sizeof id - 1);
        for (const FaultPlan& plan : setup.plans) {
            m_stage.Add(plan);
        }
        m_stage.ApplyStartingPlans();
        m_stage.SetRandomNoise(setup.randomNoiseToCamera, setup.randomNoiseToHost);
        m_faultFree = setup.randomNoiseToCamera == 0.0 && setup.randomNoiseToHost == 0.0 &&
                      std::all_of(setup.plans.begin(), setup.plans.end(),
                                  [](const FaultPlan& p) { return p.fault == Fault::None; });
    }

    // The fault goes away: the camera's faults, the plans, the noise and a failed port.
    void ClearFaults() {
        m_camera.Faults() = sim::CameraFaults{};
        m_stage.ClearPlans();
        m_stage.SetRandomNoise(0.0, 0.0);
        m_ports.Restore();
    }

    sim::VirtualCamera& Camera() { return m_camera; }
    uint32_t CameraBaud() { return m_stage.BaudRate(); }

    // One run of the workflow; the user chooses the setup's port, or `port` when it is 0 to 4.
    RunReport Run(const FirmwareFile& file, int16_t port = -1) {
        const detail::CameraMarks marks{m_camera.Blocks().size(), m_camera.Parameters().size(),
                                        m_camera.ProtocolErrors().size()};
        RunReport report;
        {
            CScriptedUserInterface ui;
            CFirmwareUpdater updater(ui, m_ports);
            g_pUpdater = &updater;
            ui.Attach(&updater);
            ui.portAnswers.push_back({kDialogOk, port >= 0 ? port : m_setup.portAnswer});
            ui.fileAnswers.push_back({kChooseOk, file.Path()});
            report.outcome = updater.RunUpdate();
            g_pUpdater = nullptr;
            report.ending = detail::Classify(ui, report.outcome, report.violations);
            report.prompts = detail::TextsOf(ui, UiEvent::Kind::Prompt);
        }
        if (m_ports.OpenNow() != 0 || m_line.HostEndOpen()) {
            report.violations.push_back("the port is still open after the run");
        }
        detail::CheckCamera(m_camera, marks, file.Image(), report.ending, report.violations);
        // Faults may leave the camera expecting what the host rightly no longer sends; without
        // them the host keeps to the protocol.
        const std::vector<std::string>& protocolErrors = m_camera.ProtocolErrors();
        if (m_faultFree && protocolErrors.size() > marks.protocolErrors) {
            report.violations.push_back("the camera saw a protocol error: " +
                                        protocolErrors[marks.protocolErrors]);
        }
        report.longestWaitMs = m_waits.LongestWaitMs();
        if (report.longestWaitMs > kLongestAllowedWaitMs) {
            report.violations.push_back("a wait of " + std::to_string(report.longestWaitMs) +
                                        " ms, longer than any time-out");
        }
        report.virtualMs = m_clock.NowUs() / 1000;
        report.blocks = m_camera.Blocks().size() - marks.blocks;
        report.flips = m_stage.FlipsToCamera() + m_stage.FlipsToHost();
        return report;
    }

  private:
    RunSetup m_setup;
    sim::VirtualClock m_clock;
    WaitRecordingClock m_waits{m_clock};
    ScopedClock m_scoped{m_waits};
    sim::VirtualLine m_line{m_clock};
    FaultStage m_stage;
    sim::VirtualCamera m_camera;
    sim::VirtualPortSystem m_virtualPorts;
    RecordingPorts m_ports{m_virtualPorts, m_waits};
    bool m_faultFree = false;  // no fault was ever set on this world
};

inline RunReport RunWholeUpdate(const RunSetup& setup, const FirmwareFile& file) {
    UpdateWorld world(setup);
    return world.Run(file);
}

// A drawn run, and when it did not install, the user's second run on the camera's port once the
// fault has gone, which must install: no fault leaves the camera beyond the tool's reach.
struct RunWithRetry {
    RunReport first;
    bool retried = false;
    RunReport retry;

    bool Passed() const {
        return first.violations.empty() &&
               (!retried || (retry.violations.empty() && retry.ending == Ending::Installed));
    }
    std::string Describe() const {
        return first.Describe() + (retried ? "\n  retry on COM1: " + retry.Describe() : "");
    }
};

inline RunWithRetry RunAndRetry(const RunSetup& setup, const FirmwareFile& file) {
    UpdateWorld world(setup);
    RunWithRetry result;
    result.first = world.Run(file);
    if (result.first.ending != Ending::Installed) {
        world.ClearFaults();
        result.retried = true;
        result.retry = world.Run(file, 1);
    }
    return result;
}

}  // namespace rig

namespace rig {

// ---------------------------------------------------------------------------------------------
// Seeded runs: everything a run does follows from its seed, so any run can be repeated alone.
// ---------------------------------------------------------------------------------------------
inline Trigger RandomTrigger(std::mt19937_64& random) {
    auto pick = [&random](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(random);
    };
    switch (pick(0, 7)) {
        case 0:
            return {kTriggerGreeting, pick(1, 2)};
        case 1:
            return {kOpStatus, pick(1, 4)};
        case 2:
            return {kOpDownloadMode, 1};
        case 3:
            return {kOpSpeed, 1};
        case 4:
            return {kOpBank, pick(1, 4)};
        case 5: {
            static constexpr std::array<int, 4> kChecksums = {79, 108, 109, 110};
            return {kOpParameter, 1,
                    pick(0, 1) == 0 ? kChecksums[static_cast<size_t>(pick(0, 3))] : pick(202, 249)};
        }
        default:
            return {kOpBlock, 1, pick(0, kFirmwareBlocks - 1)};
    }
}

// A run drawn from a seed: camera mode, port choice, up to three faults at random moments, and
// random line noise at a varying rate in each direction.
inline RunSetup SetupForSeed(uint64_t seed) {
    std::mt19937_64 random(seed);
    auto pick = [&random](int lo, int hi) {
        return std::uniform_int_distribution<int>(lo, hi)(random);
    };
    RunSetup setup;
    setup.noiseSeed = seed ^ 0x9E3779B97F4A7C15ull;
    setup.mode = pick(0, 3) == 0 ? sim::CameraMode::Download : sim::CameraMode::Normal;
    setup.portAnswer = static_cast<int16_t>(pick(0, 6) == 0 ? 0 : 1);
    static constexpr std::array<int, 10> kFaultCounts = {0, 0, 1, 1, 1, 1, 2, 2, 3, 1};
    const int faults = kFaultCounts[static_cast<size_t>(pick(0, 9))];
    for (int i = 0; i < faults; ++i) {
        FaultPlan plan;
        plan.fault = static_cast<Fault>(pick(1, static_cast<int>(kLastFault)));
        plan.at = RandomTrigger(random);
        plan.noiseByte = pick(1, 300);
        plan.noiseBit = static_cast<uint8_t>(1u << pick(0, 7));
        setup.plans.push_back(plan);
    }
    static constexpr std::array<double, 5> kRates = {0.0, 0.0, 1e-5, 1e-4, 5e-4};
    setup.randomNoiseToCamera = kRates[static_cast<size_t>(pick(0, 4))];
    setup.randomNoiseToHost = kRates[static_cast<size_t>(pick(0, 4))];
    return setup;
}

inline std::string DescribeSetup(const RunSetup& setup) {
    std::string text = setup.mode == sim::CameraMode::Download ? "download mode" : "normal mode";
    text += setup.portAnswer == 0 ? ", port search" : ", COM1";
    for (const FaultPlan& p : setup.plans) {
        text += std::string(", ") + FaultName(p.fault) + " at opcode " +
                std::to_string(p.at.opcode) + " #" + std::to_string(p.at.occurrence) +
                (p.at.number >= 0 ? " number " + std::to_string(p.at.number) : std::string()) +
                " (noise byte " + std::to_string(p.noiseByte) + ")";
    }
    text += ", noise rates " + std::to_string(setup.randomNoiseToCamera) + " / " +
            std::to_string(setup.randomNoiseToHost);
    return text;
}

}  // namespace rig
