// GoogleTest's own hook for a platform's port. The programs are built with
// the win32 thread model (its run-time imports nothing newer than Windows
// XP), whose C++ library in GCC 12 has no std::mutex or
// std::condition_variable; GoogleTest needs them only for this one class,
// which serves its own thread tests.
#pragma once

#include <atomic>

extern "C" __declspec(dllimport) void __stdcall Sleep(unsigned long milliseconds);

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing::internal {

class Notification {
public:
    Notification() = default;
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
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
