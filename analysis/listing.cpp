// The platform's directory listing.
#include "analysis/listing.h"

#include <cstddef>
#include <cstring>
#include <cwchar>
#include <memory>

namespace {

// GetFileInformationByHandleEx's classes (Vista on), declared here because
// the program is built for the older headers and must start on platforms
// without the call.
struct IdInfo {
    ULONGLONG volumeSerialNumber;
    BYTE fileId[16];
};

constexpr int fileIdBothDirectoryInfo = 10;
constexpr int fileIdInfo = 18;
constexpr DWORD bufferBytes = 32768;

// One open listing: an ANSI or wide search handle with the first record
// found, or a directory handle listed with GetFileInformationByHandleEx
// through a buffer of records.
struct Listing {
    enum class Kind { ansi, findWide, byHandle } kind;
    HANDLE handle = INVALID_HANDLE_VALUE;
    bool pending = false;  // the first find record is not handed out yet
    bool ended = false;
    DWORD at = 0;          // the next record in `buffer`
    DWORD filled = 0;      // 0: the buffer must be refilled
    WIN32_FIND_DATAA ansiData;
    WIN32_FIND_DATAW wideData;
    alignas(8) unsigned char buffer[bufferBytes];
};

bool IsDotName(const WCHAR* name, DWORD bytes) noexcept
{
    return bytes == 2 && name[0] == L'.';
}

void SetWideName(const wchar_t* wide, std::size_t length, ListedItem& item)
{
    // A name longer than any the platform allows is never opened, since a
    // cut name could open something else.
    if (length > MAX_PATH) {
        item.wideLength = 0;
        item.wideName[0] = L'\0';
        item.exact = false;
        return;
    }
    std::wmemcpy(item.wideName, wide, length);
    item.wideName[length] = L'\0';
    item.wideLength = static_cast<std::uint32_t>(length);
}

void SetShortName(const wchar_t* wide, int length, ListedItem& item)
{
    if (!ToCodePage(wide, length, item.shortName, sizeof item.shortName))
        item.shortName[0] = '\0';
}

// A reparse point's tag travels in the field that otherwise holds the size
// of the extended attributes (EaSize, and dwReserved0 of the find data).
DWORD TagOf(DWORD attributes, DWORD field) noexcept
{
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) ? field : 0;
}

std::uint64_t IdFromHandle(HANDLE handle, BOOL(WINAPI* byHandleEx)(HANDLE, int, void*, DWORD))
{
    IdInfo id;
    if (byHandleEx && byHandleEx(handle, fileIdInfo, &id, sizeof id)) {
        std::uint64_t low;
        std::memcpy(&low, id.fileId, sizeof low);
        return low;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(handle, &info))
        return (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    return 0;
}

Listing* From(DirectoryLister::Handle listing)
{
    return reinterpret_cast<Listing*>(listing);
}

DirectoryLister::Handle To(std::unique_ptr<Listing> listing)
{
    return reinterpret_cast<DirectoryLister::Handle>(listing.release());
}

}  // namespace

void ItemFromRecord(const IdBothDirInfo& record, ListedItem& item)
{
    item.attributes = record.fileAttributes;
    item.reparseTag = TagOf(record.fileAttributes, record.eaSize);
    item.sizeHigh = static_cast<DWORD>(record.endOfFile.QuadPart >> 32);
    item.sizeLow = static_cast<DWORD>(record.endOfFile.QuadPart);
    item.hasAllocation = true;
    item.allocated = static_cast<std::uint64_t>(record.allocationSize.QuadPart);
    const std::size_t length = record.fileNameLength / sizeof(WCHAR);
    item.exact = ToCodePage(record.fileName, static_cast<int>(length), item.name, sizeof item.name);
    SetWideName(record.fileName, length, item);
    SetShortName(record.shortName, static_cast<unsigned char>(record.shortNameLength) / 2, item);
    item.id = static_cast<std::uint64_t>(record.fileId.QuadPart);
}

void ItemFromFindData(const WIN32_FIND_DATAW& data, ListedItem& item)
{
    item.attributes = data.dwFileAttributes;
    item.reparseTag = TagOf(data.dwFileAttributes, data.dwReserved0);
    item.sizeHigh = data.nFileSizeHigh;
    item.sizeLow = data.nFileSizeLow;
    item.hasAllocation = false;
    item.exact = ToCodePage(data.cFileName, -1, item.name, sizeof item.name);
    SetWideName(data.cFileName, wcsnlen(data.cFileName, MAX_PATH), item);
    SetShortName(data.cAlternateFileName, -1, item);
    item.id = 0;
}

void ItemFromFindData(const WIN32_FIND_DATAA& data, ListedItem& item)
{
    item.attributes = data.dwFileAttributes;
    item.reparseTag = TagOf(data.dwFileAttributes, data.dwReserved0);
    item.sizeHigh = data.nFileSizeHigh;
    item.sizeLow = data.nFileSizeLow;
    item.hasAllocation = false;
    // The ANSI listing gives "?" for what the code page lacks.
    std::memcpy(item.name, data.cFileName, sizeof data.cFileName);
    item.exact = std::strchr(data.cFileName, '?') == nullptr;
    std::memcpy(item.shortName, data.cAlternateFileName, sizeof data.cAlternateFileName);
    item.wideLength = 0;
    item.wideName[0] = L'\0';
    item.id = 0;
}

bool ToCodePage(const wchar_t* wide, int wideLength, char* out, int outBytes)
{
    BOOL usedDefault = FALSE;
    const int n = wideLength == 0
                      ? 0
                      : WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, wideLength, out, outBytes - 1, nullptr,
                                            &usedDefault);
    if (n <= 0) {
        out[0] = '\0';
        return false;
    }
    // With a length of -1 the count includes the terminator written.
    out[wideLength < 0 ? n - 1 : n] = '\0';
    return !usedDefault && out[0] != '\0';
}

Win32DirectoryLister::Win32DirectoryLister(bool findCalls) noexcept
    // The high bit of the version is set on the Windows 9x family only.
    : wide((GetVersion() & 0x80000000u) == 0)
{
    if (wide && !findCalls) {
        if (HMODULE kernel = GetModuleHandleA("kernel32.dll"))
            byHandleEx = reinterpret_cast<BOOL(WINAPI*)(HANDLE, int, void*, DWORD)>(
                reinterpret_cast<void (*)()>(GetProcAddress(kernel, "GetFileInformationByHandleEx")));
    }
}

DirectoryLister::Handle Win32DirectoryLister::Open(const char* pattern)
{
    std::unique_ptr<Listing> listing(new Listing);  // the buffer is not zeroed
    listing->kind = Listing::Kind::ansi;
    std::memset(&listing->ansiData, 0, sizeof listing->ansiData);
    listing->handle = FindFirstFileA(pattern, &listing->ansiData);
    if (listing->handle == INVALID_HANDLE_VALUE) {
        // An empty root lists no item at all, not even ".".
        if (GetLastError() != ERROR_FILE_NOT_FOUND)
            return none;
        listing->ended = true;
    }
    listing->pending = true;
    return To(std::move(listing));
}

DirectoryLister::Handle Win32DirectoryLister::OpenWide(const wchar_t* path, std::uint64_t& opened)
{
    opened = 0;
    // The reparse point itself is opened, never followed: a directory that
    // became a link after it was listed is then not the object listed.
    HANDLE directory = CreateFileW(path, FILE_LIST_DIRECTORY | SYNCHRONIZE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (directory == INVALID_HANDLE_VALUE)
        return none;
    std::unique_ptr<Listing> listing(new Listing);  // the buffer is not zeroed
    if (!byHandleEx) {
        // Before Vista: the wide find calls, with the identity from the handle.
        opened = IdFromHandle(directory, nullptr);
        CloseHandle(directory);
        const std::size_t length = std::wcslen(path);
        std::unique_ptr<wchar_t[]> pattern(new wchar_t[length + 3]);
        std::wmemcpy(pattern.get(), path, length);
        std::size_t end = length;
        if (end == 0 || pattern[end - 1] != L'\\')
            pattern[end++] = L'\\';
        pattern[end++] = L'*';
        pattern[end] = L'\0';
        listing->kind = Listing::Kind::findWide;
        listing->handle = FindFirstFileW(pattern.get(), &listing->wideData);
        if (listing->handle == INVALID_HANDLE_VALUE)
            return none;
        listing->pending = true;
        return To(std::move(listing));
    }

    listing->kind = Listing::Kind::byHandle;
    listing->handle = directory;
    if (byHandleEx(directory, fileIdBothDirectoryInfo, listing->buffer, bufferBytes)) {
        listing->filled = bufferBytes;
        // The listing's "." is the directory itself: its id costs no
        // further call. A root may list none.
        const auto* first = reinterpret_cast<const IdBothDirInfo*>(listing->buffer);
        if (IsDotName(first->fileName, first->fileNameLength))
            opened = static_cast<std::uint64_t>(first->fileId.QuadPart);
    } else if (GetLastError() == ERROR_NO_MORE_FILES) {
        listing->ended = true;
    } else {
        CloseHandle(directory);
        return none;
    }
    if (opened == 0)
        opened = IdFromHandle(directory, byHandleEx);
    return To(std::move(listing));
}

bool Win32DirectoryLister::Next(Handle handle, ListedItem& item)
{
    Listing& listing = *From(handle);
    if (listing.ended)
        return false;
    switch (listing.kind) {
    case Listing::Kind::ansi:
        if (!listing.pending && !FindNextFileA(listing.handle, &listing.ansiData))
            return listing.ended = true, false;
        listing.pending = false;
        ItemFromFindData(listing.ansiData, item);
        return true;
    case Listing::Kind::findWide:
        if (!listing.pending && !FindNextFileW(listing.handle, &listing.wideData))
            return listing.ended = true, false;
        listing.pending = false;
        ItemFromFindData(listing.wideData, item);
        return true;
    case Listing::Kind::byHandle:
        break;
    }
    if (listing.filled == 0) {
        if (!byHandleEx(listing.handle, fileIdBothDirectoryInfo, listing.buffer, bufferBytes))
            return listing.ended = true, false;
        listing.filled = bufferBytes;
        listing.at = 0;
    }
    const auto& record = *reinterpret_cast<const IdBothDirInfo*>(listing.buffer + listing.at);
    ItemFromRecord(record, item);
    if (record.nextEntryOffset == 0 || listing.at + record.nextEntryOffset >= bufferBytes) {
        listing.filled = 0;
    } else {
        listing.at += record.nextEntryOffset;
    }
    return true;
}

void Win32DirectoryLister::Close(Handle handle)
{
    std::unique_ptr<Listing> listing(From(handle));
    if (listing->handle == INVALID_HANDLE_VALUE)
        return;
    if (listing->kind == Listing::Kind::byHandle)
        CloseHandle(listing->handle);
    else
        FindClose(listing->handle);
}
