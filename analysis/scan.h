// The drive walk: builds the directory tree of one drive into the entry table
// with every directory's sums, through a directory lister.
#pragma once

#include "analysis/entry.h"
#include "analysis/listing.h"

#include <cstdint>

// What the walk has done so far, and what it could not do: directories
// appended but not entered (links, names with no usable form), directories
// that could not be listed, and subdirectories left out because their path
// would not fit.
struct WalkCounts {
    std::uint32_t dirsListed = 0;
    std::uint32_t files = 0;
    std::uint32_t notEntered = 0;
    std::uint32_t unlistable = 0;
    std::uint32_t overlong = 0;
};

// Told of the walk's counts now and then while it runs.
class ScanProgress {
public:
    virtual ~ScanProgress() = default;
    virtual void Report(const WalkCounts& counts) = 0;
};

// Cluster geometry the sums are counted in.
struct ClusterGeometry {
    std::uint32_t clusterBytes;   // at least 4
    std::uint32_t clustersPer4G;  // 2^30 / (clusterBytes / 4)
    std::uint32_t freeClusters;
    std::uint32_t totalClusters;
};

// True when `name` can stand as one component of a path and names what it
// says: not empty, no "\" or "/", no wildcard or reserved character
// (* ? < > " | :), no control character, not "." or "..", not ending in "."
// or " ", and no cut double-byte character. A trail byte 0x5C is no "\".
bool IsPlainComponent(const char* name) noexcept;

// The recursive walk over one table.
class DriveWalk {
public:
    DriveWalk(EntryTable& table, DirectoryLister& lister, const ClusterGeometry& geometry,
              ScanProgress* progress = nullptr) noexcept;

    // Lists the directory of entry `index` and everything below it, appending
    // one entry per subdirectory and adding the sums into `index`.
    void Walk(std::int32_t index);

    const WalkCounts& Counts() const noexcept { return counts; }

private:
    enum class Listing { listed, tooLong, failed };
    Listing List(std::int32_t index);
    void AddSubdirectory(std::int32_t index, Entry& work, std::size_t length, const ListedItem& item,
                         std::int32_t& previousChild);
    void AddFile(std::int32_t index, const ListedItem& item) noexcept;
    void Tick() { if (progress) progress->Report(counts); }

    EntryTable& table;
    DirectoryLister& lister;
    ClusterGeometry geometry;
    ScanProgress* progress;
    WalkCounts counts;
};

// Builds the whole drive: the fixed entries 0 (the volume) and 1 (the root
// `rootPath`, "X:\"), the walk, and entry 2 for the clusters in use that the
// walk did not find. The table is reset first; its storage is reused.
WalkCounts BuildDriveTree(EntryTable& table, DirectoryLister& lister, const char* rootPath,
                          const ClusterGeometry& geometry, ScanProgress* progress = nullptr);
