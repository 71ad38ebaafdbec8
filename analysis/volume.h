// Cluster geometry of a volume: the extended free-space service of the
// Windows 9x family (VWIN32, Int 21h function 7303h), or GetDiskFreeSpaceA.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// Register block passed to the VWIN32 device in both directions
// (the platform's DIOC_REGISTERS).
struct DiocRegisters {
    std::uint32_t ebx;
    std::uint32_t edx;
    std::uint32_t ecx;
    std::uint32_t eax;
    std::uint32_t edi;
    std::uint32_t esi;
    std::uint32_t flags;
};
static_assert(sizeof(DiocRegisters) == 28);
static_assert(offsetof(DiocRegisters, eax) == 12 && offsetof(DiocRegisters, flags) == 24);

// Result record of Get_ExtFreeSpace (the platform's ExtGetDskFreSpcStruc).
struct ExtFreeSpace {
    std::uint16_t structSize;
    std::uint16_t level;
    std::uint32_t sectorsPerCluster;
    std::uint32_t bytesPerSector;
    std::uint32_t availableClusters;
    std::uint32_t totalClusters;
    std::uint32_t availablePhysSectors;
    std::uint32_t totalPhysSectors;
    std::uint32_t availableAllocationUnits;
    std::uint32_t totalAllocationUnits;
    std::uint32_t reserved[2];
};
static_assert(sizeof(ExtFreeSpace) == 44);
static_assert(offsetof(ExtFreeSpace, sectorsPerCluster) == 4);
static_assert(offsetof(ExtFreeSpace, bytesPerSector) == 8);
static_assert(offsetof(ExtFreeSpace, availableClusters) == 12);
static_assert(offsetof(ExtFreeSpace, totalClusters) == 16);

inline constexpr DWORD vwin32DosDriveInfo = 6;      // VWIN32_DIOC_DOS_DRIVEINFO
inline constexpr std::uint32_t getExtFreeSpace = 0x7303;
inline constexpr std::uint32_t carryFlag = 1;

// The platform services the volume query uses; tests put their own answers
// in place of the real calls.
struct VolumeApi {
    BOOL (WINAPI* getVersionEx)(OSVERSIONINFOA* info);
    HANDLE (WINAPI* createFile)(const char* name, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security,
                                DWORD disposition, DWORD flags, HANDLE templateFile);
    BOOL (WINAPI* deviceIoControl)(HANDLE device, DWORD code, void* in, DWORD inBytes, void* out,
                                   DWORD outBytes, DWORD* returned, OVERLAPPED* overlapped);
    BOOL (WINAPI* closeHandle)(HANDLE handle);
    BOOL (WINAPI* getDiskFreeSpace)(const char* root, DWORD* sectorsPerCluster, DWORD* bytesPerSector,
                                    DWORD* freeClusters, DWORD* totalClusters);
};

// The real Win32 calls.
const VolumeApi& Win32VolumeApi() noexcept;

// The drive services: which drive letters are present, and each one's type;
// tests give their own answers.
struct DriveApi {
    DWORD (WINAPI* getLogicalDrives)();
    UINT (WINAPI* getDriveType)(const char* root);
};

// The real Win32 calls.
const DriveApi& Win32DriveApi() noexcept;

// True when the platform offers the extended service: the Windows 9x family
// at build 1000 or later.
bool ChooseExtFreeSpace(const VolumeApi& api) noexcept;

// Asks the VWIN32 device for the free space of `rootPath` into `record`;
// 1 when the service answered with success.
int QueryExtFreeSpace(const char* rootPath, ExtFreeSpace& record, const VolumeApi& api = Win32VolumeApi());
