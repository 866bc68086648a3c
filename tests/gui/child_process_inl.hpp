// Template part of child_process.hpp.
#pragma once

#include <chrono>
#include <thread>

template <typename Condition>
bool WaitUntil(int timeoutMs, Condition condition) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (condition()) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}
