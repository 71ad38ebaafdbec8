// Runs the volume query on the real platform and prints where the figures
// came from. The test runs it with Wine playing Windows 98, where the VWIN32
// device exists and answers the extended free-space call. Given a drive
// letter, it also walks that drive as the 9x family lists it (the ANSI find
// calls) and prints the sums of its root, in clusters of 512 bytes.
#include "analysis/listing.h"
#include "analysis/scan.h"
#include "view/chart_view.h"

#include <cstdio>

namespace {

int deviceCalls = 0;
int diskCalls = 0;

BOOL WINAPI CountingIoControl(HANDLE device, DWORD code, void* in, DWORD inBytes, void* out, DWORD outBytes,
                              DWORD* returned, OVERLAPPED* overlapped)
{
    ++deviceCalls;
    return Win32VolumeApi().deviceIoControl(device, code, in, inBytes, out, outBytes, returned, overlapped);
}

BOOL WINAPI CountingDiskFreeSpace(const char* root, DWORD* spc, DWORD* bps, DWORD* freeCount, DWORD* totalCount)
{
    ++diskCalls;
    return GetDiskFreeSpaceA(root, spc, bps, freeCount, totalCount);
}

}  // namespace

int main(int argc, char** argv)
{
    VolumeApi api = Win32VolumeApi();
    api.deviceIoControl = &CountingIoControl;
    api.getDiskFreeSpace = &CountingDiskFreeSpace;
    CChartView view(api);
    ExtFreeSpace record{};
    const int ext = QueryExtFreeSpace("C:\\", record, api);
    deviceCalls = 0;
    std::uint32_t bytes = 0, freeCount = 0, total = 0;
    const int result = view.QueryVolumeGeometry("C:\\", bytes, freeCount, total);
    std::printf("useExt=%d ext=%d result=%d bytes=%u free=%u total=%u device=%d disk=%d "
                "record=%u,%u,%u,%u\n",
                view.useExtFreeSpace, ext, result, bytes, freeCount, total, deviceCalls, diskCalls,
                record.sectorsPerCluster, record.bytesPerSector, record.availableClusters, record.totalClusters);
    if (argc > 1) {
        const char root[4] = {argv[1][0], ':', '\\', '\0'};
        EntryTable table;
        Win32DirectoryLister lister;
        const WalkCounts counts = BuildDriveTree(table, lister, root, {512, (1u << 30) / 128, 0, 1000});
        const Entry& e = table.At(1);
        std::printf("walk wide=%d files=%u dirs=%u bytes=%llu clusters=%u unlistable=%u\n", lister.Wide() ? 1 : 0,
                    e.files, e.dirs, static_cast<unsigned long long>(e.bytes), e.clusters, counts.unlistable);
    }
    return 0;
}
