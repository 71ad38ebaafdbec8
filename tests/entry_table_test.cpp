// The entry table: capacity figures, zeroing and record copies.
#include "analysis/entry.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

bool AllZero(const Entry& e)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(&e);
    for (std::size_t i = 0; i < sizeof e; ++i)
        if (bytes[i] != 0)
            return false;
    return true;
}

Entry Filled(unsigned char value)
{
    Entry e;
    std::memset(&e, value, sizeof e);
    return e;
}

// A sequence of operations and the figures expected after it.
struct GrowthCase {
    const char* label;
    std::vector<std::pair<int, int>> resizes;  // (count, growBy) before the appends
    int appends;
    int size;
    int capacity;
    int growStep;
};

class TableGrowth : public testing::TestWithParam<GrowthCase> {};

TEST_P(TableGrowth, CapacityFollowsTheStepRule)
{
    const GrowthCase& c = GetParam();
    EntryTable table;
    for (auto [count, growBy] : c.resizes)
        table.Resize(count, growBy);
    for (int i = 0; i < c.appends; ++i) {
        const int expected = table.Count();
        EXPECT_EQ(table.Append(Filled(1)), expected);
    }
    EXPECT_EQ(table.Count(), c.size);
    EXPECT_EQ(table.Capacity(), c.capacity);
    EXPECT_EQ(table.GrowStep(), c.growStep);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TableGrowth,
    testing::Values(
        GrowthCase{"NewTableAllocatesExactly", {{3, 128}}, 0, 3, 3, 128},
        GrowthCase{"FourthEntryAddsTheStep", {{3, 128}}, 1, 4, 131, 128},
        GrowthCase{"Entry131StillFits", {{3, 128}}, 128, 131, 131, 128},
        GrowthCase{"Entry132AddsAnotherStep", {{3, 128}}, 129, 132, 259, 128},
        GrowthCase{"CountBeyondStepWins", {{3, 128}, {1000, -1}}, 0, 1000, 1000, 128},
        GrowthCase{"MinusOneKeepsStep", {{3, 16}, {2, -1}}, 0, 2, 3, 16},
        GrowthCase{"ZeroReleases", {{3, 128}, {0, -1}}, 0, 0, 0, 128},
        GrowthCase{"ShrinkKeepsCapacity", {{500, 128}, {3, 128}}, 0, 3, 500, 128},
        GrowthCase{"AutoStepAtLeastFour", {{1, 0}}, 1, 2, 5, 0},
        GrowthCase{"AutoStepIsAnEighth", {{80, 0}}, 1, 81, 90, 0},
        GrowthCase{"AutoStepAtMost1024", {{20000, 0}}, 1, 20001, 21024, 0},
        GrowthCase{"AppendToEmptyTable", {}, 1, 1, 1, 0}),
    test::ByLabel());

TEST(EntryTable, NewEntriesAreZeroAndRecordsAreCopiedWhole)
{
    EntryTable table;
    table.Resize(3, 128);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(AllZero(table.At(i)));
    const Entry record = Filled(0xA5);
    EXPECT_EQ(table.Append(record), 3);
    EXPECT_EQ(std::memcmp(&table.At(3), &record, sizeof record), 0);
}

TEST(EntryTable, ShrinkKeepsBytesAndGrowingBackZeroes)
{
    EntryTable table;
    table.Resize(3, 128);
    for (int i = 0; i < 497; ++i)
        table.Append(Filled(0x11));
    table.At(1) = Filled(0x22);
    ASSERT_EQ(table.Count(), 500);
    const int capacity = table.Capacity();

    table.Resize(3, 128);
    EXPECT_EQ(table.Capacity(), capacity);
    EXPECT_EQ(table.At(1).parent, Filled(0x22).parent) << "bytes of the kept entries stay";
    const Entry record = Filled(0x33);
    EXPECT_EQ(table.Append(record), 3);
    EXPECT_EQ(std::memcmp(&table.At(3), &record, sizeof record), 0);

    table.Resize(10, -1);
    for (int i = 4; i < 10; ++i)
        EXPECT_TRUE(AllZero(table.At(i))) << "entry " << i << " re-entered the valid range";
}

TEST(EntryTable, GrowthKeepsEveryRecordInPlace)
{
    // 288 MB of records, more than a 256 MB reservation: the first
    // reservation holds them all, so nothing is ever copied.
    EntryTable table;
    table.Resize(3, 128);
    const int count = 900000;
    for (int i = 3; i < count; ++i) {
        Entry e = Filled(0);
        e.clusters = static_cast<std::uint32_t>(i);
        table.Append(e);
    }
    EXPECT_EQ(table.Storage().MovedBytes(), 0u);
    EXPECT_LT(table.Storage().Committed(), 1u * count * sizeof(Entry) + 128 * sizeof(Entry) + 4096);
    // The address space a reservation can get, not what the platform lists
    // as free: under Wine the upper half of this large-address-aware process
    // is listed as taken, and what is left holds 2.4 million entries.
    EXPECT_GE(table.Storage().Reserved(), 3000000u * sizeof(Entry)) << "3 million directories never move";
    for (int i = 3; i < count; ++i)
        ASSERT_EQ(table.At(i).clusters, static_cast<std::uint32_t>(i));
}

TEST(EntryTable, TooSmallAFirstReservationMovesTheRecordsOnce)
{
    // Address space held elsewhere until no 64 MiB block is left: the first
    // reservation is small. Once the space is free again, growing past it
    // copies the records into a larger block, once. A 64-bit process has
    // more address space than can be held in a test: there the block is
    // told that no reservation above 48 MiB can be had.
    std::vector<void*> held;
    held.reserve(64);
    for (std::size_t size = std::size_t{1} << 30;
         sizeof(void*) == 4 && size >= (std::size_t{64} << 20) && held.size() < 64;) {
        if (void* block = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS))
            held.push_back(block);
        else
            size /= 2;
    }
    EntryTable table;
    if (sizeof(void*) > 4)
        table.Storage().SetLargestReservation(std::size_t{48} << 20);
    table.Resize(3, 128);
    for (void* block : held)
        VirtualFree(block, 0, MEM_RELEASE);
    table.Storage().SetLargestReservation(static_cast<std::size_t>(-1));
    const std::size_t first = table.Storage().Reserved();
    ASSERT_LT(first, std::size_t{64} << 20);
    int count = 3;
    for (; table.Storage().MovedBytes() == 0 && count < 1000000; ++count) {
        Entry e = Filled(0);
        e.clusters = static_cast<std::uint32_t>(count);
        table.Append(e);
    }
    // Every record before the one whose room it was, entries 0 to 2 too.
    EXPECT_EQ(table.Storage().MovedBytes(), static_cast<std::size_t>(count - 1) * sizeof(Entry));
    EXPECT_GT(table.Storage().Reserved(), first);
    for (int i = 3; i < count; ++i)
        ASSERT_EQ(table.At(i).clusters, static_cast<std::uint32_t>(i));
}

TEST(EntryTable, ExhaustedStorageThrowsAndChangesNothing)
{
    EntryTable table;
    table.Resize(3, 128);
    table.Storage().SetLimit(200 * sizeof(Entry));
    for (int i = 0; i < 128; ++i)
        table.Append(Filled(0));
    ASSERT_EQ(table.Capacity(), 131);
    EXPECT_THROW(table.Append(Filled(0)), std::bad_alloc);
    EXPECT_EQ(table.Count(), 131);
    EXPECT_EQ(table.Capacity(), 131);
}

TEST(Entry, ClearKeepsOffsetAndLayout)
{
    Entry e = Filled(0x7F);
    e.nameOffset = 7;
    e.column = 3;
    e.top = 10;
    e.bottom = 20;
    e.Clear();
    EXPECT_EQ(e.nameOffset, 7u);
    EXPECT_EQ(e.column, 3);
    EXPECT_EQ(e.top, 10);
    EXPECT_EQ(e.bottom, 20);
    EXPECT_EQ(e.parent, -1);
    EXPECT_EQ(e.nextSibling, -1);
    EXPECT_EQ(e.firstChild, -1);
    EXPECT_EQ(e.clusters | e.files | e.dirs, 0u);
    EXPECT_EQ(e.bytes | e.slack, 0u);
    for (char c : e.name)
        ASSERT_EQ(c, 0);
}

TEST(Entry, DisplayNameStartsAtTheOffset)
{
    Entry e;
    e.Clear();
    std::strcpy(e.name, "C:\\WINDOWS\\SYSTEM");
    e.nameOffset = 11;
    EXPECT_STREQ(e.DisplayName(), "SYSTEM");
    e.nameOffset = 500;  // out of range: stays inside the field
    EXPECT_EQ(e.DisplayName(), e.name + 259);
}

}  // namespace
