// One directory of the scanned drive, and the table that holds all of them.
#pragma once

#include "platform/array.h"

#include <cstddef>
#include <cstdint>

// One directory of the drive (or one of the synthetic entries 0 and 2). The
// tree links are indices into the EntryTable, never addresses.
struct Entry {
    char name[260];             // full path, CP932, at most 259 bytes of text
    std::uint32_t nameOffset;   // where the display name starts in name
    std::int32_t parent;
    std::int32_t nextSibling;
    std::int32_t firstChild;
    std::uint32_t clusters;     // clusters of all files below, plus one per subdirectory
    std::uint32_t files;
    std::uint32_t dirs;         // directories below, not counting itself
    std::uint64_t bytes;
    std::uint64_t slack;        // entry 0: the volume's free bytes
    std::int32_t column;        // layout: -1 = not shown
    std::int32_t top;           // layout: first pixel row
    std::int32_t bottom;        // layout: one past the last pixel row

    // Clears name, links and counters; nameOffset and the layout stay.
    void Clear() noexcept;

    const char* DisplayName() const noexcept { return name + ClampedOffset(); }
    char* DisplayName() noexcept { return name + ClampedOffset(); }

private:
    std::uint32_t ClampedOffset() const noexcept { return nameOffset < 259 ? nameOffset : 259; }
};

static_assert(sizeof(Entry) == 320);
static_assert(offsetof(Entry, nameOffset) == 260);
static_assert(offsetof(Entry, parent) == 264);
static_assert(offsetof(Entry, nextSibling) == 268);
static_assert(offsetof(Entry, firstChild) == 272);
static_assert(offsetof(Entry, clusters) == 276);
static_assert(offsetof(Entry, files) == 280);
static_assert(offsetof(Entry, dirs) == 284);
static_assert(offsetof(Entry, bytes) == 288);
static_assert(offsetof(Entry, slack) == 296);
static_assert(offsetof(Entry, column) == 304);
static_assert(offsetof(Entry, top) == 308);
static_assert(offsetof(Entry, bottom) == 312);

// Fixed indices of a scanned table.
inline constexpr std::int32_t totalEntry = 0;
inline constexpr std::int32_t rootDirEntry = 1;
inline constexpr std::int32_t unaccountedEntry = 2;

// The whole directory tree of the scanned drive, in depth-first pre-order
// from index 3 on.
class EntryTable : public CArray<Entry> {};
