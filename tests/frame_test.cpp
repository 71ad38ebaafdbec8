// The main frame and the application object: start-up, children, bars,
// command routing and the resources behind them.
#include "shell/chart_app.h"
#include "shell/main_frame.h"
#include "support.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

// A frame loaded as the program loads it, destroyed at the end.
class Frame : public testing::Test {
protected:
    void SetUp() override
    {
        frame = new CMainFrame;
        ASSERT_TRUE(frame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE));
        window = *frame;
        ShowWindow(window, SW_SHOW);
        UpdateWindow(window);
    }
    void TearDown() override
    {
        if (IsWindow(window))
            DestroyWindow(window);  // deletes the frame object
    }

    CMainFrame* frame = nullptr;
    HWND window = nullptr;
};

TEST_F(Frame, ChildrenWithTheirIds)
{
    EXPECT_EQ(GetDlgItem(window, 0xE900), frame->view.GetSafeHwnd());
    EXPECT_EQ(GetDlgItem(window, 0xE800), frame->toolBar.GetSafeHwnd());
    EXPECT_EQ(GetDlgItem(window, 0xE801), frame->statusBar.GetSafeHwnd());
    char title[64] = {};
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, "Voruta");
    EXPECT_FALSE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_TRUE(GetWindowLongA(frame->view, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_EQ(frame->statusBar.GetPaneText(0), "ﾚﾃﾞｨ");
}

}  // namespace

namespace {

std::string MenuText(HMENU menu, UINT position)
{
    char text[128] = {};
    GetMenuStringA(menu, position, text, sizeof text, MF_BYPOSITION);
    return text;
}

TEST(Resources, MenuItemsInOrder)
{
    HMENU bar = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
    ASSERT_TRUE(bar);
    ASSERT_EQ(GetMenuItemCount(bar), 2);
    EXPECT_EQ(MenuText(bar, 0), "ﾌｧｲﾙ(&F)");
    EXPECT_EQ(MenuText(bar, 1), "表示(&V)");
    struct Item {
        UINT id;  // 0: separator
        const char* text;
    };
    // Ids as numbers: a renumbered macro must not pass.
    const std::vector<Item> file = {{32772, "ドライブ変更(&L)\tL"},
                                    {32774, "全体表示(&\\)\t\\"},
                                    {0, ""},
                                    {57664, "Voruta のﾊﾞｰｼﾞｮﾝ情報(&A)..."},
                                    {57665, "ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)"}};
    const std::vector<Item> view = {{59392, "ﾂｰﾙ ﾊﾞｰ(&T)"}, {59393, "ｽﾃｰﾀｽ ﾊﾞｰ(&S)"},
                                    {0, ""}, {32773, "書体変更(&F)"}, {0, ""},
                                    {32776, "KB単位"}, {32777, "MB単位"}, {32775, "KB/MB併記"},
                                    {0, ""}, {32778, "ファイルサイズ"}, {32779, "浪費サイズ"},
                                    {32780, "ファイル数"}, {32781, "クラスタ数"}};
    int pop = 0;
    for (const auto* items : {&file, &view}) {
        HMENU menu = GetSubMenu(bar, pop++);
        ASSERT_EQ(GetMenuItemCount(menu), static_cast<int>(items->size()));
        for (UINT i = 0; i < items->size(); ++i) {
            const Item& item = (*items)[i];
            EXPECT_EQ(GetMenuItemID(menu, static_cast<int>(i)), item.id) << pop << "/" << i;
            EXPECT_EQ(MenuText(menu, i), item.text) << pop << "/" << i;
            if (item.id != 0) {
                EXPECT_EQ(GetMenuState(menu, i, MF_BYPOSITION) & (MF_CHECKED | MF_GRAYED | MF_DISABLED), 0u);
            }
        }
    }
    DestroyMenu(bar);
}

TEST(Resources, AcceleratorTable)
{
    HACCEL table = LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
    ASSERT_TRUE(table);
    ACCEL entries[8];
    const int count = CopyAcceleratorTableA(table, entries, 8);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(entries[0].key, 'C');
    EXPECT_EQ(entries[0].cmd, 57634);
    EXPECT_EQ(entries[0].fVirt & (FVIRTKEY | FCONTROL | FNOINVERT), FVIRTKEY | FCONTROL | FNOINVERT);
    EXPECT_EQ(entries[1].key, VK_INSERT);
    EXPECT_EQ(entries[1].cmd, 57634);
    EXPECT_EQ(entries[1].fVirt & (FVIRTKEY | FCONTROL), FVIRTKEY | FCONTROL);
    EXPECT_EQ(entries[2].key, '\\');
    EXPECT_EQ(entries[2].cmd, 32774);
    EXPECT_EQ(entries[2].fVirt & FVIRTKEY, 0) << "the typed character, not a key";
    EXPECT_TRUE(entries[2].fVirt & FNOINVERT);
    DestroyAcceleratorTable(table);
}

struct StringCase {
    UINT id;
    const char* text;
};

class StringTable : public testing::TestWithParam<StringCase> {};

TEST_P(StringTable, TextAsWritten)
{
    char text[256] = {};
    ASSERT_GT(LoadStringA(GetModuleHandleA(nullptr), GetParam().id, text, sizeof text), 0) << GetParam().id;
    EXPECT_STREQ(text, GetParam().text);
}

// Every string the resources hold, as written down for the program.
INSTANTIATE_TEST_SUITE_P(
    Strings, StringTable,
    testing::Values(StringCase{128, "Voruta"},
                    StringCase{57344, "Voruta"},
                    StringCase{57345, "ﾚﾃﾞｨ"},
                    StringCase{32771, "ドライブを変更する"},
                    StringCase{32772, "表示するドライブを変更する\nドライブ変更"},
                    StringCase{32773, "表示に使用する書体を変更する\n書体変更"},
                    StringCase{32774, "ドライブ全体の情報を表示する\n全体表示"},
                    StringCase{32775, "ファイルサイズをKB/MB単位で表示する\nKB/MB併記"},
                    StringCase{32776, "ファイルサイズをKB単位で表示する\nKB単位"},
                    StringCase{32777, "ファイルサイズをMB単位で表示する\nMB単位"},
                    StringCase{32778, "ファイルサイズを表示する\nファイルサイズ"},
                    StringCase{32779, "浪費サイズを表示する\n浪費サイズ"},
                    StringCase{32780, "ファイル数を表示する\nファイル数"},
                    StringCase{32781, "クラスタ数を表示する\nクラスタ数"},
                    StringCase{57664, "ﾌﾟﾛｸﾞﾗﾑの情報、ﾊﾞｰｼﾞｮﾝそして著作権を表示\nﾊﾞｰｼﾞｮﾝ情報"},
                    StringCase{57665, "ｱﾌﾟﾘｹｰｼｮﾝを終了し、ﾌｧｲﾙの保存を指示\n終了"},
                    StringCase{59392, "ﾂｰﾙ ﾊﾞｰの 表示/非表示\nﾂｰﾙ ﾊﾞｰの表示切り替え"},
                    StringCase{59393, "ｽﾃｰﾀｽ ﾊﾞｰの 表示/非表示\nｽﾃｰﾀｽ ﾊﾞｰの表示切り替え"},
                    StringCase{59136, "EXT"},
                    StringCase{59137, "CAP"},
                    StringCase{59138, "NUM"},
                    StringCase{59139, "SCRL"},
                    StringCase{59140, "上書"},
                    StringCase{59141, "記録"},
                    StringCase{59142, "ｶﾅ"},
                    StringCase{61184, "ｳｨﾝﾄﾞｳのｻｲｽﾞを変更"},
                    StringCase{61185, "ｳｨﾝﾄﾞｳの位置を変更"},
                    StringCase{61186, "ｳｨﾝﾄﾞｳを最小化する"},
                    StringCase{61187, "ｳｨﾝﾄﾞｳを最大化する"},
                    StringCase{61188, "次のｳｨﾝﾄﾞｳに切り替える"},
                    StringCase{61189, "前のｳｨﾝﾄﾞｳに切り替える"},
                    StringCase{61190, "作業中のｳｨﾝﾄﾞｳを閉じ、変更したﾌｧｲﾙの保存を指示"},
                    StringCase{61202, "ｳｨﾝﾄﾞｳを通常のｻｲｽﾞに戻す"},
                    StringCase{61203, "ｱﾌﾟﾘｹｰｼｮﾝの切り替え"},
                    StringCase{57632, "選択範囲を消去\n消去"},
                    StringCase{57633, "すべて消去\nすべて消去"},
                    StringCase{57634, "選択範囲をｺﾋﾟｰしてｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存\nｺﾋﾟｰ"},
                    StringCase{57635, "選択範囲を切り取ってｸﾘｯﾌﾟﾎﾞｰﾄﾞに保存\n切り取り"},
                    StringCase{57636, "指定した文字列の検索\n検索"},
                    StringCase{57637, "ｸﾘｯﾌﾟﾎﾞｰﾄﾞの内容を貼り付け\n貼り付け"},
                    StringCase{57640, "直前に行った動作を繰り返す\n繰り返し"},
                    StringCase{57641, "指定した文字列を他の文字列で置換\n置換"},
                    StringCase{57642, "ﾌｧｲﾙ内のすべてを選択\nすべて選択"},
                    StringCase{57643, "直前に行った動作を元に戻す\n元に戻す"},
                    StringCase{57644, "直前に行った動作を繰り返す\n繰り返す"},
                    StringCase{57653, "作業中のｳｨﾝﾄﾞｳを分割\n分割"},
                    StringCase{57680, "次のｳｨﾝﾄﾞｳに切り替える\n次のﾍﾟｲﾝ"},
                    StringCase{57681, "前のｳｨﾝﾄﾞｳに切り替える\n前のﾍﾟｲﾝ"}));

TEST(Resources, StringTableHoldsNothingElse)
{
    // Ids between the listed ones hold no text.
    char text[256];
    for (UINT id : {129u, 32770u, 32782u, 57346u, 57638u, 57639u, 57666u, 59394u, 59143u, 61191u, 61204u})
        EXPECT_EQ(LoadStringA(GetModuleHandleA(nullptr), id, text, sizeof text), 0) << id;
}

TEST(Resources, VersionRecord)
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0u);
    EXPECT_EQ(fixed->dwFileVersionLS, 2u);
    EXPECT_EQ(fixed->dwProductVersionLS, 2u);
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
    for (auto [key, value] : {std::pair{"FileDescription", "Voruta"}, std::pair{"InternalName", "Voruta"},
                              std::pair{"ProductName", "Voruta"}, std::pair{"FileVersion", "V0.02"},
                              std::pair{"ProductVersion", "V0.02"}}) {
        char* text = nullptr;
        const std::string query = std::string("\\StringFileInfo\\041104b0\\") + key;
        ASSERT_TRUE(VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&text), &length)) << key;
        EXPECT_STREQ(text, value) << key;
    }
}

TEST(Resources, ImagesOfTheRightShape)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    HBITMAP strip = LoadBitmapA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME));
    ASSERT_TRUE(strip);
    BITMAP info{};
    GetObjectA(strip, sizeof info, &info);
    EXPECT_EQ(info.bmWidth, 144);
    EXPECT_EQ(info.bmHeight, 15);
    DeleteObject(strip);
    HRSRC bits = FindResourceA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME), MAKEINTRESOURCEA(2));
    const auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(instance, bits)));
    EXPECT_EQ(header->biBitCount, 4);
    for (int size : {32, 16}) {
        HICON icon = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, size, size, 0));
        EXPECT_TRUE(icon) << size;
        DestroyIcon(icon);
    }
}

// Bars, routing and marks in a frame as the program makes it.
TEST_F(Frame, CommandsReachTheViewFirst)
{
    SendMessageA(window, WM_COMMAND, ID_UNIT_MB, 0);
    EXPECT_EQ(frame->view.unitMode, static_cast<std::uint32_t>(ID_UNIT_MB));
    SendMessageA(window, WM_COMMAND, ID_SHOW_COUNTS, 0);
    EXPECT_EQ(frame->view.showCounts, 0);
    // Copy has no handler anywhere: nothing happens.
    SendMessageA(window, WM_COMMAND, ID_EDIT_COPY, 0);
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(Frame, MenuMarksFollowTheView)
{
    frame->view.unitMode = ID_UNIT_KB;
    frame->view.showSlack = 0;
    HMENU viewMenu = GetSubMenu(GetMenu(window), 1);
    SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(viewMenu), MAKELPARAM(1, FALSE));
    auto checked = [&](UINT id) { return (GetMenuState(viewMenu, id, MF_BYCOMMAND) & MF_CHECKED) != 0; };
    // The unit items are a radio group: their mark is a bullet, not a tick.
    auto radio = [&](UINT id) {
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE;
        GetMenuItemInfoA(viewMenu, id, FALSE, &info);
        return (info.fType & MFT_RADIOCHECK) != 0;
    };
    EXPECT_TRUE(radio(32776));
    EXPECT_FALSE(radio(32778)) << "the label lines are plain check marks";
    EXPECT_TRUE(checked(ID_UNIT_KB));
    EXPECT_FALSE(checked(ID_UNIT_MB));
    EXPECT_FALSE(checked(ID_UNIT_KBMB));
    EXPECT_TRUE(checked(ID_SHOW_SIZE));
    EXPECT_FALSE(checked(ID_SHOW_SLACK));
    EXPECT_TRUE(checked(ID_VIEW_TOOLBAR));
    EXPECT_TRUE(checked(ID_VIEW_STATUS_BAR));
    for (UINT id : {ID_FONT_CHANGE, ID_UNIT_KB, ID_SHOW_SIZE, ID_VIEW_TOOLBAR})
        EXPECT_FALSE(GetMenuState(viewMenu, id, MF_BYCOMMAND) & MF_GRAYED) << id;
    // Exit is the application's: with an application object, it is enabled.
    CChartApp app;
    HMENU fileMenu = GetSubMenu(GetMenu(window), 0);
    SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(fileMenu), MAKELPARAM(0, FALSE));
    for (UINT id : {ID_DRIVE_CHANGE, ID_VIEW_WHOLE, ID_APP_EXIT})
        EXPECT_FALSE(GetMenuState(fileMenu, id, MF_BYCOMMAND) & MF_GRAYED) << id;
    // The system menu is the window system's, even where the message does
    // not flag it (a right-click on the title bar).
    HMENU system = GetSystemMenu(window, FALSE);
    SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(system), MAKELPARAM(0, FALSE));
    EXPECT_FALSE(GetMenuState(system, SC_CLOSE, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
    EXPECT_FALSE(GetMenuState(system, SC_MOVE, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
}

TEST_F(Frame, ToolBarButtonsShowTheMarks)
{
    frame->view.unitMode = ID_UNIT_MB;
    frame->view.showClusters = 0;
    frame->OnIdleUpdate();
    HWND buttons = frame->toolBar.Buttons();
    auto pressed = [&](UINT id) { return SendMessageA(buttons, TB_ISBUTTONCHECKED, id, 0) != 0; };
    EXPECT_TRUE(pressed(ID_UNIT_MB));
    EXPECT_FALSE(pressed(ID_UNIT_KB));
    EXPECT_FALSE(pressed(ID_UNIT_KBMB));
    EXPECT_TRUE(pressed(ID_SHOW_SIZE));
    EXPECT_FALSE(pressed(ID_SHOW_CLUSTERS));
    // The whole button table: ids (0 for separators) and images in order.
    const int ids[] = {32772, 0, 32776, 32777, 32775, 0, 32778, 32779, 32780, 32781, 0, 57664};
    const int images[] = {0, -1, 1, 2, 3, -1, 4, 5, 6, 7, -1, 8};
    ASSERT_EQ(SendMessageA(buttons, TB_BUTTONCOUNT, 0, 0), 12);
    for (int i = 0; i < 12; ++i) {
        TBBUTTON button{};
        SendMessageA(buttons, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&button));
        EXPECT_EQ((button.fsStyle & TBSTYLE_SEP) != 0, ids[i] == 0) << "position " << i + 1;
        if (ids[i] != 0) {
            EXPECT_EQ(button.idCommand, ids[i]) << "position " << i + 1;
            EXPECT_EQ(button.iBitmap, images[i]) << "position " << i + 1;
        }
    }
    // A click on a button runs its command in the view.
    SendMessageA(frame->toolBar, WM_COMMAND, ID_UNIT_KB, reinterpret_cast<LPARAM>(buttons));
    EXPECT_EQ(frame->view.unitMode, static_cast<std::uint32_t>(ID_UNIT_KB));
}

TEST_F(Frame, BarTogglesHideShowAndGiveTheViewTheRoom)
{
    RECT before;
    GetWindowRect(frame->view, &before);
    SendMessageA(window, WM_COMMAND, ID_VIEW_TOOLBAR, 0);
    EXPECT_FALSE(IsWindowVisible(frame->toolBar));
    SendMessageA(window, WM_COMMAND, ID_VIEW_STATUS_BAR, 0);
    EXPECT_FALSE(IsWindowVisible(frame->statusBar));
    RECT hidden;
    GetWindowRect(frame->view, &hidden);
    EXPECT_LT(hidden.top, before.top);
    EXPECT_GT(hidden.bottom, before.bottom);
    HMENU viewMenu = GetSubMenu(GetMenu(window), 1);
    SendMessageA(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(viewMenu), MAKELPARAM(1, FALSE));
    EXPECT_FALSE(GetMenuState(viewMenu, ID_VIEW_TOOLBAR, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_FALSE(GetMenuState(viewMenu, ID_VIEW_STATUS_BAR, MF_BYCOMMAND) & MF_CHECKED);
    SendMessageA(window, WM_COMMAND, ID_VIEW_TOOLBAR, 0);
    SendMessageA(window, WM_COMMAND, ID_VIEW_STATUS_BAR, 0);
    RECT again;
    GetWindowRect(frame->view, &again);
    EXPECT_EQ(again.top, before.top);
    EXPECT_EQ(again.bottom, before.bottom);
}

struct DockCase {
    const char* label;
    DockSide side;
};

class FrameDocking : public Frame, public testing::WithParamInterface<DockCase> {};

TEST_P(FrameDocking, ViewFillsWhatTheBarLeaves)
{
    // The gripper's edge as shown, and as painted anew: a bar turned from a
    // column keeps nothing of the column's picture.
    const auto gripper = [this](bool repaint) {
        if (repaint)
            RedrawWindow(frame->toolBar, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
        // What the window system reports of the move comes back in a while.
        test::PumpMessages(100);
        std::vector<COLORREF> pixels;
        RECT r;
        GetClientRect(frame->toolBar, &r);
        HDC dc = GetDC(frame->toolBar);
        for (int y = 0; y < r.bottom; ++y)
            for (int x = 0; x < 12; ++x)
                pixels.push_back(GetPixel(dc, x, y));
        ReleaseDC(frame->toolBar, dc);
        return pixels;
    };
    for (const DockSide before : {DockSide::bottom, DockSide::left, GetParam().side})
        frame->toolBar.Dock(before), gripper(false);
    const std::vector<COLORREF> shown = gripper(false);
    EXPECT_EQ(shown, gripper(true));
    RECT client, bar, view;
    GetClientRect(window, &client);
    GetWindowRect(frame->toolBar, &bar);
    GetWindowRect(frame->view, &view);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&bar), 2);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&view), 2);
    switch (GetParam().side) {
    case DockSide::top:
        EXPECT_EQ(bar.top, 0);
        EXPECT_EQ(view.top, bar.bottom);
        break;
    case DockSide::bottom:
        EXPECT_EQ(view.bottom, bar.top);
        break;
    case DockSide::left:
        EXPECT_EQ(bar.left, 0);
        EXPECT_EQ(view.left, bar.right);
        EXPECT_GT(bar.bottom - bar.top, bar.right - bar.left) << "a column of buttons";
        break;
    case DockSide::right:
        EXPECT_EQ(bar.right, client.right);
        EXPECT_EQ(view.right, bar.left);
        break;
    case DockSide::floating:
        EXPECT_TRUE(IsWindowVisible(frame->toolBar.FloatingWindow()));
        EXPECT_EQ(view.top, 0) << "a floating bar takes no room";
        break;
    }
    EXPECT_EQ(frame->toolBar.Side(), GetParam().side);
    EXPECT_EQ(view.right, GetParam().side == DockSide::right ? bar.left : client.right) << "the view reaches the right";
    // Back on top, the view has moved: all of it is to be painted again, so
    // no picture of the bar stays behind in it.
    ValidateRect(frame->view, nullptr);
    frame->toolBar.Dock(DockSide::top);
    RECT dirty{};
    if (GetParam().side != DockSide::top) {
        ASSERT_TRUE(GetUpdateRect(frame->view, &dirty, FALSE));
        RECT viewClient;
        GetClientRect(frame->view, &viewClient);
        EXPECT_TRUE(EqualRect(&dirty, &viewClient));
    }
    frame->toolBar.Dock(GetParam().side);
    // Hidden and shown again, it comes back where it was.
    SendMessageA(window, WM_COMMAND, ID_VIEW_TOOLBAR, 0);
    EXPECT_FALSE(IsWindowVisible(frame->toolBar)) << "the toggle hides the bar, floating or docked";
    if (HWND floating = frame->toolBar.FloatingWindow()) {
        EXPECT_FALSE(IsWindowVisible(floating)) << "no empty floating window stays";
    }
    EXPECT_FALSE(frame->toolBar.IsShown());
    SendMessageA(window, WM_COMMAND, ID_VIEW_TOOLBAR, 0);
    EXPECT_EQ(frame->toolBar.Side(), GetParam().side);
    EXPECT_TRUE(IsWindowVisible(frame->toolBar));
    if (GetParam().side == DockSide::floating) {
        // Closed with its close box, it comes back through the menu command.
        SendMessageA(frame->toolBar.FloatingWindow(), WM_CLOSE, 0, 0);
        EXPECT_FALSE(IsWindowVisible(frame->toolBar));
        SendMessageA(window, WM_COMMAND, ID_VIEW_TOOLBAR, 0);
        EXPECT_TRUE(IsWindowVisible(frame->toolBar));
        EXPECT_TRUE(IsWindowVisible(frame->toolBar.FloatingWindow()));
    }
}

INSTANTIATE_TEST_SUITE_P(Sides, FrameDocking,
                         testing::Values(DockCase{"Top", DockSide::top}, DockCase{"Bottom", DockSide::bottom},
                                         DockCase{"Left", DockSide::left}, DockCase{"Right", DockSide::right},
                                         DockCase{"Floating", DockSide::floating}),
                         test::ByLabel());

struct DropCase {
    const char* label;
    POINT point;
    DWORD mask;
    DockSide expected;
};

class DropSide : public testing::TestWithParam<DropCase> {};

TEST_P(DropSide, NearestAllowedEdgeWithinTheZone)
{
    const RECT client{0, 0, 600, 400};
    EXPECT_EQ(DockSideForDrop(GetParam().point, client, GetParam().mask, 24), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Drops, DropSide,
    testing::Values(DropCase{"TopEdge", {300, 5}, CBRS_ALIGN_ANY, DockSide::top},
                    DropCase{"AboveTheClient", {300, -10}, CBRS_ALIGN_ANY, DockSide::top},
                    DropCase{"BottomEdge", {300, 390}, CBRS_ALIGN_ANY, DockSide::bottom},
                    DropCase{"LeftEdge", {3, 200}, CBRS_ALIGN_ANY, DockSide::left},
                    DropCase{"RightEdge", {598, 200}, CBRS_ALIGN_ANY, DockSide::right},
                    DropCase{"Middle", {300, 200}, CBRS_ALIGN_ANY, DockSide::floating},
                    // The zone is 24 pixels: its last row docks, the next does not.
                    DropCase{"TopZoneEdge", {300, 24}, CBRS_ALIGN_ANY, DockSide::top},
                    DropCase{"PastTheTopZone", {300, 25}, CBRS_ALIGN_ANY, DockSide::floating},
                    DropCase{"BottomZoneEdge", {300, 375}, CBRS_ALIGN_ANY, DockSide::bottom},
                    DropCase{"FarOutside", {900, 200}, CBRS_ALIGN_ANY, DockSide::floating},
                    DropCase{"CornerGoesToTheNearer", {2, 10}, CBRS_ALIGN_ANY, DockSide::left},
                    DropCase{"SideNotAllowed", {3, 200}, CBRS_ALIGN_TOP, DockSide::floating}),
    test::ByLabel());

TEST_F(Frame, MenuPromptsInTheStatusBar)
{
    SendMessageA(window, WM_MENUSELECT, MAKEWPARAM(ID_DRIVE_CHANGE, MF_STRING), reinterpret_cast<LPARAM>(GetMenu(window)));
    EXPECT_EQ(frame->statusBar.GetPaneText(0), "表示するドライブを変更する");
    SendMessageA(window, WM_MENUSELECT, MAKEWPARAM(SC_CLOSE, MF_STRING | MF_SYSMENU),
                 reinterpret_cast<LPARAM>(GetSystemMenu(window, FALSE)));
    EXPECT_EQ(frame->statusBar.GetPaneText(0), "作業中のｳｨﾝﾄﾞｳを閉じ、変更したﾌｧｲﾙの保存を指示");
    SendMessageA(window, WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    EXPECT_EQ(frame->statusBar.GetPaneText(0), "ﾚﾃﾞｨ");
    // Escape closes the open menu: no item is highlighted any more.
    HMENU file = GetSubMenu(GetMenu(window), 0);
    SendMessageA(window, WM_MENUSELECT, MAKEWPARAM(ID_DRIVE_CHANGE, MF_STRING), reinterpret_cast<LPARAM>(file));
    SendMessageA(window, WM_UNINITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);
    EXPECT_EQ(frame->statusBar.GetPaneText(0), "ﾚﾃﾞｨ");
}

TEST_F(Frame, FloatingBarLeavesTheActivationWithTheFrame)
{
    frame->toolBar.Float(POINT{300, 300});
    HWND floating = frame->toolBar.FloatingWindow();
    // A click on a button does not activate the bar's window ...
    EXPECT_EQ(SendMessageA(floating, WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(window),
                           MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)),
              MA_NOACTIVATE);
    // ... and activated through its caption, it hands the activation back.
    SetActiveWindow(window);
    SetActiveWindow(floating);
    EXPECT_TRUE(test::PumpMessages(2000, [this] { return GetActiveWindow() == window; }));
    EXPECT_EQ(GetWindow(floating, GW_OWNER), window) << "an owned window stays above its frame";
    // Its caption is drawn active while the frame is, and only then (read
    // at once: no other program can take the activation before the next
    // pump).
    const auto caption = [floating] {
        HDC dc = GetWindowDC(floating);
        const COLORREF c = GetPixel(dc, 20, GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYSMCAPTION) / 2);
        ReleaseDC(floating, dc);
        return c;
    };
    HWND other = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 8, 8, nullptr, nullptr, nullptr, nullptr);
    SetActiveWindow(other);
    EXPECT_EQ(caption(), GetSysColor(COLOR_INACTIVECAPTION));
    SetForegroundWindow(window);
    EXPECT_EQ(caption(), GetSysColor(COLOR_ACTIVECAPTION));
    DestroyWindow(other);
    // While its caption is dragged it keeps the activation.
    SendMessageA(floating, WM_ENTERSIZEMOVE, 0, 0);
    SetActiveWindow(floating);
    test::PumpMessages(200);
    // (Tests running beside this one may take the activation; only the frame
    // taking it back would be wrong.)
    EXPECT_NE(GetActiveWindow(), window) << "not handed back in the middle of a drag";
    // Raised above its frame on the way, but not above other programs' windows.
    EXPECT_FALSE(GetWindowLongA(floating, GWL_EXSTYLE) & WS_EX_TOPMOST);
    RECT r;
    GetWindowRect(floating, &r);
    POINT saved;
    GetCursorPos(&saved);
    SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageA(floating, WM_EXITSIZEMOVE, 0, 0);
    SetCursorPos(saved.x, saved.y);
}

TEST_F(Frame, FloatingBarTakesNoInputWhileADialogRuns)
{
    // The dialogs are owned by the application's main window, as at run time.
    CChartApp app;
    app.mainWindow = frame;
    frame->toolBar.Float(POINT{300, 300});
    HWND floating = frame->toolBar.FloatingWindow();
    SetActiveWindow(window);
    for (const UINT command : {ID_APP_ABOUT, ID_FONT_CHANGE, ID_DRIVE_CHANGE}) {
        bool ran = false;
        test::OnNextDialog([&](HWND dialog) {
            ran = true;
            EXPECT_FALSE(IsWindowEnabled(floating)) << command;
            EndDialog(dialog, IDCANCEL);
            PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        SendMessageA(window, WM_COMMAND, command, 0);
        EXPECT_TRUE(ran) << command;
        EXPECT_TRUE(IsWindowEnabled(floating)) << command;
    }
    {
        // A dialog owned by a child window disables what its frame owns.
        CModalState modal(frame->view);
        EXPECT_FALSE(IsWindowEnabled(floating));
    }
    EXPECT_TRUE(IsWindowEnabled(floating));
    app.mainWindow = nullptr;
}

TEST_F(Frame, SeparatorsOfABarDockedAtTheSideAreHorizontalLines)
{
    frame->toolBar.Dock(DockSide::left);
    HWND buttons = frame->toolBar.Buttons();
    RedrawWindow(buttons, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    int separator = -1;
    const int count = static_cast<int>(SendMessageA(buttons, TB_BUTTONCOUNT, 0, 0));
    for (int i = 0; i < count && separator < 0; ++i) {
        TBBUTTON b{};
        SendMessageA(buttons, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&b));
        if (b.fsStyle & TBSTYLE_SEP)
            separator = i;
    }
    ASSERT_GE(separator, 0);
    RECT r{};
    SendMessageA(buttons, TB_GETITEMRECT, static_cast<WPARAM>(separator), reinterpret_cast<LPARAM>(&r));
    // The longest run of ink (anything but the face colour) in one row and
    // in one column.
    HDC dc = GetDC(buttons);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    int across = 0, down = 0;
    for (int y = r.top; y < r.bottom; ++y) {
        int run = 0;
        for (int x = r.left; x < r.right; ++x)
            across = std::max(across, run = GetPixel(dc, x, y) != face ? run + 1 : 0);
    }
    for (int x = r.left; x < r.right; ++x) {
        int run = 0;
        for (int y = r.top; y < r.bottom; ++y)
            down = std::max(down, run = GetPixel(dc, x, y) != face ? run + 1 : 0);
    }
    ReleaseDC(buttons, dc);
    EXPECT_GT(across, (r.right - r.left) / 2) << "a line across the column";
    EXPECT_LT(down, 4) << "no line along it";
}

TEST_F(Frame, DropJustAboveTheStatusBarDocksAtTheBottom)
{
    // The zones are measured from the area the bars leave to the view: a
    // drop 10 pixels above the status bar is at the view's bottom edge.
    frame->toolBar.Float(POINT{300, 300});
    RECT status;
    GetWindowRect(frame->statusBar, &status);
    RECT view;
    GetWindowRect(frame->view, &view);
    EXPECT_EQ(view.bottom, status.top);
    POINT saved;
    GetCursorPos(&saved);
    SetCursorPos((view.left + view.right) / 2, status.top - 10);
    SendMessageA(frame->toolBar.FloatingWindow(), WM_EXITSIZEMOVE, 0, 0);
    SetCursorPos(saved.x, saved.y);
    EXPECT_EQ(frame->toolBar.Side(), DockSide::bottom);
}

// A root of slow, empty directories: each listing takes 30 ms and notes
// what the status bar's message pane says at that moment.
class SlowLister final : public DirectoryLister {
public:
    SlowLister(CStatusBar& bar, int dirs) : status(bar), remaining(dirs), listings(dirs + 1) {}

    bool Wide() const noexcept override { return true; }
    Handle Open(const char*) override { return none; }
    Handle OpenWide(const wchar_t* path, std::uint64_t& opened) override
    {
        Sleep(30);
        seen.push_back(status.GetPaneText(0).str());
        opened = ++opens;
        if (atOpen)
            atOpen(static_cast<int>(opens));
        return std::wcslen(path) == 7 ? 1 : 2;
    }
    bool Next(Handle listing, ListedItem& item) override
    {
        if (listing != 1 || --remaining < 0)
            return false;
        std::memset(&item, 0, sizeof item);
        item.attributes = FILE_ATTRIBUTE_DIRECTORY;
        item.exact = true;
        std::snprintf(item.name, sizeof item.name, "%c%d", 'a' + remaining % 26, remaining);
        item.wideLength = static_cast<std::uint32_t>(MultiByteToWideChar(CP_ACP, 0, item.name, -1, item.wideName, MAX_PATH) - 1);
        return true;
    }
    void Close(Handle) override
    {
        if (opens == listings && atLastClose && !closedLast) {
            closedLast = true;
            atLastClose();
        }
    }

    std::vector<std::string> seen;
    std::function<void(int)> atOpen;  // told the number of each listing opened
    std::function<void()> atLastClose;  // after the walk's last report
    bool closedLast = false;

private:
    CStatusBar& status;
    int remaining;
    std::uint64_t listings;  // the root's and each subdirectory's
    std::uint64_t opens = 0;
};

class FrameScanProgress : public Frame, public testing::WithParamInterface<bool> {};

TEST_P(FrameScanProgress, CountsInTheMessagePaneWhileTheScanRuns)
{
    const bool statusBarShown = GetParam();
    if (!statusBarShown)
        SendMessageA(window, WM_COMMAND, ID_VIEW_STATUS_BAR, 0);
    test::ScratchDrive drive;
    ASSERT_TRUE(drive.Letter());
    SlowLister lister(frame->statusBar, 40);
    frame->view.lister = &lister;
    HWND view = frame->view;
    // The counts paint the status bar alone; the rest waits its turn.
    InvalidateRect(view, nullptr, FALSE);
    EXPECT_EQ(frame->ShowMessageNow("..."), statusBarShown);
    EXPECT_TRUE(GetUpdateRect(view, nullptr, FALSE)) << "the whole frame painted with the counts";
    ValidateRect(view, nullptr);
    bool paintedMeanwhile = false, waitCursorBack = false;
    // A key given during the scan, and the view uncovered: the key is
    // dropped, the view painted while the walk goes on. The pointer moved
    // over a window with a class cursor: the wait cursor comes back.
    lister.atOpen = [&](int n) {
        if (n == 5) {
            PostMessageA(view, WM_KEYDOWN, VK_RIGHT, 1);
            SetCursor(LoadCursorA(nullptr, IDC_ARROW));
        }
        if (n == 10)
            InvalidateRect(view, nullptr, FALSE);
        if (n == 20) {
            paintedMeanwhile = !GetUpdateRect(view, nullptr, FALSE);
            waitCursorBack = GetCursor() == LoadCursorA(nullptr, IDC_WAIT);
        }
    };
    lister.atLastClose = [&] { PostMessageA(view, WM_KEYDOWN, VK_LEFT, 1); };
    test::PaintCounter paints(frame->view);
    test::PaintCounter barPaints(frame->statusBar);
    const DWORD started = GetTickCount();
    ASSERT_EQ(frame->view.ScanDrive(drive.Letter()), 1);
    const DWORD took = GetTickCount() - started;
    frame->view.lister = nullptr;
    EXPECT_TRUE(paintedMeanwhile);
    EXPECT_TRUE(waitCursorBack);
    EXPECT_EQ(paints.Count(), 2) << "the view is painted as the scan starts, where uncovered, and nowhere else";
    EXPECT_EQ(frame->view.table.Count(), 3 + 40);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_NOREMOVE)) << "nothing typed is left";
    EXPECT_EQ(frame->view.rootIndex, 0);
    // About four times a second over 1.2 s or more, and the idle text at the end.
    if (statusBarShown) {
        EXPECT_GE(barPaints.Count(), 2);
        EXPECT_LE(barPaints.Count(), static_cast<int>(took / 250) + 3) << took << " ms";
    } else {
        EXPECT_EQ(barPaints.Count(), 0);
    }

    // "ｽｷｬﾝ中  ﾌｫﾙﾀﾞ N  ﾌｧｲﾙ 0", with N only growing.
    unsigned long lastDirs = 0;
    int shown = 0;
    for (const std::string& text : lister.seen) {
        const std::string dirsLabel = "ｽｷｬﾝ中  ﾌｫﾙﾀﾞ ", filesLabel = "  ﾌｧｲﾙ ";
        const std::size_t filesAt = text.find(filesLabel);
        if (text.rfind(dirsLabel, 0) != 0 || filesAt == std::string::npos)
            continue;
        const unsigned long dirs = std::strtoul(text.c_str() + dirsLabel.size(), nullptr, 10);
        const unsigned long files = std::strtoul(text.c_str() + filesAt + filesLabel.size(), nullptr, 10);
        ++shown;
        EXPECT_EQ(text.substr(text.size() - 13), "  (Escで中止)") << text;
        EXPECT_GE(dirs, lastDirs);
        EXPECT_LE(dirs, 41u);
        EXPECT_EQ(files, 0u);
        lastDirs = dirs;
    }
    if (statusBarShown) {
        EXPECT_GE(shown, 2) << "refreshed about four times a second over 1.2 s";
        EXPECT_GT(lastDirs, 1u);
    } else {
        EXPECT_EQ(shown, 0);
    }
    EXPECT_EQ(frame->statusBar.GetPaneText(0), "ﾚﾃﾞｨ");
}

INSTANTIATE_TEST_SUITE_P(StatusBar, FrameScanProgress, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& p) { return p.param ? "Shown" : "Hidden"; });

// Keys and clicks that reach the view, and the frame's modal loops (a menu,
// moving or sizing), counted in front of their own procedures. A timer that
// such a loop dispatches ends it, so that no test waits on one; a command
// posted then is dispatched by the loop, not by the scan.
// A move or size loop dispatches the keys it does not use: an 'l' typed
// meanwhile reaches the view, which must not open the drive dialog inside
// the scan; a dialog opened all the same is counted and cancelled.
int viewInput = 0, frameMenus = 0, frameSizeMoves = 0, dialogs = 0;
WNDPROC viewProcedure = nullptr, frameProcedure = nullptr;
constexpr LPARAM typedInLoop = 0x26;
LRESULT CALLBACK CountViewInput(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    viewInput += (message == WM_KEYDOWN || message == WM_CHAR || message == WM_LBUTTONDOWN) && lParam != typedInLoop;
    return CallWindowProcA(viewProcedure, window, message, wParam, lParam);
}
BOOL CALLBACK CancelDialog(HWND window, LPARAM)
{
    char name[8] = {};
    if (GetClassNameA(window, name, sizeof name) && std::string(name) == "#32770")
        dialogs += PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}
LRESULT CALLBACK CountFrameLoops(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    frameMenus += message == WM_ENTERMENULOOP;
    frameSizeMoves += message == WM_ENTERSIZEMOVE;
    return CallWindowProcA(frameProcedure, window, message, wParam, lParam);
}
void CALLBACK EndModalLoops(HWND, UINT, UINT_PTR, DWORD)
{
    EndMenu();
    EnumThreadWindows(GetCurrentThreadId(), &CancelDialog, 0);
    if (HWND captured = GetCapture()) {
        if (frameSizeMoves)
            PostMessageA(GetDlgItem(captured, AFX_IDW_PANE_FIRST_ID), WM_CHAR, 'l', typedInLoop);
        PostMessageA(captured, WM_COMMAND, ID_UNIT_MB, 0);
        PostMessageA(captured, WM_LBUTTONUP, 0, 0);
    }
}

// A message posted while the scan runs: what manages the frame reaches it,
// the program's own input and commands, and other windows, do not.
enum class Target { frame, view, other };
struct DuringScanCase {
    const char* label;
    UINT message;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    Target target = Target::frame;
    UINT then = 0;        // a second message, posted right after
    bool iconic = false;  // the target's window is minimised during the scan
    bool zoomed = false;  // the target's window is maximised during the scan
    bool closes = false;  // the walk stops and the frame closes
    int menus = 0;        // menu loops of the frame
    int sizeMoves = 0;    // move or size loops of the frame
    bool waits = false;   // no input: it waits in the queue for the scan to end
    bool late = false;    // posted after the walk's last report, not at the fifth listing
    bool early = false;   // posted before the scan, and acted on as the chart clears
};

class FrameDuringScan : public Frame, public testing::WithParamInterface<DuringScanCase> {};

TEST_P(FrameDuringScan, WindowManagementActsAndNothingElse)
{
    const DuringScanCase& c = GetParam();
    // A rescan: the chart of a subdirectory was shown before.
    test::ScratchDrive drive("mkdir sub");
    ASSERT_TRUE(drive.Letter());
    ASSERT_EQ(frame->view.ScanDrive(drive.Letter()), 1);
    frame->view.NavigateTo(3);
    SlowLister lister(frame->statusBar, 40);
    frame->view.lister = &lister;
    HWND view = frame->view;
    // Another window of the program, handled by the platform alone.
    WNDCLASSA otherClass{};
    otherClass.lpfnWndProc = DefWindowProcA;
    otherClass.lpszClassName = "VorutaOtherWindow";
    RegisterClassA(&otherClass);
    HWND other = CreateWindowExA(0, otherClass.lpszClassName, "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200,
                                 100, nullptr, nullptr, nullptr, nullptr);
    HWND top = c.target == Target::other ? other : window;
    HWND target = c.target == Target::view ? view : top;
    viewInput = frameMenus = frameSizeMoves = dialogs = 0;
    viewProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(view, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountViewInput)));
    frameProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountFrameLoops)));
    const UINT_PTR timer = SetTimer(nullptr, 0, 200, &EndModalLoops);
    bool iconic = false, zoomed = false;
    char title[64] = {};
    auto post = [&] {
        PostMessageA(target, c.message, c.wParam, c.lParam);
        if (c.then)
            PostMessageA(target, c.then, c.wParam, c.lParam | 0xC0000000);
    };
    lister.atLastClose = [&] {
        if (c.late)
            post();
    };
    lister.atOpen = [&](int n) {
        if (n == 5 && !c.late && !c.early)
            post();
        if (n == 3 || n == 10)
            GetWindowTextA(window, title, sizeof title);
        if (n == (c.early ? 1 : 10)) {
            iconic = IsIconic(top);
            zoomed = IsZoomed(top);
        }
    };
    if (c.early)
        post();
    EXPECT_EQ(frame->view.ScanDrive(drive.Letter()), c.closes && !c.late ? 0 : 1);
    KillTimer(nullptr, timer);
    frame->view.lister = nullptr;
    SetWindowLongPtrA(view, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(viewProcedure));
    if (!c.closes)
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(frameProcedure));
    DestroyWindow(other);
    EXPECT_EQ(iconic, c.iconic);
    EXPECT_EQ(zoomed, c.zoomed);
    EXPECT_EQ(frameMenus, c.menus);
    EXPECT_EQ(frameSizeMoves, c.sizeMoves);
    EXPECT_EQ(std::string(title), std::string("Voruta - ") + drive.Letter() + ":") << "the drive scanned, whatever the size";
    EXPECT_EQ(viewInput, 0) << "no key or click reached the view";
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(frame->view.unitMode, static_cast<std::uint32_t>(ID_UNIT_KBMB)) << "no command ran";
    if (c.closes) {
        EXPECT_LE(lister.seen.size(), c.late ? 41u : 5u + 9u) << "stopped within a quarter of a second";
        EXPECT_TRUE(test::PumpMessages(3000, [&] { return !IsWindow(window); })) << "the frame closes";
    } else {
        EXPECT_EQ(lister.seen.size(), 41u);
        EXPECT_TRUE(IsWindow(window));
        MSG msg;
        // Only button messages: the platform posts mouse moves by itself
        // whenever a window appears or moves under the pointer.
        EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_LBUTTONDOWN, WM_MOUSELAST, PM_NOREMOVE)) << "no click is left";
        EXPECT_FALSE(PeekMessageA(&msg, nullptr, WM_NCLBUTTONDOWN, WM_NCMBUTTONDBLCLK, PM_NOREMOVE))
            << "no click on a frame is left";
        EXPECT_EQ(PeekMessageA(&msg, window, c.message, c.message, PM_REMOVE) != FALSE, c.waits);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Messages, FrameDuringScan,
    testing::Values(
        DuringScanCase{.label = "Minimise", .message = WM_SYSCOMMAND, .wParam = SC_MINIMIZE, .iconic = true},
        // The input is taken, and the wait cursor set on the window under
        // the pointer, as the old chart goes.
        DuringScanCase{.label = "MinimiseAsTheScanStarts", .message = WM_SYSCOMMAND, .wParam = SC_MINIMIZE,
                       .iconic = true, .early = true},
        DuringScanCase{.label = "CaptionDoubleClick", .message = WM_NCLBUTTONDBLCLK, .wParam = HTCAPTION, .zoomed = true},
        DuringScanCase{.label = "CaptionDrag", .message = WM_NCLBUTTONDOWN, .wParam = HTCAPTION, .sizeMoves = 1},
        DuringScanCase{.label = "SizingBorder", .message = WM_NCLBUTTONDOWN, .wParam = HTRIGHT, .sizeMoves = 1},
        DuringScanCase{.label = "AltSpace", .message = WM_SYSKEYDOWN, .wParam = VK_SPACE, .lParam = 1 << 29,
                       .target = Target::view, .menus = 1},
        DuringScanCase{.label = "Close", .message = WM_CLOSE, .closes = true},
        DuringScanCase{.label = "CloseAtTheEnd", .message = WM_CLOSE, .closes = true, .late = true},
        DuringScanCase{.label = "CloseCommand", .message = WM_SYSCOMMAND, .wParam = SC_CLOSE, .closes = true},
        DuringScanCase{.label = "AltF4", .message = WM_SYSKEYDOWN, .wParam = VK_F4, .lParam = 1 << 29,
                       .target = Target::view, .closes = true},
        DuringScanCase{.label = "Click", .message = WM_LBUTTONDOWN, .wParam = MK_LBUTTON, .lParam = MAKELPARAM(150, 20),
                       .target = Target::view},
        DuringScanCase{.label = "MenuCommand", .message = WM_COMMAND, .wParam = ID_UNIT_MB},
        DuringScanCase{.label = "MenuBarClick", .message = WM_NCLBUTTONDOWN, .wParam = HTMENU},
        DuringScanCase{.label = "MenuBarKey", .message = WM_SYSKEYDOWN, .wParam = VK_MENU, .lParam = 1 << 29,
                       .target = Target::view, .then = WM_SYSKEYUP},
        DuringScanCase{.label = "MenuBarCommand", .message = WM_SYSCOMMAND, .wParam = SC_KEYMENU, .lParam = 'f'},
        DuringScanCase{.label = "OtherCaptionDoubleClick", .message = WM_NCLBUTTONDBLCLK, .wParam = HTCAPTION,
                       .target = Target::other},
        DuringScanCase{.label = "OtherMinimise", .message = WM_SYSCOMMAND, .wParam = SC_MINIMIZE, .target = Target::other},
        DuringScanCase{.label = "OtherMessage", .message = WM_APP + 77, .waits = true},
        // A floating bar is raised above its frame during the scan too.
        DuringScanCase{.label = "FloatingBarRaise", .message = WM_APP + 2}),
    test::ByLabel());

TEST_F(Frame, EscapeCancelsTheScanAndLeavesTheChartEmpty)
{
    test::ScratchDrive drive;
    ASSERT_TRUE(drive.Letter());
    SlowLister lister(frame->statusBar, 40);
    frame->view.lister = &lister;
    HWND view = frame->view;
    lister.atOpen = [&](int n) {
        if (n == 5)
            PostMessageA(view, WM_KEYDOWN, VK_ESCAPE, 1);
    };
    EXPECT_EQ(frame->view.ScanDrive(drive.Letter()), 0);
    frame->view.lister = nullptr;
    EXPECT_LE(lister.seen.size(), 5u + 9u) << "stopped within a quarter of a second";
    EXPECT_EQ(frame->view.rootIndex, -1);
    char title[64] = {};
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, "Voruta");
    EXPECT_EQ(frame->view.rootPath[0], drive.Letter()) << "the next drive dialog presets it";
    EXPECT_EQ(frame->statusBar.GetPaneText(0), "ﾚﾃﾞｨ");
}

TEST_F(Frame, KeyStatePanesFollowTheLocks)
{
    BYTE keys[256];
    GetKeyboardState(keys);
    BYTE saved[256];
    std::memcpy(saved, keys, sizeof keys);
    // Lock states of kana, caps, num and scroll, and the panes they show.
    struct Locks {
        BYTE on[4];
        const char* panes[4];
    };
    const int lockKeys[4] = {VK_KANA, VK_CAPITAL, VK_NUMLOCK, VK_SCROLL};
    for (const Locks& locks : {Locks{{0, 1, 0, 1}, {"", "CAP", "", "SCRL"}},
                               Locks{{1, 0, 1, 0}, {"ｶﾅ", "", "NUM", ""}}}) {
        for (int i = 0; i < 4; ++i)
            keys[lockKeys[i]] = locks.on[i];
        SetKeyboardState(keys);
        frame->OnIdleUpdate();
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(frame->statusBar.GetPaneText(i + 1), locks.panes[i]) << "pane " << i + 1;
    }
    SetKeyboardState(saved);
    // Each pane has room for its text ("SCRL" and a margin), left of the next.
    RECT pane[5];
    for (int i = 0; i < 5; ++i)
        SendMessageA(frame->statusBar.GetSafeHwnd(), SB_GETRECT, i, reinterpret_cast<LPARAM>(&pane[i]));
    EXPECT_GT(pane[0].bottom - pane[0].top, 14) << "as tall as a line of text";
    for (int i = 1; i < 5; ++i) {
        EXPECT_GT(pane[i].right - pane[i].left, 20) << "pane " << i;
        EXPECT_GT(pane[i].left, pane[i - 1].left) << "pane " << i;
    }
}

TEST_F(Frame, FocusGoesToTheView)
{
    // Whatever activates the frame, its WM_SETFOCUS passes the focus on.
    SendMessageA(window, WM_SETFOCUS, 0, 0);
    EXPECT_EQ(GetFocus(), frame->view.GetSafeHwnd());
}

TEST(App, AboutBoxOpensAndClosesWithOk)
{
    CChartApp app;
    bool opened = false;
    std::string caption;
    test::OnNextDialog([&](HWND dialog) {
        opened = true;
        char text[64] = {};
        GetWindowTextA(dialog, text, sizeof text);
        caption = text;
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    EXPECT_TRUE(app.OnCmdMsg(ID_APP_ABOUT, 0, nullptr));
    EXPECT_TRUE(opened);
    EXPECT_EQ(caption, "Vorutaのﾊﾞｰｼﾞｮﾝ情報");
}

TEST(App, StartUpShowsTheFrameAndAsksForADrive)
{
    CChartApp app;
    ASSERT_TRUE(app.InitInstance());
    auto* frame = dynamic_cast<CMainFrame*>(app.mainWindow);
    ASSERT_TRUE(frame);
    HWND window = *frame;
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(app.RegistryKey(), "Local AppWizard-Generated Applications");
    // The posted start-up message opens the drive dialog from the loop.
    bool asked = false;
    test::OnNextDialog([&](HWND dialog) {
        asked = true;
        EndDialog(dialog, IDCANCEL);
    });
    EXPECT_TRUE(test::PumpMessages(3000, [&] { return asked; }));
    EXPECT_EQ(frame->view.rootIndex, -1);
    DestroyWindow(window);
    // The main window's end asks the loop to quit and lets go of the frame.
    EXPECT_EQ(app.mainWindow, nullptr);
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

}  // namespace
