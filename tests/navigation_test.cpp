// Navigation by mouse, keys, commands, characters and resizing, through the
// real messages of the view window.
#include "support.h"

#include <gtest/gtest.h>

namespace {

using test::ViewHost;

// 0 total; 1 D:\ with A (and A\X), B, C (no clusters) and D; 2 unaccounted.
// At 400 rows under entry 0: 1 [0,240), 2 [240,320); A [0,120), B [120,160),
// C [160,160), D [160,180); X [0,40).
const std::vector<test::Node> tree = {
    {-1, 1000, "(Total)"}, {0, 600, "D:\\"}, {0, 200, "(不明)"}, {1, 300, "D:\\A"},
    {3, 100, "D:\\A\\X"},   {1, 100, "D:\\B"}, {1, 0, "D:\\C"},    {1, 50, "D:\\D"},
};

class Navigation : public testing::Test {
protected:
    void SetUp() override
    {
        test::BuildTree(View().table, tree);
        host.Show();
    }
    CChartView& View() { return host.View(); }
    void ShowEntry(int index)
    {
        View().rootIndex = index;
        View().Relayout();
    }
    void Click(int x, int y, WPARAM flags = MK_LBUTTON)
    {
        SendMessageA(View(), WM_LBUTTONDOWN, flags, MAKELPARAM(x, y));
    }
    void Key(UINT key) { SendMessageA(View(), WM_KEYDOWN, key, 1); }

    ViewHost host{400};
};

struct ClickCase {
    const char* label;
    int root;
    int x;
    int y;
    int expected;  // the entry shown afterwards; same as root: nothing happened
};

class ClickNavigation : public Navigation, public testing::WithParamInterface<ClickCase> {};

TEST_P(ClickNavigation, HitTestsTheLayout)
{
    const ClickCase& c = GetParam();
    ShowEntry(c.root);
    host.SetTitle("before");
    test::PaintCounter paints(View());
    Click(c.x, c.y);
    EXPECT_EQ(View().rootIndex, c.expected);
    if (c.expected == c.root) {
        EXPECT_EQ(paints.Count(), 0) << "a miss redraws nothing";
        EXPECT_EQ(host.Title(), "before");
    } else {
        EXPECT_EQ(paints.Count(), 1);
        EXPECT_EQ(View().table.At(c.expected).column, 0);
        EXPECT_EQ(View().table.At(c.expected).bottom, 400);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, ClickNavigation,
    testing::Values(ClickCase{"Column0AtTheWholeVolume", 0, 99, 10, 0},
                    ClickCase{"X100IsColumn1", 0, 100, 10, 1},
                    ClickCase{"BottomRowBelongsToTheNextBox", 0, 150, 240, 2},
                    ClickCase{"LastRowOfABox", 0, 150, 239, 1},
                    ClickCase{"BelowAllBoxes", 0, 150, 320, 0},
                    ClickCase{"PastTheDeepestColumn", 0, 450, 10, 0},
                    ClickCase{"Column2FromTheTotal", 0, 250, 130, 5},
                    ClickCase{"Column3FromTheTotal", 0, 350, 39, 4},
                    ClickCase{"ZeroHeightBoxIsSkipped", 1, 150, 266, 7},
                    ClickCase{"Column0GoesUp", 3, 50, 399, 1},
                    ClickCase{"RootDirectoryGoesToTheTotal", 1, 0, 0, 0},
                    ClickCase{"EmptyRoomUnderChildren", 1, 150, 350, 1},
                    ClickCase{"UnaccountedEntry", 0, 199, 300, 2},
                    ClickCase{"UnaccountedGoesUp", 2, 10, 10, 0}),
    test::ByLabel());

TEST_F(Navigation, NothingBeforeAScan)
{
    View().table.Resize(0, -1);
    View().rootIndex = -1;
    test::PaintCounter paints(View());
    Click(150, 10);
    Key(VK_RIGHT);
    SendMessageA(View(), WM_COMMAND, ID_VIEW_WHOLE, 0);
    EXPECT_EQ(View().rootIndex, -1);
    EXPECT_EQ(paints.Count(), 0);
}

TEST_F(Navigation, ModifiersAndDoubleClicksAreJustClicks)
{
    ShowEntry(0);
    Click(150, 10, MK_LBUTTON | MK_SHIFT | MK_CONTROL);
    EXPECT_EQ(View().rootIndex, 1);
    // The second click of a double click hits the layout the first one made.
    Click(150, 10);
    EXPECT_EQ(View().rootIndex, 3);
}

struct KeyCase {
    const char* label;
    int root;
    UINT key;
    int expected;  // same as root: the key went to the default handling
};

class KeyNavigation : public Navigation, public testing::WithParamInterface<KeyCase> {};

TEST_P(KeyNavigation, MovesAlongTheLinks)
{
    const KeyCase& c = GetParam();
    ShowEntry(c.root);
    EXPECT_EQ(View().NavigateByKey(c.key), c.expected == c.root ? -1 : c.expected);
    test::PaintCounter paints(View());
    Key(c.key);
    EXPECT_EQ(View().rootIndex, c.expected);
    EXPECT_EQ(paints.Count(), c.expected == c.root ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, KeyNavigation,
    testing::Values(KeyCase{"TotalLeft", 0, VK_LEFT, 0}, KeyCase{"TotalUp", 0, VK_UP, 0},
                    KeyCase{"TotalRight", 0, VK_RIGHT, 1}, KeyCase{"TotalDown", 0, VK_DOWN, 0},
                    KeyCase{"RootLeft", 1, VK_LEFT, 0}, KeyCase{"RootUpIsFirstChild", 1, VK_UP, 1},
                    KeyCase{"RootRight", 1, VK_RIGHT, 3}, KeyCase{"RootDown", 1, VK_DOWN, 2},
                    KeyCase{"UnaccountedLeft", 2, VK_LEFT, 0}, KeyCase{"UnaccountedUp", 2, VK_UP, 1},
                    KeyCase{"UnaccountedRight", 2, VK_RIGHT, 2}, KeyCase{"UnaccountedDown", 2, VK_DOWN, 2},
                    KeyCase{"UpWalksTheSiblings", 7, VK_UP, 6}, KeyCase{"ZeroHeightReachable", 5, VK_DOWN, 6},
                    KeyCase{"LeafRight", 4, VK_RIGHT, 4}, KeyCase{"LastSiblingDown", 7, VK_DOWN, 7},
                    KeyCase{"OtherKey", 3, VK_HOME, 3}),
    test::ByLabel());

TEST_F(Navigation, DownHeldWalksTheSiblingsAndStops)
{
    ShowEntry(3);
    for (int expected : {5, 6, 7, 7, 7})
    {
        SendMessageA(View(), WM_KEYDOWN, VK_DOWN, 0x40000001);  // auto-repeat
        EXPECT_EQ(View().rootIndex, expected);
    }
    EXPECT_EQ(host.Title(), "Voruta - D:\\D\\");
}

TEST_F(Navigation, WholeDriveCommandAlwaysRelays)
{
    ShowEntry(4);
    SendMessageA(View(), WM_COMMAND, ID_VIEW_WHOLE, 0);
    EXPECT_EQ(View().rootIndex, 0);
    EXPECT_EQ(host.Title(), "Voruta - D:");
    host.SetTitle("stale");
    test::PaintCounter paints(View());
    SendMessageA(View(), WM_COMMAND, ID_VIEW_WHOLE, 0);
    EXPECT_EQ(host.Title(), "Voruta - D:");
    EXPECT_EQ(paints.Count(), 1);
}

TEST_F(Navigation, ResizeRelaysAndRepaints)
{
    ShowEntry(0);
    test::PaintCounter paints(View());
    host.ResizeClient(400, 0);
    for (int i = 0; i < View().table.Count(); ++i)
        EXPECT_EQ(View().table.At(i).bottom, 0) << i;
    host.ResizeClient(400, 200);
    EXPECT_EQ(View().table.At(1).bottom, 120);
    EXPECT_EQ(View().table.At(3).bottom, 60);
    EXPECT_GE(paints.Count(), 1) << "a window without area has nothing to paint; restored, it repaints";
}

TEST_F(Navigation, ResizeBeforeAScanRepaintsTheEmptyView)
{
    View().rootIndex = -1;
    test::PaintCounter paints(View());
    host.ResizeClient(300, 300);
    EXPECT_GE(paints.Count(), 1);
}

TEST_F(Navigation, OtherCharactersGoToTheDefault)
{
    ShowEntry(3);
    test::PaintCounter paints(View());
    for (WPARAM c : {WPARAM{'\\'}, WPARAM{'x'}, WPARAM{'K'}, WPARAM{' '}})
        SendMessageA(View(), WM_CHAR, c, 1);
    EXPECT_EQ(View().rootIndex, 3);
    EXPECT_EQ(paints.Count(), 0);
}

struct OpenCase {
    const char* label;
    UINT message;
    WPARAM wParam;
    bool scanned;
    bool opens;
};

class DialogOpening : public Navigation, public testing::WithParamInterface<OpenCase> {};

TEST_P(DialogOpening, OpensTheDriveDialog)
{
    const OpenCase& c = GetParam();
    if (c.scanned)
        ShowEntry(0);
    else
        View().rootIndex = -1;
    bool opened = false;
    test::OnNextDialog([&](HWND dialog) {
        opened = true;
        EndDialog(dialog, IDCANCEL);
    });
    const LRESULT result = SendMessageA(View(), c.message, c.wParam, 0);
    if (!c.opens) {
        // Let the timer look once more: no dialog may be there.
        test::PumpMessages(150);
        test::OnNextDialog(nullptr);
    }
    EXPECT_EQ(opened, c.opens);
    if (c.message == WM_USER) {
        EXPECT_EQ(result, 0);
    }
    EXPECT_EQ(View().rootIndex, c.scanned ? 0 : -1);
}

INSTANTIATE_TEST_SUITE_P(Openers, DialogOpening,
                         testing::Values(OpenCase{"UpperLBeforeScan", WM_CHAR, 'L', false, true},
                                         OpenCase{"LowerLAfterScan", WM_CHAR, 'l', true, true},
                                         OpenCase{"StartMessageBeforeScan", WM_USER, 0, false, true},
                                         OpenCase{"StartMessageAfterScan", WM_USER, 0, true, false}),
                         test::ByLabel());

}  // namespace
