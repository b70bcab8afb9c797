// Waiting in tests for something that another thread or process brings about.
#pragma once

#include <chrono>
#include <thread>

// Waits up to milliseconds for condition; whether it came true.
template <typename Condition>
bool wait_until(Condition condition, int milliseconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}
