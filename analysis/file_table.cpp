// The NTFS master file table read from the raw volume and listed directory
// by directory.
#include "analysis/file_table.h"

#include "analysis/scan.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <new>

using namespace ntfs;

namespace {

constexpr std::size_t chunkBytes = 1u << 20;  // one read of the table
constexpr std::size_t sectorAlign = 4096;     // covers every sector size
constexpr std::uint32_t nameIndexPresent = 0x10000000;  // a $FILE_NAME's flag: a directory
constexpr std::size_t upcaseEntries = 65536;
constexpr std::uint8_t inUse = 0x01;
constexpr std::uint8_t isDirectory = 0x02;
constexpr std::uint8_t reached = 0x04;

// The longest run list of $MFT and $UpCase that is believed: a table in
// more pieces than this is damaged.
constexpr std::size_t mostRuns = 1u << 20;

bool Used(const std::vector<std::uint8_t>& bitmap, std::uint32_t record) noexcept
{
    return record / 8 < bitmap.size() && (bitmap[record / 8] >> (record % 8) & 1);
}

// Reads `bytes` from the stream laid out in `runs` (sorted, from virtual
// cluster 0), from byte `offset` on. The file system's own streams ($MFT,
// its bitmap and attribute list, $UpCase) have every cluster on disk: a
// sparse run there is damage.
bool ReadMapped(VolumeReader& volume, const std::vector<Run>& runs, std::uint32_t clusterBytes,
                std::uint64_t offset, std::uint8_t* out, std::size_t bytes)
{
    while (bytes > 0) {
        const std::uint64_t vcn = offset / clusterBytes;
        auto run = std::upper_bound(runs.begin(), runs.end(), vcn,
                                    [](std::uint64_t v, const Run& r) { return v < r.vcn; });
        if (run == runs.begin())
            return false;
        --run;
        if (vcn - run->vcn >= run->length)
            return false;
        const std::uint64_t within = offset - run->vcn * clusterBytes;
        const std::uint64_t left = run->length * clusterBytes - within;
        const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(left, bytes));
        if (run->sparse || !volume.Read(run->lcn * clusterBytes + within, out, piece))
            return false;
        out += piece;
        offset += piece;
        bytes -= piece;
    }
    return true;
}

// The pieces of a stream, as its records give them, in the stream's order.
void SortByVcn(std::vector<Run>& runs)
{
    std::sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.vcn < b.vcn; });
}

// Runs sorted by their first virtual cluster cover 0 to `clusters` without a
// gap or an overlap.
bool Contiguous(std::vector<Run>& runs, std::uint64_t clusters)
{
    SortByVcn(runs);
    std::uint64_t next = 0;
    for (const Run& run : runs) {
        if (run.vcn != next)
            return false;
        next += run.length;
    }
    return next >= clusters;
}

}  // namespace

// Per record of the table: what a file's listing item needs.
struct FileTableLister::Record {
    std::uint64_t size = 0;      // of the unnamed data stream
    std::uint32_t clusters = 0;  // allocated over every data stream
    std::uint16_t sequence = 0;
    std::uint8_t flags = 0;
    std::uint8_t names = 0;      // names of a file in listed folders, up to 2
};

// A name of a directory in its parent; also the attributes and the reparse
// tag of the directory it names.
struct FileTableLister::DirectoryName {
    std::uint32_t parent;
    std::uint32_t record;
    std::uint32_t name;       // into `names`
    std::uint32_t shortName;  // into `names`, where shortLength is not 0
    std::uint32_t attributes;
    std::uint32_t tag;
    std::uint16_t length;
    std::uint8_t shortLength;
};

// A name as the records give it, before the table is indexed: a file's
// (parent and record alone), a directory's, or a directory's 8.3 name.
struct FileTableLister::PendingName {
    std::uint32_t parent;
    std::uint32_t record;
    std::uint32_t name;
    std::uint32_t length;
};

struct FileTableLister::Listing {
    std::uint32_t directory;
    std::uint32_t nextFile;
    std::uint32_t fileEnd;
    std::size_t nextDirectory;
    std::size_t directoryEnd;
};

// A directory's attributes and reparse tag, met while reading, joined to
// its names when indexing.
struct FileTableLister::PendingAttributes {
    std::uint32_t record;
    std::uint32_t attributes;
    std::uint32_t tag;
};

FileTableLister::FileTableLister() noexcept = default;
FileTableLister::~FileTableLister() = default;

std::size_t FileTableLister::Bytes() const noexcept
{
    return records.capacity() * sizeof(Record) + fileStart.capacity() * sizeof(std::uint32_t) +
           fileRecords.capacity() * sizeof(std::uint32_t) + directories.capacity() * sizeof(DirectoryName) +
           names.capacity() * sizeof(wchar_t) + upcase.capacity() * sizeof(std::uint16_t) +
           mftRuns.capacity() * sizeof(Run);
}

std::uint64_t FileTableLister::IdOf(std::uint32_t record) const noexcept
{
    return record | std::uint64_t{records[record].sequence} << 48;
}

bool FileTableLister::ReadMft(VolumeReader& volume, std::uint64_t offset, void* buffer, std::size_t bytes)
{
    return ReadMapped(volume, mftRuns, boot.clusterBytes, offset, static_cast<std::uint8_t*>(buffer), bytes);
}

bool FileTableLister::ReadStream(VolumeReader& volume, const std::vector<Run>& runs, std::uint64_t bytes, void* out)
{
    return ReadMapped(volume, runs, boot.clusterBytes, 0, static_cast<std::uint8_t*>(out),
                      static_cast<std::size_t>(bytes));
}

// The runs of $MFT's data and its bitmap, from record 0 and, where $MFT lies
// in many pieces, the extension records its attribute list names.
bool FileTableLister::LoadMftRuns(VolumeReader& volume, std::vector<std::uint8_t>& bitmapBytes)
{
    const std::uint32_t size = boot.recordBytes;
    std::vector<std::uint8_t> record(size);
    std::vector<std::uint8_t> list;
    std::vector<Run> listRuns, bitmapRuns;
    std::uint64_t dataBytes = 0, bitmapLength = 0, listBytes = 0;
    bool haveData = false, haveBitmap = false, residentBitmap = false;

    // Takes $MFT's data, bitmap and attribute list from one of its records.
    auto take = [&](bool base) {
        RecordHeader header;
        if (!ApplyFixups(record.data(), size) || !ReadHeader(record.data(), size, header) ||
            !(header.flags & recordInUse) || RecordOf(header.base) != 0 || header.sequence == 0)
            return false;
        AttributeCursor cursor(record.data(), header);
        Attribute a;
        while (cursor.Next(a)) {
            if (a.nameLength != 0)
                continue;
            if (a.type == data && a.nonResident) {
                if (!DecodeRuns(a, boot.totalClusters, mftRuns) || mftRuns.size() > mostRuns)
                    return false;
                if (a.lowestVcn == 0) {
                    dataBytes = a.dataBytes;
                    haveData = true;
                }
            } else if (a.type == bitmap) {
                if (!a.nonResident) {
                    bitmapBytes.assign(a.value, a.value + a.valueLength);
                    haveBitmap = residentBitmap = true;
                } else {
                    if (!DecodeRuns(a, boot.totalClusters, bitmapRuns) || bitmapRuns.size() > mostRuns)
                        return false;
                    if (a.lowestVcn == 0) {
                        bitmapLength = a.dataBytes;
                        haveBitmap = true;
                    }
                }
            } else if (a.type == attributeList && base) {
                if (!a.nonResident) {
                    list.assign(a.value, a.value + a.valueLength);
                } else if (a.lowestVcn == 0 && DecodeRuns(a, boot.totalClusters, listRuns)) {
                    listBytes = a.dataBytes;
                } else {
                    return false;
                }
            }
        }
        return !cursor.Bad();
    };

    if (!volume.Read(boot.mftCluster * boot.clusterBytes, record.data(), size) || !take(true))
        return false;
    if (listBytes > 0) {
        if (listBytes > (16u << 20))
            return false;
        list.resize(static_cast<std::size_t>(listBytes));
        SortByVcn(listRuns);
        if (!ReadStream(volume, listRuns, listBytes, list.data()))
            return false;
    }
    // Each extension record of $MFT's data or bitmap, once; a piece may lie
    // in a part of the table that only an earlier piece maps.
    std::vector<std::uint32_t> pending;
    for (std::size_t at = 0; at + 0x1A <= list.size();) {
        const std::uint32_t type = Le32(&list[at]);
        const std::uint16_t length = Le16(&list[at + 4]);
        if (length < 0x1A || at + length > list.size())
            return false;
        const std::uint64_t reference = Le64(&list[at + 0x10]);
        if ((type == data || type == bitmap) && list[at + 6] == 0 && RecordOf(reference) != 0 &&
            RecordOf(reference) <= 0xFFFFFFFFu)
            pending.push_back(static_cast<std::uint32_t>(RecordOf(reference)));
        at += length;
    }
    std::sort(pending.begin(), pending.end());
    pending.erase(std::unique(pending.begin(), pending.end()), pending.end());
    for (bool progress = true; !pending.empty() && progress;) {
        progress = false;
        SortByVcn(mftRuns);
        for (auto it = pending.begin(); it != pending.end();) {
            if (!ReadMft(volume, std::uint64_t{*it} * size, record.data(), size)) {
                ++it;
                continue;
            }
            if (!take(false))
                return false;
            it = pending.erase(it);
            progress = true;
        }
    }
    const std::uint64_t clusters = (dataBytes + boot.clusterBytes - 1) / boot.clusterBytes;
    if (!pending.empty() || !haveData || !haveBitmap || !Contiguous(mftRuns, clusters))
        return false;
    recordCount = static_cast<std::uint32_t>(std::min<std::uint64_t>(dataBytes / size, 0xFFFFFFF0u));
    if (!residentBitmap) {
        bitmapLength = std::min<std::uint64_t>(bitmapLength, (std::uint64_t{recordCount} + 7) / 8);
        bitmapBytes.resize(static_cast<std::size_t>(bitmapLength));
        SortByVcn(bitmapRuns);
        if (!ReadStream(volume, bitmapRuns, bitmapLength, bitmapBytes.data()))
            return false;
    }
    return true;
}

// Takes what the table needs from one fixed-up record in use: a base record
// gives the file's sequence number and kind, any record its names and data
// streams. False, with nothing taken, where the record cannot be trusted.
bool FileTableLister::ParseRecord(std::uint32_t number, std::uint8_t* bytes)
{
    RecordHeader header;
    if (!ReadHeader(bytes, boot.recordBytes, header))
        return false;
    if (!(header.flags & recordInUse))
        return true;
    // An extension record names its base record ($MFT's name record 0).
    const bool extension = header.base != 0;
    const std::uint64_t base = RecordOf(header.base);
    if (base >= recordCount)
        return false;
    const std::uint32_t owner = extension ? static_cast<std::uint32_t>(base) : number;
    const bool directory = !extension && (header.flags & recordIsDirectory);

    std::uint32_t attributes = 0, tag = 0;
    bool reparse = false, sized = false;
    std::uint64_t size = 0, allocated = 0;
    std::vector<Run>* upcaseTarget = owner == upcaseRecord ? &upcaseRuns : nullptr;
    std::vector<Run>& runs = scratchRuns;

    AttributeCursor cursor(bytes, header);
    Attribute a;
    while (cursor.Next(a)) {
        switch (a.type) {
        case standardInformation:
            if (!a.nonResident && a.valueLength >= 0x24)
                attributes = Le32(a.value + 0x20);
            break;
        case fileName:
            if (a.nonResident || a.valueLength < 0x42 || a.value[0x40] == 0 ||
                0x42u + 2u * a.value[0x40] > a.valueLength || RecordOf(Le64(a.value)) >= recordCount)
                return false;
            break;
        case data:
            if (!a.nonResident) {
                if (a.nameLength == 0) {
                    size = a.valueLength;
                    sized = true;
                }
                break;
            }
            runs.clear();
            if (!DecodeRuns(a, boot.totalClusters, runs))
                return false;
            if (a.lowestVcn == 0) {
                // Whole clusters, no more than the volume holds.
                if (a.allocatedBytes % boot.clusterBytes != 0 ||
                    a.allocatedBytes / boot.clusterBytes > boot.totalClusters)
                    return false;
                allocated += a.allocatedBytes;
                if (a.nameLength == 0) {
                    size = a.dataBytes;
                    sized = true;
                }
            }
            if (upcaseTarget && a.nameLength == 0) {
                upcaseTarget->insert(upcaseTarget->end(), runs.begin(), runs.end());
                if (a.lowestVcn == 0)
                    upcaseBytes = a.dataBytes;
            }
            break;
        case reparsePoint:
            reparse = true;
            if (!a.nonResident && a.valueLength >= 4)
                tag = Le32(a.value);
            break;
        default:
            break;
        }
    }
    if (cursor.Bad())
        return false;

    Record& record = records[owner];
    if (!extension) {
        record.sequence = header.sequence;
        record.flags |= inUse | (directory ? isDirectory : 0);
        if (directory) {
            ++directoriesRead;
            directoryAttributes.push_back(
                {owner, attributes | (reparse ? FILE_ATTRIBUTE_REPARSE_POINT : 0u), reparse ? tag : 0u});
        } else {
            ++filesRead;
        }
    } else if ((records[owner].flags & inUse) && records[owner].sequence != SequenceOf(header.base)) {
        return false;  // an extension of an earlier file that used the record
    }
    if (sized)
        record.size = size;
    const std::uint64_t clusters = (allocated + boot.clusterBytes - 1) / boot.clusterBytes;
    record.clusters = static_cast<std::uint32_t>(std::min<std::uint64_t>(record.clusters + clusters, 0xFFFFFFFFu));

    // Every name, checked above: a file's keeps its directory alone.
    AttributeCursor again(bytes, header);
    while (again.Next(a)) {
        if (a.type != fileName)
            continue;
        const auto parent = static_cast<std::uint32_t>(RecordOf(Le64(a.value)));
        const std::uint8_t length = a.value[0x40];
        const std::uint8_t space = a.value[0x41];
        if (!directory && !(Le32(a.value + 0x38) & nameIndexPresent)) {
            if (space != dosNames)
                fileNames.push_back(std::uint64_t{parent} << 32 | owner);
            continue;
        }
        const auto at = static_cast<std::uint32_t>(names.size());
        for (std::uint8_t i = 0; i < length; ++i)
            names.push_back(static_cast<wchar_t>(Le16(a.value + 0x42 + 2 * i)));
        (space == dosNames ? shortNames : directoryNames).push_back({parent, owner, at, length});
    }
    return true;
}

FileTableLister::Outcome FileTableLister::Read(VolumeReader& volume, std::uint32_t clusterBytes,
                                               std::uint32_t totalClusters, ScanProgress* progress)
{
    std::vector<std::uint8_t> chunk(sectorAlign);
    if (!volume.Read(0, chunk.data(), sectorAlign) || !ParseBootSector(chunk.data(), sectorAlign, boot))
        return Outcome::notNtfs;
    // The volume the query described, to within a cluster of either count.
    const std::uint64_t queried = std::uint64_t{clusterBytes} * totalClusters;
    const std::uint64_t own = boot.totalClusters * boot.clusterBytes;
    if ((queried > own ? queried - own : own - queried) > std::max(clusterBytes, boot.clusterBytes))
        return Outcome::notNtfs;
    std::vector<std::uint8_t> used;
    if (!LoadMftRuns(volume, used))
        return Outcome::untrusted;

    records.assign(recordCount, Record{});
    const std::uint32_t size = boot.recordBytes;
    const std::uint32_t perChunk = static_cast<std::uint32_t>(std::max<std::size_t>(1, chunkBytes / size));
    chunk.resize(std::size_t{perChunk} * size);
    WalkCounts counts;
    for (std::uint32_t first = 0; first < recordCount; first += std::min(perChunk, recordCount - first)) {
        // Only the records in use are read: a table with room for millions
        // of files may hold far fewer.
        std::uint32_t from = first;
        std::uint32_t to = first + std::min(perChunk, recordCount - first);
        while (from < to && !Used(used, from))
            ++from;
        while (to > from && !Used(used, to - 1))
            --to;
        if (from == to)
            continue;
        if (!ReadMft(volume, std::uint64_t{from} * size, chunk.data(), std::size_t{to - from} * size))
            return Outcome::untrusted;
        for (std::uint32_t r = from; r < to; ++r) {
            if (!Used(used, r))
                continue;
            ++recordsRead;
            std::uint8_t* bytes = chunk.data() + std::size_t{r - from} * size;
            if (!ApplyFixups(bytes, size) || !ParseRecord(r, bytes))
                ++recordsSkipped;
        }
        counts.dirsListed = directoriesRead;
        counts.files = filesRead;
        if (progress && !progress->Report(counts))
            return Outcome::stopped;
    }

    // The collation of the names: $UpCase, 65536 characters.
    SortByVcn(upcaseRuns);
    if (upcaseBytes != upcaseEntries * 2 || upcaseRuns.size() > mostRuns)
        return Outcome::untrusted;
    std::vector<std::uint8_t> table(upcaseEntries * 2);
    if (!ReadStream(volume, upcaseRuns, upcaseBytes, table.data()))
        return Outcome::untrusted;
    upcase.resize(upcaseEntries);
    for (std::size_t i = 0; i < upcaseEntries; ++i)
        upcase[i] = Le16(&table[2 * i]);
    Index();
    return Outcome::read;
}

// Groups the names by directory: a directory's files in one range of
// fileRecords, its subdirectories sorted in the collation of its index. A
// name whose directory is a file, not in use, or never ends in the root
// counts its record as skipped; names in the file system's own folders
// ($Extend) are left out.
void FileTableLister::Index()
{
    auto listable = [&](std::uint32_t parent) {
        return parent == rootRecord || (parent >= firstUserRecord && (records[parent].flags & isDirectory));
    };
    auto reject = [&](std::uint32_t parent) {
        if (parent >= firstUserRecord || parent == rootRecord)
            ++recordsSkipped;
    };
    std::vector<std::uint32_t> start(std::size_t{recordCount} + 1, 0);
    std::size_t kept = 0;
    for (std::uint64_t name : fileNames) {
        const auto parent = static_cast<std::uint32_t>(name >> 32);
        const auto record = static_cast<std::uint32_t>(name);
        if (record < firstUserRecord || (records[record].flags & isDirectory))
            continue;
        if (!listable(parent)) {
            reject(parent);
            continue;
        }
        ++start[parent + 1];
        if (records[record].names < 2)
            ++records[record].names;
        fileNames[kept++] = name;
    }
    fileNames.resize(kept);
    for (std::uint32_t i = 0; i < recordCount; ++i)
        start[i + 1] += start[i];
    fileRecords.resize(kept);
    {
        std::vector<std::uint32_t> next(start.begin(), start.end() - 1);
        for (std::uint64_t name : fileNames)
            fileRecords[next[name >> 32]++] = static_cast<std::uint32_t>(name);
    }
    fileStart = std::move(start);
    std::vector<std::uint64_t>().swap(fileNames);

    // The 8.3 name of a directory goes with its long name in the same parent.
    auto byRecord = [](const PendingName& a, const PendingName& b) {
        return a.record != b.record ? a.record < b.record : a.parent < b.parent;
    };
    std::sort(shortNames.begin(), shortNames.end(), byRecord);
    std::sort(directoryAttributes.begin(), directoryAttributes.end(),
              [](const PendingAttributes& a, const PendingAttributes& b) { return a.record < b.record; });
    directories.clear();
    directories.reserve(directoryNames.size());
    for (const PendingName& name : directoryNames) {
        if (name.record < firstUserRecord || !(records[name.record].flags & isDirectory))
            continue;
        if (!listable(name.parent)) {
            reject(name.parent);
            continue;
        }
        DirectoryName entry{name.parent, name.record, name.name, 0, 0, 0, static_cast<std::uint16_t>(name.length), 0};
        auto shortName = std::lower_bound(shortNames.begin(), shortNames.end(), name, byRecord);
        if (shortName != shortNames.end() && shortName->record == name.record && shortName->parent == name.parent &&
            shortName->length <= 12) {
            entry.shortName = shortName->name;
            entry.shortLength = static_cast<std::uint8_t>(shortName->length);
        }
        auto attributes = std::lower_bound(
            directoryAttributes.begin(), directoryAttributes.end(), name.record,
            [](const PendingAttributes& a, std::uint32_t record) { return a.record < record; });
        if (attributes != directoryAttributes.end() && attributes->record == name.record) {
            entry.attributes = attributes->attributes;
            entry.tag = attributes->tag;
        }
        directories.push_back(entry);
    }
    std::vector<PendingName>().swap(directoryNames);
    std::vector<PendingName>().swap(shortNames);
    std::vector<PendingAttributes>().swap(directoryAttributes);
    std::sort(directories.begin(), directories.end(), [&](const DirectoryName& a, const DirectoryName& b) {
        if (a.parent != b.parent)
            return a.parent < b.parent;
        const int order = Collate(&names[a.name], a.length, &names[b.name], b.length);
        if (order != 0)
            return order < 0;
        return std::lexicographical_compare(&names[a.name], &names[a.name] + a.length, &names[b.name],
                                            &names[b.name] + b.length);
    });

    // Directories that no chain of names joins to the root: a loop, or a
    // parent that is gone.
    std::vector<std::uint32_t> stack{rootRecord};
    records[rootRecord].flags |= reached;
    while (!stack.empty()) {
        const std::uint32_t directory = stack.back();
        stack.pop_back();
        const auto range = Children(directory);
        for (std::size_t i = range.first; i < range.second; ++i) {
            if (!(records[directories[i].record].flags & reached)) {
                records[directories[i].record].flags |= reached;
                stack.push_back(directories[i].record);
            }
        }
    }
    for (const DirectoryName& name : directories)
        if (!(records[name.record].flags & reached) && !(records[name.parent].flags & reached))
            ++recordsSkipped;
}

int FileTableLister::Collate(const wchar_t* a, std::size_t aLength, const wchar_t* b,
                             std::size_t bLength) const noexcept
{
    const std::size_t n = std::min(aLength, bLength);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint16_t x = upcase[static_cast<std::uint16_t>(a[i])];
        const std::uint16_t y = upcase[static_cast<std::uint16_t>(b[i])];
        if (x != y)
            return x < y ? -1 : 1;
    }
    return aLength < bLength ? -1 : aLength > bLength ? 1 : 0;
}

std::pair<std::size_t, std::size_t> FileTableLister::Children(std::uint32_t directory) const noexcept
{
    auto first = std::lower_bound(directories.begin(), directories.end(), directory,
                                  [](const DirectoryName& a, std::uint32_t d) { return a.parent < d; });
    auto last = std::upper_bound(first, directories.end(), directory,
                                 [](std::uint32_t d, const DirectoryName& a) { return d < a.parent; });
    return {static_cast<std::size_t>(first - directories.begin()), static_cast<std::size_t>(last - directories.begin())};
}

std::int64_t FileTableLister::FindChild(std::uint32_t directory, const wchar_t* name, std::size_t length) const noexcept
{
    const auto [first, last] = Children(directory);
    auto it = std::lower_bound(directories.begin() + first, directories.begin() + last, 0,
                               [&](const DirectoryName& a, int) { return Collate(&names[a.name], a.length, name, length) < 0; });
    for (; it != directories.begin() + last && Collate(&names[it->name], it->length, name, length) == 0; ++it)
        if (it->length == length && std::wmemcmp(&names[it->name], name, length) == 0)
            return it - directories.begin();
    for (std::size_t i = first; i < last; ++i) {
        const DirectoryName& d = directories[i];
        if (d.shortLength != 0 && Collate(&names[d.shortName], d.shortLength, name, length) == 0)
            return static_cast<std::int64_t>(i);
    }
    return -1;
}

// Opens "\\?\X:\a\b" by its names from the root.
DirectoryLister::Handle FileTableLister::OpenWide(const wchar_t* path, std::uint64_t& opened)
{
    opened = 0;
    if (records.empty() || upcase.empty())
        return none;
    if (std::wcsncmp(path, L"\\\\?\\", 4) == 0)
        path += 4;
    if (path[0] == L'\0' || path[1] != L':')
        return none;
    path += 2;
    std::uint32_t directory = rootRecord;
    while (*path) {
        if (*path == L'\\') {
            ++path;
            continue;
        }
        const wchar_t* end = path;
        while (*end && *end != L'\\')
            ++end;
        const std::int64_t child = FindChild(directory, path, static_cast<std::size_t>(end - path));
        if (child < 0)
            return none;
        directory = directories[static_cast<std::size_t>(child)].record;
        path = end;
    }
    const auto [first, last] = Children(directory);
    opened = IdOf(directory);
    return reinterpret_cast<Handle>(new Listing{directory, fileStart[directory], fileStart[directory + 1], first, last});
}

bool FileTableLister::Next(Handle handle, ListedItem& item)
{
    Listing& listing = *reinterpret_cast<Listing*>(handle);
    if (listing.nextFile < listing.fileEnd) {
        // A file: its figures and identity; the walk needs no file's name.
        const std::uint32_t record = fileRecords[listing.nextFile++];
        const Record& file = records[record];
        item.attributes = FILE_ATTRIBUTE_ARCHIVE;
        item.reparseTag = 0;
        item.sizeHigh = static_cast<DWORD>(file.size >> 32);
        item.sizeLow = static_cast<DWORD>(file.size);
        item.exact = true;
        item.hasAllocation = true;
        item.allocated = std::uint64_t{file.clusters} * boot.clusterBytes;
        item.name[0] = '\0';
        item.shortName[0] = '\0';
        // A file of one name cannot be met twice: the walk need not
        // remember it.
        item.id = file.names > 1 ? IdOf(record) : 0;
        item.wideLength = 0;
        item.wideName[0] = L'\0';
        return true;
    }
    if (listing.nextDirectory >= listing.directoryEnd)
        return false;
    // A directory, as the file system's listing gives it.
    const DirectoryName& d = directories[listing.nextDirectory++];
    alignas(IdBothDirInfo) unsigned char buffer[sizeof(IdBothDirInfo) + 256 * sizeof(WCHAR)] = {};
    auto& record = *reinterpret_cast<IdBothDirInfo*>(buffer);
    record.fileAttributes = d.attributes | FILE_ATTRIBUTE_DIRECTORY;
    record.eaSize = d.tag;
    record.fileNameLength = d.length * sizeof(WCHAR);
    std::memcpy(record.fileName, &names[d.name], d.length * sizeof(WCHAR));
    record.shortNameLength = static_cast<CHAR>(d.shortLength * sizeof(WCHAR));
    if (d.shortLength)
        std::memcpy(record.shortName, &names[d.shortName], d.shortLength * sizeof(WCHAR));
    record.fileId.QuadPart = static_cast<LONGLONG>(IdOf(d.record));
    ItemFromRecord(record, item);
    return true;
}

void FileTableLister::Close(Handle handle)
{
    delete reinterpret_cast<Listing*>(handle);
}

Win32VolumeReader::Win32VolumeReader(char letter) noexcept : handle(INVALID_HANDLE_VALUE)
{
    const auto upper = static_cast<wchar_t>(letter & ~0x20);
    if (upper < L'A' || upper > L'Z')
        return;
    const wchar_t path[] = {L'\\', L'\\', L'.', L'\\', upper, L':', L'\0'};
    // Reading only, and sharing both ways: the volume stays in use meanwhile.
    handle = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle != INVALID_HANDLE_VALUE)
        bounce = VirtualAlloc(nullptr, chunkBytes + 2 * sectorAlign, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

Win32VolumeReader::~Win32VolumeReader()
{
    if (bounce)
        VirtualFree(bounce, 0, MEM_RELEASE);
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
}

bool Win32VolumeReader::Read(std::uint64_t offset, void* buffer, std::size_t bytes)
{
    // A volume reads whole sectors into aligned memory: each piece goes
    // through the aligned buffer, from the sector boundary below it.
    auto* out = static_cast<std::uint8_t*>(buffer);
    while (bytes > 0 && bounce) {
        const std::uint64_t start = offset / sectorAlign * sectorAlign;
        const std::size_t skip = static_cast<std::size_t>(offset - start);
        const std::size_t piece = std::min(bytes, chunkBytes);
        const std::size_t span = (skip + piece + sectorAlign - 1) / sectorAlign * sectorAlign;
        LARGE_INTEGER position;
        position.QuadPart = static_cast<LONGLONG>(start);
        DWORD got = 0;
        if (!SetFilePointerEx(handle, position, nullptr, FILE_BEGIN) ||
            !ReadFile(handle, bounce, static_cast<DWORD>(span), &got, nullptr) || got < skip + piece)
            return false;
        std::memcpy(out, static_cast<std::uint8_t*>(bounce) + skip, piece);
        out += piece;
        offset += piece;
        bytes -= piece;
    }
    return bytes == 0;
}

std::unique_ptr<FileTableLister> ReadFileTable(char letter, std::uint32_t clusterBytes, std::uint32_t totalClusters,
                                               ScanProgress* progress, bool& stopped)
{
    stopped = false;
    Win32VolumeReader volume(letter);
    if (!volume.IsOpen())
        return nullptr;
    auto table = std::make_unique<FileTableLister>();
    FileTableLister::Outcome outcome;
    try {
        outcome = table->Read(volume, clusterBytes, totalClusters, progress);
    } catch (const std::bad_alloc&) {
        return nullptr;  // no room for the table: the walk needs less
    }
    stopped = outcome == FileTableLister::Outcome::stopped;
    return outcome == FileTableLister::Outcome::read ? std::move(table) : nullptr;
}
