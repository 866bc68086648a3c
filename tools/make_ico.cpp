// Writes the application's icon as an icon file for the Windows programs' resources, drawn by the
// program's own code at every size Windows shows.
//
//   make_ico FILE.ico
#include <cstdio>
#include <vector>

#include "res/res.hpp"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: make_ico FILE.ico\n", stderr);
        return 2;
    }
    const std::vector<uint8_t> file = IconFile(kWindowsIconSizes);
    std::FILE* out = std::fopen(argv[1], "wb");
    if (out == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    if (std::fclose(out) != 0 || !written) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
