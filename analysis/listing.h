// Directory listing as the scan sees it: the items of one directory with
// their names in the ANSI code page, and whether each name is exact.
#pragma once

#include <windows.h>

#include <cstdint>

// One listed item. `name` is the item's long name in the ANSI code page;
// `exact` says that it is the item's real name (no best-fit substitute, no
// character the code page lacks) and so opens the same item. `shortName` is
// the 8.3 name, or empty.
struct ListedItem {
    DWORD attributes;
    DWORD sizeHigh;
    DWORD sizeLow;
    bool exact;
    char name[2 * MAX_PATH];  // a 259-character wide name takes up to 518 bytes
    char shortName[14];
};

// Lists directories. Several listings may be open at once (one per level of
// the walk). The real one is the platform's; tests feed items from memory.
class DirectoryLister {
public:
    using Handle = std::uintptr_t;
    static constexpr Handle none = 0;

    virtual ~DirectoryLister() = default;
    // Starts listing the directory that `pattern` ("path\*.*") names and
    // fills `item` with the first item; `none` when it cannot be listed.
    virtual Handle Open(const char* pattern, ListedItem& item) = 0;
    // Fills `item` with the next item; false when the listing has ended or failed.
    virtual bool Next(Handle listing, ListedItem& item) = 0;
    virtual void Close(Handle listing) = 0;
};

// The platform's listing: the wide-character listing with every name
// converted without best fit, or, where the platform has no wide listing
// (the Windows 9x family), the ANSI one.
class Win32DirectoryLister final : public DirectoryLister {
public:
    Handle Open(const char* pattern, ListedItem& item) override;
    bool Next(Handle listing, ListedItem& item) override;
    void Close(Handle listing) override;

private:
    bool ansiOnly = false;  // the wide listing answered "not implemented"
};
