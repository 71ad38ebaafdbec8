// Cluster geometry of a volume.
#include "analysis/volume.h"

#include "view/chart_view.h"

#include <cstring>

namespace {

// The device-control call takes non-const buffers; the adapter keeps the
// seam's signature free of the SDK's LPVOID spelling differences.
BOOL WINAPI RealDeviceIoControl(HANDLE device, DWORD code, void* in, DWORD inBytes, void* out, DWORD outBytes,
                                DWORD* returned, OVERLAPPED* overlapped)
{
    return DeviceIoControl(device, code, in, inBytes, out, outBytes, returned, overlapped);
}

const VolumeApi win32Api = {&GetVersionExA, &CreateFileA, &RealDeviceIoControl, &CloseHandle,
                            &GetDiskFreeSpaceA};

UINT WINAPI RealDriveType(const char* root)
{
    return GetDriveTypeA(root);
}

const DriveApi win32Drives = {&GetLogicalDrives, &RealDriveType};

}  // namespace

const VolumeApi& Win32VolumeApi() noexcept
{
    return win32Api;
}

const DriveApi& Win32DriveApi() noexcept
{
    return win32Drives;
}

bool ChooseExtFreeSpace(const VolumeApi& api) noexcept
{
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    static_assert(sizeof info == 148);
    return api.getVersionEx(&info) == 1 && info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS &&
           (info.dwBuildNumber & 0xFFFF) >= 1000;
}

int QueryExtFreeSpace(const char* rootPath, ExtFreeSpace& record, const VolumeApi& api)
{
    HANDLE device = api.createFile("\\\\.\\vwin32", 0, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (device == INVALID_HANDLE_VALUE)
        return 0;

    std::memset(&record, 0, sizeof record);
    record.structSize = sizeof record;

    // The service reads and writes through 32-bit addresses, which is what
    // pointers are in this 32-bit program.
    DiocRegisters regs;
    std::memset(&regs, 0, sizeof regs);
    regs.eax = getExtFreeSpace;
    regs.edi = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&record));
    regs.ecx = sizeof record;
    regs.edx = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(rootPath));
    regs.flags = carryFlag;

    DWORD returned = 0;
    const BOOL delivered = api.deviceIoControl(device, vwin32DosDriveInfo, &regs, sizeof regs, &regs,
                                               sizeof regs, &returned, nullptr);
    api.closeHandle(device);
    return delivered && !(regs.flags & carryFlag) ? 1 : 0;
}

int CChartView::QueryVolumeGeometry(const char* root, std::uint32_t& bytesPerCluster, std::uint32_t& freeCount,
                                    std::uint32_t& totalCount)
{
    if (useExtFreeSpace) {
        ExtFreeSpace record;
        if (QueryExtFreeSpace(root, record, volumeApi) == 1) {
            bytesPerCluster = record.sectorsPerCluster * record.bytesPerSector;
            freeCount = record.availableClusters;
            totalCount = record.totalClusters;
            return 1;
        }
    }
    DWORD sectorsPerCluster = 0;
    DWORD bytesPerSector = 0;
    DWORD freeClusterCount = 0;
    DWORD totalClusterCount = 0;
    if (!volumeApi.getDiskFreeSpace(root, &sectorsPerCluster, &bytesPerSector, &freeClusterCount,
                                    &totalClusterCount))
        return 0;
    freeCount = freeClusterCount;
    totalCount = totalClusterCount;
    bytesPerCluster = bytesPerSector * sectorsPerCluster;
    return 1;
}
