// The status bar.
#pragma once

#include "platform/wnd.h"

#include <windows.h>

#include <vector>

// A status bar along the bottom of a frame: a stretching message pane and
// fixed panes whose texts come from the string table under their ids.
class CStatusBar final : public CWnd {
public:
    CStatusBar() noexcept = default;
    ~CStatusBar() override = default;

    bool Create(HWND frame, DWORD barStyle, UINT id);
    // One pane per id; 0 is the message pane.
    bool SetIndicators(const UINT* ids, int count);
    void SetPaneText(int pane, const char* text);
    CString GetPaneText(int pane) const;
    // Shows each key-state pane's text while its key is locked on.
    void UpdateIndicators();
    // Height the bar needs.
    int Height() const;
    // Lays out the panes for the current width.
    void Layout();

private:
    std::vector<UINT> indicators;
    std::vector<CString> texts;
    std::vector<int> widths;
};
