// Helpers shared by the tests.
#include "support.h"

#include <windows.h>

namespace test {

void BuildTree(EntryTable& table, const std::vector<Node>& nodes)
{
    table.Resize(0, -1);
    std::vector<std::int32_t> lastChild(nodes.size(), -1);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        Entry e;
        e.Clear();
        e.nameOffset = 0;
        e.column = -1;
        e.top = 0;
        e.bottom = 0;
        const std::string& name = nodes[i].name;
        name.copy(e.name, std::min<std::size_t>(name.size(), 259));
        e.clusters = nodes[i].clusters;
        e.parent = nodes[i].parent;
        const std::int32_t index = table.Append(e);
        const std::int32_t parent = nodes[i].parent;
        if (parent >= 0) {
            if (lastChild[static_cast<std::size_t>(parent)] < 0)
                table.At(parent).firstChild = index;
            else
                table.At(lastChild[static_cast<std::size_t>(parent)]).nextSibling = index;
            lastChild[static_cast<std::size_t>(parent)] = index;
        }
    }
}

std::string Sjis(const char* utf8)
{
    wchar_t wide[1024];
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 1024);
    char out[2048];
    const int m = WideCharToMultiByte(932, 0, wide, n, out, sizeof out, nullptr, nullptr);
    return m > 0 ? std::string(out, static_cast<std::size_t>(m - 1)) : std::string();
}

std::string Utf8(const std::string& sjis)
{
    wchar_t wide[1024];
    const int n = MultiByteToWideChar(932, 0, sjis.c_str(), -1, wide, 1024);
    char out[4096];
    const int m = WideCharToMultiByte(CP_UTF8, 0, wide, n, out, sizeof out, nullptr, nullptr);
    return m > 0 ? std::string(out, static_cast<std::size_t>(m - 1)) : std::string();
}

ViewHost::ViewHost(int clientHeight, int clientWidth, const VolumeApi& api) : view(api)
{
    const CString cls = CWnd::RegisterWndClass(0, nullptr, nullptr, nullptr);
    RECT outer{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&outer, WS_POPUP, FALSE, 0);
    frame = CreateWindowExA(0, cls, "start", WS_POPUP, 0, 0, outer.right - outer.left,
                            outer.bottom - outer.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    view.Create(nullptr, "", WS_CHILD | WS_VISIBLE, RECT{0, 0, clientWidth, clientHeight}, frame, 0xE900);
}

ViewHost::~ViewHost()
{
    view.DestroyWindow();
    if (frame)
        DestroyWindow(frame);
}

std::string ViewHost::Title() const
{
    char text[512] = {};
    GetWindowTextA(frame, text, sizeof text);
    return text;
}

void ViewHost::SetTitle(const char* text)
{
    SetWindowTextA(frame, text);
}

void ViewHost::ResizeClient(int width, int height)
{
    RECT outer{0, 0, width, height};
    AdjustWindowRectEx(&outer, WS_POPUP, FALSE, 0);
    SetWindowPos(frame, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    MoveWindow(view, 0, 0, width, height, TRUE);
}

}  // namespace test
