// The chart view window: start values, window class, option commands with
// their marks, the font command and painting, checked on real pixels.
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include <cstring>

namespace {

using test::Node;
using test::ViewHost;

TEST(ViewStart, SettingsStartAtTheirDefaults)
{
    CChartView view;
    EXPECT_EQ(view.rootIndex, -1);
    EXPECT_EQ(view.columnWidth, 100);
    EXPECT_EQ(view.unitMode, static_cast<std::uint32_t>(ID_UNIT_KBMB));
    EXPECT_EQ(view.showSize + view.showSlack + view.showCounts + view.showClusters, 4);
    EXPECT_STREQ(view.styleName, "標準");
    EXPECT_EQ(view.logFont.lfHeight, 12);
    EXPECT_EQ(view.logFont.lfCharSet, SHIFTJIS_CHARSET);
    EXPECT_EQ(view.logFont.lfPitchAndFamily, FIXED_PITCH);
    EXPECT_EQ(std::string(view.logFont.lfFaceName), "\x82\x6C\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4E");
    EXPECT_EQ(view.logFont.lfWeight | view.logFont.lfWidth | view.logFont.lfItalic | view.logFont.lfQuality, 0);
    EXPECT_EQ(view.table.Count(), 0);
}

TEST(ViewWindow, SunkenEdgeArrowCursorAndNoClassExtras)
{
    ViewHost host(100);
    HWND window = host.View();
    ASSERT_TRUE(window);
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    const LONG exStyle = GetWindowLongA(window, GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_CLIENTEDGE);
    EXPECT_FALSE(style & WS_BORDER);
    EXPECT_EQ(GetClassLongA(window, GCL_STYLE), 0u);
    EXPECT_EQ(GetClassLongPtrA(window, GCLP_HBRBACKGROUND), 0);
    EXPECT_EQ(GetClassLongPtrA(window, GCLP_HICON), 0);
    EXPECT_EQ(reinterpret_cast<HCURSOR>(GetClassLongPtrA(window, GCLP_HCURSOR)), LoadCursorA(nullptr, IDC_ARROW));
}

// Sends an update request for `id` through the view's routing.
int MarkOf(CChartView& view, UINT id)
{
    CCmdUI ui(id);
    EXPECT_TRUE(view.OnCmdMsg(id, 0, &ui));
    EXPECT_TRUE(ui.enabled);
    return ui.checked;
}

TEST(ViewOptions, MarksBeforeAnyScan)
{
    CChartView view;
    EXPECT_EQ(MarkOf(view, ID_UNIT_KBMB), 1);
    EXPECT_EQ(MarkOf(view, ID_UNIT_KB), 0);
    EXPECT_EQ(MarkOf(view, ID_UNIT_MB), 0);
    for (UINT id = ID_SHOW_SIZE; id <= ID_SHOW_CLUSTERS; ++id)
        EXPECT_EQ(MarkOf(view, id), 1) << id;
    // Commands without an update rule stay enabled.
    for (UINT id : {ID_DRIVE_CHANGE, ID_FONT_CHANGE, ID_VIEW_WHOLE}) {
        CCmdUI ui(id);
        view.OnCmdMsg(id, 0, &ui);
        EXPECT_TRUE(ui.enabled);
    }
}

struct CommandCase {
    const char* label;
    std::vector<UINT> commands;
    std::uint32_t unitMode;
    std::int32_t flags[4];
};

class ViewCommands : public testing::TestWithParam<CommandCase> {};

TEST_P(ViewCommands, StoreTheSettingRepaintAndKeepTheLayout)
{
    ViewHost host(300);
    CChartView& view = host.View();
    test::BuildTree(view.table, {{-1, 100, ""}, {0, 60, "D:\\"}, {1, 30, "D:\\A"}});
    view.rootIndex = 0;
    view.Relayout();
    const Entry before = view.table.At(2);
    host.Show();
    test::PaintCounter paints(view);
    for (UINT id : GetParam().commands)
        SendMessageA(view, WM_COMMAND, id, 0);
    EXPECT_EQ(paints.Count(), static_cast<int>(GetParam().commands.size()));
    EXPECT_EQ(view.unitMode, GetParam().unitMode);
    EXPECT_EQ(view.showSize, GetParam().flags[0]);
    EXPECT_EQ(view.showSlack, GetParam().flags[1]);
    EXPECT_EQ(view.showCounts, GetParam().flags[2]);
    EXPECT_EQ(view.showClusters, GetParam().flags[3]);
    const Entry& after = view.table.At(2);
    EXPECT_EQ(after.column, before.column);
    EXPECT_EQ(after.top, before.top);
    EXPECT_EQ(after.bottom, before.bottom);
    EXPECT_EQ(MarkOf(view, GetParam().unitMode), 1);
    for (UINT id = ID_UNIT_KBMB; id <= ID_UNIT_MB; ++id)
        EXPECT_EQ(MarkOf(view, id), id == GetParam().unitMode ? 1 : 0);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(MarkOf(view, ID_SHOW_SIZE + i), GetParam().flags[i]);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ViewCommands,
    testing::Values(CommandCase{"KbUnit", {ID_UNIT_KB}, ID_UNIT_KB, {1, 1, 1, 1}},
                    CommandCase{"MbUnit", {ID_UNIT_MB}, ID_UNIT_MB, {1, 1, 1, 1}},
                    CommandCase{"SameUnitAgain", {ID_UNIT_KBMB}, ID_UNIT_KBMB, {1, 1, 1, 1}},
                    CommandCase{"SizeOff", {ID_SHOW_SIZE}, ID_UNIT_KBMB, {0, 1, 1, 1}},
                    CommandCase{"SlackOff", {ID_SHOW_SLACK}, ID_UNIT_KBMB, {1, 0, 1, 1}},
                    CommandCase{"CountsOff", {ID_SHOW_COUNTS}, ID_UNIT_KBMB, {1, 1, 0, 1}},
                    CommandCase{"ClustersOff", {ID_SHOW_CLUSTERS}, ID_UNIT_KBMB, {1, 1, 1, 0}},
                    CommandCase{"ToggleTwiceRestores", {ID_SHOW_SLACK, ID_SHOW_SLACK}, ID_UNIT_KBMB, {1, 1, 1, 1}},
                    CommandCase{"AllOff", {ID_SHOW_SIZE, ID_SHOW_SLACK, ID_SHOW_COUNTS, ID_SHOW_CLUSTERS, ID_UNIT_MB},
                                ID_UNIT_MB, {0, 0, 0, 0}}),
    test::ByLabel());

TEST(ViewOptions, ToggleStoresExactlyZeroOrOne)
{
    CChartView view;
    view.showCounts = 7;
    view.OnFlag(ID_SHOW_COUNTS);
    EXPECT_EQ(view.showCounts, 0);
    view.OnFlag(ID_SHOW_COUNTS);
    EXPECT_EQ(view.showCounts, 1);
}

// Colours read at paint time.
struct Colors {
    COLORREF background = GetSysColor(COLOR_APPWORKSPACE);
    COLORREF face = GetSysColor(COLOR_BTNFACE);
    COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
    COLORREF dark = GetSysColor(COLOR_3DDKSHADOW);
};

class ViewPaint : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(colors.background, colors.face);
        ASSERT_NE(colors.light, colors.dark);
        ASSERT_NE(colors.face, colors.light);
        ASSERT_NE(colors.face, colors.dark);
        host.Show();
    }

    COLORREF At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    void Grab()
    {
        host.View().Redraw();
        pixels = host.Capture(width, height);
        ASSERT_EQ(static_cast<int>(pixels.size()), width * height);
    }

    Colors colors;
    ViewHost host{200, 350};
    std::vector<COLORREF> pixels;
    int width = 0;
    int height = 0;
};

TEST_F(ViewPaint, EmptyViewBeforeAnyScan)
{
    Grab();
    for (std::size_t i = 0; i < pixels.size(); ++i)
        ASSERT_EQ(pixels[i], colors.background) << "pixel " << i;
}

TEST_F(ViewPaint, BoxesFramesStripsAndBackground)
{
    CChartView& view = host.View();
    // Column 1 holds boxes 0, 1, 2, 3 and 50 pixels high, then empty room;
    // the 1-pixel box has a 1-pixel child in column 2, and that one a
    // 1-pixel child in column 3, which the window shows in part.
    test::BuildTree(view.table, {{-1, 200, "(Total)"}, {0, 0, "D:\\Z"}, {0, 1, "D:\\O"}, {2, 1, "D:\\O\\P"},
                                 {3, 1, "D:\\O\\P\\Q"}, {0, 2, "D:\\T"}, {0, 3, "D:\\H"}, {0, 50, "D:\\F"}});
    view.rootIndex = 0;
    view.Relayout();
    ASSERT_TRUE(view.layoutInTreeOrder);
    ASSERT_EQ(view.table.At(7).top, 6);
    ASSERT_EQ(view.table.At(7).bottom, 56);
    view.showSize = view.showSlack = view.showCounts = view.showClusters = 0;
    Grab();

    // Column 0: one box over the whole height.
    EXPECT_EQ(At(0, 0), colors.light);
    EXPECT_EQ(At(0, 100), colors.light);
    EXPECT_EQ(At(50, 0), colors.light);
    EXPECT_EQ(At(99, 100), colors.dark);
    EXPECT_EQ(At(50, 199), colors.dark);
    EXPECT_EQ(At(90, 190), colors.face);
    // Columns 1 to 3: each 1-pixel box is a face strip across its column,
    // to the window's right edge in the last.
    for (int x = 100; x < 350; ++x)
        ASSERT_EQ(At(x, 0), colors.face) << "x " << x;
    // The 2-pixel box at rows 1 and 2 is a bare frame.
    EXPECT_EQ(At(100, 1), colors.light);
    EXPECT_EQ(At(150, 1), colors.light);
    EXPECT_EQ(At(199, 1), colors.dark);
    EXPECT_EQ(At(150, 2), colors.dark);
    // The 3-pixel box at rows 3 to 5 has one face row between its edges.
    EXPECT_EQ(At(150, 3), colors.light);
    EXPECT_EQ(At(198, 4), colors.face);
    EXPECT_EQ(At(150, 5), colors.dark);
    // The 50-pixel box: frame, face, and its label's text in the face.
    EXPECT_EQ(At(150, 6), colors.light);
    EXPECT_EQ(At(100, 30), colors.light);
    EXPECT_EQ(At(199, 30), colors.dark);
    EXPECT_EQ(At(150, 55), colors.dark);
    EXPECT_EQ(At(190, 50), colors.face);
    const COLORREF text = GetSysColor(COLOR_BTNTEXT);
    int textPixels = 0;
    for (int y = 7; y < 20; ++y)
        for (int x = 101; x < 120; ++x)
            textPixels += At(x, y) == text;
    EXPECT_GT(textPixels, 5) << "the name is drawn at the top-left of the box";
    // Below the last box: background; column 2 and beyond: background.
    EXPECT_EQ(At(150, 56), colors.background);
    EXPECT_EQ(At(150, 199), colors.background);
    EXPECT_EQ(At(250, 10), colors.background);
}

TEST_F(ViewPaint, ZeroHeightBoxDrawsNothing)
{
    CChartView& view = host.View();
    test::BuildTree(view.table, {{-1, 400, "(Total)"}, {0, 1, "D:\\Z"}, {0, 200, "D:\\F"}});
    view.rootIndex = 0;
    view.Relayout();
    ASSERT_EQ(view.table.At(1).bottom, 0);
    Grab();
    EXPECT_EQ(At(150, 0), colors.light) << "row 0 belongs to the next box";
    EXPECT_EQ(At(150, 101), colors.background);
}

TEST_F(ViewPaint, LabelIsClippedInsideTheFrame)
{
    CChartView& view = host.View();
    // A 6-pixel box whose label is far taller and wider than the box.
    test::BuildTree(view.table, {{-1, 200, "(Total)"}, {0, 6, "D:\\AVERYLONGDIRECTORYNAMETHATDOESNOTFIT"}});
    view.rootIndex = 0;
    view.Relayout();
    Grab();
    for (int x = 100; x < 199; ++x)
        ASSERT_EQ(At(x, 5), colors.dark) << "bottom edge intact at x " << x;
    for (int y = 0; y < 6; ++y)
        ASSERT_EQ(At(199, y), colors.dark) << "right edge intact at y " << y;
    EXPECT_EQ(At(150, 6), colors.background);
    EXPECT_EQ(At(200, 2), colors.background) << "nothing spills into the next column";
}

TEST_F(ViewPaint, AmpersandsInNamesAreDrawnAsThemselves)
{
    CChartView& view = host.View();
    // "R&D" must not turn into "RD" with D underlined: eight ampersands are
    // eight glyphs, not four.
    test::BuildTree(view.table, {{-1, 100, "(Total)"}, {0, 90, "D:\\&&&&&&&&"}});
    view.table.At(1).nameOffset = 3;
    view.rootIndex = 0;
    view.Relayout();
    view.showSize = view.showSlack = view.showCounts = view.showClusters = 0;
    Grab();
    const COLORREF text = GetSysColor(COLOR_BTNTEXT);
    int left = 200, right = 0;
    for (int y = 1; y < 14; ++y)
        for (int x = 101; x < 199; ++x)
            if (At(x, y) == text) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    ASSERT_LT(left, right) << "the name is drawn";
    EXPECT_GT(right - left, 36) << "eight glyphs of about 6 pixels each";
}

TEST_F(ViewPaint, FontChangeShowsAtTheNextPaintWithoutRelayout)
{
    CChartView& view = host.View();
    test::BuildTree(view.table, {{-1, 100, "(Total)"}, {0, 90, "D:\\WWWWWWWW"}});
    view.rootIndex = 0;
    view.Relayout();
    view.showSize = view.showSlack = view.showCounts = view.showClusters = 0;
    Grab();
    const COLORREF text = GetSysColor(COLOR_BTNTEXT);
    auto inked = [&] {
        int n = 0;
        for (int y = 1; y < 150; ++y)
            for (int x = 101; x < 199; ++x)
                n += At(x, y) == text;
        return n;
    };
    const int small = inked();
    view.logFont.lfHeight = 40;
    Grab();
    EXPECT_GT(inked(), small * 2);
}

// A GDI object replaced or let go is deleted, not left for the process.
TEST(GdiObject, ReplacedOrLetGoIsDeleted)
{
    HGDIOBJ first = nullptr, second = nullptr;
    {
        CFont font;
        ASSERT_TRUE(font.CreateFontIndirect(LOGFONTA{}) && (first = font.GetSafeHandle()));
        ASSERT_TRUE(font.CreateFontIndirect(LOGFONTA{}) && (second = font.GetSafeHandle()));
    }
    EXPECT_EQ(GetObjectType(first) | GetObjectType(second), 0u);
}

// The font dialog opens on the current font and style; OK stores what it
// returns and repaints; Cancel changes nothing and does not repaint.
TEST(ViewFont, CancelChangesNothing)
{
    ViewHost host(100);
    CChartView& view = host.View();
    host.Show();
    std::string face, style;
    test::OnNextDialog([&](HWND dialog) {
        char text[64] = {};
        GetDlgItemTextA(dialog, 0x470, text, sizeof text);
        face = text;
        GetDlgItemTextA(dialog, 0x471, text, sizeof text);
        style = text;
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    const LOGFONTA before = view.logFont;
    test::PaintCounter paints(view);
    SendMessageA(view, WM_COMMAND, ID_FONT_CHANGE, 0);
    EXPECT_EQ(face, "ＭＳ ゴシック");
    EXPECT_EQ(style, "標準");
    EXPECT_EQ(paints.Count(), 0);
    EXPECT_EQ(std::memcmp(&before, &view.logFont, sizeof before), 0);
    EXPECT_STREQ(view.styleName, "標準");
}

TEST(ViewFont, OkStoresTheChoiceAndRepaints)
{
    ViewHost host(100);
    CChartView& view = host.View();
    host.Show();
    test::OnNextDialog([](HWND dialog) {
        // Choose 20 points in the size box, then confirm.
        HWND sizes = GetDlgItem(dialog, 0x472);
        SendMessageA(sizes, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("20"));
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(0x472, CBN_SELCHANGE), reinterpret_cast<LPARAM>(sizes));
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    test::PaintCounter paints(view);
    SendMessageA(view, WM_COMMAND, ID_FONT_CHANGE, 0);
    EXPECT_EQ(paints.Count(), 1);
    EXPECT_LT(view.logFont.lfHeight, -12) << "20 points is taller than the 12-pixel start";
    EXPECT_EQ(std::string(view.logFont.lfFaceName), "ＭＳ ゴシック");
    EXPECT_GT(std::strlen(view.styleName), 0u);
    EXPECT_LT(std::strlen(view.styleName), sizeof view.styleName);
}

}  // namespace

namespace {

TEST(ViewFont, ConfirmedStyleIsWhereTheDialogReopens)
{
    ViewHost host(100);
    CChartView& view = host.View();
    host.Show();
    test::OnNextDialog([](HWND dialog) {
        // Screen fonts with a style box and no effects (strike-out, underline, colour).
        EXPECT_FALSE(IsWindowVisible(GetDlgItem(dialog, 0x410))) << "no effects group";
        HWND styles = GetDlgItem(dialog, 0x471);
        SendMessageA(styles, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("太字"));
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(0x471, CBN_SELCHANGE), reinterpret_cast<LPARAM>(styles));
        HWND sizes = GetDlgItem(dialog, 0x472);
        SendMessageA(sizes, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>("16"));
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(0x472, CBN_SELCHANGE), reinterpret_cast<LPARAM>(sizes));
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    });
    SendMessageA(view, WM_COMMAND, ID_FONT_CHANGE, 0);
    ASSERT_GE(view.logFont.lfWeight, FW_BOLD);
    EXPECT_STREQ(view.styleName, "太字");
    // Reopened and confirmed untouched, the choice stays.
    test::OnNextDialog([](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDOK, 0); });
    SendMessageA(view, WM_COMMAND, ID_FONT_CHANGE, 0);
    EXPECT_GE(view.logFont.lfWeight, FW_BOLD);
    EXPECT_STREQ(view.styleName, "太字");
}

// The paint benchmark is measured by hand; here it runs on a small table,
// so that it still measures what it says.
TEST(PaintBench, RunsOnASmallTable)
{
    std::string out;
    ASSERT_EQ(test::RunProgram("\"" + test::BuiltProgram("voruta-paint-bench.exe") + "\" 3000", out), 0) << out;
    for (const char* line : {"\nclient\t1024 x 768", "\nentries\t3000 (", "\nread pass ms (median of 5;",
                             "\nratio paint\t"})
        EXPECT_NE(out.find(line), std::string::npos) << line << "\n" << out;
    EXPECT_EQ(out.find("largest table"), std::string::npos) << out;
}

}  // namespace
