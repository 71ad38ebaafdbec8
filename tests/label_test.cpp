// Size texts and box labels.
#include "support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct SizeCase {
    const char* label;
    std::uint64_t bytes;
    std::uint32_t unitMode;
    const char* text;
};

class SizeText : public testing::TestWithParam<SizeCase> {};

TEST_P(SizeText, TruncatesInTheChosenUnit)
{
    EXPECT_STREQ(FormatByteCount(GetParam().bytes, GetParam().unitMode), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Units, SizeText,
    testing::Values(SizeCase{"KbOnly", 5000000, ID_UNIT_KB, "4882KB\n"},
                    SizeCase{"MbOnly", 5000000, ID_UNIT_MB, "4MB\n"},
                    SizeCase{"Both", 5000000, ID_UNIT_KBMB, "4882KB\n   (4MB)\n"},
                    SizeCase{"OtherUnitMeansBoth", 5000000, 0, "4882KB\n   (4MB)\n"},
                    SizeCase{"BelowOneKb", 1023, ID_UNIT_KBMB, "0KB\n   (0MB)\n"},
                    SizeCase{"BelowOneMb", 1048575, ID_UNIT_KBMB, "1023KB\n   (0MB)\n"},
                    SizeCase{"Zero", 0, ID_UNIT_MB, "0MB\n"},
                    SizeCase{"JustBelow2TiB", (1ull << 41) - 1, ID_UNIT_KB, "2147483647KB\n"},
                    SizeCase{"TwoTiB", 1ull << 41, ID_UNIT_KBMB, "2147483648KB\n   (2097152MB)\n"},
                    SizeCase{"SixteenTiB", 1ull << 44, ID_UNIT_MB, "16777216MB\n"},
                    SizeCase{"Largest", UINT64_MAX, ID_UNIT_KB, "18014398509481983KB\n"}),
    test::ByLabel());

Entry MakeEntry(const char* name, std::uint64_t bytes, std::uint64_t slack, std::uint32_t files, std::uint32_t dirs,
                std::uint32_t clusters, std::uint32_t nameOffset = 0)
{
    Entry e;
    e.Clear();
    std::strcpy(e.name, name);
    e.nameOffset = nameOffset;
    e.bytes = bytes;
    e.slack = slack;
    e.files = files;
    e.dirs = dirs;
    e.clusters = clusters;
    return e;
}

struct LabelCase {
    const char* label;
    Entry entry;
    std::int32_t index;
    LabelOptions options;
    const char* text;
};

class BoxLabel : public testing::TestWithParam<LabelCase> {};

TEST_P(BoxLabel, PiecesInOrder)
{
    EXPECT_STREQ(EntryLabel(GetParam().entry, GetParam().index, GetParam().options), GetParam().text);
}

constexpr LabelOptions allOn{ID_UNIT_KBMB, 1, 1, 1, 1, 4096};
constexpr LabelOptions allOff{ID_UNIT_KBMB, 0, 0, 0, 0, 4096};

Entry Total(std::uint32_t)
{
    Entry e = MakeEntry("", 4096ull * 1000, 4096ull * 200, 0, 0, 1000);
    std::strcpy(e.name + 4, "(Total)");
    e.nameOffset = 4;
    return e;
}

INSTANTIATE_TEST_SUITE_P(
    Entries, BoxLabel,
    testing::Values(
        LabelCase{"Games", MakeEntry("D:\\GAMES", 5000000, 61440, 12, 3, 1230, 3), 5, allOn,
                  "GAMES\n占 4882KB\n   (4MB)\n浪 60KB\n   (0MB)\nFile:12\nDir.:3\nClst:1230\n"},
        LabelCase{"Total", Total(0), 0, allOn, "(Total)\n総 4000KB\n   (3MB)\n空 800KB\n   (0MB)\nClst:1000\n(4KB/Clst)\n"},
        LabelCase{"Unaccounted", MakeEntry("(不明)", 409600, 0, 0, 0, 100), 2, allOn,
                  "(不明)\n占 400KB\n   (0MB)\nClst:100\n"},
        LabelCase{"RootDirectory", MakeEntry("D:\\", 10240, 0, 1, 0, 3), 1, {ID_UNIT_KB, 1, 1, 1, 1, 4096},
                  "D:\\\n占 10KB\n浪 0KB\nFile:1\nDir.:0\nClst:3\n"},
        LabelCase{"AllFlagsOff", MakeEntry("D:\\GAMES", 5000000, 61440, 12, 3, 1230, 3), 5, allOff, "GAMES\n"},
        LabelCase{"AllFlagsOffTotal", Total(0), 0, {ID_UNIT_KBMB, 0, 0, 0, 0, 32768}, "(Total)\n(32KB/Clst)\n"},
        LabelCase{"SmallClusters", Total(0), 0, {ID_UNIT_KBMB, 0, 0, 0, 0, 512}, "(Total)\n(512byte/Clst)\n"},
        LabelCase{"OneKbClusters", Total(0), 0, {ID_UNIT_KBMB, 0, 0, 0, 0, 1024}, "(Total)\n(1KB/Clst)\n"},
        LabelCase{"NoClusterSizeYet", Total(0), 0, {ID_UNIT_KBMB, 0, 0, 0, 0, 0}, "(Total)\n(0byte/Clst)\n"},
        LabelCase{"OnlySlack", MakeEntry("D:\\A", 1, 4095, 1, 0, 1, 3), 3, {ID_UNIT_MB, 0, 1, 0, 0, 4096},
                  "A\n浪 0MB\n"},
        LabelCase{"LargeCountsStayUnsigned", MakeEntry("D:\\BIG", 0, 0, 3000000000u, 2147483648u, 4294967295u, 3), 3,
                  {ID_UNIT_KB, 0, 0, 1, 1, 4096}, "BIG\nFile:3000000000\nDir.:2147483648\nClst:4294967295\n"},
        LabelCase{"AmpersandIsText", MakeEntry("D:\\R&D", 0, 0, 0, 0, 0, 3), 3, allOff, "R&D\n"},
        LabelCase{"ControlCharactersShowAsQuestionMarks", MakeEntry("D:\\a\nb\x01表", 0, 0, 0, 0, 0, 3), 3, allOff,
                  "a?b?表\n"}),
    test::ByLabel());

}  // namespace
