// The program's arguments on POSIX systems: UTF-8 bytes as given.
#include <string>
#include <vector>

#include "app/app.hpp"

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}
