// The program's arguments on Windows: the command line read again in UTF-16 and split by
// Windows' own rules, so that a file name outside the code page arrives whole (the arguments the
// C runtime hands to main are in the code page, and a character it lacks becomes '?').
#include <windows.h>
// (after windows.h)
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/app.hpp"
#include "app/win32_utf8.hpp"

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> arguments;
    arguments.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        arguments.push_back(win32_utf8::FromWide(wide[i]));
    }
    LocalFree(static_cast<HLOCAL>(wide));
    return arguments;
}
