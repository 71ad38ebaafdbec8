// The line formats of the dump tool.
#include "support.h"
#include "tools/dump_format.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(DumpFormat, VolumeLineInDeclaredTypes)
{
    CChartView view;
    std::memcpy(view.rootPath, "D:\\", 4);
    view.clusterBytes = 4096;
    view.clustersPer4G = 1048576;
    view.freeClusters = 3000000000u;
    view.totalClusters = 4294967295u;
    EXPECT_EQ(dump::VolumeLine(view, 1), "volume\tD:\\\t4096\t1048576\t3000000000\t4294967295\t1\n");
}

TEST(DumpFormat, EntryLinesWithPathsInUtf8)
{
    EntryTable table;
    test::BuildTree(table, {{-1, 10, ""}, {0, 5, "D:\\"}, {0, 0, ""}, {1, 4, "D:\\表"}});
    std::strcpy(table.At(0).name + 4, "(Total)");
    table.At(0).nameOffset = 4;
    table.At(3).nameOffset = 3;
    table.At(3).bytes = 5368709121ull;
    table.At(3).slack = 32767;
    table.At(3).files = 2;
    EXPECT_EQ(dump::EntryLine(table, 0), "entry\t0\t-1\t-1\t1\t4\t10\t0\t0\t0\t0\t-1\t0\t0\t(Total)\t\n");
    EXPECT_EQ(dump::EntryLine(table, 3),
              "entry\t3\t1\t-1\t-1\t3\t4\t2\t0\t5368709121\t32767\t-1\t0\t0\tD:\\\xE8\xA1\xA8\t\n");
    // A name with a tab, a line break or another control character stays one field.
    std::strcpy(table.At(3).name, "D:\\a\tb\nc\x01\x7f\\d");
    EXPECT_EQ(dump::EntryLine(table, 3),
              "entry\t3\t1\t-1\t-1\t3\t4\t2\t0\t5368709121\t32767\t-1\t0\t0\tD:\\a\\x09b\\x0Ac\\x01\\x7F\\d\t\n");
    // The name as spelled on disk, where it differs, in the last field.
    RealNames names;
    names.Add(3, L"caf\u00e9\t", 5);
    const std::string plain = dump::EntryLine(table, 3);
    EXPECT_EQ(dump::EntryLine(table, 3, &names), plain.substr(0, plain.size() - 1) + "caf\xC3\xA9\\x09\n");
}

TEST(DumpFormat, SkippedLineInTheWalksOrder)
{
    WalkCounts counts;
    counts.dirsListed = 9;
    counts.files = 8;
    counts.notEntered = 3;
    counts.unlistable = 5;
    counts.overlong = 7;
    counts.noRoom = 11;
    EXPECT_EQ(dump::SkippedLine(counts), "skipped\t3\t5\t7\t11\n");
}

TEST(DumpFormat, LabelLineEscapesLineFeedsAndShowsTheNameAsDrawn)
{
    CChartView view;
    test::BuildTree(view.table, {{-1, 10, ""}, {0, 5, "D:\\"}, {0, 0, ""}, {1, 4, "D:\\A"}});
    view.table.At(3).nameOffset = 3;
    view.unitMode = ID_UNIT_MB;
    view.showSlack = view.showCounts = 0;
    EXPECT_EQ(dump::LabelLine(view, 3), "label\t3\tA\\n\xE5\x8D\xA0 0MB\\nClst:4\\n\n");
    std::strcpy(view.table.At(3).name, "D:\\a\tb");
    EXPECT_EQ(dump::LabelLine(view, 3), "label\t3\ta?b\\n\xE5\x8D\xA0 0MB\\nClst:4\\n\n");
}

TEST(DumpTool, HeightIsTheChartsClientHeightAndRootMustBeInTheTree)
{
    test::ScratchDrive drive("mkdir 表 \"$(printf 'caf\\303\\251')\" && fallocate -l 4097 表/f && ln 表/f g");
    ASSERT_TRUE(drive.Letter());
    const std::string letter(1, drive.Letter());
    const std::string dump = "\"" + test::BuiltProgram("voruta-dump.exe") + "\" " + letter;
    std::string out;
    ASSERT_EQ(test::RunProgram(dump + " 300", out), 0) << out;
    // Entry 0 spans the whole client height: column 0, rows [0, 300).
    EXPECT_NE(out.find("\t0\t0\t300\t(Total)\t\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\nskipped\t0\t0\t0\t0\nhardlinks\t1\t4097\t0\n"), std::string::npos) << out;
    // A name the code page cannot spell, as on disk in the last field.
    EXPECT_NE(out.find("\tcaf\xC3\xA9\n"), std::string::npos) << out;
    EXPECT_EQ(test::RunProgram(dump + " 300 5", out), 2) << "entries 0 to 4 only";
    EXPECT_EQ(test::RunProgram(dump + " 300 4", out), 0) << out;
    // The title as UTF-8, like every name.
    EXPECT_NE(out.find("\ntitle\tVoruta - " + letter + ":\\\xE8\xA1\xA8\\\n"), std::string::npos) << out;
}

}  // namespace
