// The main frame.
#include "shell/main_frame.h"

#include "res/resource.h"

const UINT indicators[5] = {0, ID_INDICATOR_KANA, ID_INDICATOR_CAPS, ID_INDICATOR_NUM, ID_INDICATOR_SCRL};

DEFINE_MESSAGE_MAP(CMainFrame, CFrameWnd,
                   route::Message<&CMainFrame::OnCreate>(WM_CREATE),
                   route::Message<&CMainFrame::OnSetFocus>(WM_SETFOCUS),
                   route::Message<&CMainFrame::OnClose>(WM_CLOSE))

bool CMainFrame::PreCreateWindow(CREATESTRUCTA& cs)
{
    if (!CFrameWnd::PreCreateWindow(cs))
        return false;
    // No sunken edge around the client area: the view brings its own.
    cs.dwExStyle &= ~static_cast<DWORD>(WS_EX_CLIENTEDGE);
    registeredClass = RegisterWndClass(0, nullptr, nullptr,
                                       LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME)));
    cs.lpszClass = registeredClass;
    return !registeredClass.IsEmpty();
}

int CMainFrame::OnCreate(CREATESTRUCTA*)
{
    if (Default() == -1)
        return -1;
    if (!view.Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE | WS_BORDER, RECT{0, 0, 0, 0}, hwnd,
                     AFX_IDW_PANE_FIRST_ID))
        return -1;
    if (!toolBar.Create(hwnd, WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP | CBRS_BORDER_BOTTOM, AFX_IDW_TOOLBAR_ID))
        return -1;
    if (!toolBar.LoadToolBar(IDR_MAINFRAME))
        return -1;
    if (!statusBar.Create(hwnd, WS_CHILD | WS_VISIBLE | CBRS_ALIGN_BOTTOM | CBRS_BORDER_TOP, AFX_IDW_STATUS_BAR_ID))
        return -1;
    if (!statusBar.SetIndicators(indicators, 5))
        return -1;
    SetMessageText(nullptr);
    toolBar.EnableDocking(CBRS_ALIGN_ANY);
    EnableDocking(CBRS_ALIGN_ANY);
    DockControlBar(&toolBar);
    return 0;
}

void CMainFrame::OnSetFocus(HWND)
{
    if (view.GetSafeHwnd())
        ::SetFocus(view);
}

void CMainFrame::OnClose()
{
    // A scan runs inside a command of the view, on this window's stack: it
    // is stopped first, and the frame closes when it has returned.
    if (view.scanning) {
        view.closeAfterScan = true;
        return;
    }
    Default();
}

bool CMainFrame::OnCmdMsg(UINT id, UINT code, CCmdUI* ui)
{
    // No command runs during a scan, whatever loop dispatched it.
    if (view.scanning && !ui)
        return true;
    // The view is a plain child window: only this step brings commands to it.
    if (view.OnCmdMsg(id, code, ui))
        return true;
    return CFrameWnd::OnCmdMsg(id, code, ui);
}
