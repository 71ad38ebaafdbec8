// The main frame: tool bar, status bar and the chart view.
#pragma once

#include "platform/frame.h"
#include "platform/statusbar.h"
#include "platform/toolbar.h"
#include "view/chart_view.h"

// The status bar panes: the message pane, then kana, caps, num and scroll lock.
extern const UINT indicators[5];

// The program's one top-level window. It offers every command to the view
// first and keeps the keyboard focus on it.
class CMainFrame final : public CFrameWnd {
public:
    CMainFrame() = default;
    ~CMainFrame() override = default;

    bool OnCmdMsg(UINT id, UINT code, CCmdUI* ui) override;
    bool PreCreateWindow(CREATESTRUCTA& cs) override;

    int OnCreate(CREATESTRUCTA* cs);
    void OnSetFocus(HWND previous);
    void OnClose();

    CStatusBar statusBar;
    CToolBar toolBar;
    CChartView view;

protected:
    CToolBar* DockedToolBar() override { return &toolBar; }
    CStatusBar* FrameStatusBar() override { return &statusBar; }
    // The frame object is made on the heap and ends with its window.
    void PostNcDestroy() override { delete this; }

    DECLARE_MESSAGE_MAP()
};
