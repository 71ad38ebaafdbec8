// Benchmark of the drive scan: ScanDrive against a bare FindFirstFileA walk
// of the same drive under the same Wine, the cost of growing the table, and
// the memory of the sets of ids and the peak memory of the process.
//
//   voruta-scan-bench LETTER [RUNS]
#include "bench/clock.h"
#include "view/chart_view.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The platform's floor: list every directory once, nothing else.
void BareWalk(char* path, std::size_t length, unsigned long& items)
{
    if (length + 4 > MAX_PATH)
        return;
    std::memcpy(path + length, "*.*", 4);
    WIN32_FIND_DATAA item;
    HANDLE search = FindFirstFileA(path, &item);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        ++items;
        if (!(item.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            (item.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        if (std::strcmp(item.cFileName, ".") == 0 || std::strcmp(item.cFileName, "..") == 0)
            continue;
        const std::size_t n = std::strlen(item.cFileName);
        if (length + n + 1 >= MAX_PATH)
            continue;
        std::memcpy(path + length, item.cFileName, n);
        path[length + n] = '\\';
        path[length + n + 1] = '\0';
        BareWalk(path, length + n + 1, items);
    } while (FindNextFileA(search, &item));
    FindClose(search);
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || std::strlen(argv[1]) != 1) {
        std::fputs("usage: voruta-scan-bench LETTER [RUNS]\n", stderr);
        return 2;
    }
    const char letter = argv[1][0];
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;

    char path[MAX_PATH + 4] = {letter, ':', '\\', '\0'};
    unsigned long items = 0;
    BareWalk(path, 3, items);  // warm the caches

    CChartView view;
    std::vector<double> walkTimes, scanTimes;
    for (int i = 0; i < runs; ++i) {
        items = 0;
        path[3] = '\0';
        double start = NowMs();
        BareWalk(path, 3, items);
        walkTimes.push_back(NowMs() - start);

        start = NowMs();
        if (!view.ScanDrive(letter)) {
            std::fputs("scan failed\n", stderr);
            return 1;
        }
        scanTimes.push_back(NowMs() - start);
    }
    const std::int32_t count = view.table.Count();

    // Growing a table to the scan's size in the scan's steps, alone.
    Entry blank;
    std::memset(&blank, 0, sizeof blank);
    double start = NowMs();
    EntryTable grown;
    grown.Resize(3, 128);
    for (std::int32_t i = 3; i < count; ++i)
        grown.Append(blank);
    const double growMs = NowMs() - start;

    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);

    std::printf("entries\t%d\n", count);
    std::printf("items listed\t%lu\n", items);
    std::printf("files\t%u\n", view.table.At(1).files);
    std::printf("ScanDrive ms (min / median of %d)\t%.1f / %.1f\n", runs, *std::min_element(scanTimes.begin(), scanTimes.end()),
                Median(scanTimes));
    std::printf("bare walk ms (min / median of %d)\t%.1f / %.1f\n", runs, *std::min_element(walkTimes.begin(), walkTimes.end()),
                Median(walkTimes));
    std::printf("ratio ScanDrive / bare walk (mins; medians)\t%.3f; %.3f\n",
                *std::min_element(scanTimes.begin(), scanTimes.end()) / *std::min_element(walkTimes.begin(), walkTimes.end()),
                Median(scanTimes) / Median(walkTimes));
    std::printf("table growth to %d entries ms\t%.2f\n", count, growMs);
    std::printf("table bytes moved while growing\t%u (table %u bytes)\n",
                static_cast<unsigned>(grown.Storage().MovedBytes()), static_cast<unsigned>(count * sizeof(Entry)));
    const std::uint32_t files = view.scanCounts.files;
    std::printf("file id sets bytes\t%llu (%.1f per file)\n", static_cast<unsigned long long>(view.scanCounts.idBytes),
                files ? static_cast<double>(view.scanCounts.idBytes) / files : 0.0);
    std::printf("peak working set MiB\t%.1f\n", static_cast<double>(memory.PeakWorkingSetSize) / 1048576.0);
    std::printf("peak committed MiB\t%.1f\n", static_cast<double>(memory.PeakPagefileUsage) / 1048576.0);
    return 0;
}
