// Windows' serial ports: which names are ports at all, and why Windows refused an opening.
#include <gtest/gtest.h>
#include <windows.h>

#include "serial/win32_port.hpp"

namespace {

TEST(Win32Ports, OnlyCom1ToCom4AreOpenedAndRefusalsKeepWindowsReason) {
    win32::CPortSystem ports;
    for (const char* name : {"COM0", "COM5", "COM10", "com1", "LPT1", "COM1 ", "\\\\.\\COM1"}) {
        EXPECT_EQ(ports.Open(name), nullptr) << name;
    }

    const struct {
        DWORD error;
        win32::OpenProblem problem;
    } table[] = {
        {ERROR_ACCESS_DENIED, win32::OpenProblem::InUse},
        {ERROR_SHARING_VIOLATION, win32::OpenProblem::InUse},
        {ERROR_FILE_NOT_FOUND, win32::OpenProblem::NoSuchPort},
        {ERROR_PATH_NOT_FOUND, win32::OpenProblem::NoSuchPort},
        {ERROR_GEN_FAILURE, win32::OpenProblem::Failed},
    };
    for (const auto& row : table) {
        const win32::OpenFailure failure = win32::DescribeOpenFailure(row.error);
        EXPECT_EQ(failure.problem, row.problem) << row.error;
        EXPECT_EQ(failure.systemError, row.error);
        ASSERT_FALSE(failure.text.empty()) << row.error;
        EXPECT_NE(failure.text.back(), '\n') << failure.text;
    }
}

}  // namespace
