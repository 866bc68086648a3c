// Why the camera could not be reached: one line per port tried with what came of it, and the
// fix for the common causes, shown under the unchanged message. Device names, the system's
// words and the names of other programs come from outside: they are shown made visible
// (TerminalLine), so that none of them drives the terminal.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/app.hpp"

namespace {

constexpr const char* kFixIndent = "  ";

std::string WithText(const std::string& phrase, const PortFailure& failure) {
    return failure.text.empty() ? phrase : phrase + " (" + TerminalLine(failure.text) + ")";
}

std::string ReasonText(const PortAttempt& attempt, const PortInfo& info) {
    const PortFailure& failure = attempt.failure;
    const std::string detail = TerminalLine(failure.detail);
    switch (failure.problem) {
        case PortProblem::None:
            return detail.empty() ? "opened, but no camera answered there"
                                  : "opened, but no camera answered there; also open in " + detail;
        case PortProblem::NoDevice:
            return info.device.empty() ? "no device" : "no such device";
        case PortProblem::PermissionDenied:
            return "permission denied";
        case PortProblem::InUse:
            // Where the system cannot name the program, its own words for the refusal.
            return detail.empty() ? WithText("busy: another program holds it", failure)
                                  : "busy: held by " + detail;
        case PortProblem::NotATerminal:
            return detail.empty() ? "not a terminal" : "not a terminal (" + detail + ")";
        case PortProblem::SystemConsole:
            return "the system console";
        case PortProblem::SetupFailed:
            return WithText("the line could not be set up", failure);
        case PortProblem::DeviceGone:
            return WithText("the device went away", failure);
        case PortProblem::OutputStalled:
            return WithText("the device stopped taking output", failure);
        case PortProblem::Failed:
            break;
    }
    return WithText("failed", failure);
}

std::string FixText(const PortAttempt& attempt, const PortInfo& info) {
    const PortFailure& failure = attempt.failure;
    switch (failure.problem) {
        case PortProblem::NoDevice:
            return "Plug the camera's serial adapter in, or see which device is which with "
                   "\"tk358fw --list-ports\".";
        case PortProblem::PermissionDenied:
            if (failure.detail.empty()) {
                return "Ask the administrator for the right to use the device.";
            }
            return "You are not in the group \"" + TerminalLine(failure.detail) +
                   "\" that may use it. Join it with\n" + kFixIndent + "  sudo usermod -aG " +
                   TerminalLine(failure.detail) + " $USER\n" + kFixIndent +
                   "then log out and log in again: a new group counts from a new login on.";
        case PortProblem::InUse:
            return "Close the program that holds it, then start again.";
        case PortProblem::NotATerminal:
        case PortProblem::SystemConsole:
            return info.namedBy.empty()
                       ? std::string("Choose a serial device (\"tk358fw --list-ports\").")
                       : "Name a serial device in " + info.namedBy +
                             " (\"tk358fw --list-ports\" lists them).";
        case PortProblem::DeviceGone:
        case PortProblem::OutputStalled:
            return "Check the cable and the adapter; \"tk358fw --list-ports\" shows what is there.";
        default:
            return {};
    }
}

const PortInfo& InfoOf(const PortAttempt& attempt, const PortMap& map) {
    static const PortInfo kNone;
    if (attempt.portNumber < 1 || attempt.portNumber > 4) {
        return kNone;
    }
    return map.com[static_cast<size_t>(attempt.portNumber - 1)];
}

// "COM1 (/dev/ttyUSB0)": a device of another name is named (on Windows COMn is mostly the
// device itself).
std::string PortLabel(const PortAttempt& attempt, const PortInfo& info) {
    std::string label = "COM" + std::to_string(attempt.portNumber);
    if (!info.device.empty() && info.device != label) {
        label += " (" + TerminalLine(info.device) + ")";
    }
    return label;
}

// "COM1 (/dev/ttyUSB0): permission denied" and the fix for it (may be empty).
std::pair<std::string, std::string> AttemptLines(const PortAttempt& attempt, const PortMap& map) {
    const PortInfo& info = InfoOf(attempt, map);
    const std::string line = PortLabel(attempt, info) + ": " + ReasonText(attempt, info) + "\n";
    const std::string fix = FixText(attempt, info);
    return {line, fix.empty() ? fix : kFixIndent + fix + "\n"};
}

}  // namespace

std::string PortsTriedReport(const std::vector<PortAttempt>& tried, const PortMap& map) {
    std::string report;
    std::vector<std::string> fixesGiven;
    for (const PortAttempt& attempt : tried) {
        auto [line, fix] = AttemptLines(attempt, map);
        report += line;
        // A fix that applies to several ports is given once, after the first of them.
        if (!fix.empty() &&
            std::find(fixesGiven.begin(), fixesGiven.end(), fix) == fixesGiven.end()) {
            report += fix;
            fixesGiven.push_back(std::move(fix));
        }
    }
    return report;
}

std::string PortFailureReport(const std::vector<PortAttempt>& tried, const PortMap& map) {
    if (tried.empty() || !tried.back().opened ||
        tried.back().failure.problem == PortProblem::None) {
        return {};
    }
    auto [line, fix] = AttemptLines(tried.back(), map);
    return line + fix;
}

std::string OtherHolderWarning(const std::vector<PortAttempt>& tried, const PortMap& map) {
    if (tried.empty() || !tried.back().opened ||
        tried.back().failure.problem != PortProblem::None || tried.back().failure.detail.empty()) {
        return {};
    }
    const PortAttempt& attempt = tried.back();
    return "tk358fw: warning: " + PortLabel(attempt, InfoOf(attempt, map)) + " is also open in " +
           TerminalLine(attempt.failure.detail) +
           "; what that program sends or reads on the line may disturb the update\n";
}
