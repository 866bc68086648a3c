// Zero-filled blocks for the port buffers.
#include <cstdlib>

#include "serial/serial.hpp"

void* AllocZeroed(size_t n) {
    // calloc(0) may return null; a zero-byte request still gets a distinct block.
    return std::calloc(n == 0 ? 1 : n, 1);
}

void FreeBlock(void* p) {
    std::free(p);
}
