// The drive walk: every directory of a drive into the entry table, with
// bytes, slack, clusters, files and directories summed per subtree.
#include "analysis/scan.h"

#include <cstring>
#include <cwchar>
#include <new>
#include <utility>

namespace {

constexpr char totalName[] = "(Total)";
constexpr char unaccountedName[] = "(不明)";
constexpr char patternSuffix[] = "*.*";
constexpr std::size_t maxPathBytes = 259;  // text bytes of Entry::name
// Characters of a "\\?\" path, as the platform allows (32767 with the NUL).
constexpr std::size_t maxWidePath = 32766;
constexpr std::uint32_t itemsPerTick = 256;

template <class Char>
bool IsDotOrDotDot(const Char* name) noexcept
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

bool IsLinkDirectory(DWORD attributes, DWORD reparseTag) noexcept
{
    constexpr DWORD nameSurrogate = 0x20000000;  // IsReparseTagNameSurrogate
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && (reparseTag == 0 || (reparseTag & nameSurrogate));
}

bool IsPlainWideComponent(const wchar_t* name, std::size_t length) noexcept
{
    if (length == 0 || (name[0] == L'.' && (length == 1 || (length == 2 && name[1] == L'.'))))
        return false;
    for (std::size_t i = 0; i < length; ++i) {
        if (name[i] < 0x20 || std::wcschr(L"\\/:*?<>\"|", name[i]))
            return false;
    }
    return true;
}

// Sums of one directory's subtree as the walk adds them up.
struct DriveWalk::Sums {
    std::uint64_t bytes = 0;
    std::uint64_t slack = 0;
    std::uint32_t clusters = 0;
    std::uint32_t files = 0;
    std::uint32_t dirs = 0;

    // A subdirectory with its sums: one more directory and one more cluster.
    void AddSubdirectory(const Sums& sub) noexcept
    {
        bytes += sub.bytes;
        slack += sub.slack;
        clusters += sub.clusters + 1;
        files += sub.files;
        dirs += sub.dirs + 1;
    }
};

// A subdirectory as its parent's listing gave it, kept until the walk goes
// down into it: the parent's listing is closed by then.
struct DriveWalk::Subdirectory {
    std::string name;
    std::string shortName;
    std::wstring wideName;  // empty: no wide name that opens it
    DWORD attributes;
    DWORD reparseTag;
    bool exact;
    std::uint64_t id;
};

// One directory on the way down from where the walk started.
struct DriveWalk::Frame {
    std::int32_t index;          // its entry, or -1 when folded into an ancestor's
    Fold fold = Fold::none;      // why it has no entry
    std::int32_t previousChild = -1;
    Sums sums;
    std::size_t wideLength = 0;  // its wide path's length
    std::string shortComponent;  // its name in a path spelled with 8.3 names
    std::vector<Subdirectory> subdirectories;
    std::size_t next = 0;
};

DriveWalk::DriveWalk(EntryTable& table_, DirectoryLister& lister_, const ClusterGeometry& geometry_,
                     ScanProgress* progress_, RealNames* realNames_)
    : table(table_), lister(lister_), geometry(geometry_), progress(progress_), realNames(realNames_),
      item(std::make_unique<ListedItem>())
{
}

DriveWalk::~DriveWalk() = default;

void DriveWalk::Walk(std::int32_t index)
{
    frames.clear();
    const char* path = table.At(index).name;
    Frame top;
    top.index = index;
    if (lister.Wide()) {
        // "\\?\" takes the path as it stands: no name is trimmed or
        // resolved, and paths longer than MAX_PATH open too.
        wchar_t wide[maxPathBytes + 1];
        const int n = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path, -1, wide, maxPathBytes + 1);
        widePath.assign(L"\\\\?\\");
        widePath.append(wide, n > 0 ? static_cast<std::size_t>(n - 1) : 0);
        if (n <= 0) {
            ++counts.unlistable;
            return;
        }
    }
    top.wideLength = widePath.size();
    frames.push_back(std::move(top));
    if (List(frames.back(), 0, false) != Listing::listed) {
        frames.clear();
        ++counts.unlistable;
        return;
    }
    while (!frames.empty() && !counts.stopped) {
        Frame& frame = frames.back();
        if (frame.next < frame.subdirectories.size()) {
            Subdirectory sub = std::move(frame.subdirectories[frame.next++]);
            AddSubdirectory(sub);
        } else {
            Finish();
        }
    }
    frames.clear();
    counts.idBytes = directories.Bytes() + fileIds.Bytes();
}

// Lists `frame`'s directory: its files are added to its sums and its
// subdirectories kept for later, so that one listing is open at a time. A
// wide listing is given up unless it opened the directory that was listed
// (`expectedId`, 0 when not known) and no directory listed before. Opened
// `byShortName`, it must prove to be the directory listed: an 8.3 name may
// also be another directory's long name.
DriveWalk::Listing DriveWalk::List(Frame& frame, std::uint64_t expectedId, bool byShortName)
{
    DirectoryLister::Handle listing = DirectoryLister::none;
    if (lister.Wide()) {
        std::uint64_t opened = 0;
        listing = lister.OpenWide(widePath.c_str(), opened);
        if (listing == DirectoryLister::none)
            return Listing::failed;
        const bool other = byShortName ? opened == 0 || opened != expectedId
                                       : opened != 0 && expectedId != 0 && opened != expectedId;
        // Where the set has no room left the directory is not entered: a
        // link back up would not be recognised.
        if (other || (opened != 0 && directories.Insert(opened) != IdSet::Insertion::added)) {
            lister.Close(listing);
            return Listing::notEntered;
        }
    } else {
        // The code page path of the entry, a separator unless it ends in
        // one, and the pattern. The step back is over a whole character, so
        // the trail byte 0x5C of a double-byte character is not taken for "\".
        if (frame.index < 0)
            return Listing::failed;
        char pattern[maxPathBytes + 1];
        const char* path = table.At(frame.index).name;
        std::size_t length = strnlen(path, maxPathBytes);
        std::memcpy(pattern, path, length);
        pattern[length] = '\0';
        if (length == 0)
            return Listing::failed;
        if (*CharPrevA(pattern, pattern + length) != '\\')
            pattern[length++] = '\\';
        if (length + sizeof patternSuffix - 1 > maxPathBytes)
            return Listing::failed;
        std::memcpy(pattern + length, patternSuffix, sizeof patternSuffix);
        listing = lister.Open(pattern);
        if (listing == DirectoryLister::none)
            return Listing::failed;
    }
    ++counts.dirsListed;
    Tick();

    ListedItem& found = *item;
    std::uint32_t sinceTick = 0;
    while (!counts.stopped && lister.Next(listing, found)) {
        if (!(found.attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            AddFile(frame.sums, found);
        } else if (lister.Wide() ? !IsDotOrDotDot(found.wideName) : !IsDotOrDotDot(found.name)) {
            Subdirectory sub;
            sub.name = found.name;
            sub.shortName = found.shortName;
            if (lister.Wide())
                sub.wideName.assign(found.wideName, found.wideLength);
            sub.attributes = found.attributes;
            sub.reparseTag = found.reparseTag;
            sub.exact = found.exact;
            sub.id = found.id;
            frame.subdirectories.push_back(std::move(sub));
        }
        if (++sinceTick == itemsPerTick) {
            sinceTick = 0;
            Tick();
        }
    }
    lister.Close(listing);
    return Listing::listed;
}

void DriveWalk::AddSubdirectory(Subdirectory& sub)
{
    // The name shown for it: its long name when that is its real name and a
    // plain component, else its short name when that is one, else the long
    // name as the code page spells it, where no "\" or "/" may pass for a
    // separator.
    const bool longPlain = sub.exact && IsPlainComponent(sub.name.c_str());
    const bool shortPlain = !sub.shortName.empty() && IsPlainComponent(sub.shortName.c_str());
    std::string shown = longPlain ? sub.name : shortPlain ? sub.shortName : sub.name;
    if (!longPlain && !shortPlain) {
        for (char* p = shown.data(); *p; p = CharNextA(p))
            if (*p == '\\' || *p == '/')
                *p = '?';
    }

    // A junction or directory link is counted, but its target is not
    // walked: it is counted where it really lives, and a loop would never
    // end. Other reparse points (cloud-synced folders) are walked; the file
    // ids keep them from listing anything twice. On a wide lister the real
    // name opens a directory, or where no path can spell that, its 8.3 name
    // with the id the listing gave; on the ANSI one the name shown does where
    // it is the long or the short name.
    bool enter = !IsLinkDirectory(sub.attributes, sub.reparseTag);
    std::wstring component = sub.wideName;
    bool byShortName = false;
    if (lister.Wide()) {
        wchar_t shortWide[16];
        int n = 0;
        if (!IsPlainWideComponent(component.data(), component.size()) && shortPlain && sub.id != 0)
            n = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, sub.shortName.c_str(), -1, shortWide, 16);
        if (n > 1) {
            component.assign(shortWide, static_cast<std::size_t>(n - 1));
            byShortName = true;
        }
        enter = enter && IsPlainWideComponent(component.data(), component.size()) &&
                frames.back().wideLength + 1 + component.size() <= maxWidePath;
    } else {
        enter = enter && (longPlain || shortPlain);
    }

    Frame child;
    child.shortComponent = shortPlain ? sub.shortName : shown;
    child.index = AppendEntry(frames.back(), shown.c_str(), child.shortComponent.c_str());
    // The name shown may be an 8.3 name, a spelling with "?" or, where the
    // path did not fit, the 8.3 name of a name the code page carries.
    if (child.index >= 0 && realNames && !sub.wideName.empty() &&
        (!sub.exact || sub.name != table.At(child.index).DisplayName()))
        realNames->Add(child.index, sub.wideName.data(), sub.wideName.size());
    if (child.index < 0) {
        child.fold = frames.back().fold != Fold::none ? frames.back().fold : tableFull ? Fold::noRoom : Fold::overlong;
        ++(child.fold == Fold::noRoom ? counts.noRoom : counts.overlong);
    }

    Listing listing = Listing::notEntered;
    if (enter) {
        if (lister.Wide()) {
            widePath.resize(frames.back().wideLength);
            if (widePath.back() != L'\\')
                widePath.push_back(L'\\');
            widePath.append(component);
            child.wideLength = widePath.size();
        }
        if (child.index >= 0 || lister.Wide())
            listing = List(child, sub.id, byShortName);
    }
    if (listing == Listing::listed) {
        frames.push_back(std::move(child));
        return;
    }
    // Without a wide path, a directory folded for its path's length cannot
    // be listed at all; it is counted as overlong alone.
    if (child.index >= 0 || lister.Wide())
        ++(listing == Listing::failed ? counts.unlistable : counts.notEntered);
    frames.back().sums.AddSubdirectory(child.sums);
}

// Appends the entry of a subdirectory of `parent` named `component` (by
// `shortComponent` in a path spelled with 8.3 names); -1 when it has to be
// folded into an ancestor's sums: its parent has no entry, no path to it fits
// the field, or the table cannot grow.
std::int32_t DriveWalk::AppendEntry(const Frame& parent, const char* component, const char* shortComponent)
{
    if (parent.index < 0 || tableFull)
        return -1;
    Entry work;
    work.Clear();
    work.parent = parent.index;

    // Appends a separator unless the path ends in one, then `name`; false
    // when that does not fit the field.
    std::size_t length = 0;
    auto append = [&](const char* name) {
        if (length > 0 && *CharPrevA(work.name, work.name + length) != '\\') {
            if (length + 1 > maxPathBytes)
                return false;
            work.name[length++] = '\\';
        }
        const std::size_t n = std::strlen(name);
        if (length + n > maxPathBytes)
            return false;
        work.nameOffset = static_cast<std::uint32_t>(length);
        std::memcpy(work.name + length, name, n + 1);
        length += n;
        return true;
    };
    auto start = [&](std::int32_t index) {
        const char* path = table.At(index).name;
        length = strnlen(path, maxPathBytes);
        std::memcpy(work.name, path, length);
        work.name[length] = '\0';
    };

    // The parent's path and the name; where that does not fit, the path
    // spelled with the 8.3 name of every directory that has one.
    start(parent.index);
    if (!append(component)) {
        start(frames.front().index);
        bool fits = true;
        for (std::size_t i = 1; i < frames.size() && fits; ++i)
            fits = append(frames[i].shortComponent.c_str());
        if (!fits || !append(shortComponent))
            return -1;
    }

    std::int32_t child;
    try {
        child = table.Append(work);
    } catch (const std::bad_alloc&) {
        // No room for more entries: the rest of the drive is still walked
        // and summed, folded into the entries there are.
        tableFull = true;
        return -1;
    }
    Frame& owner = frames.back();
    if (owner.previousChild < 0)
        table.At(owner.index).firstChild = child;
    else
        table.At(owner.previousChild).nextSibling = child;
    owner.previousChild = child;
    return child;
}

// The directory on top is done: its sums go into its entry and into its
// parent's sums.
void DriveWalk::Finish()
{
    const Frame done = std::move(frames.back());
    frames.pop_back();
    if (done.index >= 0) {
        Entry& entry = table.At(done.index);
        entry.bytes += done.sums.bytes;
        entry.slack += done.sums.slack;
        entry.clusters += done.sums.clusters;
        entry.files += done.sums.files;
        entry.dirs += done.sums.dirs;
    }
    if (!frames.empty())
        frames.back().sums.AddSubdirectory(done.sums);
}

void DriveWalk::AddFile(Sums& sums, const ListedItem& found) noexcept
{
    const std::uint32_t high = found.sizeHigh;
    const std::uint32_t low = found.sizeLow;
    const std::uint64_t size = (std::uint64_t{high} << 32) + low;
    sums.files += 1;
    ++counts.files;
    // Another name of a file counted already: its space counts once, where
    // the walk met it first.
    if (found.id != 0) {
        const IdSet::Insertion known = fileIds.Insert(found.id);
        if (known == IdSet::Insertion::present) {
            ++counts.hardLinks;
            counts.hardLinkBytes += size;
            return;
        }
        if (known == IdSet::Insertion::full)
            ++counts.unchecked;
    }
    sums.bytes += size;
    const std::uint32_t c = geometry.clusterBytes;
    if (found.hasAllocation) {
        // What the file occupies: less than its size where it is compressed,
        // sparse, held in its file record or elsewhere, more where space was
        // set aside for it.
        const std::uint64_t allocated = found.allocated;
        sums.clusters += static_cast<std::uint32_t>(allocated / c + (allocated % c != 0));
        if (allocated > size)
            sums.slack += allocated - size;
        return;
    }
    std::uint32_t q = low / c;
    const std::uint32_t r = low % c;
    if (r != 0) {
        sums.slack += c - r;
        ++q;
    }
    q += geometry.clustersPer4G * high;
    sums.clusters += q;
}

WalkCounts BuildDriveTree(EntryTable& table, DirectoryLister& lister, const char* rootPath,
                          const ClusterGeometry& geometry, ScanProgress* progress, RealNames* realNames)
{
    if (realNames)
        realNames->Clear();
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

    DriveWalk walk(table, lister, geometry, progress, realNames);
    walk.Walk(rootDirEntry);
    if (walk.Counts().stopped)
        return walk.Counts();

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
