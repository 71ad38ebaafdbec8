// Directory listing as the scan sees it: the items of one directory with
// their names in the ANSI code page, and on the NT family also their real
// (wide) names and file ids, so that the walk can open each directory through
// its real name and know which object it opened.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// One listed item. `name` is the item's long name in the ANSI code page;
// `exact` says that it is the item's real name (no best-fit substitute, no
// character the code page lacks). `shortName` is the 8.3 name, or empty.
// On a wide listing `wideName` holds the real name and `id` the file id the
// listing gives (0 where it gives none). `allocated` is the space the file
// occupies on disk, where the listing gives it (`hasAllocation`).
// `reparseTag` is the tag of a reparse point, where the listing gives it;
// else 0.
struct ListedItem {
    DWORD attributes;
    DWORD reparseTag;
    DWORD sizeHigh;
    DWORD sizeLow;
    bool exact;
    bool hasAllocation;
    std::uint64_t allocated;
    char name[2 * MAX_PATH];  // a 259-character wide name takes up to 518 bytes
    char shortName[14];
    std::uint64_t id;
    std::uint32_t wideLength;        // characters of wideName, without the NUL
    wchar_t wideName[MAX_PATH + 1];  // NUL-terminated
};

// One record of a directory listed by handle (GetFileInformationByHandleEx,
// Vista on), declared here because the program is built for the older
// headers and must start on platforms without the call.
struct IdBothDirInfo {
    DWORD nextEntryOffset;
    DWORD fileIndex;
    LARGE_INTEGER creationTime;
    LARGE_INTEGER lastAccessTime;
    LARGE_INTEGER lastWriteTime;
    LARGE_INTEGER changeTime;
    LARGE_INTEGER endOfFile;
    LARGE_INTEGER allocationSize;
    DWORD fileAttributes;
    DWORD fileNameLength;  // bytes
    DWORD eaSize;
    CHAR shortNameLength;  // bytes
    WCHAR shortName[12];
    LARGE_INTEGER fileId;
    WCHAR fileName[1];
};
static_assert(offsetof(IdBothDirInfo, fileId) == 96 && offsetof(IdBothDirInfo, fileName) == 104);

// The item of one record of each listing: by handle, wide find, ANSI find.
void ItemFromRecord(const IdBothDirInfo& record, ListedItem& item);
void ItemFromFindData(const WIN32_FIND_DATAW& data, ListedItem& item);
void ItemFromFindData(const WIN32_FIND_DATAA& data, ListedItem& item);

// Lists directories, one at a time. A wide lister opens a directory by its
// wide path ("\\?\X:\a\b"); an ANSI one (the Windows 9x family, which has
// neither wide file calls nor links) by a pattern in the code page
// ("X:\a\b\*.*"). The real one is the platform's; tests feed items from memory.
class DirectoryLister {
public:
    using Handle = std::uintptr_t;
    static constexpr Handle none = 0;

    virtual ~DirectoryLister() = default;
    virtual bool Wide() const noexcept = 0;
    // Starts listing the directory that the ANSI `pattern` names; `none` when
    // it cannot be listed.
    virtual Handle Open(const char* pattern) = 0;
    // Starts listing the directory at `path` and gives the file id of the
    // directory it opened in `opened` (0 when the platform gives none);
    // `none` when it cannot be listed.
    virtual Handle OpenWide(const wchar_t* path, std::uint64_t& opened) = 0;
    // Fills `item` with the next item; false when the listing has ended or failed.
    virtual bool Next(Handle listing, ListedItem& item) = 0;
    virtual void Close(Handle listing) = 0;
};

// The platform's listing. On the NT family each directory is opened by its
// wide path and listed on that handle, with file ids; the Windows 9x family
// lists with the ANSI calls. Which one is fixed when the lister is made.
class Win32DirectoryLister final : public DirectoryLister {
public:
    // `findCalls`: the NT family's wide find calls alone, as before Vista.
    explicit Win32DirectoryLister(bool findCalls = false) noexcept;

    bool Wide() const noexcept override { return wide; }
    Handle Open(const char* pattern) override;
    Handle OpenWide(const wchar_t* path, std::uint64_t& opened) override;
    bool Next(Handle listing, ListedItem& item) override;
    void Close(Handle listing) override;

private:
    bool wide;
    // GetFileInformationByHandleEx, where the platform has it (Vista on).
    BOOL(WINAPI* byHandleEx)(HANDLE, int, void*, DWORD) = nullptr;
};

// Converts a wide name into the ANSI code page without best fit; false where
// any character has no exact spelling there (the output then holds "?" for
// it) or the name does not fit.
bool ToCodePage(const wchar_t* wide, int wideLength, char* out, int outBytes);
