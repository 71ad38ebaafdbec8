// The main frame and the application object: start-up, children, bars,
// command routing and the resources behind them.
#include "shell/chart_app.h"
#include "shell/main_frame.h"
#include "support.h"

#include <gtest/gtest.h>

#include <commctrl.h>

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
