// The NTFS master file table read from the raw volume, listed as the walk
// lists directories: the walk builds the same table from it as from the file
// system, in seconds instead of minutes, and also reaches the folders that
// the file system would not open.
#pragma once

#include "analysis/listing.h"
#include "analysis/ntfs.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class ScanProgress;

// Reads the bytes of a volume.
class VolumeReader {
public:
    virtual ~VolumeReader() = default;
    // Reads `bytes` at `offset`; false when they cannot all be read.
    virtual bool Read(std::uint64_t offset, void* buffer, std::size_t bytes) = 0;
};

// The raw volume of a drive ("\\.\X:"), opened for reading only, with read
// and write sharing: nothing is written and nothing locked. It opens only
// with administrator rights on Windows NT and later.
class Win32VolumeReader final : public VolumeReader {
public:
    explicit Win32VolumeReader(char letter) noexcept;
    ~Win32VolumeReader() override;
    Win32VolumeReader(const Win32VolumeReader&) = delete;
    Win32VolumeReader& operator=(const Win32VolumeReader&) = delete;

    bool IsOpen() const noexcept { return handle != INVALID_HANDLE_VALUE; }
    bool Read(std::uint64_t offset, void* buffer, std::size_t bytes) override;

private:
    HANDLE handle;
    void* bounce = nullptr;  // sector-aligned, for reads that are not
};

// The master file table, held as little as the walk needs: per record its
// size, allocation and sequence number; per name of a file its directory;
// per name of a directory also the name, sorted in the order of the
// directory's index (the volume's $UpCase collation). Its listing gives the
// items the file system's would, with the records' own figures: a file's
// size from its record, its allocation over every data stream (nothing for
// a file held inside its record). The file system's own files (records
// below 16, $Extend and what it holds) are listed nowhere.
class FileTableLister final : public DirectoryLister {
public:
    enum class Outcome {
        read,       // the table was read; records that could not be trusted were skipped
        notNtfs,    // no NTFS boot sector, or another size than the volume query gave
        untrusted,  // the table's own runs, bitmap or $UpCase cannot be trusted
        stopped,    // the progress asked to stop
    };

    FileTableLister() noexcept;
    ~FileTableLister() override;
    FileTableLister(const FileTableLister&) = delete;
    FileTableLister& operator=(const FileTableLister&) = delete;

    // Reads the table of the volume that the volume query gave as
    // `totalClusters` clusters of `clusterBytes` (a platform may count in
    // other clusters than the volume's own: allocations are given in bytes).
    // The progress hears of the directories and files read so far, about
    // every thousand records.
    Outcome Read(VolumeReader& volume, std::uint32_t clusterBytes, std::uint32_t totalClusters,
                 ScanProgress* progress = nullptr);

    // Records in use that were read, and those skipped as untrustworthy
    // (torn, attributes past their end, runs past the volume, a name whose
    // directory is a file or not in use).
    std::uint32_t RecordsRead() const noexcept { return recordsRead; }
    std::uint32_t RecordsSkipped() const noexcept { return recordsSkipped; }
    // Bytes held for the table once it has been read.
    std::size_t Bytes() const noexcept;

    bool Wide() const noexcept override { return true; }
    Handle Open(const char*) override { return none; }
    Handle OpenWide(const wchar_t* path, std::uint64_t& opened) override;
    bool Next(Handle listing, ListedItem& item) override;
    void Close(Handle listing) override;

private:
    struct Record;
    struct DirectoryName;
    struct PendingName;
    struct PendingAttributes;
    struct Listing;

    bool ReadMft(VolumeReader& volume, std::uint64_t offset, void* buffer, std::size_t bytes);
    bool LoadMftRuns(VolumeReader& volume, std::vector<std::uint8_t>& bitmapBytes);
    bool ParseRecord(std::uint32_t number, std::uint8_t* bytes);
    bool ReadStream(VolumeReader& volume, const std::vector<ntfs::Run>& runs, std::uint64_t bytes, void* out);
    void Index();
    int Collate(const wchar_t* a, std::size_t aLength, const wchar_t* b, std::size_t bLength) const noexcept;
    // The range of `directories` that holds the subdirectories of `directory`.
    std::pair<std::size_t, std::size_t> Children(std::uint32_t directory) const noexcept;
    // The subdirectory of `directory` whose long name is `name`, else whose
    // 8.3 name is; -1 when there is none.
    std::int64_t FindChild(std::uint32_t directory, const wchar_t* name, std::size_t length) const noexcept;
    std::uint64_t IdOf(std::uint32_t record) const noexcept;

    ntfs::BootSector boot{};
    std::vector<ntfs::Run> mftRuns;
    std::uint32_t recordCount = 0;
    std::vector<Record> records;
    std::vector<std::uint32_t> fileStart;  // per directory record: its first file in fileRecords
    std::vector<std::uint32_t> fileRecords;
    std::vector<DirectoryName> directories;  // sorted by directory, then collation
    std::vector<std::uint64_t> fileNames;    // while reading: directory << 32 | record
    std::vector<PendingName> shortNames;     // while reading: 8.3 names of directories
    std::vector<PendingName> directoryNames;  // while reading
    std::vector<PendingAttributes> directoryAttributes;  // while reading
    std::vector<wchar_t> names;
    std::vector<std::uint16_t> upcase;
    std::vector<ntfs::Run> upcaseRuns;
    std::vector<ntfs::Run> scratchRuns;  // one record's, while reading
    std::uint64_t upcaseBytes = 0;
    std::uint32_t recordsRead = 0;
    std::uint32_t recordsSkipped = 0;
    std::uint32_t directoriesRead = 0;
    std::uint32_t filesRead = 0;
};

// Reads the file table of drive `letter` where its raw volume opens and
// holds NTFS of the size the volume query gave; null where it does not (no
// rights, another file system, a table that cannot be trusted), and the
// walk lists the drive. `stopped` tells that the progress asked to stop.
std::unique_ptr<FileTableLister> ReadFileTable(char letter, std::uint32_t clusterBytes, std::uint32_t totalClusters,
                                               ScanProgress* progress, bool& stopped);
