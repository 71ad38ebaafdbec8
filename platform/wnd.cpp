// Command targets and the window object.
#include "platform/wnd.h"

namespace {

// The window property that ties a handle to its CWnd.
constexpr const char* objectProperty = "Voruta.CWnd";

bool InRange(const MessageEntry& e, UINT id) noexcept { return e.first <= id && id <= e.last; }

// The top-level window that `window` is a child of, or `window` itself:
// GetAncestor's GA_ROOT, which Windows NT 4 lacks.
HWND RootOf(HWND window)
{
    while (window && (GetWindowLongA(window, GWL_STYLE) & WS_CHILD)) {
        HWND parent = ::GetParent(window);
        if (!parent)
            break;
        window = parent;
    }
    return window;
}

}  // namespace

const MessageMap CCmdTarget::messageMap = {nullptr, nullptr, 0};
const MessageMap CWnd::messageMap = {&CCmdTarget::messageMap, nullptr, 0};

bool CCmdTarget::OnCmdMsg(UINT id, UINT code, CCmdUI* ui)
{
    for (const MessageMap* map = GetMessageMap(); map; map = map->base) {
        for (std::size_t i = 0; i < map->count; ++i) {
            const MessageEntry& e = map->entries[i];
            if (!InRange(e, id))
                continue;
            MessageArgs args{WM_COMMAND, 0, 0, id, ui};
            if (ui) {
                if (e.kind == RouteKind::updateRange) {
                    ui->handled = true;
                    e.thunk(this, args);
                    return true;
                }
                // A command with a handler but no update rule stays enabled.
                if (e.kind == RouteKind::command || e.kind == RouteKind::commandRange) {
                    ui->handled = true;
                    return true;
                }
            } else if ((code == 0 || code == 1) &&
                       (e.kind == RouteKind::command || e.kind == RouteKind::commandRange)) {
                e.thunk(this, args);
                return true;
            } else if (e.kind == RouteKind::notify && e.message == code) {
                e.thunk(this, args);
                return true;
            }
        }
    }
    return false;
}

CWnd::~CWnd()
{
    if (hwnd && IsWindow(hwnd))
        ::DestroyWindow(hwnd);
}

CWnd* CWnd::FromHandle(HWND window) noexcept
{
    return window ? static_cast<CWnd*>(GetPropA(window, objectProperty)) : nullptr;
}

void CWnd::Attach(HWND window) noexcept
{
    hwnd = window;
    SetPropA(window, objectProperty, this);
}

HWND CWnd::Detach() noexcept
{
    HWND window = hwnd;
    if (window)
        RemovePropA(window, objectProperty);
    hwnd = nullptr;
    return window;
}

bool CWnd::PreCreateWindow(CREATESTRUCTA& cs)
{
    if (!cs.lpszClass) {
        registeredClass = RegisterWndClass(CS_DBLCLKS, LoadCursorA(nullptr, IDC_ARROW),
                                     reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
        cs.lpszClass = registeredClass;
    }
    return cs.lpszClass && *cs.lpszClass;
}

bool CWnd::CreateEx(DWORD exStyle, const char* className, const char* text, DWORD style,
                    const RECT& rect, HWND parent, UINT id)
{
    CREATESTRUCTA cs{};
    cs.dwExStyle = exStyle;
    cs.lpszClass = className;
    cs.lpszName = text;
    cs.style = static_cast<LONG>(style);
    cs.x = rect.left;
    cs.y = rect.top;
    cs.cx = rect.right - rect.left;
    cs.cy = rect.bottom - rect.top;
    cs.hwndParent = parent;
    cs.hMenu = (style & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)) : nullptr;
    cs.hInstance = GetModuleHandleA(nullptr);
    cs.lpCreateParams = this;
    if (!PreCreateWindow(cs))
        return false;
    HWND made = CreateWindowExA(cs.dwExStyle, cs.lpszClass, cs.lpszName, static_cast<DWORD>(cs.style),
                                cs.x, cs.y, cs.cx, cs.cy, cs.hwndParent, cs.hMenu, cs.hInstance, this);
    return made != nullptr && made == hwnd;
}

bool CWnd::DestroyWindow()
{
    return hwnd && ::DestroyWindow(hwnd);
}

void CWnd::GetClientRect(RECT* rect) const noexcept
{
    if (!::GetClientRect(hwnd, rect))
        *rect = RECT{0, 0, 0, 0};
}

CString CWnd::GetWindowText() const
{
    char text[512];
    const int length = ::GetWindowTextA(hwnd, text, sizeof text);
    return CString(text, length > 0 ? length : 0);
}

CString CWnd::RegisterWndClass(UINT classStyle, HCURSOR cursor, HBRUSH background, HICON icon)
{
    // The name encodes the parameters, so equal requests share one class.
    CString name;
    name.Format("Voruta:%x:%p:%p:%p", classStyle, static_cast<void*>(cursor),
                static_cast<void*>(background), static_cast<void*>(icon));
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA existing{};
    if (!GetClassInfoA(instance, name, &existing)) {
        WNDCLASSA wc{};
        wc.style = classStyle;
        wc.lpfnWndProc = &CWnd::StandardWndProc;
        wc.hInstance = instance;
        wc.hCursor = cursor;
        wc.hbrBackground = background;
        wc.hIcon = icon;
        wc.lpszClassName = name;
        if (!RegisterClassA(&wc))
            return CString();
    }
    return name;
}

LRESULT CALLBACK CWnd::StandardWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* self = FromHandle(window);
    if (!self && message == WM_NCCREATE) {
        self = static_cast<CWnd*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        if (self)
            self->Attach(window);
    }
    if (!self)
        return ::DefWindowProcA(window, message, wParam, lParam);
    return Dispatch(self, message, wParam, lParam);
}

LRESULT CWnd::Dispatch(CWnd* self, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    const MSG saved = self->current;
    self->current = MSG{self->hwnd, message, wParam, lParam, 0, {0, 0}};
    LRESULT result = 0;
    try {
        result = self->WindowProc(message, wParam, lParam);
    } catch (...) {
        // No C++ exception may unwind into Windows' own frames.
        result = 0;
    }
    self->current = saved;
    if (message == WM_NCDESTROY) {
        self->Detach();
        self->PostNcDestroy();
    }
    return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (OnWndMsg(message, wParam, lParam, &result))
        return result;
    return DefWindowProc(message, wParam, lParam);
}

bool CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_COMMAND) {
        if (OnCommand(wParam, lParam)) {
            *result = 0;
            return true;
        }
        return false;
    }
    for (const MessageMap* map = GetMessageMap(); map; map = map->base) {
        for (std::size_t i = 0; i < map->count; ++i) {
            const MessageEntry& e = map->entries[i];
            if (e.kind == RouteKind::message && e.message == message) {
                *result = e.thunk(this, MessageArgs{message, wParam, lParam, 0, nullptr});
                return true;
            }
        }
    }
    return false;
}

bool CWnd::OnCommand(WPARAM wParam, LPARAM)
{
    return OnCmdMsg(LOWORD(wParam), HIWORD(wParam), nullptr);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (superProc)
        return CallWindowProcA(superProc, hwnd, message, wParam, lParam);
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    return DefWindowProc(current.message, current.wParam, current.lParam);
}

CModalState::CModalState(HWND owner) : frame(RootOf(owner))
{
    if (frame)
        EnumThreadWindows(GetCurrentThreadId(), &CModalState::Disable, reinterpret_cast<LPARAM>(this));
}

BOOL CALLBACK CModalState::Disable(HWND window, LPARAM self)
{
    auto* state = reinterpret_cast<CModalState*>(self);
    if (state->count < static_cast<int>(sizeof state->disabled / sizeof state->disabled[0]) &&
        GetWindow(window, GW_OWNER) == state->frame && IsWindowVisible(window) && IsWindowEnabled(window)) {
        EnableWindow(window, FALSE);
        state->disabled[state->count++] = window;
    }
    return TRUE;
}

CModalState::~CModalState()
{
    for (int i = 0; i < count; ++i)
        if (IsWindow(disabled[i]))
            EnableWindow(disabled[i], TRUE);
}
