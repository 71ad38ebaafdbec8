// Drive scan: walks every directory of a drive into the entry table and sums
// bytes, slack, clusters, files and directories per subtree.
#include "platform/app.h"
#include "view/chart_view.h"

#include <cstring>
#include <new>

namespace {

constexpr char rootTemplate[4] = {'X', ':', '\\', '\0'};
constexpr char totalName[] = "(Total)";
constexpr char unaccountedName[] = "(不明)";
constexpr std::size_t maxPathBytes = 259;  // text bytes of Entry::name

bool IsDotOrDotDot(const char* name) noexcept
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// The name to use for a listed item: its long name, or, where the code page
// cannot spell the long name (the listing shows "?" in it, a character no
// file name may hold) and a short name exists, the short name, which opens.
const char* UsableName(const WIN32_FIND_DATAA& item) noexcept
{
    if (std::strchr(item.cFileName, '?') && item.cAlternateFileName[0] != '\0')
        return item.cAlternateFileName;
    return item.cFileName;
}

}  // namespace

std::int32_t CChartView::ScanDrive(char letter)
{
    CWaitCursor wait;

    std::memset(rootPath, 0, sizeof rootPath);
    clusterBytes = 0;
    clustersPer4G = 0;
    freeClusters = 0;
    totalClusters = 0;
    std::memcpy(rootPath, rootTemplate, sizeof rootPath);
    rootPath[0] = letter;

    // An empty root path would make the volume query answer for the current
    // drive; a NUL letter names no drive.
    if (letter == '\0')
        return 0;
    std::uint32_t c = 0;
    std::uint32_t f = 0;
    std::uint32_t t = 0;
    if (!QueryVolumeGeometry(rootPath, c, f, t))
        return 0;
    // Every file divides by the cluster size, and clustersPer4G by a quarter
    // of it: a volume reporting fewer than 4 bytes per cluster is unusable.
    if (c < 4)
        return 0;

    clusterBytes = c;
    clustersPer4G = (1u << 30) / (c / 4);
    freeClusters = f;
    totalClusters = t;

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
    std::memcpy(root.name, rootPath, sizeof rootPath);
    root.parent = totalEntry;

    ScanDirectory(rootDirEntry);

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

    rootIndex = totalEntry;
    Relayout();
    return 1;
}

void CChartView::ScanDirectory(std::int32_t index)
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
        return;
    if (*CharPrevA(work.name, work.name + length) != '\\') {
        if (length + 1 > maxPathBytes)
            return;  // no room for the separator: treated as unlistable
        work.name[length++] = '\\';
        work.name[length] = '\0';
    }
    work.nameOffset = static_cast<std::uint32_t>(length);
    work.parent = index;

    // The search pattern must fit in the field; a directory whose pattern
    // does not is treated like one that cannot be listed.
    constexpr char pattern[] = "*.*";
    if (length + sizeof pattern - 1 > maxPathBytes)
        return;
    std::memcpy(work.name + length, pattern, sizeof pattern);

    WIN32_FIND_DATAA item;
    std::memset(&item, 0, sizeof item);
    HANDLE search = FindFirstFileA(work.name, &item);
    if (search == INVALID_HANDLE_VALUE)
        return;

    do {
        if (item.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (IsDotOrDotDot(item.cFileName))
                continue;
            const char* name = UsableName(item);
            const std::size_t nameLength = std::strlen(name);
            // A subdirectory whose full path would not fit in the field is
            // not recorded; its clusters fall to the unaccounted entry.
            if (length + nameLength > maxPathBytes)
                continue;
            std::memcpy(work.name + length, name, nameLength + 1);

            std::int32_t child;
            try {
                child = table.Append(work);
            } catch (const std::bad_alloc&) {
                // Out of storage: this subdirectory goes unrecorded like an
                // over-long one, and the walk goes on with what fits.
                continue;
            }
            if (previousChild < 0)
                table.At(index).firstChild = child;
            else
                table.At(previousChild).nextSibling = child;
            previousChild = child;

            // A junction or directory symbolic link is counted, but its
            // target is not walked: it is counted where it really lives, and
            // a link loop would never end.
            if (!(item.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                ScanDirectory(child);

            Entry& parent = table.At(index);
            const Entry& sub = table.At(child);
            parent.bytes += sub.bytes;
            parent.slack += sub.slack;
            parent.clusters += sub.clusters + 1;
            parent.files += sub.files;
            parent.dirs += sub.dirs + 1;
        } else {
            const std::uint32_t high = item.nFileSizeHigh;
            const std::uint32_t low = item.nFileSizeLow;
            const std::uint32_t c = clusterBytes;
            Entry& dir = table.At(index);
            dir.bytes += (std::uint64_t{high} << 32) + low;
            std::uint32_t q = low / c;
            const std::uint32_t r = low % c;
            if (r != 0) {
                dir.slack += c - r;
                ++q;
            }
            q += clustersPer4G * high;
            dir.clusters += q;
            dir.files += 1;
        }
    } while (FindNextFileA(search, &item));
    FindClose(search);
}
