// The drive walk over directory listings fed from memory: the counting rules,
// the fixed entries, path limits and the names a directory is entered by.
#include "analysis/scan.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

// A directory tree in memory, opened the way Windows resolves a path: "."
// is skipped, ".." goes up, trailing dots and spaces of a component are
// dropped, and a component matches an item's long name only where that is
// the item's real name, or its short name.
class MemoryLister final : public DirectoryLister {
public:
    struct Item {
        std::string name;
        bool exact = true;
        std::string shortName;
        DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
        std::uint64_t size = 0;
        int dir = -1;                // the directory this item is, or -1 for a file
        bool longFails = false;      // listing through the long name fails
    };

    MemoryLister() : dirs(1) {}

    int AddDir(int parent, const std::string& name, bool exact = true, const std::string& shortName = "",
               DWORD extra = 0)
    {
        const int id = static_cast<int>(dirs.size());
        dirs.emplace_back();
        // A directory below the root lists "." and ".." first, as on the platform.
        for (const char* dots : {".", ".."}) {
            Item self;
            self.name = dots;
            self.attributes = FILE_ATTRIBUTE_DIRECTORY;
            dirs.back().push_back(self);
        }
        Item item;
        item.name = name;
        item.exact = exact;
        item.shortName = shortName;
        item.attributes = FILE_ATTRIBUTE_DIRECTORY | extra;
        item.dir = id;
        dirs[static_cast<std::size_t>(parent)].push_back(item);
        return id;
    }
    void AddFile(int parent, const std::string& name, std::uint64_t size)
    {
        Item item;
        item.name = name;
        item.size = size;
        dirs[static_cast<std::size_t>(parent)].push_back(item);
    }
    Item& Last(int parent) { return dirs[static_cast<std::size_t>(parent)].back(); }
    void MakeUnlistable(int dir) { unlistable.insert(dir); }

    Handle Open(const char* pattern, ListedItem& item) override
    {
        ++opens;
        if (opens > 10000)
            return none;  // a walk that goes round in circles ends here
        const int dir = Resolve(pattern);
        if (dir < 0 || unlistable.count(dir))
            return none;
        if (!opened.insert(dir).second)
            ++reopened;
        listings.push_back({dir, 0});
        const Handle handle = listings.size();
        if (!Next(handle, item))
            return none;  // an empty root lists nothing, not even "."
        ++listed;
        return handle;
    }

    bool Next(Handle listing, ListedItem& item) override
    {
        Listing& l = listings[listing - 1];
        const auto& items = dirs[static_cast<std::size_t>(l.dir)];
        if (l.next >= items.size())
            return false;
        const Item& from = items[l.next++];
        std::memset(&item, 0, sizeof item);
        item.attributes = from.attributes;
        item.sizeHigh = static_cast<DWORD>(from.size >> 32);
        item.sizeLow = static_cast<DWORD>(from.size);
        item.exact = from.exact;
        from.name.copy(item.name, sizeof item.name - 1);
        from.shortName.copy(item.shortName, sizeof item.shortName - 1);
        return true;
    }

    void Close(Handle) override { ++closes; }

    int opens = 0;
    int listed = 0;
    int closes = 0;
    int reopened = 0;

private:
    struct Listing {
        int dir;
        std::size_t next;
    };

    // The directory that a pattern "X:\a\b\*.*" names, or -1.
    int Resolve(const char* pattern) const
    {
        std::string path(pattern);
        if (path.size() < 6 || path.compare(path.size() - 3, 3, "*.*") != 0 || path.compare(1, 2, ":\\") != 0)
            return -1;
        path = path.substr(3, path.size() - 6);
        std::vector<int> stack{0};
        std::string component;
        auto step = [&]() -> bool {
            while (!component.empty() && (component.back() == '.' || component.back() == ' ') && component != "." &&
                   component != "..")
                component.pop_back();
            if (component.empty() || component == ".") {
            } else if (component == "..") {
                if (stack.size() > 1)
                    stack.pop_back();
            } else {
                int found = -1;
                for (const Item& i : dirs[static_cast<std::size_t>(stack.back())]) {
                    if (i.dir >= 0 && ((i.exact && !i.longFails && i.name == component) || i.shortName == component))
                        found = i.dir;
                }
                if (found < 0)
                    return false;
                stack.push_back(found);
            }
            component.clear();
            return true;
        };
        for (const char* p = path.c_str(); *p; p = CharNextA(p)) {
            if (*p == '\\' || *p == '/') {
                if (!step())
                    return -1;
            } else {
                component.append(p, static_cast<std::size_t>(CharNextA(p) - p));
            }
        }
        if (!step())
            return -1;
        return stack.back();
    }

    std::vector<std::vector<Item>> dirs;
    std::set<int> unlistable;
    std::set<int> opened;
    std::vector<Listing> listings;
};

constexpr ClusterGeometry geometry4K{4096, 1048576, 500000, 1000000};

class Walk : public testing::Test {
protected:
    WalkCounts Build(const ClusterGeometry& g = geometry4K)
    {
        const WalkCounts counts = BuildDriveTree(table, fs, "M:\\", g);
        EXPECT_EQ(fs.listed, fs.closes) << "every listing that opened was closed";
        EXPECT_EQ(static_cast<std::uint32_t>(fs.listed), counts.dirsListed);
        EXPECT_EQ(fs.reopened, 0) << "no directory is walked twice";
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

    MemoryLister fs;
    EntryTable table;
};

struct FileCase {
    const char* label;
    std::uint64_t size;
    std::uint32_t clusterBytes;
    std::uint64_t slack;
    std::uint32_t clusters;
};

class WalkFile : public Walk, public testing::WithParamInterface<FileCase> {};

TEST_P(WalkFile, CountsBytesSlackAndClusters)
{
    const FileCase& c = GetParam();
    fs.AddFile(0, "f", c.size);
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
                    FileCase{"SixteenGiBLessOne", 0x3FFFFFFFFull, 512, 1, 33554432}),
    test::ByLabel());

TEST_F(Walk, FixedEntriesCarry64BitProductsAndTheFreeClusters)
{
    // C x T, F x C and the unaccounted bytes all exceed 2^32; F differs from
    // the clusters in use, so a formula that takes one for the other fails.
    const int a = fs.AddDir(0, "A");
    fs.AddFile(a, "x", 65537);
    fs.AddDir(a, "B");
    fs.AddFile(0, "y", 1);
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
    std::size_t nameBytes;  // one directory below the root: "M:\" + this many bytes
    bool recorded;
    bool listed;
};

class WalkPathEdge : public Walk, public testing::WithParamInterface<EdgeCase> {};

TEST_P(WalkPathEdge, PathsAndPatternsFitInTheField)
{
    const EdgeCase& c = GetParam();
    const int d = fs.AddDir(0, std::string(c.nameBytes, 'n'));
    fs.AddFile(d, "f", 1);
    const WalkCounts counts = Build();
    EXPECT_EQ(table.Count(), c.recorded ? 4 : 3);
    EXPECT_EQ(counts.overlong, c.recorded ? 0u : 1u);
    if (c.recorded) {
        EXPECT_EQ(std::strlen(At(3).name), 3 + c.nameBytes);
        EXPECT_EQ(At(3).files, c.listed ? 1u : 0u);
        EXPECT_EQ(counts.unlistable, c.listed ? 0u : 1u);
        EXPECT_EQ(At(1).clusters, c.listed ? 2u : 1u);
    }
}

// A path holds 259 bytes; a pattern is the path, "\" and "*.*".
INSTANTIATE_TEST_SUITE_P(Edges, WalkPathEdge,
                         testing::Values(EdgeCase{"PatternFits", 252, true, true},
                                         EdgeCase{"PatternOneOver", 253, true, false},
                                         EdgeCase{"PathFits", 256, true, false},
                                         EdgeCase{"PathOneOver", 257, false, false}),
                         test::ByLabel());

// What a listed directory's name does to the walk. Beside it the root holds
// the real directory "cafe" with one file, and a file of its own; the
// directory under test holds one file of 8192 bytes.
struct NameCase {
    const char* label;
    const char* name;
    bool exact;
    const char* shortName;
    DWORD extra;
    bool longFails;
    bool unlistable;
    const char* recordedAs;  // the entry's display name
    bool entered;
    std::uint32_t notEntered;
    std::uint32_t unlistableCount;
};

class WalkName : public Walk, public testing::WithParamInterface<NameCase> {};

TEST_P(WalkName, EntersOnlyThroughANameThatNamesThatDirectory)
{
    const NameCase& c = GetParam();
    const int cafe = fs.AddDir(0, "cafe");
    fs.AddFile(cafe, "c", 1);
    fs.AddFile(0, "r", 4096);
    const int d = fs.AddDir(0, c.name, c.exact, c.shortName, c.extra);
    fs.Last(0).longFails = c.longFails;
    if (c.unlistable)
        fs.MakeUnlistable(d);
    fs.AddFile(d, "in", 8192);
    const WalkCounts counts = Build();

    ASSERT_EQ(table.Count(), 5);
    EXPECT_EQ(std::string(At(4).DisplayName()), c.recordedAs);
    EXPECT_EQ(std::string(At(4).name), std::string("M:\\") + c.recordedAs);
    EXPECT_EQ(At(4).files, c.entered ? 1u : 0u);
    EXPECT_EQ(At(4).clusters, c.entered ? 2u : 0u);
    EXPECT_EQ(At(3).files, 1u) << "cafe is counted once";
    EXPECT_EQ(At(1).files, c.entered ? 3u : 2u);
    EXPECT_EQ(At(1).dirs, 2u);
    EXPECT_EQ(At(1).clusters, 1u + 1u + 1u + (c.entered ? 2u : 0u) + 1u);
    EXPECT_EQ(counts.notEntered, c.notEntered);
    EXPECT_EQ(counts.unlistable, c.unlistableCount);
    EXPECT_EQ(counts.overlong, 0u);
    for (int i = 0; i < table.Count(); ++i) {
        const std::string path = At(i).name;
        EXPECT_EQ(path.find("\\.\\"), std::string::npos) << path;
        EXPECT_EQ(path.find("\\..\\"), std::string::npos) << path;
    }
}

// The names a lister with best fit gives: U+00A5 as "\", e-acute as "e".
INSTANTIATE_TEST_SUITE_P(
    Names, WalkName,
    testing::Values(
        NameCase{"Plain", "dir", true, "", 0, false, false, "dir", true, 0, 0},
        NameCase{"PlainWithShortName", "Program Files", true, "PROGRA~1", 0, false, false, "Program Files", true, 0, 0},
        NameCase{"TrailByte5C", "表", true, "", 0, false, false, "表", true, 0, 0},
        NameCase{"DotsInside", "a.b..c", true, "", 0, false, false, "a.b..c", true, 0, 0},
        NameCase{"YenDotDotThroughShortName", "u\\..\\", false, "U__~1", 0, false, false, "U__~1", true, 0, 0},
        NameCase{"YenDotDotWithoutShortName", "u\\..\\", false, "", 0, false, false, "u?..?", false, 1, 0},
        NameCase{"BestFitCollision", "cafe", false, "CAFE~1", 0, false, false, "CAFE~1", true, 0, 0},
        NameCase{"QuestionMark", "caf?", false, "CAF~1", 0, false, false, "CAF~1", true, 0, 0},
        NameCase{"TrailingDot", "dot.", true, "DOT~1", 0, false, false, "DOT~1", true, 0, 0},
        NameCase{"FourDots", "....", true, "", 0, false, false, "....", false, 1, 0},
        NameCase{"TrailingSpace", "sp ", true, "SP~1", 0, false, false, "SP~1", true, 0, 0},
        NameCase{"Star", "s*t", true, "ST~1", 0, false, false, "ST~1", true, 0, 0},
        NameCase{"Pipe", "p|q", true, "PQ~1", 0, false, false, "PQ~1", true, 0, 0},
        NameCase{"AngleBrackets", "lt<gt>", true, "LTGT~1", 0, false, false, "LTGT~1", true, 0, 0},
        NameCase{"Quote", "quo\"te", true, "QUOTE~1", 0, false, false, "QUOTE~1", true, 0, 0},
        NameCase{"Colon", "a:b", true, "AB~1", 0, false, false, "AB~1", true, 0, 0},
        NameCase{"Tab", "a\tb", true, "AB~2", 0, false, false, "AB~2", true, 0, 0},
        NameCase{"TabWithoutShortName", "a\tb", true, "", 0, false, false, "a\tb", false, 1, 0},
        NameCase{"Slash", "a/b", true, "AB~3", 0, false, false, "AB~3", true, 0, 0},
        NameCase{"BadShortName", "s*t", true, "S*T", 0, false, false, "s*t", false, 1, 0},
        NameCase{"LinkNotEntered", "link", true, "", FILE_ATTRIBUTE_REPARSE_POINT, false, false, "link", false, 1, 0},
        NameCase{"LongNameFailsShortNameLists", "longname", true, "LONGNA~1", 0, true, false, "LONGNA~1", true, 0, 0},
        NameCase{"Unlistable", "locked", true, "", 0, false, true, "locked", false, 0, 1},
        NameCase{"UnlistableWithShortName", "locked", true, "LOCKED~1", 0, false, true, "locked", false, 0, 1}),
    test::ByLabel());

TEST_F(Walk, TwoYenDotDotNamesEndAndCountEachFileOnce)
{
    // Walked through the names a best-fit listing gives, each would lead
    // back to the root, and from there again.
    fs.AddFile(0, "f", 1);
    const int a = fs.AddDir(0, "u\\..\\", false);
    fs.AddFile(a, "g", 1);
    const int b = fs.AddDir(0, "v\\..\\..\\", false);
    fs.AddFile(b, "h", 1);
    const int c = fs.AddDir(0, "w", true);
    fs.AddDir(c, "x\\..\\..\\", false);
    const WalkCounts counts = Build();
    EXPECT_EQ(table.Count(), 3 + 4);
    EXPECT_EQ(At(1).files, 1u);
    EXPECT_EQ(counts.notEntered, 3u);
    EXPECT_EQ(counts.dirsListed, 2u);
    EXPECT_LT(fs.opens, 10);
}

TEST_F(Walk, DirectoryListingsInPreOrderWithSiblingLinks)
{
    // Children in listing order, not sorted; "." and ".." never entries.
    fs.AddDir(0, ".");
    fs.AddDir(0, "..");
    const int z = fs.AddDir(0, "Z");
    fs.AddDir(z, "z1");
    fs.AddDir(z, "z2");
    fs.AddDir(0, "...", true, "");
    fs.AddDir(0, "A");
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
    EXPECT_EQ(counts.notEntered, 1u) << "a name of dots only is an entry, but has no plain form";
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
                    ComponentCase{"TrailByte7C", "ポ", true},  // 0x83 0x7C: not a "|"
                    ComponentCase{"CutLeadByte", "a\x95", false}, ComponentCase{"Control", "a\x01", false},
                    ComponentCase{"Delete", "a\x7f", false}, ComponentCase{"HalfWidthKana", "ﾚﾃﾞｨ", true},
                    ComponentCase{"Less", "<", false}, ComponentCase{"Greater", ">", false},
                    ComponentCase{"Star", "*", false}, ComponentCase{"Question", "?", false},
                    ComponentCase{"Quote", "\"", false}, ComponentCase{"Pipe", "|", false},
                    ComponentCase{"Colon", ":", false}, ComponentCase{"Slash", "/", false}),
    test::ByLabel());

}  // namespace
