// tk358fw's command line: the answers given ahead and the trace file.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "command_line.hpp"
#include "environment.hpp"

namespace {

CommandLine Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "tk358fw");
    std::ostringstream out;
    std::ostringstream err;
    return ParseCommandLine(static_cast<int>(args.size()), args.data(), out, err);
}

// A device of this system stands for COM1; what names none here is refused.
#ifdef _WIN32
constexpr const char* kDevice = "COM7";
constexpr const char* kNoDevice = "/dev/ttyUSB0";
#else
constexpr const char* kDevice = "/dev/ttyUSB0";
constexpr const char* kNoDevice = "COM7";
#endif

TEST(CommandLine, PortAndFileAnswers) {
    struct Case {
        std::vector<const char*> args;
        int16_t port;  // -1: not given; -2: a usage error
        const char* device;
        const char* file;
    };
    const Case cases[] = {
        {{"--console", "--port", "auto", "--file", "a.fw"}, 0, "", "a.fw"},
        {{"--console", "--port", "COM3"}, 3, "", nullptr},
        {{"--console", "--port", " 2 "}, 2, "", nullptr},
        {{"--console", "--port", kDevice}, 1, kDevice, nullptr},
        {{"--console", "--port", kNoDevice}, -2, "", nullptr},
        {{"--console", "--file", "b.fw"}, -1, "", "b.fw"},
        {{"--console", "--port", "5"}, -2, "", nullptr},
        {{"--console", "--port", "q"}, -2, "", nullptr},
        {{"--console", "--port", ""}, -2, "", nullptr},
        {{"--console", "--file", ""}, -2, "", nullptr},
        {{"--console", "--file", " "}, -1, "", " "},  // a path as the shell gave it
        {{"--console", "--file", "trail.fw "}, -1, "", "trail.fw "},
        {{"--port", "1"}, -2, "", nullptr},  // only with --console
        {{"--file", "a.fw"}, -2, "", nullptr},
        {{"--console", "--bogus"}, -2, "", nullptr},
        {{"--console", "--port"}, -2, "", nullptr},  // no value
    };
    for (const Case& c : cases) {
        const CommandLine line = Parse(c.args);
        const std::string what = c.args.size() > 2 ? c.args[2] : c.args.back();
        if (c.port == -2) {
            EXPECT_EQ(line.action, CommandLine::Action::Exit) << what;
            EXPECT_EQ(line.exitStatus, 64) << what;  // EX_USAGE
            continue;
        }
        EXPECT_EQ(line.action, CommandLine::Action::Console) << what;
        EXPECT_EQ(line.answers.port.value_or(-1), c.port) << what;
        EXPECT_EQ(line.portDevice, c.device) << what;
        EXPECT_EQ(line.answers.file.value_or("-"), c.file != nullptr ? c.file : "-") << what;
    }
}

TEST(CommandLine, UsageShowsThisSystemsPortsAndPaths) {
    std::ostringstream out;
    std::ostringstream err;
    const char* args[] = {"tk358fw", "--help"};
    ParseCommandLine(2, args, out, err);
    const std::string usage = out.str();
    EXPECT_NE(usage.find(std::string("--port ") + kDevice), std::string::npos) << usage;
    EXPECT_EQ(usage.find(kNoDevice), std::string::npos) << usage;
#ifdef _WIN32
    EXPECT_NE(usage.find("C:\\"), std::string::npos) << usage;
    EXPECT_EQ(usage.find("/dev/"), std::string::npos) << usage;
#endif
}

TEST(CommandLine, TraceFileFromTheOptionOrTheEnvironment) {
    testenv::Remove("TK358FW_TRACE");
    EXPECT_EQ(Parse({"--trace", "t.trace"}).tracePath, "t.trace");
    EXPECT_EQ(Parse({"--console"}).tracePath, "");
    testenv::Set("TK358FW_TRACE", "env.trace");
    EXPECT_EQ(Parse({"--console"}).tracePath, "env.trace");
    EXPECT_EQ(Parse({"--trace", "t.trace"}).tracePath, "t.trace");
    testenv::Remove("TK358FW_TRACE");
}

}  // namespace
