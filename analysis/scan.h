// The drive walk: builds the directory tree of one drive into the entry table
// with every directory's sums, through a directory lister.
#pragma once

#include "analysis/entry.h"
#include "analysis/idset.h"
#include "analysis/listing.h"
#include "analysis/names.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What the walk has done so far, and what it could not do: directories
// counted but not entered (links, names with no usable form, a directory
// already listed or not the one its parent listed), directories that could
// not be listed, and directories whose sums were folded into the nearest
// ancestor with an entry because no path to them fits an entry (overlong) or
// the table could not grow (noRoom). Of the files: names of a file counted
// already (hardLinks, whose hardLinkBytes were not counted again), and files
// whose id there was no memory left to remember (unchecked, counted in full).
struct WalkCounts {
    std::uint32_t dirsListed = 0;
    std::uint32_t files = 0;
    std::uint32_t notEntered = 0;
    std::uint32_t unlistable = 0;
    std::uint32_t overlong = 0;
    std::uint32_t noRoom = 0;
    std::uint32_t hardLinks = 0;
    std::uint64_t hardLinkBytes = 0;
    std::uint32_t unchecked = 0;
    std::uint64_t idBytes = 0;  // memory of the sets of ids when the walk ended
    bool stopped = false;       // the progress asked the walk to stop
    // Where the drive was read from its master file table: the records in
    // use read, and those skipped as untrustworthy.
    bool fileTable = false;
    std::uint32_t recordsRead = 0;
    std::uint32_t recordsSkipped = 0;
};

// Told of the walk's counts now and then while it runs: at every directory
// listed and every 256 items. Returns false to stop the walk.
class ScanProgress {
public:
    virtual ~ScanProgress() = default;
    virtual bool Report(const WalkCounts& counts) = 0;
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

// True when a directory with these attributes and reparse tag is a link to
// be counted but not entered: a reparse point whose tag is a name surrogate
// (junctions, mount points, symbolic links) or not known (0). A reparse
// point of another kind, such as a cloud-synced or projected folder, is an
// ordinary directory whose files are on this volume.
bool IsLinkDirectory(DWORD attributes, DWORD reparseTag) noexcept;

// True when the wide `name` can stand as one component of a wide path and
// names what it says: not empty, not "." or "..", no "\\", "/" or ":", no
// wildcard or reserved character, no control character.
bool IsPlainWideComponent(const wchar_t* name, std::size_t length) noexcept;

// The walk over one table: lists every directory once, depth first, appends
// an entry per subdirectory in pre-order and adds each subtree's sums into
// its directory. On a wide lister every directory is opened through its real
// wide path (or, where no path can spell that, its 8.3 name) and recognised
// by its file id. A file counts the clusters it occupies where the listing
// gives its allocation, else those its size fills; a file whose id was
// counted already (another name of it) counts as a file alone.
class DriveWalk {
public:
    // With `realNames`, the real name of every entry whose shown name is not
    // it is noted there (wide listers only).
    DriveWalk(EntryTable& table, DirectoryLister& lister, const ClusterGeometry& geometry,
              ScanProgress* progress = nullptr, RealNames* realNames = nullptr);
    ~DriveWalk();
    DriveWalk(const DriveWalk&) = delete;
    DriveWalk& operator=(const DriveWalk&) = delete;

    // Lists the directory of entry `index` and everything below it, appending
    // one entry per subdirectory and adding the sums into `index`.
    void Walk(std::int32_t index);

    const WalkCounts& Counts() const noexcept { return counts; }
    // Bounds the memory of each set of ids, before the walk.
    void LimitIdBytes(std::size_t bytes) noexcept
    {
        directories = IdSet(bytes);
        fileIds = IdSet(bytes);
    }

private:
    struct Sums;
    struct Subdirectory;
    struct Frame;
    enum class Listing { listed, failed, notEntered };
    enum class Fold { none, overlong, noRoom };

    Listing List(Frame& frame, std::uint64_t expectedId, bool byShortName);
    void AddSubdirectory(Subdirectory& sub);
    std::int32_t AppendEntry(const Frame& parent, const char* component, const char* shortComponent);
    void Finish();
    void AddFile(Sums& sums, const ListedItem& item) noexcept;
    void Tick()
    {
        if (progress && !progress->Report(counts))
            counts.stopped = true;
    }

    EntryTable& table;
    DirectoryLister& lister;
    ClusterGeometry geometry;
    ScanProgress* progress;
    RealNames* realNames;
    WalkCounts counts;
    std::vector<Frame> frames;
    std::wstring widePath;
    IdSet directories;  // listed so far
    IdSet fileIds;      // counted so far
    std::unique_ptr<ListedItem> item;
    bool tableFull = false;
};

// Builds the whole drive: the fixed entries 0 (the volume) and 1 (the root
// `rootPath`, "X:\"), the walk, and entry 2 for the clusters in use that the
// walk did not find. The table and `realNames` are reset first; the table's
// storage is reused. A walk stopped by `progress` leaves the table unfinished.
WalkCounts BuildDriveTree(EntryTable& table, DirectoryLister& lister, const char* rootPath,
                          const ClusterGeometry& geometry, ScanProgress* progress = nullptr,
                          RealNames* realNames = nullptr);
