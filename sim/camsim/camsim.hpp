// tk358-camsim: the virtual camera on a pseudo-terminal, in real time.
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sim/camera_sim.hpp"
#include "sim/sim.hpp"

namespace camsim {

struct Options {
    sim::CameraState state;
    sim::CameraFaults faults;
    sim::CameraTiming timing;
    bool clockNow = false;
    std::string logFile;  // empty: standard error
    std::string saveImage;
    std::string saveParams;
    std::string saveBanks;
    bool lineTime = false;
    bool ignoreStdin = false;
    bool help = false;
    bool version = false;
};

// Parses the command line (without the program name). On a mistake returns nothing and puts a
// message into `error`.
std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string* error);
std::string HelpText();

// Half-seconds since 1994-01-01 00:00:00 local standard time, now.
uint32_t CameraClockNow();

// The camera's end of a pseudo-terminal master, in real time. With line time on, bytes go out
// one byte time apart at the current speed, and received bytes reach the camera no sooner than
// their line time at that speed allows.
class PtyLine final : public sim::ICameraLine {
  public:
    PtyLine(int masterFd, bool lineTime);

    void SetReceiver(sim::ICameraReceiver* receiver) { m_receiver = receiver; }

    uint64_t NowUs() override;
    void Send(const uint8_t* data, size_t n) override;
    size_t PendingOutput() override;
    void SetBaudRate(uint32_t baud) override { m_baud = baud; }
    uint32_t BaudRate() override { return m_baud; }
    TimerId After(uint64_t delayUs, std::function<void()> fn) override;
    void CancelTimer(TimerId id) override;

    // Event loop helpers.
    void RunDue();                // timers, received bytes and output that are due now
    uint64_t NextWakeUs() const;  // UINT64_MAX when nothing is waiting
    bool WantsWritable() const;   // output is due but the pty would not take it
    bool ReadMaster();            // false on a read error other than "nothing there"

  private:
    void WriteDueOutput();

    int m_fd;
    bool m_lineTime;
    uint32_t m_baud = 9600;
    sim::ICameraReceiver* m_receiver = nullptr;
    uint64_t m_startNs = 0;
    // While a received byte is handed to the camera, the time is that byte's arrival on the line,
    // so that the gaps the camera measures between bytes are line gaps, not scheduling delays.
    std::optional<uint64_t> m_deliveryUs;

    std::deque<uint8_t> m_output;
    uint64_t m_nextOutUs = 0;  // with line time: when the next byte may go
    bool m_blocked = false;    // the pty did not take the last write

    struct Incoming {
        uint8_t byte;
        uint64_t dueUs;
    };
    std::deque<Incoming> m_input;
    uint64_t m_lastDeliverUs = 0;

    TimerId m_nextTimer = 1;
    std::map<std::pair<uint64_t, TimerId>, std::function<void()>> m_timers;
    std::map<TimerId, uint64_t> m_timerDue;
};

// Runs until end of standard input (unless ignored) or SIGINT/SIGTERM.
void RunEventLoop(PtyLine& line, int masterFd, bool watchStdin);

// The files named by --save-image, --save-params and --save-banks: opened (emptied) at start,
// written with what the camera received on exit.
class SaveFiles {
  public:
    SaveFiles() = default;
    ~SaveFiles();
    SaveFiles(const SaveFiles&) = delete;
    SaveFiles& operator=(const SaveFiles&) = delete;

    // False, with the reason on standard error, when a named file cannot be opened for writing.
    bool Open(const Options& options);
    // Writes and closes every file; false, reported on standard error, when one write fails.
    bool Write(const sim::VirtualCamera& camera);

  private:
    enum class Content { Image, Parameters, Banks };
    struct Target {
        std::string path;
        Content content;
        std::FILE* file;
    };
    std::vector<Target> m_targets;
};

}  // namespace camsim
