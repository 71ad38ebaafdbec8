// Drive scan over real directory trees made for each test.
#include "fake_volume.h"
#include "platform/app.h"
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

using test::FakeVolume;
using test::ScratchDrive;
using test::ViewHost;

// A view whose volume answers as the fake says, after checking that the
// drive really exists.
class Scan : public testing::Test {
protected:
    void SetUp() override
    {
        api = &test::InstallFakeVolume(fake);
        fake->realDiskCheck = true;
        fake->sectorsPerCluster = 8;
        fake->bytesPerSector = 512;
        fake->totalClusters = 1000000;
        fake->freeClusters = 500000;
    }

    ViewHost& Host()
    {
        if (!host)
            host.emplace(400, 400, *api);
        return *host;
    }
    CChartView& View() { return Host().View(); }
    Entry& At(int i) { return View().table.At(i); }

    // Index of the entry whose path is `path` ("" when none).
    int Find(const std::string& path)
    {
        for (int i = 0; i < View().table.Count(); ++i)
            if (path == At(i).name)
                return i;
        return -1;
    }

    FakeVolume* fake = nullptr;
    const VolumeApi* api = nullptr;
    std::optional<ViewHost> host;
};

TEST_F(Scan, WorkedExampleAndTheFixedEntries)
{
    // A directory with a 1-byte file, a 4096-byte file and an empty subdirectory.
    ScratchDrive drive("mkdir -p DIR/SUB && fallocate -l 1 DIR/a && fallocate -l 4096 DIR/b");
    ASSERT_TRUE(drive.Letter());
    ASSERT_EQ(View().ScanDrive(drive.Letter()), 1);
    const std::string root = std::string(1, drive.Letter()) + ":\\";

    const int dir = Find(root + "DIR");
    ASSERT_EQ(dir, 3);
    EXPECT_EQ(At(dir).bytes, 4097u);
    EXPECT_EQ(At(dir).slack, 4095u);
    EXPECT_EQ(At(dir).clusters, 3u);
    EXPECT_EQ(At(dir).files, 2u);
    EXPECT_EQ(At(dir).dirs, 1u);
    EXPECT_EQ(At(dir).nameOffset, 3u);
    EXPECT_STREQ(At(dir).DisplayName(), "DIR");

    const int sub = Find(root + "DIR\\SUB");
    ASSERT_EQ(sub, 4);
    EXPECT_EQ(At(sub).nameOffset, 7u);
    EXPECT_EQ(At(sub).clusters | At(sub).files | At(sub).dirs, 0u);
    EXPECT_EQ(At(sub).parent, dir);

    // Entry 0: the whole volume.
    EXPECT_STREQ(At(0).name, "");
    EXPECT_STREQ(At(0).DisplayName(), "(Total)");
    EXPECT_EQ(At(0).clusters, 1000000u);
    EXPECT_EQ(At(0).bytes, 4096ull * 1000000);
    EXPECT_EQ(At(0).slack, 4096ull * 500000);
    EXPECT_EQ(At(0).firstChild, 1);
    EXPECT_EQ(At(0).parent, -1);
    // Entry 1: the root directory, which holds the sums of the drive.
    EXPECT_EQ(At(1).name, root);
    EXPECT_STREQ(At(1).DisplayName(), root.c_str());
    EXPECT_EQ(At(1).clusters, 4u);
    EXPECT_EQ(At(1).dirs, 2u);
    EXPECT_EQ(At(1).parent, 0);
    // The rest of the used clusters is unaccounted.
    EXPECT_EQ(At(1).nextSibling, 2);
    EXPECT_STREQ(At(2).name, "(不明)");
    EXPECT_EQ(At(2).clusters, 500000u - 4u);

    EXPECT_EQ(View().rootIndex, 0);
    EXPECT_EQ(View().clusterBytes, 4096u);
    EXPECT_EQ(View().clustersPer4G, 1048576u);
    EXPECT_EQ(Host().Title(), "Voruta - " + std::string(1, drive.Letter()) + ":");
    EXPECT_EQ(At(0).column, 0);
    EXPECT_EQ(At(0).bottom, 400);
}

TEST_F(Scan, SpaceAsTheDiskHoldsItWithHardLinksOnce)
{
    // A sparse 5 GiB file (H = 1, L = 2^30, no cluster of its own), 10 MiB
    // with three names in three folders, 100 bytes with 8 MiB set aside, and
    // one byte.
    ScratchDrive drive("mkdir a b c && truncate -s 5G sparse && fallocate -l 10M a/ten && ln a/ten b/ten && "
                       "ln a/ten c/ten && printf %0100d 0 > pre && fallocate -n -l 8M pre && fallocate -l 1 one");
    ASSERT_TRUE(drive.Letter());
    fake->totalClusters = 16384;
    fake->freeClusters = 11000;
    ASSERT_EQ(View().ScanDrive(drive.Letter()), 1);
    EXPECT_EQ(At(1).bytes, 5368709120ull + 10485760 + 100 + 1);
    EXPECT_EQ(At(1).slack, 8388608u - 100 + 4095);
    EXPECT_EQ(At(1).clusters, 2560u + 2048 + 1 + 3);
    EXPECT_EQ(At(1).files, 6u);
    // The first name met holds the space; the others are files alone.
    for (int i = 3; i < 6; ++i)
        EXPECT_EQ(At(i).files, 1u);
    EXPECT_EQ(std::max({At(3).clusters, At(4).clusters, At(5).clusters}), 2560u);
    EXPECT_EQ(View().scanCounts.hardLinks, 2u);
    EXPECT_EQ(View().scanCounts.hardLinkBytes, 20971520u);
    EXPECT_EQ(View().scanCounts.unchecked, 0u);
    // Clusters in use that the walk did not find.
    EXPECT_EQ(At(1).nextSibling, 2);
    EXPECT_EQ(At(2).clusters, 16384u - 11000 - 4612);
}

TEST_F(Scan, ChildrenInListingOrder)
{
    ScratchDrive drive("mkdir -p A/A1 A/A2 B C && fallocate -l 1 B/f");
    ASSERT_TRUE(drive.Letter());
    ASSERT_EQ(View().ScanDrive(drive.Letter()), 1);
    const std::string root = std::string(1, drive.Letter()) + ":\\";
    // Depth-first pre-order; siblings as the listing gives them (by name here).
    const char* expected[] = {"A", "A\\A1", "A\\A2", "B", "C"};
    ASSERT_EQ(View().table.Count(), 3 + 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(At(3 + i).name, root + expected[i]) << "index " << 3 + i;
    EXPECT_EQ(At(1).firstChild, 3);
    EXPECT_EQ(At(3).nextSibling, 6);
    EXPECT_EQ(At(6).nextSibling, 7);
    EXPECT_EQ(At(7).nextSibling, -1);
    EXPECT_EQ(At(3).firstChild, 4);
    EXPECT_EQ(At(4).nextSibling, 5);
    EXPECT_EQ(At(3).dirs, 2u);
    EXPECT_EQ(At(3).clusters, 2u);
    EXPECT_EQ(At(1).dirs, 5u);
    EXPECT_EQ(At(1).clusters, 5u + 1u);
    EXPECT_EQ(View().scanCounts.dirsListed, 6u);
}

TEST_F(Scan, JapaneseNamesWithTrailByte5C)
{
    // 表 and 予 both end in the byte 0x5C in CP932.
    ScratchDrive drive("mkdir -p 表/予 日本 && fallocate -l 10 表/予/f && fallocate -l 5 日本/g");
    ASSERT_TRUE(drive.Letter());
    ASSERT_EQ(View().ScanDrive(drive.Letter()), 1);
    const std::string root = std::string(1, drive.Letter()) + ":\\";
    const int table = Find(root + "表");
    const int inner = Find(root + "表\\予");
    ASSERT_GE(table, 0);
    ASSERT_GE(inner, 0);
    EXPECT_EQ(At(inner).nameOffset, 6u);
    EXPECT_STREQ(At(inner).DisplayName(), "予");
    EXPECT_EQ(At(inner).files, 1u) << "the directory was listed through its own path";
    EXPECT_EQ(At(table).bytes, 10u);
    EXPECT_EQ(At(1).files, 2u);
    View().rootIndex = inner;
    View().Relayout();
    EXPECT_EQ(Host().Title(), "Voruta - " + root + "表\\予\\");
}

TEST_F(Scan, DirectoryLinksAreCountedButNotWalked)
{
    ScratchDrive drive("mkdir -p real/deep && fallocate -l 4096 real/deep/f && ln -s .. real/loop && ln -s real alias");
    ASSERT_TRUE(drive.Letter());
    ASSERT_EQ(View().ScanDrive(drive.Letter()), 1);
    const std::string root = std::string(1, drive.Letter()) + ":\\";
    const int alias = Find(root + "alias");
    const int loop = Find(root + "real\\loop");
    ASSERT_GE(alias, 0);
    ASSERT_GE(loop, 0);
    EXPECT_EQ(At(alias).firstChild, -1);
    EXPECT_EQ(At(alias).clusters, 0u);
    EXPECT_EQ(At(loop).firstChild, -1);
    EXPECT_EQ(View().table.Count(), 3 + 4);
    EXPECT_EQ(At(1).files, 1u) << "the file is counted once";
    EXPECT_EQ(At(1).clusters, 1u + 4u);
}

TEST_F(Scan, UnspellableNameIsWalkedThroughItsShortName)
{
    // A Hangul name has no CP932 spelling; the listing shows it with "?".
    ScratchDrive drive("d=$(printf '\\355\\225\\234\\352\\270\\200'); mkdir \"$d\" && fallocate -l 4096 \"$d/f\"");
    ASSERT_TRUE(drive.Letter());
    ASSERT_EQ(View().ScanDrive(drive.Letter()), 1);
    ASSERT_EQ(View().table.Count(), 4);
    EXPECT_EQ(std::string(At(3).name).find('?'), std::string::npos) << At(3).name;
    EXPECT_EQ(At(3).files, 1u);
    EXPECT_EQ(At(1).clusters, 2u);
}

TEST_F(Scan, EveryDirectoryListedOnceThroughItsRealName)
{
    // Names the code page cannot carry (a yen sign, e-acute, i-diaeresis),
    // names ending in dots, names with characters no Windows name holds, a
    // Linux backslash, a Shift_JIS name whose trail byte is a backslash, case
    // twins whose 8.3 names collide, a directory named like another's 8.3
    // name, and a link to "." sharing that 8.3 name. Each directory holds one
    // file; "p|q" also holds a directory with a file.
    ScratchDrive drive(
        "y=$(printf '\\302\\245'); e=$(printf '\\303\\251'); i=$(printf '\\303\\257'); "
        "A=$(printf '\\303\\204'); a=$(printf '\\303\\244'); U=$(printf '\\303\\234'); o=$(printf '\\303\\266'); "
        "I=$(printf '\\303\\217'); O=$(printf '\\303\\226'); E=$(printf '\\303\\211'); u=$(printf '\\303\\274'); "
        "h=$(printf '\\225\\134'); "
        "for d in \"u${y}..${y}\" \"v${y}..${y}..${y}\" \"a${y}b\" \"caf$e\" cafe \"na${i}ve\" naive "
        "dot. ... .... 's*t' 'p|q' 'lt<gt>' 'quo\"te' 'back\\slash' \"$A\" \"$a\" \"${U}n${i}c${o}d${e}\" "
        "\"${U}N${I}C${O}D${E}\" _N_C~KMB \"$h\"; do mkdir -- \"$d\" && fallocate -l 4096 -- \"$d/f\" || exit 1; done; "
        "mkdir 'p|q/in' && fallocate -l 4096 'p|q/in/f' && ln -s . \"${u}n${i}c${o}d${e}\"");
    ASSERT_TRUE(drive.Letter());
    const DWORD start = GetTickCount();
    ASSERT_EQ(View().ScanDrive(drive.Letter()), 1);
    EXPECT_LT(GetTickCount() - start, 1000u);
    const std::string root = std::string(1, drive.Letter()) + ":\\";
    ASSERT_EQ(View().table.Count(), 3 + 23) << "every directory once";
    std::uint32_t found = 0;
    for (int i = 3; i < View().table.Count(); ++i) {
        const std::string path = At(i).name;
        EXPECT_EQ(path.find("\\.."), std::string::npos) << path;
        EXPECT_LE(At(i).files, At(i).dirs + 1) << path;
        found += At(i).parent == 1 ? At(i).files : 0;
    }
    // Five names no Windows path can spell are entered through their 8.3
    // names, "p|q/in" too. The Shift_JIS name is counted, not entered: Wine
    // gives it no 8.3 name without its backslash. Nor is the link.
    EXPECT_EQ(found, 21u);
    EXPECT_EQ(At(1).files, 21u) << "no file counted twice";
    EXPECT_EQ(At(1).bytes, 21u * 4096);
    EXPECT_EQ(View().scanCounts.notEntered, 2u);
    EXPECT_EQ(View().scanCounts.unlistable, 0u);
    EXPECT_EQ(View().scanCounts.dirsListed, 1u + 21u);
    EXPECT_EQ(At(Find(root + "cafe")).files, 1u);
    EXPECT_EQ(At(Find(root + "_N_C~KMB")).files, 1u);
    // The listing's names, converted without best fit: e-acute is no "e".
    int named = 0;
    for (int i = 3; i < View().table.Count(); ++i)
        named += std::string(At(i).name) == root + "cafe" || std::string(At(i).name) == root + "naive";
    EXPECT_EQ(named, 2) << "e-acute and i-diaeresis have no spelling in the code page";

    // A listing that fails leaves the lister wide: the next one still opens
    // a name the code page cannot spell, by handle (with ids) or by the find
    // calls (without).
    for (const bool findCalls : {false, true}) {
        Win32DirectoryLister lister(findCalls);
        ASSERT_TRUE(lister.Wide());
        std::wstring path = L"\\\\?\\" + std::wstring(1, static_cast<wchar_t>(drive.Letter())) + L":\\";
        std::uint64_t id = 0;
        EXPECT_EQ(lister.OpenWide((path + L"missing").c_str(), id), DirectoryLister::none);
        const DirectoryLister::Handle listing = lister.OpenWide((path + L"caf\u00e9").c_str(), id);
        ASSERT_NE(listing, DirectoryLister::none);
        EXPECT_NE(id, 0u);
        ListedItem item;
        int files = 0;
        while (lister.Next(listing, item))
            files += !(item.attributes & FILE_ATTRIBUTE_DIRECTORY) && item.sizeLow == 4096 && (item.id == 0) == findCalls;
        lister.Close(listing);
        EXPECT_EQ(files, 1) << "find calls " << findCalls;
    }
}

TEST_F(Scan, OverlongPathsAreNeverWrittenPastTheField)
{
    const std::string a(100, 'a'), b(100, 'b'), c(100, 'c'), d(152, 'd');
    // a\b\c is 305 bytes: recorded with the 8.3 names of its path. a\d is
    // 256 bytes: recorded, and listed through its wide path. 90 levels of 表
    // (no 8.3 name; three bytes a level): 85 fit, the 5 below are folded
    // into the 85th.
    ScratchDrive drive("mkdir -p " + a + "/" + b + "/" + c + " " + a + "/" + d + " && fallocate -l 1 " + a + "/" +
                       b + "/" + c + "/f && fallocate -l 1 " + a + "/" + b + "/g && fallocate -l 1 " + a + "/" + d +
                       "/h && p=. && for i in $(seq 1 90); do p=$p/表; mkdir $p && fallocate -l 1 $p/f; done");
    ASSERT_TRUE(drive.Letter());
    ASSERT_EQ(View().ScanDrive(drive.Letter()), 1);
    const std::string root = std::string(1, drive.Letter()) + ":\\";
    const int ab = Find(root + a + "\\" + b);
    const int ad = Find(root + a + "\\" + d);
    ASSERT_GE(ab, 0);
    ASSERT_GE(ad, 0);
    EXPECT_EQ(std::string(At(ad).name).size(), 256u);
    EXPECT_EQ(At(ad).files, 1u);
    const int abc = At(ab).firstChild;
    ASSERT_GE(abc, 0);
    EXPECT_EQ(At(abc).files, 1u);
    EXPECT_LE(std::string(At(abc).name).size(), 30u) << At(abc).name;
    EXPECT_EQ(std::string(At(abc).DisplayName()).find('c'), std::string::npos) << "shown by its 8.3 name";
    EXPECT_EQ(std::string(At(abc).name).find(a), std::string::npos) << "the path spelled with 8.3 names";
    EXPECT_EQ(View().scanCounts.overlong, 5u);
    EXPECT_EQ(View().table.Count(), 3 + 4 + 85);
    const int deepest = View().table.Count() - 1;
    EXPECT_EQ(std::string(At(deepest).name).size(), 3u + 3u * 85u - 1u);
    EXPECT_EQ(At(deepest).files, 1u + 5u);
    EXPECT_EQ(At(1).files, 3u + 90u) << "every file of the drive";
}

// Names as spelled on disk in the title and in the name line of the box.
struct ShownNameCase {
    const char* label;
    const wchar_t* path;  // below the root, "/" between names; the last is shown
};

class ScanShownName : public Scan, public testing::WithParamInterface<ShownNameCase> {};

TEST_P(ScanShownName, TitleAndBoxSpellTheNameAsOnDisk)
{
    const std::wstring path = GetParam().path;
    std::string octal;
    const int n = WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, utf8.data(), n, nullptr, nullptr);
    for (unsigned char c : utf8.substr(0, utf8.size() - 1)) {
        char code[8];
        std::snprintf(code, sizeof code, "\\%03o", c);
        octal += code;
    }
    ScratchDrive drive("mkdir -p \"$(printf '" + octal + "')\"");
    ASSERT_TRUE(drive.Letter());
    ViewHost shownHost(120, 300, *api);
    shownHost.Show();
    CChartView& view = shownHost.View();
    view.showSize = view.showSlack = view.showCounts = 0;
    ASSERT_EQ(view.ScanDrive(drive.Letter()), 1);
    view.rootIndex = view.table.Count() - 1;
    view.Relayout();

    // Control characters show as "?", so that no name breaks a line.
    std::wstring expected = path;
    for (wchar_t& c : expected)
        c = c == L'/' ? L'\\' : c < 0x20 ? L'?' : c;
    expected = L"Voruta - " + std::wstring(1, static_cast<wchar_t>(drive.Letter())) + L":\\" + expected + L"\\";
    wchar_t title[512] = {};
    DefWindowProcW(shownHost.Frame(), WM_GETTEXT, 512, reinterpret_cast<LPARAM>(title));
    EXPECT_EQ(std::wstring(title), expected);

    // The box of column 0 inside its frame against the name drawn here, the
    // same way, over it.
    int width = 0, height = 0;
    view.Redraw();
    const std::vector<COLORREF> shown = shownHost.Capture(width, height);
    const std::size_t last = expected.rfind(L'\\', expected.size() - 2);
    // The name line and, as the code page spells them, the others: an empty
    // directory's clusters.
    const std::wstring name = expected.substr(last + 1, expected.size() - 2 - last) + L"\nClst:0";
    HDC dc = GetDC(view);
    HFONT font = CreateFontIndirectA(&view.logFont);
    HGDIOBJ oldFont = SelectObject(dc, font);
    RECT cell{1, 1, view.columnWidth - 1, height - 1};
    FillRect(dc, &cell, GetSysColorBrush(COLOR_BTNFACE));
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, name.c_str(), static_cast<int>(name.size()), &cell, DT_NOPREFIX);
    SelectObject(dc, oldFont);
    DeleteObject(font);
    ReleaseDC(view, dc);
    const std::vector<COLORREF> drawn = shownHost.Capture(width, height);
    int ink = 0;
    for (int y = 1; y < height - 1; ++y)
        for (int x = 1; x < view.columnWidth - 1; ++x)
            ink += drawn[static_cast<std::size_t>(y) * width + x] != GetSysColor(COLOR_BTNFACE);
    EXPECT_GT(ink, 0) << "the name draws something";
    EXPECT_TRUE(shown == drawn) << "the box's name line is the name as spelled on disk, then its other lines";
}

INSTANTIATE_TEST_SUITE_P(Names, ScanShownName,
                         testing::Values(ShownNameCase{"Exact", L"\u8868"}, ShownNameCase{"Accented", L"caf\u00e9"},
                                         ShownNameCase{"Hangul", L"\ud55c\uad6d"},
                                         ShownNameCase{"Emoji", L"\xd83d\xde00"}, ShownNameCase{"Dots", L"..."},
                                         ShownNameCase{"ControlCharacter", L"caf\u00e9\tx"},
                                         ShownNameCase{"ThroughAnInexactParent",
                                                       L"\u00dcn\u00efc\u00f6d\u00e9/\u8868/caf\u00e9"}),
                         test::ByLabel());

struct UnaccountedCase {
    const char* label;
    const char* size;
    int expectedClusters;  // 0: entry 2 not in use
};

class ScanUnaccounted : public Scan, public testing::WithParamInterface<UnaccountedCase> {};

TEST_P(ScanUnaccounted, FillsEntry2OnlyWhenTheWalkFoundLess)
{
    ScratchDrive drive(std::string("fallocate -l ") + GetParam().size + " f");
    ASSERT_TRUE(drive.Letter());
    fake->totalClusters = 1000;
    fake->freeClusters = 200;
    ASSERT_EQ(View().ScanDrive(drive.Letter()), 1);
    if (GetParam().expectedClusters) {
        EXPECT_EQ(At(1).nextSibling, 2);
        EXPECT_EQ(At(2).parent, 0);
        EXPECT_EQ(At(2).clusters, static_cast<std::uint32_t>(GetParam().expectedClusters));
        EXPECT_EQ(At(2).bytes, 4096ull * GetParam().expectedClusters);
        EXPECT_STREQ(At(2).name, "(不明)");
        EXPECT_EQ(At(2).column, 1);
    } else {
        EXPECT_EQ(At(1).nextSibling, -1);
        EXPECT_EQ(At(2).parent, -1);
        EXPECT_STREQ(At(2).name, "");
        EXPECT_EQ(At(2).column, -1);
    }
}

INSTANTIATE_TEST_SUITE_P(Walks, ScanUnaccounted,
                         testing::Values(UnaccountedCase{"Found700", "2867200", 100},
                                         UnaccountedCase{"Found800", "3276800", 0},
                                         UnaccountedCase{"Found900", "3686400", 0}),
                         test::ByLabel());

TEST_F(Scan, RescanReusesTheTable)
{
    ScratchDrive big("mkdir -p a/b/c/d e/f/g h i j \"caf$(printf '\\303\\251')\"");
    ScratchDrive small("mkdir one");
    ASSERT_TRUE(big.Letter() && small.Letter());
    ASSERT_EQ(View().ScanDrive(big.Letter()), 1);
    ASSERT_EQ(View().table.Count(), 3 + 11);
    EXPECT_EQ(View().realNames.Count(), 1u) << "only the name the code page cannot spell";
    const int capacity = View().table.Capacity();
    View().rootIndex = 5;
    ASSERT_EQ(View().ScanDrive(small.Letter()), 1);
    EXPECT_EQ(View().table.Count(), 4);
    EXPECT_EQ(View().table.Capacity(), capacity);
    EXPECT_EQ(View().rootIndex, 0);
    EXPECT_EQ(At(3).name, std::string(1, small.Letter()) + ":\\one");
    EXPECT_EQ(At(3).nextSibling, -1);
    EXPECT_EQ(View().realNames.Count(), 0u) << "no real name of the drive before";
}

TEST_F(Scan, LowerCaseLetterScansTheSameDrive)
{
    ScratchDrive drive("mkdir x");
    ASSERT_TRUE(drive.Letter());
    const char lower = static_cast<char>(drive.Letter() - 'A' + 'a');
    ASSERT_EQ(View().ScanDrive(lower), 1);
    EXPECT_STREQ(View().rootPath, (std::string(1, lower) + ":\\").c_str());
    EXPECT_EQ(At(3).name, std::string(1, lower) + ":\\x");
    EXPECT_EQ(Host().Title(), "Voruta - " + std::string(1, lower) + ":");
}

TEST_F(Scan, FailedQueryKeepsTheShownTree)
{
    ScratchDrive drive("mkdir x y");
    ASSERT_TRUE(drive.Letter());
    ASSERT_EQ(View().ScanDrive(drive.Letter()), 1);
    View().rootIndex = 3;
    View().Relayout();
    const std::string title = Host().Title();
    const int count = View().table.Count();
    const Entry before = At(3);
    const CString wholeDrive = View().Label(0);

    const char absent = test::AbsentDriveLetter();
    ASSERT_TRUE(absent);
    EXPECT_EQ(View().ScanDrive(absent), 0);
    EXPECT_EQ(View().rootPath[0], absent) << "the next drive dialog presets it";
    EXPECT_STREQ(View().rootPath + 1, ":\\");
    // The whole drive's box still reads its cluster size, 4 KB.
    EXPECT_EQ(View().Label(0), wholeDrive);
    EXPECT_NE(wholeDrive.str().find("(4KB/Clst)"), std::string::npos) << wholeDrive.str();
    EXPECT_EQ(View().rootIndex, 3);
    EXPECT_EQ(View().table.Count(), count);
    EXPECT_EQ(std::memcmp(&At(3), &before, sizeof before), 0);
    EXPECT_EQ(Host().Title(), title);
}

struct BadGeometryCase {
    const char* label;
    DWORD sectorsPerCluster;
    DWORD bytesPerSector;
};

class ScanBadGeometry : public Scan, public testing::WithParamInterface<BadGeometryCase> {};

TEST_P(ScanBadGeometry, ClustersBelowFourBytesFailTheScan)
{
    ScratchDrive drive("fallocate -l 7 f");
    ASSERT_TRUE(drive.Letter());
    fake->sectorsPerCluster = GetParam().sectorsPerCluster;
    fake->bytesPerSector = GetParam().bytesPerSector;
    EXPECT_EQ(View().ScanDrive(drive.Letter()), 0);
    EXPECT_EQ(View().rootIndex, -1);
    EXPECT_EQ(View().clusterBytes, 0u);
}

INSTANTIATE_TEST_SUITE_P(Geometry, ScanBadGeometry,
                         testing::Values(BadGeometryCase{"Zero", 0, 512}, BadGeometryCase{"One", 1, 1},
                                         BadGeometryCase{"Three", 1, 3}),
                         test::ByLabel());

TEST_F(Scan, NulLetterIsNoDrive)
{
    EXPECT_EQ(View().ScanDrive('\0'), 0);
    EXPECT_EQ(fake->diskCalls, 0);
}

TEST_F(Scan, WaitCursorShownDuringAndEndedOnEveryWayOut)
{
    CWinApp app;
    ScratchDrive drive("mkdir x");
    ASSERT_TRUE(drive.Letter());
    ASSERT_EQ(View().ScanDrive(drive.Letter()), 1);
    EXPECT_EQ(fake->waitDepthSeen, 1);
    EXPECT_EQ(app.WaitCursorDepth(), 0);

    fake->waitDepthSeen = -1;
    EXPECT_EQ(View().ScanDrive(test::AbsentDriveLetter()), 0);
    EXPECT_EQ(fake->waitDepthSeen, 1);
    EXPECT_EQ(app.WaitCursorDepth(), 0);
}

TEST_F(Scan, ExhaustedStorageEndsWithAConsistentTable)
{
    // 160 directories; the storage limit stops the table at 131 entries.
    ScratchDrive drive("for i in $(seq 1 80); do mkdir -p d$i/s; fallocate -l 4096 d$i/s/f; done");
    ASSERT_TRUE(drive.Letter());
    fake->totalClusters = 1000;
    fake->freeClusters = 0;
    View().table.Storage().SetLimit(200 * sizeof(Entry));
    ASSERT_EQ(View().ScanDrive(drive.Letter()), 1);
    const int count = View().table.Count();
    EXPECT_EQ(count, 131);
    // What has no entry is folded into the nearest entry above it: the
    // root's sums are the drive's.
    EXPECT_EQ(At(1).clusters, 80u + 160u);
    EXPECT_EQ(At(1).files, 80u);
    EXPECT_EQ(At(1).dirs, 160u);
    EXPECT_EQ(View().scanCounts.noRoom, 160u - 128u);
    EXPECT_EQ(At(1).clusters + At(2).clusters, 1000u);
    EXPECT_EQ(At(0).bottom, 400);
}

}  // namespace
