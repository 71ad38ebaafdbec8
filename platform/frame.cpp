// The main frame window.
#include "platform/frame.h"

#include "platform/app.h"
#include "platform/cmdui.h"
#include "platform/statusbar.h"
#include "platform/toolbar.h"
#include "platform/ids.h"

#include <cstring>

DEFINE_MESSAGE_MAP(CFrameWnd, CWnd,
                   route::UpdateRange<&CFrameWnd::OnUpdateControlBarMenu>(ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR),
                   route::CommandRange<&CFrameWnd::OnBarCheck>(ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR))

CFrameWnd::~CFrameWnd()
{
    if (accelerators)
        DestroyAcceleratorTable(accelerators);
}

bool CFrameWnd::LoadFrame(UINT id, DWORD style, HWND parent, void*)
{
    resourceId = id;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    char title[256] = {};
    LoadStringA(instance, id, title, sizeof title);
    HMENU menu = LoadMenuA(instance, MAKEINTRESOURCEA(id));
    accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(id));

    CREATESTRUCTA cs{};
    cs.style = static_cast<LONG>(style);
    cs.lpszName = title;
    cs.x = CW_USEDEFAULT;
    cs.y = CW_USEDEFAULT;
    cs.cx = CW_USEDEFAULT;
    cs.cy = CW_USEDEFAULT;
    cs.hwndParent = parent;
    cs.hMenu = menu;
    cs.hInstance = instance;
    if (!PreCreateWindow(cs)) {
        if (menu)
            DestroyMenu(menu);
        return false;
    }
    // The frame flag 0x8000 is ours, not a window style bit to pass on.
    const DWORD windowStyle = static_cast<DWORD>(cs.style) & ~FWS_ADDTOTITLE;
    HWND made = CreateWindowExA(cs.dwExStyle, cs.lpszClass, cs.lpszName, windowStyle, cs.x, cs.y, cs.cx, cs.cy,
                                cs.hwndParent, cs.hMenu, cs.hInstance, this);
    if (!made && menu)
        DestroyMenu(menu);
    return made != nullptr;
}

bool CFrameWnd::PreCreateWindow(CREATESTRUCTA& cs)
{
    if (!cs.lpszClass) {
        registeredClass = RegisterWndClass(CS_DBLCLKS, LoadCursorA(nullptr, IDC_ARROW),
                                           reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1),
                                           LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resourceId)));
        cs.lpszClass = registeredClass;
    }
    cs.dwExStyle |= WS_EX_CLIENTEDGE;
    return !registeredClass.IsEmpty() || cs.lpszClass;
}

bool CFrameWnd::OnCmdMsg(UINT id, UINT code, CCmdUI* ui)
{
    if (CWnd::OnCmdMsg(id, code, ui))
        return true;
    CWinApp* app = CWinApp::Current();
    return app && app->OnCmdMsg(id, code, ui);
}

void CFrameWnd::DockControlBar(CToolBar* bar)
{
    dockedBar = bar;
    DockSide side = DockSide::top;
    if (!(bar->DockMask() & dockSides & CBRS_ALIGN_TOP)) {
        if (bar->DockMask() & dockSides & CBRS_ALIGN_BOTTOM)
            side = DockSide::bottom;
        else if (bar->DockMask() & dockSides & CBRS_ALIGN_LEFT)
            side = DockSide::left;
        else if (bar->DockMask() & dockSides & CBRS_ALIGN_RIGHT)
            side = DockSide::right;
    }
    bar->EnableDocking(bar->DockMask() & dockSides);
    bar->Dock(side);
}

void CFrameWnd::RecalcLayout()
{
    if (!hwnd)
        return;
    RECT area;
    GetClientRect(&area);
    HDWP moves = BeginDeferWindowPos(3);
    if (CStatusBar* status = FrameStatusBar(); status && status->GetSafeHwnd() && IsWindowVisible(*status)) {
        const int height = status->Height();
        area.bottom -= height;
        moves = DeferWindowPos(moves, *status, nullptr, area.left, area.bottom, area.right - area.left, height,
                               SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (CToolBar* bar = DockedToolBar(); bar && bar->GetSafeHwnd() && bar->IsShown() &&
                                         bar->Side() != DockSide::floating) {
        const SIZE size = bar->Extent(bar->Side());
        RECT place = area;
        switch (bar->Side()) {
        case DockSide::top:
            place.bottom = area.top + size.cy;
            area.top = place.bottom;
            break;
        case DockSide::bottom:
            place.top = area.bottom - size.cy;
            area.bottom = place.top;
            break;
        case DockSide::left:
            place.right = area.left + size.cx;
            area.left = place.right;
            break;
        default:
            place.left = area.right - size.cx;
            area.right = place.left;
            break;
        }
        moves = DeferWindowPos(moves, *bar, nullptr, place.left, place.top, place.right - place.left,
                               place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    HWND pane = GetDlgItem(hwnd, AFX_IDW_PANE_FIRST_ID);
    bool paneMoved = false;
    if (pane) {
        RECT before;
        ::GetWindowRect(pane, &before);
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&before), 2);
        const int width = area.right > area.left ? area.right - area.left : 0;
        const int height = area.bottom > area.top ? area.bottom - area.top : 0;
        paneMoved = before.left != area.left || before.top != area.top;
        // A pane that only moves keeps its old bits, and a bar moving away
        // leaves its picture in them: take nothing along, repaint it all.
        moves = DeferWindowPos(moves, pane, nullptr, area.left, area.top, width, height,
                               SWP_NOZORDER | SWP_NOACTIVATE | (paneMoved ? SWP_NOCOPYBITS : 0));
    }
    EndDeferWindowPos(moves);
    if (paneMoved)
        ::InvalidateRect(pane, nullptr, FALSE);
    if (CStatusBar* status = FrameStatusBar(); status && status->GetSafeHwnd())
        status->Layout();
}

void CFrameWnd::OnIdleUpdate()
{
    if (CToolBar* bar = DockedToolBar())
        bar->UpdateButtons(*this);
    if (CStatusBar* status = FrameStatusBar(); status && status->GetSafeHwnd())
        status->UpdateIndicators();
}

void CFrameWnd::SetMessageText(const char* text)
{
    CStatusBar* status = FrameStatusBar();
    if (!status || !status->GetSafeHwnd())
        return;
    char idle[128] = {};
    if (!text) {
        LoadStringA(GetModuleHandleA(nullptr), AFX_IDS_IDLEMESSAGE, idle, sizeof idle);
        text = idle;
    }
    status->SetPaneText(0, text);
}

bool CFrameWnd::ShowMessageNow(const char* text)
{
    CStatusBar* status = FrameStatusBar();
    if (!status || !status->GetSafeHwnd() || !::IsWindowVisible(status->GetSafeHwnd()))
        return false;
    SetMessageText(text);
    ::UpdateWindow(status->GetSafeHwnd());
    return true;
}

CToolBar* CFrameWnd::ToolBarWithId(UINT id)
{
    if (auto* tool = dynamic_cast<CToolBar*>(FromHandle(GetDlgItem(hwnd, static_cast<int>(id)))); tool)
        return tool;
    // A floating tool bar is a child of its floating window, not of the frame.
    CToolBar* docked = DockedToolBar();
    if (docked && docked->GetSafeHwnd() && id == static_cast<UINT>(GetDlgCtrlID(*docked)))
        return docked;
    return nullptr;
}

void CFrameWnd::OnBarCheck(UINT id)
{
    if (CToolBar* tool = ToolBarWithId(id)) {
        tool->Show(!tool->IsShown());
        return;
    }
    HWND bar = GetDlgItem(hwnd, static_cast<int>(id));
    if (!bar)
        return;
    ShowWindow(bar, IsWindowVisible(bar) ? SW_HIDE : SW_SHOWNA);
    RecalcLayout();
}

void CFrameWnd::OnUpdateControlBarMenu(CCmdUI* ui)
{
    if (CToolBar* tool = ToolBarWithId(ui->GetId())) {
        ui->SetCheck(tool->IsShown() ? 1 : 0);
        return;
    }
    HWND bar = GetDlgItem(hwnd, static_cast<int>(ui->GetId()));
    if (!bar) {
        ui->Enable(false);
        return;
    }
    ui->SetCheck(IsWindowVisible(bar) ? 1 : 0);
}

void CFrameWnd::OnInitMenuPopup(HMENU menu)
{
    const int count = GetMenuItemCount(menu);
    // The system menu is the window system's: known by its items, since
    // not every path that opens it flags it as such.
    for (int i = 0; i < count; ++i) {
        const UINT id = GetMenuItemID(menu, i);
        if (id >= SC_SIZE && id != static_cast<UINT>(-1))  // -1: a pop-up
            return;
    }
    for (int i = 0; i < count; ++i) {
        const UINT id = GetMenuItemID(menu, i);
        if (id == 0 || id == static_cast<UINT>(-1))
            continue;  // separators and pop-ups
        CMenuCmdUI ui(menu, id);
        OnCmdMsg(id, 0, &ui);
        // No handler anywhere: the command cannot run.
        if (!ui.handled)
            ui.Enable(false);
    }
}

void CFrameWnd::OnMenuSelect(UINT item, UINT flags, HMENU menu)
{
    if (flags == 0xFFFF && !menu) {
        menuTracking = false;
        SetMessageText(nullptr);
        return;
    }
    menuTracking = true;
    char prompt[256] = {};
    if (!(flags & (MF_POPUP | MF_SEPARATOR)) && item != 0) {
        // Items of the system menu have their own prompts.
        const UINT id = (flags & MF_SYSMENU) ? ((item & 0xFFF0) - SC_SIZE) / 16 + AFX_IDS_SCSIZE : item;
        LoadStringA(GetModuleHandleA(nullptr), id, prompt, sizeof prompt);
        if (char* feed = std::strchr(prompt, '\n'))
            *feed = '\0';
    }
    SetMessageText(prompt);
}

LRESULT CFrameWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE:
        RecalcLayout();
        return 0;
    case WM_INITMENUPOPUP:
        if (!HIWORD(lParam))
            OnInitMenuPopup(reinterpret_cast<HMENU>(wParam));
        return 0;
    case WM_MENUSELECT:
        OnMenuSelect(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HMENU>(lParam));
        return 0;
    case WM_EXITMENULOOP:
        menuTracking = false;
        SetMessageText(nullptr);
        return 0;
    case WM_ACTIVATE:
        // An owned floating bar stays above its frame, whatever raised the frame.
        if (LOWORD(wParam) != WA_INACTIVE) {
            if (CToolBar* bar = DockedToolBar(); bar && bar->GetSafeHwnd())
                bar->RaiseFloating();
        }
        break;
    case WM_NCACTIVATE:
        // A floating bar's caption is drawn active while its frame is.
        if (CToolBar* bar = DockedToolBar(); bar && bar->GetSafeHwnd())
            bar->FrameActivated(wParam != FALSE);
        break;
    case WM_UNINITMENUPOPUP:
        // A menu closed (Escape closes the open one and keeps the menu bar
        // active; some platforms then send no selection for the bar):
        // nothing is highlighted, so the prompt goes. The next selection
        // brings its own.
        SetMessageText(nullptr);
        return 0;
    case WM_NCDESTROY:
        // The main window is gone: the loop ends, and nothing may reach the
        // frame object, which is deleted right after this message.
        if (CWinApp* app = CWinApp::Current(); app && app->mainWindow == this) {
            app->mainWindow = nullptr;
            PostQuitMessage(0);
        }
        break;
    default:
        break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}
