// The status bar.
#include "platform/statusbar.h"

#include "platform/ids.h"

#include <commctrl.h>

bool CStatusBar::Create(HWND frame, DWORD barStyle, UINT id)
{
    hwnd = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | (barStyle & WS_VISIBLE) | CCS_NOPARENTALIGN | CCS_NORESIZE,
                           0, 0, 0, 0, frame, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                           GetModuleHandleA(nullptr), nullptr);
    return hwnd != nullptr;
}

bool CStatusBar::SetIndicators(const UINT* ids, int count)
{
    indicators.assign(ids, ids + count);
    texts.assign(static_cast<std::size_t>(count), CString());
    widths.assign(static_cast<std::size_t>(count), 0);
    HDC dc = GetDC(hwnd);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(hwnd, WM_GETFONT, 0, 0)));
    for (int i = 0; i < count; ++i) {
        if (ids[i] == 0)
            continue;
        char text[64] = {};
        if (!LoadStringA(GetModuleHandleA(nullptr), ids[i], text, sizeof text))
            return false;
        texts[static_cast<std::size_t>(i)] = text;
        SIZE size{};
        GetTextExtentPoint32A(dc, text, lstrlenA(text), &size);
        widths[static_cast<std::size_t>(i)] = size.cx + 12;
    }
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    Layout();
    UpdateIndicators();
    return true;
}

void CStatusBar::Layout()
{
    if (!hwnd || indicators.empty())
        return;
    RECT r;
    ::GetClientRect(hwnd, &r);
    std::vector<int> rights(indicators.size());
    int right = r.right - GetSystemMetrics(SM_CXVSCROLL);
    for (std::size_t i = indicators.size(); i-- > 1;) {
        rights[i] = right;
        right -= widths[i];
    }
    rights[0] = right > 0 ? right : 0;
    rights.back() = -1;
    SendMessageA(hwnd, SB_SETPARTS, rights.size(), reinterpret_cast<LPARAM>(rights.data()));
}

void CStatusBar::SetPaneText(int pane, const char* text)
{
    SendMessageA(hwnd, SB_SETTEXTA, static_cast<WPARAM>(pane), reinterpret_cast<LPARAM>(text));
}

CString CStatusBar::GetPaneText(int pane) const
{
    char text[256] = {};
    const LRESULT length = SendMessageA(hwnd, SB_GETTEXTLENGTHA, static_cast<WPARAM>(pane), 0);
    if (LOWORD(length) < sizeof text)
        SendMessageA(hwnd, SB_GETTEXTA, static_cast<WPARAM>(pane), reinterpret_cast<LPARAM>(text));
    return text;
}

void CStatusBar::UpdateIndicators()
{
    for (std::size_t i = 1; i < indicators.size(); ++i) {
        int key = 0;
        switch (indicators[i]) {
        case ID_INDICATOR_KANA:
            key = VK_KANA;
            break;
        case ID_INDICATOR_CAPS:
            key = VK_CAPITAL;
            break;
        case ID_INDICATOR_NUM:
            key = VK_NUMLOCK;
            break;
        case ID_INDICATOR_SCRL:
            key = VK_SCROLL;
            break;
        default:
            continue;
        }
        const char* want = (GetKeyState(key) & 1) ? texts[i].c_str() : "";
        if (GetPaneText(static_cast<int>(i)) != want)
            SetPaneText(static_cast<int>(i), want);
    }
}

int CStatusBar::Height() const
{
    HDC dc = GetDC(hwnd);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(hwnd, WM_GETFONT, 0, 0)));
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return tm.tmHeight + 8;
}
