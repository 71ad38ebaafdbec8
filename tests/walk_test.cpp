// The drive walk over directory listings fed from memory: the counting rules,
// the fixed entries, path limits and the names a directory is entered by.
#include "analysis/scan.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

namespace {

// A directory tree in memory, listed and opened the way the platform does.
// Wide: a path "\\?\M:\a\b" is resolved component by component, a name
// matching an item's real name exactly, else without regard to case, else
// its 8.3 name (which, as under Wine, need not be unique); ".." goes up and
// names with characters no path may hold do not open. ANSI (the 9x family):
// a pattern "M:\a\b\*.*" resolves through real names the code page spells
// exactly, or 8.3 names, with trailing dots and spaces dropped. Directory ids
// are their index plus one; a file has the id and the allocation it is given
// (wide listings only).
class MemoryLister final : public DirectoryLister {
public:
    struct Item {
        std::wstring name;
        std::string shortName;
        DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
        DWORD reparseTag = 0;
        std::uint64_t size = 0;
        std::uint64_t allocated = noAllocation;
        std::uint64_t fileId = 0;
        int dir = -1;       // the directory this item opens, or -1 for a file
        int listedAs = -1;  // the directory whose id the listing gives, where that differs
    };

    explicit MemoryLister(bool wide_ = true) : dirs(1), parents(1, 0), wide(wide_) {}

    // A directory `name` in `parent`; with `target` >= 0 the item opens that
    // directory instead (a link, or a directory swapped meanwhile).
    int AddDir(int parent, const std::wstring& name, const std::string& shortName = "", DWORD extra = 0,
               int target = -1)
    {
        int id = target;
        if (id < 0) {
            id = static_cast<int>(dirs.size());
            dirs.emplace_back();
            parents.push_back(parent);
            // A directory below the root lists "." and ".." first.
            for (const wchar_t* dots : {L".", L".."}) {
                Item self;
                self.name = dots;
                self.attributes = FILE_ATTRIBUTE_DIRECTORY;
                self.dir = dots[1] ? parent : id;
                dirs.back().push_back(self);
            }
        }
        Item item;
        item.name = name;
        item.shortName = shortName;
        item.attributes = FILE_ATTRIBUTE_DIRECTORY | extra;
        item.dir = id;
        dirs[static_cast<std::size_t>(parent)].push_back(item);
        return id;
    }
    static constexpr std::uint64_t noAllocation = ~0ull;

    void AddFile(int parent, const std::wstring& name, std::uint64_t size, std::uint64_t allocated = noAllocation,
                 std::uint64_t fileId = 0)
    {
        Item item;
        item.name = name;
        item.size = size;
        item.allocated = allocated;
        item.fileId = fileId;
        dirs[static_cast<std::size_t>(parent)].push_back(item);
    }
    Item& Last(int parent) { return dirs[static_cast<std::size_t>(parent)].back(); }
    void MakeUnlistable(int dir) { unlistable.insert(dir); }

    bool Wide() const noexcept override { return wide; }

    Handle Open(const char* pattern) override
    {
        EXPECT_FALSE(wide) << "a wide lister is opened by wide paths";
        return Start(ResolveAnsi(pattern));
    }

    Handle OpenWide(const wchar_t* path, std::uint64_t& id) override
    {
        EXPECT_TRUE(wide);
        const int dir = ResolveWide(path);
        id = dir < 0 ? 0 : static_cast<std::uint64_t>(dir) + 1;
        return Start(dir);
    }

    bool Next(Handle listing, ListedItem& item) override
    {
        Listing& l = listings[listing - 1];
        if (l.next == 0 && !listed.insert(l.dir).second)
            ++listedTwice;
        const auto& items = dirs[static_cast<std::size_t>(l.dir)];
        if (l.next >= items.size())
            return false;
        const Item& from = items[l.next++];
        std::memset(&item, 0, sizeof item);
        item.attributes = from.attributes;
        item.reparseTag = from.reparseTag;
        item.sizeHigh = static_cast<DWORD>(from.size >> 32);
        item.sizeLow = static_cast<DWORD>(from.size);
        item.exact = ToCodePage(from.name.c_str(), -1, item.name, sizeof item.name);
        from.shortName.copy(item.shortName, sizeof item.shortName - 1);
        if (wide) {
            from.name.copy(item.wideName, MAX_PATH);
            item.wideLength = static_cast<std::uint32_t>(from.name.size());
            const int id = from.listedAs >= 0 ? from.listedAs : from.dir;
            item.id = id < 0 ? from.fileId : static_cast<std::uint64_t>(id) + 1;
            item.hasAllocation = from.allocated != noAllocation;
            item.allocated = item.hasAllocation ? from.allocated : 0;
        }
        return true;
    }

    void Close(Handle) override { ++closes; }

    int opens = 0;
    int opened = 0;
    int closes = 0;
    int listedTwice = 0;
    std::set<int> listed;

private:
    struct Listing {
        int dir;
        std::size_t next;
    };

    Handle Start(int dir)
    {
        ++opens;
        if (opens > 100000 || dir < 0 || unlistable.count(dir))
            return none;  // a walk that goes round in circles ends here
        ++opened;
        listings.push_back({dir, 0});
        return listings.size();
    }

    static bool SameCase(const std::wstring& a, const std::wstring& b)
    {
        return CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_EQUAL;
    }

    // The directory `component` names in `dir`, or -1.
    int Find(int dir, const std::wstring& component, bool ansi) const
    {
        const auto& items = dirs[static_cast<std::size_t>(dir)];
        for (int pass = 0; pass < 3; ++pass) {
            for (const Item& i : items) {
                if (i.dir < 0 || i.name == L"." || i.name == L"..")
                    continue;
                char spelled[MAX_PATH * 2];
                const bool exact = ToCodePage(i.name.c_str(), -1, spelled, sizeof spelled);
                const bool byName = ansi ? exact && component == std::wstring(spelled, spelled + std::strlen(spelled))
                                         : pass == 0 ? i.name == component : SameCase(i.name, component);
                const bool byShort = !i.shortName.empty() &&
                                     SameCase(std::wstring(i.shortName.begin(), i.shortName.end()), component);
                if ((pass < 2 && byName) || (pass == 2 && byShort))
                    return i.dir;
            }
        }
        return -1;
    }

    int Resolve(const std::wstring& path, bool ansi) const
    {
        int dir = 0;
        std::wstring component;
        auto step = [&]() -> bool {
            if (ansi) {
                while (!component.empty() && (component.back() == L'.' || component.back() == L' ') &&
                       component != L"." && component != L"..")
                    component.pop_back();
            }
            if (component.empty() || component == L".")
                return true;
            if (component == L"..") {
                dir = parents[static_cast<std::size_t>(dir)];
            } else {
                if (component.find_first_of(L"*?<>|\":\t") != std::wstring::npos)
                    return false;
                dir = Find(dir, component, ansi);
            }
            component.clear();
            return dir >= 0;
        };
        for (wchar_t c : path) {
            if (c == L'\\' || c == L'/') {
                if (!step())
                    return -1;
            } else {
                component.push_back(c);
            }
        }
        return step() ? dir : -1;
    }

    int ResolveWide(const wchar_t* path) const
    {
        const std::wstring p(path);
        if (p.compare(0, 7, L"\\\\?\\M:\\") != 0)
            return -1;
        return Resolve(p.substr(7), false);
    }

    // The directory that a pattern "M:\a\b\*.*" names, or -1.
    int ResolveAnsi(const char* pattern) const
    {
        std::string path(pattern);
        if (path.size() < 6 || path.compare(path.size() - 3, 3, "*.*") != 0 || path.compare(0, 3, "M:\\") != 0)
            return -1;
        path = path.substr(3, path.size() - 6);
        wchar_t widened[MAX_PATH * 2];
        const int n = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, widened, MAX_PATH * 2);
        return n > 0 ? Resolve(widened, true) : -1;
    }

    std::vector<std::vector<Item>> dirs;
    std::vector<int> parents;
    bool wide;
    std::set<int> unlistable;
    std::vector<Listing> listings;
};

constexpr ClusterGeometry geometry4K{4096, 1048576, 500000, 1000000};

class Walk : public testing::Test {
protected:
    WalkCounts Build(const ClusterGeometry& g = geometry4K)
    {
        const WalkCounts counts = BuildDriveTree(table, fs, "M:\\", g, &progress);
        EXPECT_EQ(fs.opened, fs.closes) << "every listing that opened was closed";
        EXPECT_EQ(fs.listed.size(), counts.dirsListed);
        EXPECT_EQ(fs.listedTwice, 0) << "no directory is listed twice";
        return counts;
    }
    const Entry& At(int i) { return table.At(i); }
    int Find(const std::string& path)
    {
        for (int i = 0; i < table.Count(); ++i)
            if (path == At(i).name)
                return i;
        return -1;
    }

    struct Reports final : ScanProgress {
        bool Report(const WalkCounts&) override { return ++count != stopAt; }
        int stopAt = -1;
        int count = 0;
    } progress;
    MemoryLister fs;
    EntryTable table;
};

struct FileCase {
    const char* label;
    std::uint64_t size;
    std::uint32_t clusterBytes;
    std::uint64_t slack;
    std::uint32_t clusters;
    std::uint64_t allocated = MemoryLister::noAllocation;
};

class WalkFile : public Walk, public testing::WithParamInterface<FileCase> {};

TEST_P(WalkFile, CountsBytesSlackAndClusters)
{
    const FileCase& c = GetParam();
    fs.AddFile(0, L"f", c.size, c.allocated);
    const WalkCounts counts = Build({c.clusterBytes, (1u << 30) / (c.clusterBytes / 4), 0, 1000000});
    EXPECT_EQ(At(1).bytes, c.size);
    EXPECT_EQ(At(1).slack, c.slack);
    EXPECT_EQ(At(1).clusters, c.clusters);
    EXPECT_EQ(At(1).files, 1u);
    EXPECT_EQ(At(1).dirs, 0u);
    EXPECT_EQ(At(1).firstChild, -1);
    EXPECT_EQ(counts.files, 1u);
    EXPECT_EQ(counts.dirsListed, 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, WalkFile,
    testing::Values(FileCase{"Empty", 0, 4096, 0, 0}, FileCase{"OneByte", 1, 4096, 4095, 1},
                    FileCase{"OneCluster", 4096, 4096, 0, 1}, FileCase{"ThreeClusters", 12288, 4096, 0, 3},
                    FileCase{"OneByteOver", 4097, 4096, 4095, 2},
                    // 5 GiB with 32 KiB clusters: H = 1, L = 2^30, 131072 + 32768 clusters.
                    FileCase{"FiveGiB", 5368709120ull, 32768, 0, 163840},
                    FileCase{"FiveGiBPlusOne", 5368709121ull, 32768, 32767, 163841},
                    // H = 3, L = 2^32 - 1 with 512-byte clusters: 3 x 8388608 + 8388608.
                    FileCase{"SixteenGiBLessOne", 0x3FFFFFFFFull, 512, 1, 33554432},
                    // Where the listing gives the allocation, the clusters are
                    // those it fills and the slack what it holds beyond the size.
                    FileCase{"Sparse", 0x80000000ull, 4096, 0, 0, 0},
                    FileCase{"Compressed", 100000, 4096, 0, 16, 65536},
                    FileCase{"Preallocated", 100, 4096, 8388508, 2048, 8388608},
                    FileCase{"Resident", 700, 4096, 0, 0, 0},
                    FileCase{"AllocatedAsSizeFills", 4097, 4096, 4095, 2, 8192},
                    FileCase{"PartOfACluster", 1, 4096, 511, 1, 512},
                    // 6 GiB + 512 bytes set aside with 512-byte clusters.
                    FileCase{"AllocatedBeyond4G", 0x180000001ull, 512, 511, 12582913, 0x180000200ull}),
    test::ByLabel());

TEST_F(Walk, FixedEntriesCarry64BitProductsAndTheFreeClusters)
{
    // C x T, F x C and the unaccounted bytes all exceed 2^32; F differs from
    // the clusters in use, so a formula that takes one for the other fails.
    const int a = fs.AddDir(0, L"A");
    fs.AddFile(a, L"x", 65537);
    fs.AddDir(a, L"B");
    fs.AddFile(0, L"y", 1);
    Build({65536, 65536, 1000000, 3000000});

    EXPECT_STREQ(At(0).DisplayName(), "(Total)");
    EXPECT_EQ(At(0).nameOffset, 4u);
    EXPECT_EQ(At(0).bytes, 196608000000ull);
    EXPECT_EQ(At(0).slack, 65536000000ull);
    EXPECT_EQ(At(0).clusters, 3000000u);
    EXPECT_EQ(At(0).firstChild, 1);
    EXPECT_STREQ(At(1).name, "M:\\");
    EXPECT_EQ(At(1).nameOffset, 0u);
    // Root: A (2 + 1 for B) + 1 for A itself + y.
    EXPECT_EQ(At(1).clusters, 5u);
    EXPECT_EQ(At(1).files, 2u);
    EXPECT_EQ(At(1).dirs, 2u);
    EXPECT_EQ(At(1).bytes, 65538u);
    EXPECT_EQ(At(1).slack, 65535u + 65535u);
    EXPECT_EQ(At(1).nextSibling, 2);
    EXPECT_STREQ(At(2).name, "(不明)");
    EXPECT_EQ(At(2).clusters, 2000000u - 5u);
    EXPECT_EQ(At(2).bytes, 1999995ull * 65536);
    EXPECT_EQ(At(2).parent, 0);
    EXPECT_EQ(At(3).nameOffset, 3u);
    EXPECT_STREQ(At(4).name, "M:\\A\\B");
    EXPECT_EQ(At(4).nameOffset, 5u);
}

struct EdgeCase {
    const char* label;
    bool wide;
    std::size_t nameBytes;  // one directory below the root: "M:\" + this many bytes
    const char* shortName;
    const char* recordedAs;  // "" when folded into the root
    bool listed;
};

class WalkPathEdge : public testing::TestWithParam<EdgeCase> {};

TEST_P(WalkPathEdge, PathsFitTheFieldAndWhatDoesNotIsStillSummed)
{
    const EdgeCase& c = GetParam();
    MemoryLister fs(c.wide);
    EntryTable table;
    const int d = fs.AddDir(0, std::wstring(c.nameBytes, L'n'), c.shortName);
    fs.AddFile(d, L"f", 1);
    const WalkCounts counts = BuildDriveTree(table, fs, "M:\\", geometry4K);
    const bool recorded = *c.recordedAs != '\0';
    ASSERT_EQ(table.Count(), recorded ? 4 : 3);
    EXPECT_EQ(counts.overlong, recorded ? 0u : 1u);
    EXPECT_EQ(counts.unlistable, !c.listed && recorded ? 1u : 0u);
    EXPECT_EQ(table.At(1).files, c.listed ? 1u : 0u);
    EXPECT_EQ(table.At(1).dirs, 1u);
    EXPECT_EQ(table.At(1).clusters, c.listed ? 2u : 1u);
    if (recorded) {
        const std::string expected = c.recordedAs == std::string("n") ? std::string(c.nameBytes, 'n') : c.recordedAs;
        EXPECT_EQ(table.At(3).name, "M:\\" + expected);
        EXPECT_STREQ(table.At(3).DisplayName(), expected.c_str());
        EXPECT_EQ(table.At(3).files, c.listed ? 1u : 0u);
    }
}

// A path holds 259 bytes; an ANSI pattern is the path, "\" and "*.*". A wide
// listing needs no pattern, and folds what has no path into the root.
INSTANTIATE_TEST_SUITE_P(
    Edges, WalkPathEdge,
    testing::Values(EdgeCase{"AnsiPatternFits", false, 252, "", "n", true},
                    EdgeCase{"AnsiPatternOneOver", false, 253, "", "n", false},
                    EdgeCase{"AnsiPathOneOver", false, 257, "", "", false},
                    EdgeCase{"AnsiPathOneOverWithShortName", false, 257, "NNNNNN~1", "NNNNNN~1", true},
                    EdgeCase{"PatternOneOver", true, 253, "", "n", true},
                    EdgeCase{"PathFits", true, 256, "", "n", true},
                    EdgeCase{"PathOneOver", true, 257, "", "", true},
                    EdgeCase{"PathOneOverWithShortName", true, 257, "NNNNNN~1", "NNNNNN~1", true}),
    test::ByLabel());

TEST_F(Walk, DeepPathsAreSummedIntoTheDeepestEntryThatFits)
{
    // 130 levels of "é" (shown as "?", two bytes a level with the separator)
    // each holding a 1-byte file; 128 levels fit in 259 bytes ("M:\\" and 255).
    int dir = 0;
    for (int level = 0; level < 130; ++level) {
        dir = fs.AddDir(dir, L"\u00e9");
        fs.AddFile(dir, L"f", 1);
    }
    const WalkCounts counts = Build();
    EXPECT_EQ(table.Count(), 3 + 128);
    EXPECT_EQ(counts.overlong, 2u);
    EXPECT_EQ(At(1).files, 130u);
    EXPECT_EQ(At(1).dirs, 130u);
    EXPECT_EQ(At(1).bytes, 130u);
    EXPECT_EQ(At(3 + 127).files, 3u) << "the deepest entry holds its own file and the two folded below it";
    EXPECT_EQ(At(3 + 127).dirs, 2u);
    EXPECT_EQ(std::strlen(At(3 + 127).name), 258u);
}

TEST_F(Walk, WidePathsEnterUpToTheirLimitOf32766Characters)
{
    // "\\?\M:\" and 127 levels of 255 characters make 32518; below them
    // a name of 247 characters ends at 32766, one of 248 at 32767.
    int dir = 0;
    for (int level = 0; level < 127; ++level)
        dir = fs.AddDir(dir, std::wstring(255, static_cast<wchar_t>(L'a' + level % 26)));
    fs.AddFile(fs.AddDir(dir, std::wstring(247, L'y')), L"f", 1);
    fs.AddFile(fs.AddDir(dir, std::wstring(248, L'z')), L"f", 1);
    Build();
    EXPECT_EQ(At(1).files, 1u);
    EXPECT_EQ(At(1).dirs, 129u);
}

// What a listed directory's name does to the walk. Beside it the root holds
// the real directory "cafe" with one file, and a file of its own; the
// directory under test holds one file of 8192 bytes.
struct NameCase {
    const char* label;
    bool wide;
    const wchar_t* name;
    const char* shortName;
    DWORD extra;
    bool unlistable;
    const char* recordedAs;  // the entry's display name
    bool entered;
    DWORD reparseTag = 0;
};

class WalkName : public testing::TestWithParam<NameCase> {};

TEST_P(WalkName, EntersOnlyThroughANameThatNamesThatDirectory)
{
    const NameCase& c = GetParam();
    MemoryLister fs(c.wide);
    EntryTable table;
    const int cafe = fs.AddDir(0, L"cafe");
    fs.AddFile(cafe, L"c", 1);
    fs.AddFile(0, L"r", 4096);
    const int d = fs.AddDir(0, c.name, c.shortName, c.extra);
    fs.Last(0).reparseTag = c.reparseTag;
    if (c.unlistable)
        fs.MakeUnlistable(d);
    fs.AddFile(d, L"in", 8192);
    const WalkCounts counts = BuildDriveTree(table, fs, "M:\\", geometry4K);
    EXPECT_EQ(fs.listedTwice, 0);

    ASSERT_EQ(table.Count(), 5);
    const Entry& e = table.At(4);
    EXPECT_EQ(std::string(e.DisplayName()), c.recordedAs);
    EXPECT_EQ(std::string(e.name), std::string("M:\\") + c.recordedAs);
    EXPECT_EQ(e.files, c.entered ? 1u : 0u);
    EXPECT_EQ(e.clusters, c.entered ? 2u : 0u);
    EXPECT_EQ(table.At(3).files, 1u) << "cafe is counted once";
    EXPECT_EQ(table.At(1).files, c.entered ? 3u : 2u);
    EXPECT_EQ(table.At(1).dirs, 2u);
    EXPECT_EQ(table.At(1).clusters, 1u + 1u + 1u + (c.entered ? 2u : 0u) + 1u);
    EXPECT_EQ(counts.notEntered, !c.entered && !c.unlistable ? 1u : 0u);
    EXPECT_EQ(counts.unlistable, c.unlistable ? 1u : 0u);
    EXPECT_EQ(counts.overlong, 0u);
}

// The wide walk opens every directory through its real name, or where no
// path can spell that, its 8.3 name; the ANSI walk (the 9x family) through
// the name shown, long or 8.3.
INSTANTIATE_TEST_SUITE_P(
    Names, WalkName,
    testing::Values(
        NameCase{"Plain", true, L"dir", "", 0, false, "dir", true},
        NameCase{"PlainWithShortName", true, L"Program Files", "PROGRA~1", 0, false, "Program Files", true},
        NameCase{"TrailByte5C", true, L"\u8868", "", 0, false, "表", true},
        NameCase{"DotsInside", true, L"a.b..c", "", 0, false, "a.b..c", true},
        NameCase{"YenDotDot", true, L"u\u00a5..\u00a5", "U__~1", 0, false, "U__~1", true},
        NameCase{"YenDotDotWithoutShortName", true, L"u\u00a5..\u00a5", "", 0, false, "u?..?", true},
        NameCase{"AccentedShortNameOfATwin", true, L"caf\u00e9", "CAFE", 0, false, "CAFE", true},
        NameCase{"AccentedWithoutShortName", true, L"caf\u00e9", "", 0, false, "caf?", true},
        NameCase{"Hangul", true, L"\ud55c\uad6d", "", 0, false, "??", true},
        NameCase{"TrailingDot", true, L"dot.", "DOT~1", 0, false, "DOT~1", true},
        NameCase{"FourDots", true, L"....", "", 0, false, "....", true},
        NameCase{"OneCharAndADot", true, L"x.", "", 0, false, "x.", true},
        NameCase{"TrailingSpace", true, L"sp ", "SP~1", 0, false, "SP~1", true},
        NameCase{"Star", true, L"s*t", "ST~1", 0, false, "ST~1", true},
        NameCase{"Quote", true, L"quo\"te", "QUOTE~1", 0, false, "QUOTE~1", true},
        NameCase{"Colon", true, L"a:b", "AB~1", 0, false, "AB~1", true},
        NameCase{"Question", true, L"q?x", "Q_X~1", 0, false, "Q_X~1", true},
        NameCase{"Tab", true, L"a\tb", "", 0, false, "a\tb", false},
        NameCase{"Backslash", true, L"a\\b", "AB~2", 0, false, "AB~2", true},
        NameCase{"SlashWithoutShortName", true, L"\u8868/x", "", 0, false, "表?x", false},
        NameCase{"BadShortName", true, L"s*t", "S*T", 0, false, "s*t", false},
        NameCase{"LinkNotEntered", true, L"link", "", FILE_ATTRIBUTE_REPARSE_POINT, false, "link", false},
        // A reparse point is a link where its tag is a name surrogate; a
        // cloud-synced folder is walked (the reference below has the rest).
        NameCase{"JunctionNotEntered", true, L"j", "", FILE_ATTRIBUTE_REPARSE_POINT, false, "j", false, 0xA0000003},
        NameCase{"CloudFolderEntered", true, L"OneDrive", "ONEDRI~1", FILE_ATTRIBUTE_REPARSE_POINT, false, "OneDrive",
                 true, 0x9000601A},
        NameCase{"Unlistable", true, L"locked", "LOCKED~1", 0, true, "locked", false},
        NameCase{"AnsiYenDotDot", false, L"u\u00a5..\u00a5", "U__~1", 0, false, "U__~1", true},
        NameCase{"AnsiYenDotDotWithoutShortName", false, L"u\u00a5..\u00a5", "", 0, false, "u?..?", false},
        NameCase{"AnsiStar", false, L"s*t", "ST~1", 0, false, "ST~1", true},
        NameCase{"AnsiTrailingDot", false, L"dot.", "", 0, false, "dot.", false},
        NameCase{"AnsiLink", false, L"link", "", FILE_ATTRIBUTE_REPARSE_POINT, false, "link", false},
        NameCase{"AnsiCloudFolder", false, L"c", "", FILE_ATTRIBUTE_REPARSE_POINT, false, "c", true, 0x9000101A}),
    test::ByLabel());

// Random drives against a plain recursive count written from the rules: a
// directory's files count when it is listed, then its subdirectories in
// order; a file's bytes and clusters count at the first name met (id 0:
// always), by its allocation where the listing gives one, else by its size;
// a link (a reparse point whose tag is 0 or a name surrogate), a directory
// listed already and one that cannot be listed count one directory and one
// cluster and nothing below.
struct RefSums {
    std::uint64_t bytes = 0, slack = 0, clusters = 0, files = 0, dirs = 0;
    bool operator==(const RefSums&) const = default;
};
struct RefItem {
    std::uint64_t size = 0, allocated = MemoryLister::noAllocation, id = 0;  // a file
    int dir = -1;  // a directory: the one it opens
    DWORD attributes = 0, tag = 0;
};

TEST(WalkReference, RandomDrivesSumAsTheRulesSay)
{
    const std::uint64_t sizes[] = {0, 1, 511, 4096, 4097, 65535, 1u << 20, 0xFFFFFFFFull, 1ull << 32,
                                   (1ull << 32) + 4097, 5ull << 30};
    const DWORD tags[] = {0, 0xA0000003, 0xA000000C, 0x20000001, 0x9000001A, 0x9000701A, 0x9000001C, 0x80000013};
    const wchar_t* names[] = {L"d", L"\u8868", L"caf\u00e9", L"\ud55c", L"Program Files", L"x.y"};
    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::mt19937 random(seed);
        auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
        const std::uint32_t c = 512u << (2 * pick(4));  // 512 to 32768
        MemoryLister fs;
        std::vector<std::vector<RefItem>> dirs(1);
        std::set<int> unlistable;
        std::vector<std::uint64_t> ids;
        // Directories are made depth first; a link, a cloud folder or another
        // name of a directory may open any directory made so far.
        auto fill = [&](auto& self, int dir, int depth) -> void {
            for (std::size_t i = 0, n = pick(5); i < n; ++i) {
                RefItem f;
                f.size = sizes[pick(std::size(sizes))];
                const std::size_t held = pick(4);  // none given, as the size fills, less, more
                f.allocated = held == 0 ? f.allocated : held == 1 ? (f.size + c - 1) / c * c
                                                      : held == 2 ? f.size / 3 / c * c : f.size + c * (1 + pick(3));
                const std::size_t kind = pick(6);
                f.id = kind == 0 ? 0 : kind == 1 && !ids.empty() ? ids[pick(ids.size())] : (seed << 16) + ids.size() + 1;
                ids.push_back(f.id);
                dirs[static_cast<std::size_t>(dir)].push_back(f);
                fs.AddFile(dir, L"f" + std::to_wstring(i), f.size, f.allocated, f.id);
            }
            for (std::size_t i = 0, n = depth < 5 ? pick(4) : 0; i < n; ++i) {
                RefItem d;
                const std::size_t kind = pick(10);
                d.attributes = kind <= 2 ? FILE_ATTRIBUTE_REPARSE_POINT : 0;
                d.tag = kind <= 2 ? tags[pick(std::size(tags))] : 0;
                const bool another = kind % 2 == 0 && dirs.size() > 1;
                d.dir = static_cast<int>(another ? pick(dirs.size()) : dirs.size());
                fs.AddDir(dir, names[pick(std::size(names))] + std::to_wstring(i), "", d.attributes,
                          another ? d.dir : -1);
                fs.Last(dir).reparseTag = d.tag;
                dirs[static_cast<std::size_t>(dir)].push_back(d);
                if (!another) {
                    dirs.emplace_back();
                    if (kind == 3) {
                        unlistable.insert(d.dir);
                        fs.MakeUnlistable(d.dir);
                    }
                    self(self, d.dir, depth + 1);
                }
            }
        };
        fill(fill, 0, 0);

        std::vector<RefSums> entries;
        std::set<int> listed;
        std::set<std::uint64_t> counted;
        std::uint32_t notEntered = 0, unlisted = 0, hardLinks = 0;
        std::uint64_t hardLinkBytes = 0;
        auto visit = [&](auto& self, int dir) -> RefSums {
            listed.insert(dir);
            RefSums s;
            for (const RefItem& f : dirs[static_cast<std::size_t>(dir)]) {
                if (f.dir >= 0)
                    continue;
                ++s.files;
                if (f.id != 0 && !counted.insert(f.id).second) {
                    ++hardLinks;
                    hardLinkBytes += f.size;
                    continue;
                }
                const std::uint64_t held = f.allocated != MemoryLister::noAllocation ? f.allocated : (f.size + c - 1) / c * c;
                s.bytes += f.size;
                s.clusters += (held + c - 1) / c;
                s.slack += held > f.size ? held - f.size : 0;
            }
            for (const RefItem& d : dirs[static_cast<std::size_t>(dir)]) {
                if (d.dir < 0)
                    continue;
                const std::size_t entry = entries.size();
                entries.emplace_back();
                const bool link = (d.attributes & FILE_ATTRIBUTE_REPARSE_POINT) && (d.tag == 0 || (d.tag & 0x20000000));
                if (link || listed.count(d.dir))
                    ++notEntered;
                else if (unlistable.count(d.dir))
                    ++unlisted;
                else
                    entries[entry] = self(self, d.dir);
                const RefSums& child = entries[entry];
                s = {s.bytes + child.bytes, s.slack + child.slack, s.clusters + child.clusters + 1,
                     s.files + child.files, s.dirs + child.dirs + 1};
            }
            return s;
        };
        const RefSums root = visit(visit, 0);

        EntryTable table;
        const WalkCounts counts = BuildDriveTree(table, fs, "M:\\", {c, (1u << 30) / (c / 4), 1000, 4000000000u});
        SCOPED_TRACE("seed " + std::to_string(seed));
        ASSERT_EQ(table.Count(), static_cast<std::int32_t>(3 + entries.size()));
        auto sums = [&](std::size_t i) {
            const Entry& e = table.At(static_cast<std::int32_t>(i));
            return RefSums{e.bytes, e.slack, e.clusters, e.files, e.dirs};
        };
        EXPECT_TRUE(sums(1) == root);
        for (std::size_t i = 0; i < entries.size(); ++i)
            ASSERT_TRUE(sums(3 + i) == entries[i]) << "entry " << 3 + i;
        EXPECT_EQ(std::tie(counts.notEntered, counts.unlistable, counts.hardLinks, counts.hardLinkBytes, counts.files),
                  std::tie(notEntered, unlisted, hardLinks, hardLinkBytes, root.files));
        EXPECT_EQ(fs.listedTwice, 0);
    }
}

// What each listing gives (a by-handle record, a wide and an ANSI find
// record) makes the same item: the tag of a reparse point (a by-handle
// record's EaSize, a find record's dwReserved0) and 0 for any other item,
// a size above 4 GiB, the name and its 8.3 twin, whatever the item held before.
TEST(ListedItemTag, IsTheReparsePointsOnly)
{
    for (const DWORD attributes : {DWORD{FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT}, DWORD{FILE_ATTRIBUTE_DIRECTORY}}) {
        alignas(8) unsigned char buffer[sizeof(IdBothDirInfo) + 8] = {};
        auto& record = *reinterpret_cast<IdBothDirInfo*>(buffer);
        WIN32_FIND_DATAW wide{};
        WIN32_FIND_DATAA ansi{};
        record.fileAttributes = wide.dwFileAttributes = ansi.dwFileAttributes = attributes;
        record.eaSize = wide.dwReserved0 = ansi.dwReserved0 = 0x9000701A;
        record.endOfFile.QuadPart = 0x300000005;
        wide.nFileSizeHigh = ansi.nFileSizeHigh = 3;
        wide.nFileSizeLow = ansi.nFileSizeLow = 5;
        record.fileNameLength = record.shortNameLength = 6;
        std::wmemcpy(record.fileName, L"abc", 3), std::wmemcpy(wide.cFileName, L"abc", 4), std::strcpy(ansi.cFileName, "abc");
        std::wmemcpy(record.shortName, L"A~1", 3), std::wmemcpy(wide.cAlternateFileName, L"A~1", 4);
        std::strcpy(ansi.cAlternateFileName, "A~1");
        const DWORD tag = attributes & FILE_ATTRIBUTE_REPARSE_POINT ? 0x9000701A : 0;
        ListedItem item;
        for (int form = 0; form < 3; ++form) {
            std::memset(&item, 0xCC, sizeof item);
            form == 0 ? ItemFromRecord(record, item) : form == 1 ? ItemFromFindData(wide, item) : ItemFromFindData(ansi, item);
            SCOPED_TRACE("form " + std::to_string(form) + ", attributes " + std::to_string(attributes));
            EXPECT_EQ(item.reparseTag, tag);
            EXPECT_EQ(std::tie(item.sizeHigh, item.sizeLow, item.exact), std::tuple(3u, 5u, true));
            EXPECT_EQ(std::string(item.name) + "|" + item.shortName, "abc|A~1");
        }
    }
}

// Trees that misled a walk trusting 8.3 names: each directory holds one file
// of its own size (a distinct power of two), so the root's bytes tell which
// directories were counted and how often.
struct TreeCase {
    const char* label;
    void (*build)(MemoryLister& fs, std::vector<int>& counted);
    std::uint32_t notEntered;
};

void Twins(MemoryLister& fs, std::vector<int>& counted)
{
    counted = {fs.AddDir(0, L"\u00c4", "_~~~~2TL"), fs.AddDir(0, L"\u00e4", "_~~~~2TL"),
               fs.AddDir(0, L"\u00dcn\u00efc\u00f6d\u00e9", "_N_C~KMB"),
               fs.AddDir(0, L"\u00dcN\u00cfC\u00d6D\u00c9", "_N_C~KMB")};
}

void NamedLikeAShortName(MemoryLister& fs, std::vector<int>& counted)
{
    counted = {fs.AddDir(0, L"\u00dcn\u00efc\u00f6d\u00e9", "_N_C~KMB"), fs.AddDir(0, L"_N_C~KMB")};
}

void ThousandSiblings(MemoryLister& fs, std::vector<int>& counted)
{
    // 8.3 names of a hash that repeats: 80 pairs share one.
    const int series = fs.AddDir(0, L"photos");
    counted.push_back(series);
    for (int i = 0; i < 1000; ++i) {
        wchar_t name[32];
        std::swprintf(name, 32, L"Verylongname_\u00fc_%03d", i);
        counted.push_back(fs.AddDir(series, name, "VERYLO~" + std::to_string(i % 920)));
    }
    // A link shown as a plain directory to the first of them, listed before
    // the set of listed directories grew.
    fs.AddDir(0, L"again", "", 0, counted[1]);
}

void ShortNameTakenByAnother(MemoryLister& fs, std::vector<int>& counted)
{
    // "q?x" and "r?x" open only by their 8.3 names, which are also the long
    // names of a directory and of a link to one never entered: neither is
    // taken for them. The directory is counted once; the stray file is not.
    const int outside = fs.AddDir(0, L"outside");
    fs.Last(0).attributes |= FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_REPARSE_POINT;
    fs.AddFile(outside, L"stray", 1 << 20);
    fs.AddDir(0, L"q?x", "Q_X~1");
    fs.AddDir(0, L"r?x", "R_X~1");
    counted = {fs.AddDir(0, L"Q_X~1")};
    fs.AddDir(0, L"R_X~1", "", FILE_ATTRIBUTE_REPARSE_POINT, outside);
}

void LinksToDotSharingAShortName(MemoryLister& fs, std::vector<int>& counted)
{
    for (const wchar_t* name : {L"\u00dcn\u00efc\u00f6d\u00e9", L"\u00c4rger"}) {
        counted.push_back(fs.AddDir(0, name, "_N_C~KMB"));
        fs.AddDir(0, name + std::wstring(L"-link"), "_N_C~KMB", FILE_ATTRIBUTE_REPARSE_POINT, 0);
    }
}

void LinkToDotDotOutsideTheDrive(MemoryLister& fs, std::vector<int>& counted)
{
    // The root's parent in the model is the root; an outside directory
    // stands in for what lies beyond the drive.
    const int outside = fs.AddDir(0, L"outside");
    fs.Last(0).attributes |= FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_REPARSE_POINT;
    const int d = fs.AddDir(0, L"\u00dcn\u00efc\u00f6d\u00e9", "_N_C~KMB");
    fs.AddDir(d, L"\u00dcber", "_N_C~KMB", FILE_ATTRIBUTE_REPARSE_POINT, outside);
    counted = {d};
}

void LinksShownAsPlainDirectories(MemoryLister& fs, std::vector<int>& counted)
{
    // A share whose links show as plain directories: to the root, and to a
    // sibling already listed.
    const int a = fs.AddDir(0, L"a");
    fs.AddDir(a, L"root", "", 0, 0);
    fs.AddDir(0, L"again", "", 0, a);
    counted = {a};
}

void SwappedAfterListing(MemoryLister& fs, std::vector<int>& counted)
{
    // Listed as one directory, opened as another: the root, then a sibling.
    const int a = fs.AddDir(0, L"a");
    const int b = fs.AddDir(0, L"b");
    fs.Last(0).listedAs = a;
    fs.AddDir(0, L"c", "", 0, 0);
    fs.Last(0).listedAs = b;
    counted = {a};
}

class WalkTree : public Walk, public testing::WithParamInterface<TreeCase> {};

TEST_P(WalkTree, ListsEveryDirectoryOnceAndNothingOffTheDrive)
{
    std::vector<int> counted;
    GetParam().build(fs, counted);
    std::set<int> seen(counted.begin(), counted.end());
    std::uint64_t expected = 0;
    for (int dir : seen) {
        const std::uint64_t own = std::uint64_t{1} << (dir % 40) << 12;
        fs.AddFile(dir, L"own", own);
        expected += own;
    }
    const WalkCounts counts = Build();
    EXPECT_EQ(At(1).bytes, expected);
    EXPECT_EQ(At(1).files, seen.size());
    EXPECT_EQ(fs.listed.size(), 1 + seen.size());
    EXPECT_EQ(counts.notEntered, GetParam().notEntered);
    EXPECT_EQ(counts.unlistable, 0u);
    EXPECT_LT(fs.opens, 2000);
}

INSTANTIATE_TEST_SUITE_P(Trees, WalkTree,
                         testing::Values(TreeCase{"CaseTwins", Twins, 0},
                                         TreeCase{"NamedLikeAShortName", NamedLikeAShortName, 0},
                                         TreeCase{"ThousandSiblings", ThousandSiblings, 1},
                                         TreeCase{"ShortNameTakenByAnother", ShortNameTakenByAnother, 4},
                                         TreeCase{"LinksToDotSharingAShortName", LinksToDotSharingAShortName, 2},
                                         TreeCase{"LinkToDotDotOutsideTheDrive", LinkToDotDotOutsideTheDrive, 2},
                                         TreeCase{"LinksShownAsPlainDirectories", LinksShownAsPlainDirectories, 2},
                                         TreeCase{"SwappedAfterListing", SwappedAfterListing, 2}),
                         test::ByLabel());

TEST_F(Walk, FullTableFoldsTheRestIntoTheEntriesThereAre)
{
    // Room for 128 directories; the drive has 1440, each with a 1-byte file.
    table.Storage().SetLimit(200 * sizeof(Entry));
    for (int a = 0; a < 10; ++a) {
        const int top = fs.AddDir(0, L"a" + std::to_wstring(a));
        fs.AddFile(top, L"f", 1);
        for (int b = 0; b < 13; ++b) {
            const int mid = fs.AddDir(top, L"b" + std::to_wstring(b));
            fs.AddFile(mid, L"f", 1);
            for (int c = 0; c < 10; ++c)
                fs.AddFile(fs.AddDir(mid, L"c" + std::to_wstring(c)), L"f", 1);
        }
    }
    const WalkCounts counts = Build();
    EXPECT_EQ(table.Count(), 3 + 128);
    EXPECT_EQ(counts.noRoom, 1440u - 128u);
    EXPECT_EQ(counts.overlong, 0u);
    EXPECT_EQ(At(1).files, 1440u);
    EXPECT_EQ(At(1).dirs, 1440u);
    EXPECT_EQ(At(1).clusters, 1440u + 1440u);
    EXPECT_EQ(At(1).bytes, 1440u);
    EXPECT_EQ(fs.listed.size(), 1u + 1440u) << "the folded directories are listed too";
}

TEST_F(Walk, HardLinksCountOnceWhereMetFirst)
{
    // 10 MiB (id 77) named in a, in b and twice in c; a thousand other files
    // in a after it, so that the set of ids grows before b is listed; two
    // files in c whose id is unknown (0).
    const int a = fs.AddDir(0, L"a"), b = fs.AddDir(0, L"b"), c = fs.AddDir(0, L"c");
    fs.AddFile(a, L"ten", 10485760, 10485760, 77);
    for (int i = 0; i < 1000; ++i)
        fs.AddFile(a, L"f" + std::to_wstring(i), 1, 4096, 1000 + i);
    fs.AddFile(b, L"ten", 10485760, 10485760, 77);
    fs.AddFile(c, L"ten1", 10485760, 10485760, 77);
    fs.AddFile(c, L"ten2", 10485760, 10485760, 77);
    fs.AddFile(c, L"x", 4096, 4096, 0);
    fs.AddFile(c, L"y", 4096, 4096, 0);
    const WalkCounts counts = Build();
    // Bytes, slack, clusters and files of a, b, c and the root.
    using S = std::tuple<std::uint64_t, std::uint64_t, std::uint32_t, std::uint32_t>;
    auto sums = [&](int i) { return S{At(i).bytes, At(i).slack, At(i).clusters, At(i).files}; };
    EXPECT_EQ(sums(3), (S{10485760u + 1000u, 1000u * 4095u, 2560u + 1000u, 1001u}));
    EXPECT_EQ(sums(4), (S{0u, 0u, 0u, 1u}));
    EXPECT_EQ(sums(5), (S{8192u, 0u, 2u, 4u}));
    EXPECT_EQ(sums(1), (S{10485760u + 1000u + 8192u, 1000u * 4095u, 2560u + 1000u + 2u + 3u, 1006u}));
    EXPECT_EQ(counts.hardLinks, 3u);
    EXPECT_EQ(counts.hardLinkBytes, 3u * 10485760u);
    EXPECT_EQ(counts.unchecked, 0u);
}

TEST_F(Walk, FilesBeyondTheMemoryForIdsCountInFull)
{
    // Ids in 8 KiB: 1024 slots, 716 ids at the 70% load the set keeps. Of
    // 800 files the last 84 are unchecked; a second name of the first is
    // still known, one of the last is counted again. Of 800 directories the
    // last 85 are not entered (the root is the first id): a link back to one
    // of them would not be recognised.
    for (int i = 0; i < 800; ++i) {
        fs.AddFile(0, L"f" + std::to_wstring(i), 1, 4096, 1000 + i);
        fs.AddDir(0, L"d" + std::to_wstring(i));
    }
    fs.AddFile(0, L"first", 1, 4096, 1000);
    fs.AddFile(0, L"last", 1, 4096, 1799);
    table.Resize(2, 128);
    table.At(1).Clear();
    std::strcpy(table.At(1).name, "M:\\");
    DriveWalk walk(table, fs, geometry4K);
    walk.LimitIdBytes(8192);
    walk.Walk(1);
    EXPECT_EQ(walk.Counts().hardLinks, 1u);
    EXPECT_EQ(walk.Counts().unchecked, 85u);
    EXPECT_EQ(walk.Counts().notEntered, 85u);
    EXPECT_EQ(At(1).files, 802u);
    EXPECT_EQ(At(1).bytes, 801u);
    EXPECT_EQ(At(1).clusters, 801u + 800u);
    EXPECT_EQ(walk.Counts().idBytes, 2u * 8192u);
}

TEST_F(Walk, UnlistableRootAndProgressThroughLongListings)
{
    fs.MakeUnlistable(0);
    EXPECT_EQ(Build().unlistable, 1u);
    EXPECT_EQ(At(1).files, 0u);

    MemoryLister many;
    fs = std::move(many);
    for (int i = 0; i < 1000; ++i)
        fs.AddFile(0, L"f" + std::to_wstring(i), 1);
    progress.count = 0;
    EXPECT_EQ(Build().files, 1000u);
    EXPECT_GE(progress.count, 1 + 3) << "once a listing, and every 256 items";
    progress.count = 0;
    progress.stopAt = 2;
    fs.listed.clear();
    const WalkCounts stopped = Build();
    EXPECT_TRUE(stopped.stopped);
    EXPECT_EQ(stopped.files, 256u) << "the walk stops at the report that asks it to";
}

TEST_F(Walk, DirectoryListingsInPreOrderWithSiblingLinks)
{
    // Children in listing order, not sorted; "." and ".." never entries.
    fs.AddDir(0, L".");
    fs.AddDir(0, L"..");
    const int z = fs.AddDir(0, L"Z");
    fs.AddDir(z, L"z1");
    fs.AddDir(z, L"z2");
    fs.AddDir(0, L"...");
    fs.AddDir(0, L"A");
    const WalkCounts counts = Build();
    const char* expected[] = {"Z", "Z\\z1", "Z\\z2", "...", "A"};
    ASSERT_EQ(table.Count(), 3 + 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(std::string(At(3 + i).name), std::string("M:\\") + expected[i]);
    EXPECT_EQ(At(1).firstChild, 3);
    EXPECT_EQ(At(3).nextSibling, 6);
    EXPECT_EQ(At(3).firstChild, 4);
    EXPECT_EQ(At(4).nextSibling, 5);
    EXPECT_EQ(At(6).nextSibling, 7);
    EXPECT_EQ(At(7).nextSibling, -1);
    EXPECT_EQ(At(3).dirs, 2u);
    EXPECT_EQ(At(3).clusters, 2u);
    EXPECT_EQ(At(1).dirs, 5u);
    EXPECT_EQ(counts.notEntered, 0u) << "a name of dots only opens by its wide name";
}

struct ComponentCase {
    const char* label;
    const char* name;
    bool plain;
};

class PlainComponent : public testing::TestWithParam<ComponentCase> {};

TEST_P(PlainComponent, TellsNamesThatOpenWhatTheySay)
{
    EXPECT_EQ(IsPlainComponent(GetParam().name), GetParam().plain);
}

INSTANTIATE_TEST_SUITE_P(
    Names, PlainComponent,
    testing::Values(ComponentCase{"Plain", "abc", true}, ComponentCase{"Empty", "", false},
                    ComponentCase{"Dot", ".", false}, ComponentCase{"DotDot", "..", false},
                    ComponentCase{"LeadingDot", ".git", true}, ComponentCase{"EndsInDot", "a.", false},
                    ComponentCase{"EndsInSpace", "a ", false}, ComponentCase{"InnerSpace", "a b", true},
                    ComponentCase{"Backslash", "a\\b", false}, ComponentCase{"TrailByte5C", "表", true},
                    ComponentCase{"TrailByte5CThenDot", "予.", false},
                    ComponentCase{"DotThenDoubleByte", "a.表", true},
                    ComponentCase{"TrailByte7C", "ポ", true},  // 0x83 0x7C: not a "|"
                    ComponentCase{"CutLeadByte", "a\x95", false}, ComponentCase{"Control", "a\x01", false},
                    ComponentCase{"Delete", "a\x7f", false}, ComponentCase{"HalfWidthKana", "ﾚﾃﾞｨ", true},
                    ComponentCase{"Less", "<", false}, ComponentCase{"Greater", ">", false},
                    ComponentCase{"Star", "*", false}, ComponentCase{"Question", "?", false},
                    ComponentCase{"Quote", "\"", false}, ComponentCase{"Pipe", "|", false},
                    ComponentCase{"Colon", ":", false}, ComponentCase{"Slash", "/", false}),
    test::ByLabel());

}  // namespace
