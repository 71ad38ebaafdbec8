// The drive walk: every directory of a drive into the entry table, with
// bytes, slack, clusters, files and directories summed per subtree.
#include "analysis/scan.h"

#include <cstring>
#include <new>

namespace {

constexpr char totalName[] = "(Total)";
constexpr char unaccountedName[] = "(不明)";
constexpr char pattern[] = "*.*";
constexpr std::size_t maxPathBytes = 259;  // text bytes of Entry::name
constexpr std::uint32_t itemsPerTick = 256;

bool IsDotOrDotDot(const char* name) noexcept
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Lead bytes of a double-byte character in the ANSI code page, like CharPrevA.
bool IsLeadByte(unsigned char c) noexcept
{
    return IsDBCSLeadByte(c) != FALSE;
}

}  // namespace

bool IsPlainComponent(const char* name) noexcept
{
    if (name[0] == '\0' || IsDotOrDotDot(name))
        return false;
    unsigned char last = 0;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(name); *p; ++p) {
        if (IsLeadByte(*p)) {
            if (p[1] == '\0')
                return false;  // a lead byte without its trail byte
            last = 0;
            ++p;  // the trail byte may be anything, 0x5C included
            continue;
        }
        if (*p < 0x20 || *p == 0x7F || std::strchr("\\/*?<>\"|:", *p))
            return false;
        last = *p;
    }
    return last != '.' && last != ' ';
}

DriveWalk::DriveWalk(EntryTable& table_, DirectoryLister& lister_, const ClusterGeometry& geometry_,
                     ScanProgress* progress_) noexcept
    : table(table_), lister(lister_), geometry(geometry_), progress(progress_)
{
}

void DriveWalk::Walk(std::int32_t index)
{
    if (List(index) != Listing::listed)
        ++counts.unlistable;
}

// Lists entry `index`. Nothing is appended or counted when the path leaves
// no room for the search pattern, or when the platform cannot list it.
DriveWalk::Listing DriveWalk::List(std::int32_t index)
{
    Entry work;
    work.Clear();
    std::int32_t previousChild = -1;

    // The directory's own path, with a separator unless it ends in one. The
    // step back is over a whole character, so the trail byte 0x5C of a
    // double-byte character is not taken for "\".
    const char* path = table.At(index).name;
    std::size_t length = strnlen(path, maxPathBytes);
    std::memcpy(work.name, path, length);
    work.name[length] = '\0';
    if (length == 0)
        return Listing::failed;
    if (*CharPrevA(work.name, work.name + length) != '\\') {
        if (length + 1 > maxPathBytes)
            return Listing::tooLong;  // no room for the separator
        work.name[length++] = '\\';
        work.name[length] = '\0';
    }
    work.nameOffset = static_cast<std::uint32_t>(length);
    work.parent = index;

    // The search pattern must fit in the field too.
    if (length + sizeof pattern - 1 > maxPathBytes)
        return Listing::tooLong;
    std::memcpy(work.name + length, pattern, sizeof pattern);

    ListedItem item;
    std::memset(&item, 0, sizeof item);
    const DirectoryLister::Handle listing = lister.Open(work.name, item);
    if (listing == DirectoryLister::none)
        return Listing::failed;
    ++counts.dirsListed;
    Tick();

    std::uint32_t sinceTick = 0;
    do {
        if (item.attributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!IsDotOrDotDot(item.name))
                AddSubdirectory(index, work, length, item, previousChild);
        } else {
            AddFile(index, item);
        }
        if (++sinceTick == itemsPerTick) {
            sinceTick = 0;
            Tick();
        }
    } while (lister.Next(listing, item));
    lister.Close(listing);
    return Listing::listed;
}

void DriveWalk::AddSubdirectory(std::int32_t index, Entry& work, std::size_t length, const ListedItem& item,
                                std::int32_t& previousChild)
{
    // The name to go down by must name exactly this directory: its long
    // name when that is its real name and a plain component, else its short
    // name when that is one. With neither, the directory is counted but not
    // entered, under the long name as the code page spells it.
    const bool longUsable = item.exact && IsPlainComponent(item.name);
    const bool shortUsable = item.shortName[0] != '\0' && IsPlainComponent(item.shortName);
    const char* name = longUsable ? item.name : shortUsable ? item.shortName : item.name;
    // A junction or directory symbolic link is counted, but its target is
    // not walked: it is counted where it really lives, and a link loop would
    // never end.
    const bool enter = (longUsable || shortUsable) && !(item.attributes & FILE_ATTRIBUTE_REPARSE_POINT);

    // A subdirectory whose full path would not fit in the field is not
    // recorded; its clusters fall to the unaccounted entry.
    const std::size_t nameLength = std::strlen(name);
    if (length + nameLength > maxPathBytes) {
        ++counts.overlong;
        return;
    }
    std::memcpy(work.name + length, name, nameLength + 1);
    if (!longUsable && !shortUsable) {
        // Shown but never opened: no "" or "/" of the name may pass for a
        // separator in the entry's path.
        for (char* p = work.name + length; *p; p = CharNextA(p))
            if (*p == '\\' || *p == '/')
                *p = '?';
    }

    std::int32_t child;
    try {
        child = table.Append(work);
    } catch (const std::bad_alloc&) {
        // Out of storage: this subdirectory goes unrecorded like an
        // over-long one, and the walk goes on with what fits.
        return;
    }
    if (previousChild < 0)
        table.At(index).firstChild = child;
    else
        table.At(previousChild).nextSibling = child;
    previousChild = child;

    if (!enter) {
        ++counts.notEntered;
    } else if (const Listing listed = List(child); listed != Listing::listed) {
        // Some long names list only through the short name; where neither
        // does, the entry keeps the long name. A path too long for the
        // pattern stays unlisted, whatever its short form.
        const std::size_t shortLength = std::strlen(item.shortName);
        const bool retry = listed == Listing::failed && longUsable && shortUsable &&
                           std::strcmp(item.shortName, item.name) != 0 && length + shortLength <= maxPathBytes;
        if (retry)
            std::memcpy(table.At(child).name + length, item.shortName, shortLength + 1);
        if (!retry || List(child) != Listing::listed) {
            if (retry)
                std::memcpy(table.At(child).name + length, item.name, nameLength + 1);
            ++counts.unlistable;
        }
    }

    Entry& parent = table.At(index);
    const Entry& sub = table.At(child);
    parent.bytes += sub.bytes;
    parent.slack += sub.slack;
    parent.clusters += sub.clusters + 1;
    parent.files += sub.files;
    parent.dirs += sub.dirs + 1;
}

void DriveWalk::AddFile(std::int32_t index, const ListedItem& item) noexcept
{
    const std::uint32_t high = item.sizeHigh;
    const std::uint32_t low = item.sizeLow;
    const std::uint32_t c = geometry.clusterBytes;
    Entry& dir = table.At(index);
    dir.bytes += (std::uint64_t{high} << 32) + low;
    std::uint32_t q = low / c;
    const std::uint32_t r = low % c;
    if (r != 0) {
        dir.slack += c - r;
        ++q;
    }
    q += geometry.clustersPer4G * high;
    dir.clusters += q;
    dir.files += 1;
    ++counts.files;
}

WalkCounts BuildDriveTree(EntryTable& table, DirectoryLister& lister, const char* rootPath,
                          const ClusterGeometry& geometry, ScanProgress* progress)
{
    const std::uint32_t c = geometry.clusterBytes;
    const std::uint32_t f = geometry.freeClusters;
    const std::uint32_t t = geometry.totalClusters;

    table.Resize(3, 128);
    for (std::int32_t i = 0; i < 3; ++i)
        table.At(i).Clear();

    Entry& total = table.At(totalEntry);
    std::memcpy(total.name + 4, totalName, sizeof totalName);
    total.nameOffset = 4;
    total.firstChild = rootDirEntry;
    total.bytes = std::uint64_t{c} * t;
    total.slack = std::uint64_t{f} * c;
    total.clusters = t;

    Entry& root = table.At(rootDirEntry);
    std::memcpy(root.name, rootPath, 4);
    root.parent = totalEntry;

    DriveWalk walk(table, lister, geometry, progress);
    walk.Walk(rootDirEntry);

    Entry& scannedRoot = table.At(rootDirEntry);
    scannedRoot.nameOffset = 0;
    const std::uint32_t inUse = t - f;
    if (scannedRoot.clusters < inUse) {
        scannedRoot.nextSibling = unaccountedEntry;
        Entry& unaccounted = table.At(unaccountedEntry);
        unaccounted.parent = totalEntry;
        std::memcpy(unaccounted.name, unaccountedName, sizeof unaccountedName);
        unaccounted.nameOffset = 0;
        unaccounted.clusters = inUse - scannedRoot.clusters;
        unaccounted.bytes = std::uint64_t{unaccounted.clusters} * c;
    }
    return walk.Counts();
}
