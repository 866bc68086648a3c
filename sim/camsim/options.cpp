// The command line of tk358-camsim and its help text.
#include <charconv>
#include <chrono>
#include <cstring>
#include <ctime>
#include <functional>
#include <map>

#include "sim/camsim/camsim.hpp"

namespace camsim {

namespace {

// A decimal number of digits only: no sign, no blanks, and a leading 0 is no octal prefix.
bool ParseNumber(const std::string& text, long long low, long long high, long long* out) {
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value, 10);
    if (text.empty() || text[0] == '-' || error != std::errc() || stop != end || value < low ||
        value > high) {
        return false;
    }
    *out = value;
    return true;
}

bool ParseOpcode(const std::string& text, int* out) {
    if (text == "any") {
        *out = sim::kAnyOpcode;
        return true;
    }
    long long value = 0;
    if (!ParseNumber(text, 0, 255, &value)) {
        return false;
    }
    *out = static_cast<int>(value);
    return true;
}

template <size_t N>
void CopyText(const std::string& text, std::array<uint8_t, N>* field) {
    field->fill(0);
    std::memcpy(field->data(), text.data(), std::min(text.size(), N));
}

// Pictures in a store: the count the status block reports, held as items of group 0 whose
// names run P000001.JPG, P000002.JPG, ...
void FillPictures(sim::PictureStore* store, int count) {
    store->pictures = static_cast<int16_t>(count);
    if (store->groups.empty()) {
        store->groups.resize(1);
    }
    auto& items = store->groups[0].items;
    items.clear();
    for (int i = 1; i <= count; ++i) {
        sim::PictureItem item;
        char name[16];
        std::snprintf(name, sizeof name, "P%06d", i);
        std::memcpy(item.record.data(), name, 7);
        std::memcpy(item.record.data() + 8, "JPG", 3);
        items.push_back(item);
    }
}

}  // namespace

uint32_t CameraClockNow() {
    // Local standard time now, counted like UTC: UTC shifted by the zone's standard offset.
    tzset();
    const auto standardNow = static_cast<long long>(std::time(nullptr)) - timezone;
    const std::chrono::sys_seconds start =
        std::chrono::sys_days{std::chrono::year{1994} / std::chrono::January / 1};
    const long long since = standardNow - start.time_since_epoch().count();
    return since > 0 ? static_cast<uint32_t>(2 * since) : 0;
}

std::optional<Options> ParseOptions(const std::vector<std::string>& args, std::string* error) {
    Options o;
    // On a pty the bytes of one packet can reach this process in parts, some scheduling delay
    // apart: a pause must be longer here before it drops a partial packet.
    o.timing.interByteGapUs = 60'000;
    sim::CameraFaults& f = o.faults;
    sim::CameraState& s = o.state;

    using Setter = std::function<bool(const std::string&)>;
    auto number = [](long long low, long long high, auto assign) -> Setter {
        return [=](const std::string& v) {
            long long n = 0;
            if (!ParseNumber(v, low, high, &n)) {
                return false;
            }
            assign(n);
            return true;
        };
    };
    auto opcode = [](int* field) -> Setter {
        return [field](const std::string& v) { return ParseOpcode(v, field); };
    };
    auto text = [](std::string* field) -> Setter {
        return [field](const std::string& v) {
            *field = v;
            return true;
        };
    };

    const std::map<std::string, Setter> withValue = {
        {"--mode",
         [&](const std::string& v) {
             if (v != "normal" && v != "download") {
                 return false;
             }
             s.mode = v == "normal" ? sim::CameraMode::Normal : sim::CameraMode::Download;
             return true;
         }},
        {"--pictures0", number(0, 32767, [&](long long n) { FillPictures(&s.store0, int(n)); })},
        {"--pictures1", number(0, 32767, [&](long long n) { FillPictures(&s.store1, int(n)); })},
        {"--id", [&](const std::string& v) { return CopyText(v, &s.cameraId), true; }},
        {"--text", [&](const std::string& v) { return CopyText(v, &s.text), true; }},
        {"--firmware-version",
         [&](const std::string& v) {
             const size_t dot = v.find('.');
             long long major = 0;
             long long minor = 0;
             // The status block carries each part as two decimal digits.
             if (dot == std::string::npos || !ParseNumber(v.substr(0, dot), 0, 99, &major) ||
                 !ParseNumber(v.substr(dot + 1), 0, 99, &minor)) {
                 return false;
             }
             s.versionMajor = static_cast<uint8_t>(major);
             s.versionMinor = static_cast<uint8_t>(minor);
             return true;
         }},
        {"--clock",
         [&](const std::string& v) {
             long long n = 0;
             if (v == "now") {
                 o.clockNow = true;
                 return true;
             }
             if (!ParseNumber(v, 0, UINT32_MAX, &n)) {
                 return false;
             }
             s.clock = static_cast<uint32_t>(n);
             return true;
         }},
        {"--state-byte", number(0, 255, [&](long long n) { s.stateByte = uint8_t(n); })},
        {"--refuse", opcode(&f.refuseOpcode)},
        {"--answer-10", opcode(&f.answer10Opcode)},
        {"--bad-xor-packet", number(1, INT32_MAX, [&](long long n) { f.badXorOnPacket = int(n); })},
        {"--bad-xor-count", number(1, INT32_MAX, [&](long long n) { f.badXorCount = int(n); })},
        {"--refuse-data", number(0, INT32_MAX, [&](long long n) { f.refuseDataPackets = int(n); })},
        {"--e2", opcode(&f.e2InsteadOfPacketOpcode)},
        {"--completion-for", opcode(&f.completionByteOpcode)},
        {"--completion-byte", number(0, 255, [&](long long n) { f.completionByte = uint8_t(n); })},
        {"--no-completion", opcode(&f.noCompletionOpcode)},
        {"--fail-block", number(0, 65535, [&](long long n) { f.failBlockIndex = int(n); })},
        {"--stall-ms", number(0, 600000, [&](long long n) { f.stallUs = uint64_t(n) * 1000; })},
        {"--silent-after",
         number(0, INT32_MAX, [&](long long n) { f.silentAfterCommands = int(n); })},
        {"--greeting-wrong-byte",
         number(0, 11, [&](long long n) { f.greetingWrongByte = int(n); })},
        {"--greeting-short", number(0, 12, [&](long long n) { f.greetingShortBy = int(n); })},
        {"--deaf-at", number(1, 10'000'000, [&](long long n) { f.deafAtBaud = uint32_t(n); })},
        {"--slow-ms",
         number(0, 199'000, [&](long long n) { o.timing.slowCommandUs = uint64_t(n) * 1000; })},
        {"--gap-ms",
         number(1, 1000, [&](long long n) { o.timing.interByteGapUs = uint64_t(n) * 1000; })},
        {"--loader-start-ms",
         number(0, 60'000, [&](long long n) { o.timing.loaderStartUs = uint64_t(n) * 1000; })},
        {"--log", text(&o.logFile)},
        {"--save-image", text(&o.saveImage)},
        {"--save-params", text(&o.saveParams)},
        {"--save-banks", text(&o.saveBanks)},
    };
    const std::map<std::string, bool*> flags = {
        {"--store1", &s.store1Present},     {"--unplugged", &f.unplugged},
        {"--ignore-break", &f.ignoreBreak}, {"--line-time", &o.lineTime},
        {"--ignore-stdin", &o.ignoreStdin}, {"--help", &o.help},
        {"--version", &o.version},
    };

    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::string value;
        bool hasValue = false;
        if (const size_t eq = name.find('='); eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
            hasValue = true;
        }
        if (name == "-h") {
            name = "--help";
        }
        if (const auto flag = flags.find(name); flag != flags.end() && !hasValue) {
            *flag->second = true;
            continue;
        }
        const auto setter = withValue.find(name);
        if (setter == withValue.end()) {
            *error = "unknown option " + args[i];
            return std::nullopt;
        }
        if (!hasValue) {
            if (i + 1 >= args.size()) {
                *error = "option " + name + " needs a value";
                return std::nullopt;
            }
            value = args[++i];
        }
        if (!setter->second(value)) {
            *error = "bad value \"" + value + "\" for " + name;
            return std::nullopt;
        }
    }
    return o;
}

std::string HelpText() {
    return R"(Usage: tk358-camsim [options]

Runs a virtual TK358 camera on a pseudo-terminal. On start it prints the terminal's path as
  TK358FW_COM1=<path>
so that the tool can be pointed at it (export that line). It runs until end of standard input
(or SIGINT/SIGTERM), then writes the files asked for below and exits with 0.

A pseudo-terminal carries no speed and no break: the camera follows the protocol (it changes its
speed after acknowledging a speed command, and a break is not seen). With --line-time it paces its
output at the agreed speed and takes received bytes no faster than that speed would carry them.

Camera state:
  --mode normal|download   starting mode (default normal)
  --pictures0 N            pictures in store 0 (items of group 0), default 0
  --pictures1 N            pictures in store 1, default 0
  --store1                 store 1 is present
  --id TEXT                camera ID (up to 32 characters)
  --text TEXT              the 11-character text of the status block
  --firmware-version MAJOR.MINOR
                           the camera's firmware version, each part 0 to 99, default 1.5
  --clock N|now            camera clock in half-seconds since 1994-01-01 00:00:00 local time
  --state-byte N           state byte of the status block (2 = accepts commands), default 2
  --slow-ms N              time commands 0x45, 0x46, 0x48, 0x4A take to complete, default 20
  --gap-ms N               a pause of more than N ms between two received bytes drops a partly
                           received packet, default 60
  --loader-start-ms N      after the switch into download mode the camera hears nothing for N ms
                           while its loader starts, default 300

Numbers are decimal.

Faults (OP is an opcode in decimal, such as 127 for 0x7F, or "any"):
  --refuse OP              answer 0xE1 to command OP
  --answer-10 OP           answer 0x10 instead of 0xD1 to command OP
  --bad-xor-packet N       send a wrong XOR byte on the N-th data packet sent (1-based)
  --bad-xor-count N        ... and on N packets in a row from there (default 1)
  --refuse-data K          answer 0xE3 to the next K good data packets received
  --e2 OP                  send 0xE2 instead of the data packet of command OP
  --completion-for OP      send a wrong completion byte for command OP ...
  --completion-byte B      ... namely B (default 1)
  --no-completion OP       send no completion byte for command OP
  --fail-block N           refuse the block command for block N
  --stall-ms N             wait N ms more before every answer (below 1900 stays within the
                           host's waits)
  --silent-after N         answer nothing at all after N commands
  --unplugged              answer nothing at all
  --greeting-wrong-byte N  download mode: corrupt byte N (0-11) of the greeting answer
  --greeting-short N       download mode: leave out the last N bytes of the greeting answer
  --deaf-at BAUD           hear nothing while the line runs at BAUD bit/s
  --ignore-break           a break does not bring the line back to 9600 bit/s

Output:
  --log FILE               log every packet, answer, speed change and greeting, one line each
                           with the time in milliseconds since start, laid out like tk358fw's
                           --trace (default: standard error)
  --save-image FILE        on exit: the firmware image received, raw, 196,608 bytes
  --save-params FILE       on exit: the parameter writes in order, lines "number value seconds"
  --save-banks FILE        on exit: the bank commands in order, lines "bank seconds"
  --line-time              pace the line at the agreed speed (see above)
  --ignore-stdin           do not stop at end of standard input (stop with a signal)
  --help                   this text
  --version                the program's name and version

Options take their value as the next argument or after '=' (--mode=download).
)";
}

}  // namespace camsim
