// Chart layout and title.
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace {

using test::Node;
using test::ViewHost;

struct Span {
    int column;
    int top;
    int bottom;
    bool operator==(const Span&) const = default;
};

void PrintTo(const Span& s, std::ostream* os)
{
    *os << "{" << s.column << ", [" << s.top << "," << s.bottom << ")}";
}

Span SpanOf(CChartView& view, int index)
{
    const Entry& e = view.table.At(index);
    return {e.column, e.top, e.bottom};
}

// Entry 0 the root with 1000 clusters, four children in sibling order.
const std::vector<Node> workedExample = {
    {-1, 1000, "X:\\"}, {0, 300, "X:\\A"}, {0, 150, "X:\\B"}, {0, 2, "X:\\C"}, {0, 500, "X:\\D"},
};

TEST(Layout, WorkedExample)
{
    ViewHost host(400);
    CChartView& view = host.View();
    test::BuildTree(view.table, workedExample);
    view.rootIndex = 3;  // not 0/2, so the path title form
    view.LayoutNode(0, 0, 0, 400);
    EXPECT_EQ(SpanOf(view, 0), (Span{0, 0, 400}));
    EXPECT_EQ(SpanOf(view, 1), (Span{1, 0, 120}));
    EXPECT_EQ(SpanOf(view, 2), (Span{1, 120, 180}));
    EXPECT_EQ(SpanOf(view, 3), (Span{1, 180, 180}));
    EXPECT_EQ(SpanOf(view, 4), (Span{1, 180, 380}));
}

TEST(Layout, ZeroHeightChildLeavesItsSubtreeAtZeroHeight)
{
    ViewHost host(400);
    CChartView& view = host.View();
    auto nodes = workedExample;
    nodes.push_back({3, 1, "X:\\C\\E"});
    nodes.push_back({5, 1, "X:\\C\\E\\F"});
    test::BuildTree(view.table, nodes);
    view.rootIndex = 0;
    view.Relayout();
    EXPECT_EQ(SpanOf(view, 5), (Span{2, 180, 180}));
    EXPECT_EQ(SpanOf(view, 6), (Span{3, 180, 180}));
}

TEST(Layout, ClientHeightZeroGivesEmptySpans)
{
    ViewHost host(0);
    CChartView& view = host.View();
    test::BuildTree(view.table, workedExample);
    view.rootIndex = 0;
    view.Relayout();
    for (int i = 0; i < view.table.Count(); ++i)
        EXPECT_EQ(SpanOf(view, i), (Span{i == 0 ? 0 : 1, 0, 0})) << "entry " << i;
}

TEST(Layout, ChildrenOverflowingTheirParentAreNotClamped)
{
    ViewHost host(100);
    CChartView& view = host.View();
    test::BuildTree(view.table, {{-1, 10, "X:\\"}, {0, 8, "X:\\A"}, {0, 8, "X:\\B"}});
    view.rootIndex = 0;
    view.Relayout();
    EXPECT_EQ(SpanOf(view, 1), (Span{1, 0, 80}));
    EXPECT_EQ(SpanOf(view, 2), (Span{1, 80, 160}));
}

TEST(Layout, EntriesOutsideTheSubtreeAreReset)
{
    ViewHost host(200);
    CChartView& view = host.View();
    // 0 total, 1 root dir, 2 unaccounted, 3 and 4 under 1, 5 under 3.
    test::BuildTree(view.table, {{-1, 100, ""}, {0, 50, "X:\\"}, {0, 10, "(x)"}, {1, 20, "X:\\A"},
                                 {1, 20, "X:\\B"}, {3, 5, "X:\\A\\C"}});
    view.rootIndex = 0;
    view.Relayout();
    view.rootIndex = 3;
    view.Relayout();
    EXPECT_EQ(SpanOf(view, 3), (Span{0, 0, 200}));
    EXPECT_EQ(SpanOf(view, 5), (Span{1, 0, 50}));
    for (int i : {0, 1, 2, 4})
        EXPECT_EQ(SpanOf(view, i), (Span{-1, 0, 0})) << "entry " << i;
}

TEST(Layout, RootWithoutClustersFillsColumnZeroWithoutTrapping)
{
    ViewHost host(300);
    CChartView& view = host.View();
    test::BuildTree(view.table, {{-1, 10, "X:\\"}, {0, 0, "X:\\EMPTY"}});
    view.rootIndex = 1;
    view.Relayout();
    EXPECT_EQ(SpanOf(view, 1), (Span{0, 0, 300}));
    EXPECT_EQ(SpanOf(view, 0), (Span{-1, 0, 0}));
}

TEST(Layout, NegativeRootTouchesNothing)
{
    ViewHost host(300);
    CChartView& view = host.View();
    test::BuildTree(view.table, workedExample);
    view.table.At(2).column = 7;
    view.table.At(2).top = 8;
    view.table.At(2).bottom = 9;
    host.SetTitle("untouched");
    view.rootIndex = -1;
    view.Relayout();
    EXPECT_EQ(SpanOf(view, 2), (Span{7, 8, 9}));
    EXPECT_EQ(host.Title(), "untouched");
}

TEST(Layout, SiblingsMeasuredFromTheParentsTopOnTheRunningSum)
{
    // Three equal children in a 100-pixel box: 100/3 rows each, cut on the
    // running sum. Measured from the previous child's bottom instead, the
    // truncations would add up: [0,16) [16,32) [32,48).
    ViewHost host(100);
    CChartView& view = host.View();
    test::BuildTree(view.table, {{-1, 6, "X:\\"}, {0, 1, "X:\\A"}, {0, 1, "X:\\B"}, {0, 1, "X:\\C"}});
    view.rootIndex = 0;
    view.Relayout();
    EXPECT_EQ(SpanOf(view, 1), (Span{1, 0, 16}));
    EXPECT_EQ(SpanOf(view, 2), (Span{1, 16, 33}));
    EXPECT_EQ(SpanOf(view, 3), (Span{1, 33, 50}));
}

// The layout as the rules state it, written out plainly: a recursion over
// the links into a separate array.
void ReferenceLayout(const EntryTable& table, int index, int column, int top, int bottom, std::vector<Span>& out)
{
    out[static_cast<std::size_t>(index)] = {column, top, bottom};
    const Entry& e = table.At(index);
    const double scale = (static_cast<double>(bottom) - static_cast<double>(top)) / static_cast<double>(e.clusters);
    std::uint32_t sum = 0;
    int previous = top;
    for (int child = e.firstChild; child >= 0; child = table.At(child).nextSibling) {
        sum += table.At(child).clusters;
        const double product = std::trunc(static_cast<double>(sum) * scale);
        const double clamped = product != product ? 0.0 : std::clamp(product, -2147483648.0, 2147483647.0);
        const int end = static_cast<int>(std::clamp(static_cast<double>(top) + clamped, -2147483648.0, 2147483647.0));
        ReferenceLayout(table, child, column + 1, previous, end, out);
        previous = end;
    }
}

// A scan-shaped table: 0 the volume, 1 the root directory, 2 a second child
// of 0, then the root's tree in depth-first pre-order. Clusters are random,
// some 0, and some folders hold less than their subfolders.
std::vector<Node> GeneratedTree(int wanted, unsigned seed, bool preOrder)
{
    std::mt19937 random(seed);
    std::vector<Node> nodes = {{-1, 0, ""}, {0, 0, "X:\\"}, {0, 5000, "(x)"}};
    std::vector<int> open = {1};
    while (static_cast<int>(nodes.size()) < wanted) {
        const int depth = static_cast<int>(open.size());
        const int parent = open.back();
        const int roll = std::uniform_int_distribution<int>(0, 9)(random);
        if ((roll < 3 && depth > 1) || depth > 14) {
            open.pop_back();
            continue;
        }
        const std::uint32_t clusters = roll == 4 ? 0u : static_cast<std::uint32_t>(std::exponential_distribution<double>(0.002)(random));
        nodes.push_back({parent, clusters, "X:\\d" + std::to_string(nodes.size())});
        if (roll >= 6)
            open.push_back(static_cast<int>(nodes.size()) - 1);
    }
    // Each folder holds its subfolders' clusters plus one each, and its own
    // files, but every tenth one holds less.
    for (int i = static_cast<int>(nodes.size()) - 1; i >= 1; --i) {
        Node& n = nodes[static_cast<std::size_t>(i)];
        if (n.parent >= 1 && i % 10 != 0)
            nodes[static_cast<std::size_t>(n.parent)].clusters += n.clusters + 1;
    }
    nodes[0].clusters = nodes[1].clusters + 9000;
    if (!preOrder) {
        // The same tree breadth first: parents before children, but no
        // longer depth-first.
        std::vector<int> order = {0, 1, 2}, position(nodes.size(), -1);
        for (std::size_t k = 1; k < order.size(); ++k)
            for (std::size_t j = 3; j < nodes.size(); ++j)
                if (nodes[j].parent == order[k])
                    order.push_back(static_cast<int>(j));
        for (std::size_t k = 0; k < order.size(); ++k)
            position[static_cast<std::size_t>(order[k])] = static_cast<int>(k);
        std::vector<Node> moved;
        for (int old : order) {
            Node n = nodes[static_cast<std::size_t>(old)];
            if (n.parent >= 0)
                n.parent = position[static_cast<std::size_t>(n.parent)];
            moved.push_back(n);
        }
        nodes = moved;
    }
    return nodes;
}

enum class Shape {
    preOrder,          // as a scan builds it: laid out in one pass
    breadthFirst,
    reversedSiblings,  // every sibling list against index order
    mislinked,         // one entry's parent field names an entry never open
};

struct LargeCase {
    const char* label;
    Shape shape;
    int height;
};

// Links every parent's children in the reverse of index order.
void ReverseSiblings(EntryTable& table)
{
    std::vector<std::int32_t> first(static_cast<std::size_t>(table.Count()), -1);
    for (std::int32_t i = 0; i < table.Count(); ++i) {
        Entry& e = table.At(i);
        if (e.parent >= 0) {
            e.nextSibling = first[static_cast<std::size_t>(e.parent)];
            first[static_cast<std::size_t>(e.parent)] = i;
        }
    }
    for (std::int32_t i = 0; i < table.Count(); ++i)
        table.At(i).firstChild = first[static_cast<std::size_t>(i)];
}

class LayoutLarge : public testing::TestWithParam<LargeCase> {};

TEST_P(LayoutLarge, EveryEntryAsTheRecursionGivesIt)
{
    ViewHost host(GetParam().height);
    CChartView& view = host.View();
    const Shape shape = GetParam().shape;
    test::BuildTree(view.table, GeneratedTree(20000, 20261207, shape != Shape::breadthFirst));
    const int count = view.table.Count();
    if (shape == Shape::reversedSiblings)
        ReverseSiblings(view.table);
    // The last entry, a last child, names an entry that is never open:
    // its parent waits for it to the end of the table.
    if (shape == Shape::mislinked)
        view.table.At(count - 1).parent = 2;
    // A subtree early in the table, laid out after the whole: what lies
    // after it must be reset too, however it is laid out.
    int early = 3;
    while (view.table.At(early).firstChild < 0)
        ++early;
    for (int root : {0, early, 1, 2, count / 3, count - 1}) {
        view.rootIndex = root;
        view.Relayout();
        if (root <= 1) {
            EXPECT_EQ(view.layoutInTreeOrder, shape == Shape::preOrder) << "the one-pass layout takes the scanned shape only";
        }
        std::vector<Span> expected(static_cast<std::size_t>(count), Span{-1, 0, 0});
        RECT client;
        GetClientRect(view, &client);
        ReferenceLayout(view.table, root, 0, client.top, client.bottom, expected);
        int wrong = 0;
        for (int i = 0; i < count && wrong < 5; ++i) {
            if (!(SpanOf(view, i) == expected[static_cast<std::size_t>(i)])) {
                ++wrong;
                ADD_FAILURE() << "root " << root << ", entry " << i << ": " << testing::PrintToString(SpanOf(view, i))
                              << " instead of " << testing::PrintToString(expected[static_cast<std::size_t>(i)]);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Tables, LayoutLarge,
                         testing::Values(LargeCase{"PreOrder", Shape::preOrder, 768},
                                         LargeCase{"PreOrderTall", Shape::preOrder, 100000},
                                         LargeCase{"PreOrderFlat", Shape::preOrder, 0},
                                         LargeCase{"BreadthFirst", Shape::breadthFirst, 768},
                                         LargeCase{"ReversedSiblings", Shape::reversedSiblings, 768},
                                         LargeCase{"Mislinked", Shape::mislinked, 768}),
                         test::ByLabel());

TEST(LayoutLarge, PaintSkippingHiddenSubtreesDrawsTheSamePicture)
{
    ViewHost host(500, 700);
    host.Show();
    CChartView& view = host.View();
    test::BuildTree(view.table, GeneratedTree(3000, 7, true));
    for (int root : {0, 1}) {
        view.rootIndex = root;
        view.Relayout();
        ASSERT_TRUE(view.layoutInTreeOrder);
        int width = 0, height = 0;
        view.Redraw();
        const std::vector<COLORREF> skipping = host.Capture(width, height);
        view.layoutInTreeOrder = false;
        view.Redraw();
        const std::vector<COLORREF> everyEntry = host.Capture(width, height);
        EXPECT_TRUE(skipping == everyEntry) << "root " << root;
    }
    // Sums beyond 2^32 clusters wrap: B's span comes out negative, and the
    // span of its second child D2, [-1, 1717986958), positive again.
    test::BuildTree(view.table, {{-1, 10, "X:\\"}, {0, 4294967290u, "X:\\A"}, {0, 10, "X:\\B"},
                                 {2, 4294967295u, "X:\\B\\D1"}, {2, 3, "X:\\B\\D2"}});
    view.rootIndex = 0;
    view.Relayout();
    int width = 0, height = 0;
    view.Redraw();
    const std::vector<COLORREF> asLaidOut = host.Capture(width, height);
    view.layoutInTreeOrder = false;
    view.Redraw();
    EXPECT_TRUE(asLaidOut == host.Capture(width, height)) << "a box below a negative span is painted";
}

// The scale and the product must be binary64. For a parent of 14 clusters
// in 122 rows, a child of 7 ends at trunc(7 * (122 / 14)): 60 in binary64,
// 61 with the x87 unit's 80-bit intermediates (and 58 versus 59 in 118 rows).
struct PrecisionCase {
    int height;
    int binary64;
    int extended;
};

class LayoutPrecision : public testing::TestWithParam<PrecisionCase> {};

TEST_P(LayoutPrecision, ScaleArithmeticIsBinary64)
{
    const PrecisionCase& c = GetParam();
    volatile long double extendedScale = static_cast<long double>(c.height) / 14.0L;
    ASSERT_EQ(static_cast<int>(7.0L * extendedScale), c.extended) << "the case must tell the precisions apart";

    ViewHost host(c.height);
    CChartView& view = host.View();
    test::BuildTree(view.table, {{-1, 14, "X:\\"}, {0, 7, "X:\\A"}, {0, 7, "X:\\B"}});
    view.LayoutNode(0, 0, 0, c.height);
    EXPECT_EQ(SpanOf(view, 1), (Span{1, 0, c.binary64}));
    EXPECT_EQ(SpanOf(view, 2).top, c.binary64);
}

INSTANTIATE_TEST_SUITE_P(Cases, LayoutPrecision,
                         testing::Values(PrecisionCase{122, 60, 61}, PrecisionCase{118, 59, 58}));

TEST(Layout, ProductsBeyondInt32Saturate)
{
    ViewHost host(100);
    CChartView& view = host.View();
    test::BuildTree(view.table, {{-1, 1, "X:\\"}, {0, 4000000000u, "X:\\A"}, {0, 1, "X:\\B"}});
    view.LayoutNode(0, 0, 0, 1000);
    EXPECT_EQ(SpanOf(view, 1), (Span{1, 0, INT32_MAX}));
    EXPECT_EQ(SpanOf(view, 2), (Span{1, INT32_MAX, INT32_MAX}));
    // Downward, a bottom below the range saturates at its low end.
    view.LayoutNode(0, 0, -1, -1001);
    EXPECT_EQ(SpanOf(view, 1), (Span{1, -1, INT32_MIN}));
    // A span of 2^31 + 999 rows: half of it is 1073742323.5 rows.
    view.table.At(0).clusters = 2;
    view.table.At(1).clusters = 1;
    view.LayoutNode(0, 0, -1000, INT32_MAX);
    EXPECT_EQ(SpanOf(view, 1), (Span{1, -1000, 1073741323}));
}

struct TruncCase {
    double value;
    std::int32_t expected;
};

class Trunc : public testing::TestWithParam<TruncCase> {};

TEST_P(Trunc, TowardZeroAndSaturating)
{
    EXPECT_EQ(SaturatingTrunc(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Values, Trunc,
                         testing::Values(TruncCase{180.8, 180}, TruncCase{-0.9, 0}, TruncCase{-2.5, -2},
                                         TruncCase{2147483647.5, INT32_MAX}, TruncCase{1e300, INT32_MAX},
                                         TruncCase{-1e300, INT32_MIN}, TruncCase{INFINITY, INT32_MAX},
                                         TruncCase{NAN, 0}));

struct TitleCase {
    const char* label;
    int rootIndex;
    const char* path;  // placed at the root index
    const char* title;
};

class Title : public testing::TestWithParam<TitleCase> {};

TEST_P(Title, NamesTheShownEntry)
{
    const TitleCase& c = GetParam();
    ViewHost host(100);
    CChartView& view = host.View();
    std::vector<Node> nodes = {{-1, 10, ""}, {0, 5, "D:\\"}, {0, 1, "(不明)"}, {1, 1, "D:\\X"}};
    if (c.rootIndex == 0 || c.rootIndex == 1)
        nodes[1].name = c.path;
    if (c.rootIndex == 3)
        nodes[3].name = c.path;
    test::BuildTree(view.table, nodes);
    view.rootIndex = c.rootIndex;
    view.Relayout();
    EXPECT_EQ(host.Title(), c.title);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, Title,
    testing::Values(TitleCase{"DriveTotal", 0, "D:\\", "Voruta - D:"},
                    TitleCase{"RootDirectory", 1, "D:\\", "Voruta - D:\\"},
                    TitleCase{"Unaccounted", 2, "", "Voruta - (不明)"},
                    TitleCase{"Directory", 3, "D:\\GAMES\\SAVE", "Voruta - D:\\GAMES\\SAVE\\"},
                    TitleCase{"TrailByte5C", 3, "D:\\表", "Voruta - D:\\表\\"},
                    TitleCase{"AlreadySeparated", 3, "D:\\GAMES\\", "Voruta - D:\\GAMES\\"},
                    TitleCase{"NoSeparatorAfterSlashedRoot", 3, "D:\\", "Voruta - D:\\"},
                    TitleCase{"ControlCharacters", 3, "D:\\a\nb\tc\x7F", "Voruta - D:\\a?b?c?\\"}),
    test::ByLabel());

TEST(Title, TrailByte5CIsNotASeparator)
{
    // 表 is 95 5C in CP932: its second byte must not count as "\".
    ASSERT_EQ(std::string("表"), "\x95\x5C") << "literals are CP932 bytes";
    EntryTable table;
    test::BuildTree(table, {{-1, 1, ""}, {0, 1, "D:\\"}, {0, 0, ""}, {1, 1, "D:\\\x95\x5C"}});
    EXPECT_STREQ(ChartTitle(table, 3), "Voruta - D:\\\x95\x5C\\");
    // An index outside the table names nothing.
    EXPECT_STREQ(ChartTitle(table, -1), "Voruta - ");
    EXPECT_STREQ(ChartTitle(table, 4), "Voruta - ");
}

TEST(Title, LongestPathGetsItsSeparator)
{
    const std::string path = "D:\\" + std::string(256, 'a');
    ASSERT_EQ(path.size(), 259u);
    EntryTable table;
    test::BuildTree(table, {{-1, 1, ""}, {0, 1, "D:\\"}, {0, 0, ""}, {1, 1, path}});
    const CString title = ChartTitle(table, 3);
    EXPECT_EQ(title.GetLength(), titleBytes - 1);
    EXPECT_EQ(std::string(title), "Voruta - " + path + "\\");
}

}  // namespace
