// The dockable tool bar.
#include "platform/toolbar.h"

#include "platform/cmdui.h"
#include "platform/frame.h"

#include <commctrl.h>

#include <vector>

namespace {

constexpr const char* floatClassName = "Voruta:FloatingBar";
// Posted to the floating window: give the activation back to the frame;
// put the window above its frame again.
constexpr UINT returnActivation = WM_APP + 1;
constexpr UINT raiseAboveFrame = CToolBar::raiseMessage;

// The tool bar resource (RT_TOOLBAR): version, image size, button ids.
struct ToolBarResource {
    WORD version;
    WORD width;
    WORD height;
    WORD count;
    WORD ids[1];
};

}  // namespace

DockSide DockSideForDrop(POINT p, const RECT& client, DWORD mask, int zone)
{
    const bool inside = p.x >= client.left - zone && p.x < client.right + zone && p.y >= client.top - zone &&
                        p.y < client.bottom + zone;
    if (!inside)
        return DockSide::floating;
    // The nearest edge within the zone wins; ties go top, bottom, left, right.
    struct Candidate {
        DockSide side;
        DWORD bit;
        LONG distance;
    } candidates[] = {
        {DockSide::top, CBRS_ALIGN_TOP, p.y - client.top},
        {DockSide::bottom, CBRS_ALIGN_BOTTOM, client.bottom - 1 - p.y},
        {DockSide::left, CBRS_ALIGN_LEFT, p.x - client.left},
        {DockSide::right, CBRS_ALIGN_RIGHT, client.right - 1 - p.x},
    };
    DockSide best = DockSide::floating;
    LONG bestDistance = zone + 1;
    for (const Candidate& c : candidates) {
        const LONG d = c.distance < 0 ? 0 : c.distance;
        if ((mask & c.bit) && d <= zone && d < bestDistance) {
            best = c.side;
            bestDistance = d;
        }
    }
    return best;
}

CToolBar::~CToolBar()
{
    if (floatWindow && IsWindow(floatWindow)) {
        // The bar lives in the floating window: take it down with its window.
        ::DestroyWindow(floatWindow);
        floatWindow = nullptr;
    }
}

bool CToolBar::Create(HWND parentFrame, DWORD barStyle, UINT id)
{
    frame = parentFrame;
    style = barStyle;
    side = (barStyle & CBRS_ALIGN_BOTTOM) ? DockSide::bottom
         : (barStyle & CBRS_ALIGN_LEFT)   ? DockSide::left
         : (barStyle & CBRS_ALIGN_RIGHT)  ? DockSide::right
                                          : DockSide::top;
    vertical = side == DockSide::left || side == DockSide::right;
    // Its gripper runs across the whole short side, and turns with the bar:
    // any change of size paints the bar anew, none keeps old bits.
    const CString cls = RegisterWndClass(CS_HREDRAW | CS_VREDRAW, LoadCursorA(nullptr, IDC_ARROW), reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    return CreateEx(0, cls, "", WS_CHILD | WS_CLIPCHILDREN | (barStyle & WS_VISIBLE), RECT{0, 0, 0, 0}, parentFrame,
                    id);
}

bool CToolBar::LoadToolBar(UINT resourceId)
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(instance, MAKEINTRESOURCEA(resourceId), MAKEINTRESOURCEA(241));
    if (!found)
        return false;
    const auto* data = static_cast<const ToolBarResource*>(LockResource(LoadResource(instance, found)));
    if (!data || data->version != 1)
        return false;

    buttons = CreateWindowExA(0, TOOLBARCLASSNAMEA, "",
                              WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER,
                              gripperSize, 0, 0, 0, hwnd, nullptr, instance, nullptr);
    if (!buttons)
        return false;
    SendMessageA(buttons, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageA(buttons, TB_SETBITMAPSIZE, 0, MAKELPARAM(data->width, data->height));
    std::vector<TBBUTTON> list;
    int images = 0;
    for (WORD i = 0; i < data->count; ++i) {
        TBBUTTON b{};
        b.idCommand = data->ids[i];
        b.fsState = TBSTATE_ENABLED;
        if (data->ids[i] == 0) {
            b.fsStyle = TBSTYLE_SEP;
        } else {
            b.iBitmap = images++;
            b.fsStyle = TBSTYLE_BUTTON;
        }
        list.push_back(b);
    }
    TBADDBITMAP bitmap{instance, resourceId};
    if (SendMessageA(buttons, TB_ADDBITMAP, static_cast<WPARAM>(images), reinterpret_cast<LPARAM>(&bitmap)) < 0)
        return false;
    SendMessageA(buttons, TB_ADDBUTTONSA, list.size(), reinterpret_cast<LPARAM>(list.data()));
    Arrange(vertical);
    return true;
}

void CToolBar::Arrange(bool column)
{
    vertical = column;
    if (!buttons)
        return;
    // A column's separators are drawn across it, as horizontal lines.
    const LONG buttonStyle = GetWindowLongA(buttons, GWL_STYLE);
    SetWindowLongA(buttons, GWL_STYLE, column ? (buttonStyle | CCS_VERT) : (buttonStyle & ~CCS_VERT));
    // A column is a row with a line break after every button.
    const int count = static_cast<int>(SendMessageA(buttons, TB_BUTTONCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        TBBUTTON b{};
        SendMessageA(buttons, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&b));
        BYTE state = static_cast<BYTE>(SendMessageA(buttons, TB_GETSTATE, static_cast<WPARAM>(b.idCommand), 0));
        state = column ? (state | TBSTATE_WRAP) : (state & ~TBSTATE_WRAP);
        if (b.fsStyle & TBSTYLE_SEP) {
            TBBUTTONINFOA info{};
            info.cbSize = sizeof info;
            info.dwMask = TBIF_STATE | TBIF_BYINDEX;
            info.fsState = state;
            SendMessageA(buttons, TB_SETBUTTONINFOA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&info));
        } else {
            SendMessageA(buttons, TB_SETSTATE, static_cast<WPARAM>(b.idCommand), MAKELPARAM(state, 0));
        }
    }
    SIZE size{0, 0};
    for (int i = 0; i < count; ++i) {
        RECT r{};
        SendMessageA(buttons, TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r));
        size.cx = r.right > size.cx ? r.right : size.cx;
        size.cy = r.bottom > size.cy ? r.bottom : size.cy;
    }
    if (column)
        SetWindowPos(buttons, nullptr, 0, gripperSize, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    else
        SetWindowPos(buttons, nullptr, gripperSize, 0, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE CToolBar::Extent(DockSide where) const
{
    if (!buttons)
        return SIZE{0, 0};
    RECT r{};
    GetWindowRect(buttons, &r);
    const LONG w = r.right - r.left;
    const LONG h = r.bottom - r.top;
    const bool column = where == DockSide::left || where == DockSide::right;
    // Arranged the other way round, the extent swaps to what Arrange would make.
    if (column == vertical)
        return column ? SIZE{w + 4, h + gripperSize + 2} : SIZE{w + gripperSize + 2, h + 4};
    return column ? SIZE{h + 4, w + gripperSize + 2} : SIZE{h + gripperSize + 2, w + 4};
}

void CToolBar::Show(bool on)
{
    shown = on;
    if (side == DockSide::floating && floatWindow)
        ShowWindow(floatWindow, on ? SW_SHOWNA : SW_HIDE);
    ShowWindow(hwnd, on ? SW_SHOWNA : SW_HIDE);
    FrameChanged();
}

void CToolBar::Dock(DockSide where)
{
    if (where == DockSide::floating) {
        RECT r;
        GetWindowRect(hwnd, &r);
        Float(POINT{r.left, r.top});
        return;
    }
    side = where;
    Arrange(where == DockSide::left || where == DockSide::right);
    if (GetParent() != frame) {
        SetParent(hwnd, frame);
        if (floatWindow) {
            ::DestroyWindow(floatWindow);
            floatWindow = nullptr;
        }
    }
    if (shown)
        ShowWindow(hwnd, SW_SHOWNA);
    FrameChanged();
}

void CToolBar::Float(POINT screen)
{
    Arrange(false);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA existing{};
    if (!GetClassInfoA(instance, floatClassName, &existing)) {
        WNDCLASSA wc{};
        wc.lpfnWndProc = &CToolBar::FloatProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = floatClassName;
        RegisterClassA(&wc);
    }
    const SIZE extent = Extent(DockSide::top);
    RECT outer{0, 0, extent.cx, extent.cy};
    const DWORD floatStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    AdjustWindowRectEx(&outer, floatStyle, FALSE, WS_EX_TOOLWINDOW);
    if (!floatWindow) {
        floatWindow = CreateWindowExA(WS_EX_TOOLWINDOW, floatClassName, "", floatStyle, screen.x, screen.y,
                                      outer.right - outer.left, outer.bottom - outer.top, frame, nullptr, instance,
                                      this);
        if (!floatWindow)
            return;
        SetParent(hwnd, floatWindow);
    } else {
        SetWindowPos(floatWindow, nullptr, screen.x, screen.y, outer.right - outer.left, outer.bottom - outer.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    side = DockSide::floating;
    SetWindowPos(hwnd, nullptr, 0, 0, extent.cx, extent.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    if (shown) {
        ShowWindow(hwnd, SW_SHOWNA);
        ShowWindow(floatWindow, SW_SHOWNA);
    }
    FrameActivated(GetActiveWindow() == frame);
    FrameChanged();
}

void CToolBar::FrameActivated(bool active)
{
    frameActive = active;
    if (floatWindow)
        SendMessageA(floatWindow, WM_NCACTIVATE, active, 0);
}

void CToolBar::RaiseFloating() const
{
    // Posted: the platform may still be raising the frame when it reports
    // the activation.
    if (side == DockSide::floating && floatWindow && shown)
        PostMessageA(floatWindow, raiseAboveFrame, 0, 0);
}

RECT CToolBar::DockArea() const
{
    RECT area{};
    HWND pane = GetDlgItem(frame, AFX_IDW_PANE_FIRST_ID);
    if (pane && ::GetWindowRect(pane, &area)) {
        MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&area), 2);
        return area;
    }
    ::GetClientRect(frame, &area);
    return area;
}

void CToolBar::FrameChanged() const
{
    if (auto* owner = dynamic_cast<CFrameWnd*>(FromHandle(frame)))
        owner->RecalcLayout();
}

void CToolBar::UpdateButtons(CCmdTarget& target)
{
    if (!buttons || !shown)
        return;
    const int count = static_cast<int>(SendMessageA(buttons, TB_BUTTONCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        TBBUTTON b{};
        SendMessageA(buttons, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&b));
        if (b.fsStyle & TBSTYLE_SEP)
            continue;
        CToolCmdUI ui(buttons, static_cast<UINT>(b.idCommand));
        target.OnCmdMsg(ui.GetId(), 0, &ui);
        // Nobody handles it: nothing to run, so the button is off.
        if (!ui.handled)
            ui.Enable(false);
    }
}

void CToolBar::TrackDrag(POINT start)
{
    // Drag with a focus rectangle; dropping near a frame edge docks there,
    // anywhere else floats the bar at the drop point.
    SetCapture(hwnd);
    RECT bar;
    GetWindowRect(hwnd, &bar);
    const POINT offset{start.x - bar.left, start.y - bar.top};
    HDC screen = GetDC(nullptr);
    RECT outline{};
    bool drawn = false;
    MSG msg;
    bool dropped = false;
    while (GetCapture() == hwnd && GetMessageA(&msg, nullptr, 0, 0)) {
        if (msg.message == WM_MOUSEMOVE || msg.message == WM_LBUTTONUP) {
            POINT p;
            GetCursorPos(&p);
            if (drawn)
                DrawFocusRect(screen, &outline);
            drawn = false;
            if (msg.message == WM_LBUTTONUP) {
                dropped = true;
                start = p;
                break;
            }
            outline = RECT{p.x - offset.x, p.y - offset.y, p.x - offset.x + (bar.right - bar.left),
                         p.y - offset.y + (bar.bottom - bar.top)};
            DrawFocusRect(screen, &outline);
            drawn = true;
        } else if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
            break;
        } else {
            DispatchMessageA(&msg);
        }
    }
    if (drawn)
        DrawFocusRect(screen, &outline);
    ReleaseDC(nullptr, screen);
    if (GetCapture() == hwnd)
        ReleaseCapture();
    if (!dropped)
        return;

    POINT inFrame = start;
    ScreenToClient(frame, &inFrame);
    const DockSide target = DockSideForDrop(inFrame, DockArea(), dockMask, dockZone);
    if (target == DockSide::floating)
        Float(POINT{start.x - offset.x, start.y - offset.y});
    else
        Dock(target);
}

LRESULT CToolBar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
        // Button clicks and tips go to the frame, which routes the commands.
        return SendMessageA(frame, message, wParam, lParam);
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT r;
        ::GetClientRect(hwnd, &r);
        FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        // The gripper: two raised lines across the bar's short side.
        for (int i = 0; i < 2; ++i) {
            RECT g = vertical ? RECT{2, 2 + 3 * i, r.right - 2, 5 + 3 * i} : RECT{2 + 3 * i, 2, 5 + 3 * i, r.bottom - 2};
            DrawEdge(dc, &g, BDR_RAISEDINNER, BF_RECT);
        }
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_LBUTTONDOWN: {
        POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        const bool onGripper = vertical ? p.y < gripperSize : p.x < gripperSize;
        if (onGripper && side != DockSide::floating && (dockMask & CBRS_ALIGN_ANY)) {
            ClientToScreen(hwnd, &p);
            TrackDrag(p);
        }
        return 0;
    }
    default:
        return CWnd::WindowProc(message, wParam, lParam);
    }
}

LRESULT CALLBACK CToolBar::FloatProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
    auto* bar = reinterpret_cast<CToolBar*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
    case WM_CLOSE:
        // Closing the little window hides the bar; the View menu brings it back.
        if (bar)
            bar->Show(false);
        return 0;
    case WM_MOUSEACTIVATE:
        // A click on a button leaves the activation, and so the keys, with
        // the frame.
        return MA_NOACTIVATE;
    case WM_NCACTIVATE:
        // Its caption looks active while it or its frame is active.
        return ::DefWindowProcA(window, message, wParam || (bar && bar->frameActive), lParam);
    case WM_ACTIVATE:
        // Activated all the same (its caption was clicked): once any move
        // is over, the frame is active again.
        if (LOWORD(wParam) != WA_INACTIVE)
            PostMessageA(window, returnActivation, 0, 0);
        return 0;
    case returnActivation:
        // The frame raises the bar again when it is activated.
        if (bar && !bar->moving && GetActiveWindow() == window)
            SetActiveWindow(bar->frame);
        return 0;
    case raiseAboveFrame:
        // Some window systems raise an activated frame above its owned
        // windows while their own z-order still has the bar on top, so that
        // no reordering reaches the screen. Shown anew, the bar is put on
        // top for certain, and never above other programs' windows (a
        // topmost window would be).
        if (IsWindowVisible(window)) {
            SetWindowPos(window, nullptr, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
            SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        }
        return 0;
    case WM_ENTERSIZEMOVE:
        if (bar)
            bar->moving = true;
        return 0;
    case WM_EXITSIZEMOVE:
        if (bar) {
            bar->moving = false;
            // Moved over an edge of the frame: dock there.
            POINT p;
            GetCursorPos(&p);
            ScreenToClient(bar->frame, &p);
            const DockSide target = DockSideForDrop(p, bar->DockArea(), bar->dockMask, dockZone);
            if (target != DockSide::floating)
                bar->Dock(target);
            else if (GetActiveWindow() == window)
                SetActiveWindow(bar->frame);
        }
        return 0;
    case WM_COMMAND:
    case WM_NOTIFY:
        if (bar)
            return SendMessageA(bar->frame, message, wParam, lParam);
        return 0;
    default:
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
}
