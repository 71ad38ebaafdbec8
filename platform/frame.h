// The main frame window: menu, accelerators, docked bars and the client pane.
#pragma once

#include "platform/wnd.h"

#include <windows.h>

class CToolBar;
class CStatusBar;

inline constexpr UINT AFX_IDW_PANE_FIRST_ID = 0xE900;
inline constexpr UINT AFX_IDW_TOOLBAR_ID = 0xE800;
inline constexpr UINT AFX_IDW_STATUS_BAR_ID = 0xE801;
inline constexpr DWORD FWS_ADDTOTITLE = 0x8000;

// A top-level frame loaded from one resource id (menu, accelerators, title
// string, icon). It lays its docked bars along its sides and gives the
// child with id 0xE900 the rest of the client area. Commands go through its
// own map and then the application's.
class CFrameWnd : public CWnd {
public:
    CFrameWnd() noexcept = default;
    ~CFrameWnd() override;

    bool LoadFrame(UINT resourceId, DWORD style, HWND parent = nullptr, void* context = nullptr);
    bool PreCreateWindow(CREATESTRUCTA& cs) override;
    bool OnCmdMsg(UINT id, UINT code, CCmdUI* ui) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Places the bars and the client pane.
    virtual void RecalcLayout();
    // Refreshes the tool bar buttons and the key-state panes (when idle).
    virtual void OnIdleUpdate();

    void EnableDocking(DWORD sides) noexcept { dockSides = sides; }
    void DockControlBar(CToolBar* bar);
    // The status bar's message pane; null restores the idle text.
    void SetMessageText(const char* text);
    // Sets the message pane and paints the status bar at once, for work that
    // runs without a message loop; false when no status bar is shown.
    bool ShowMessageNow(const char* text);

    HACCEL Accelerators() const noexcept { return accelerators; }
    UINT ResourceId() const noexcept { return resourceId; }

    void OnBarCheck(UINT id);
    void OnUpdateControlBarMenu(CCmdUI* ui);

protected:
    // Bars the frame lays out; a derived frame names its own.
    virtual CToolBar* DockedToolBar() { return dockedBar; }
    virtual CStatusBar* FrameStatusBar() { return nullptr; }
    // The tool bar with child id `id`, docked or floating; null when none.
    CToolBar* ToolBarWithId(UINT id);
    void OnInitMenuPopup(HMENU menu);
    void OnMenuSelect(UINT item, UINT flags, HMENU menu);

    UINT resourceId = 0;
    HACCEL accelerators = nullptr;
    DWORD dockSides = 0;
    CToolBar* dockedBar = nullptr;
    bool menuTracking = false;

    DECLARE_MESSAGE_MAP()
};
