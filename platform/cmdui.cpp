// Update requests for menu items and tool bar buttons.
#include "platform/cmdui.h"

#include <commctrl.h>

void CMenuCmdUI::Enable(bool on)
{
    CCmdUI::Enable(on);
    EnableMenuItem(menu, GetId(), MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
}

void CMenuCmdUI::SetCheck(int state)
{
    CCmdUI::SetCheck(state);
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE;
    GetMenuItemInfoA(menu, GetId(), FALSE, &info);
    info.fType &= ~static_cast<UINT>(MFT_RADIOCHECK);
    SetMenuItemInfoA(menu, GetId(), FALSE, &info);
    CheckMenuItem(menu, GetId(), MF_BYCOMMAND | (state ? MF_CHECKED : MF_UNCHECKED));
}

void CMenuCmdUI::SetRadio(bool on)
{
    CCmdUI::SetCheck(on ? 1 : 0);
    // A radio mark is a check mark drawn as a bullet.
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE;
    GetMenuItemInfoA(menu, GetId(), FALSE, &info);
    info.fType |= MFT_RADIOCHECK;
    SetMenuItemInfoA(menu, GetId(), FALSE, &info);
    CheckMenuItem(menu, GetId(), MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
}

void CToolCmdUI::Enable(bool on)
{
    CCmdUI::Enable(on);
    SendMessageA(bar, TB_ENABLEBUTTON, GetId(), MAKELPARAM(on ? TRUE : FALSE, 0));
}

void CToolCmdUI::SetCheck(int state)
{
    CCmdUI::SetCheck(state);
    SendMessageA(bar, TB_CHECKBUTTON, GetId(), MAKELPARAM(state ? TRUE : FALSE, 0));
}
