// Update requests for menu items and tool bar buttons.
#pragma once

#include "platform/wnd.h"

#include <windows.h>

// A menu item's marks and state.
class CMenuCmdUI final : public CCmdUI {
public:
    CMenuCmdUI(HMENU itemMenu, UINT itemId) noexcept : CCmdUI(itemId), menu(itemMenu) {}
    void Enable(bool on = true) override;
    void SetCheck(int state = 1) override;
    void SetRadio(bool on = true) override;

private:
    HMENU menu;
};

// A button of a comctl32 tool bar.
class CToolCmdUI final : public CCmdUI {
public:
    CToolCmdUI(HWND toolBar, UINT buttonId) noexcept : CCmdUI(buttonId), bar(toolBar) {}
    void Enable(bool on = true) override;
    void SetCheck(int state = 1) override;

private:
    HWND bar;
};
