// The running program's file on Linux: the link /proc/self/exe.
#include <filesystem>
#include <system_error>

#include "app/app.hpp"

std::filesystem::path RunningProgram() {
    std::error_code error;
    std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : program;
}
