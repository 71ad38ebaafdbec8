// A volume seam whose answers the test sets.
#pragma once

#include "analysis/volume.h"

#include <string>

// The VWIN32 register block carries 32-bit addresses: the device can only be
// driven from a 32-bit process, and its tests skip in a 64-bit test build.
#ifdef _WIN64
#define SKIP_WITHOUT_32BIT_DEVICE() GTEST_SKIP() << "the device takes 32-bit addresses"
#else
#define SKIP_WITHOUT_32BIT_DEVICE() (void)0
#endif

namespace test {

// What the fake platform answers, and what it was asked. One at a time:
// Install() resets it.
struct FakeVolume {
    // GetVersionExA
    BOOL versionResult = 1;
    DWORD platformId = VER_PLATFORM_WIN32_NT;
    DWORD buildNumber = 2600;
    // the VWIN32 device
    bool deviceOpens = true;
    BOOL delivered = TRUE;
    bool clearCarry = true;
    ExtFreeSpace deviceAnswer{};
    // GetDiskFreeSpaceA
    BOOL diskResult = TRUE;
    DWORD sectorsPerCluster = 8;
    DWORD bytesPerSector = 512;
    DWORD freeClusters = 200;
    DWORD totalClusters = 1000;
    // Answer GetDiskFreeSpaceA for real (the real tree) but with these figures.
    bool realDiskCheck = false;

    int deviceOpened = 0;
    int deviceCalls = 0;
    int deviceClosed = 0;
    int diskCalls = 0;
    std::string lastRoot;
    DiocRegisters lastRegisters{};
    ExtFreeSpace recordSeen{};  // the record as the device found it
    DWORD lastCode = 0;
    DWORD lastAccess = 0, lastShare = 0, lastDisposition = 0, lastFlags = 0;
    std::string lastDevice;
    int waitDepthSeen = -1;  // the wait cursor depth during the disk query
};

// Resets the fake and returns the seam that answers from it.
const VolumeApi& InstallFakeVolume(FakeVolume*& fake);

}  // namespace test
