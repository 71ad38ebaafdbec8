// GoogleTest's hook for a platform's port. The win32 thread model's C++
// library (GCC 12) has no std::mutex or std::condition_variable, which
// GoogleTest needs only for this class of its own thread tests.
#pragma once

#include <atomic>

extern "C" __declspec(dllimport) void __stdcall Sleep(unsigned long milliseconds);

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing::internal {

class Notification {
public:
    void Notify() { notified = true; }
    void WaitForNotification()
    {
        while (!notified)
            Sleep(1);
    }

private:
    std::atomic<bool> notified{false};
};

}  // namespace testing::internal
