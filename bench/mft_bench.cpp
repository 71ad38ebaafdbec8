// Benchmark of the scan read from the NTFS file table, against (a) the reads
// it makes replayed alone, the floor no reader of the table can beat, and
// (b) the walk of the same drive through the file system, all under the same
// Wine; and the memory the table keeps per record.
//
//   voruta-mft-bench LETTER [RUNS [nowalk]]
//   voruta-mft-bench --once LETTER FILE     one scan; its reads are written to FILE
//   voruta-mft-bench --replay LETTER FILE   the reads in FILE alone
// (the last two with the page cache dropped in between, by bench/ntfs)
#include "analysis/file_table.h"
#include "analysis/scan.h"
#include "bench/clock.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace {

// Notes every read the table's scan makes.
class RecordingReader final : public VolumeReader {
public:
    explicit RecordingReader(VolumeReader& inner_) : inner(inner_) {}
    bool Read(std::uint64_t offset, void* buffer, std::size_t bytes) override
    {
        reads.emplace_back(offset, bytes);
        return inner.Read(offset, buffer, bytes);
    }
    std::vector<std::pair<std::uint64_t, std::size_t>> reads;

private:
    VolumeReader& inner;
};

// One run of the cold measurement: prints its milliseconds.
int Cold(bool replay, char letter, const char* path)
{
    char root[] = {letter, ':', '\\', '\0'};
    DWORD perCluster, sectorBytes, freeClusters, totalClusters;
    if (!GetDiskFreeSpaceA(root, &perCluster, &sectorBytes, &freeClusters, &totalClusters))
        return 1;
    const std::uint32_t c = perCluster * sectorBytes;
    Win32VolumeReader volume(letter);
    double t0 = NowMs();
    if (replay) {
        FILE* list = std::fopen(path, "r");
        if (!list)
            return 1;
        std::vector<std::pair<std::uint64_t, std::size_t>> reads;
        unsigned long long offset;
        unsigned long size;
        while (std::fscanf(list, "%llu %lu", &offset, &size) == 2)
            reads.emplace_back(offset, size);
        std::fclose(list);
        std::vector<char> buffer(1 << 20);
        t0 = NowMs();
        for (const auto& [at, bytes] : reads) {
            if (buffer.size() < bytes)
                buffer.resize(bytes);
            volume.Read(at, buffer.data(), bytes);
        }
    } else {
        RecordingReader recording(volume);
        FileTableLister lister;
        EntryTable table;
        if (lister.Read(recording, c, totalClusters) != FileTableLister::Outcome::read)
            return 1;
        BuildDriveTree(table, lister, root, {c, (1u << 30) / (c / 4), freeClusters, totalClusters});
        const double ms = NowMs() - t0;
        FILE* list = std::fopen(path, "w");
        for (const auto& [at, bytes] : recording.reads)
            std::fprintf(list, "%llu %lu\n", static_cast<unsigned long long>(at), static_cast<unsigned long>(bytes));
        std::fclose(list);
        std::printf("%.0f\n", ms);
        return 0;
    }
    std::printf("%.0f\n", NowMs() - t0);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && (std::strcmp(argv[1], "--once") == 0 || std::strcmp(argv[1], "--replay") == 0))
        return Cold(argv[1][2] == 'r', argv[2][0], argv[3]);
    if (argc < 2 || !argv[1][0]) {
        std::fputs("usage: voruta-mft-bench LETTER [RUNS]\n", stderr);
        return 2;
    }
    const char letter = argv[1][0];
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    char root[] = {letter, ':', '\\', '\0'};
    DWORD perCluster, sectorBytes, freeClusters, totalClusters;
    if (!GetDiskFreeSpaceA(root, &perCluster, &sectorBytes, &freeClusters, &totalClusters))
        return 1;
    const std::uint32_t c = perCluster * sectorBytes;
    const ClusterGeometry geometry{c, (1u << 30) / (c / 4), freeClusters, totalClusters};
    std::printf("build\t%s\n", sizeof(void*) == 4 ? "i686 (the product)" : "x86_64 (not the product's figures)");

    // The scan from the file table, as ScanDrive makes it.
    double best = 1e300, bestRead = 1e300;
    std::vector<std::pair<std::uint64_t, std::size_t>> reads;
    std::uint32_t records = 0, dirs = 0, files = 0;
    std::size_t tableBytes = 0, kept = 0;
    for (int run = 0; run < runs; ++run) {
        Win32VolumeReader volume(letter);
        RecordingReader recording(volume);
        const double t0 = NowMs();
        FileTableLister lister;
        if (lister.Read(recording, c, totalClusters) != FileTableLister::Outcome::read) {
            std::fputs("the file table could not be read\n", stderr);
            return 1;
        }
        bestRead = std::min(bestRead, NowMs() - t0);
        EntryTable table;
        BuildDriveTree(table, lister, root, geometry);
        best = std::min(best, NowMs() - t0);
        reads = std::move(recording.reads);
        records = lister.RecordsRead();
        kept = lister.Bytes();
        tableBytes = static_cast<std::size_t>(table.Count()) * sizeof(Entry);
        dirs = table.At(rootDirEntry).dirs;
        files = table.At(rootDirEntry).files;
    }

    // (a) The same reads alone.
    double floor = 1e300;
    std::uint64_t bytes = 0;
    std::vector<char> buffer(1 << 20);
    for (int run = 0; run < runs; ++run) {
        Win32VolumeReader volume(letter);
        bytes = 0;
        const double t0 = NowMs();
        for (const auto& [offset, size] : reads) {
            if (buffer.size() < size)
                buffer.resize(size);
            volume.Read(offset, buffer.data(), size);
            bytes += size;
        }
        floor = std::min(floor, NowMs() - t0);
    }

    // (b) The walk of the drive mounted, once: it takes minutes.
    double walk = 0;
    if (argc <= 3 || std::strcmp(argv[3], "nowalk") != 0) {
        Win32DirectoryLister platform;
        EntryTable walked;
        const double w0 = NowMs();
        BuildDriveTree(walked, platform, root, geometry);
        walk = NowMs() - w0;
    }

    PROCESS_MEMORY_COUNTERS memory{};
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    std::printf("tree\t%lu directories, %lu files, %lu records in use\n", static_cast<unsigned long>(dirs),
                static_cast<unsigned long>(files), static_cast<unsigned long>(records));
    std::printf("(a) the table's reads alone ms (min of %d)\t%.0f\t%.0f MB in %zu reads\n", runs, floor,
                static_cast<double>(bytes) / 1e6, reads.size());
    std::printf("file-table scan ms (min of %d)\t%.0f\t%.2f x (a); reading the table %.0f ms, the walk in memory "
                "the rest\n", runs, best, best / floor, bestRead);
    std::printf("(b) walk of the drive mounted ms (1 run)\t%.0f\t%.1f x the file-table scan\n", walk, walk / best);
    std::printf("kept per record in use, bytes\t%.1f\t(%zu bytes; entry table %zu bytes)\n",
                records ? static_cast<double>(kept) / records : 0.0, kept, tableBytes);
    std::printf("peak working set MB\t%.0f\n", static_cast<double>(memory.PeakWorkingSetSize) / 1e6);
    return 0;
}
