// The dockable tool bar.
#pragma once

#include "platform/wnd.h"

#include <windows.h>

// Where a tool bar sits: along one side of its frame, or in a window of its own.
enum class DockSide { top, bottom, left, right, floating };

// Bar style bits of the framework that the program names.
inline constexpr DWORD CBRS_ALIGN_LEFT = 0x1000;
inline constexpr DWORD CBRS_ALIGN_TOP = 0x2000;
inline constexpr DWORD CBRS_ALIGN_RIGHT = 0x4000;
inline constexpr DWORD CBRS_ALIGN_BOTTOM = 0x8000;
inline constexpr DWORD CBRS_ALIGN_ANY = 0xF000;
inline constexpr DWORD CBRS_BORDER_TOP = 0x0200;
inline constexpr DWORD CBRS_BORDER_BOTTOM = 0x0800;
inline constexpr DWORD CBRS_TOOLTIPS = 0x0010;
inline constexpr DWORD CBRS_FLYBY = 0x0020;

// Which side a drop at `point` (frame client coordinates) docks to: the side
// whose edge is within `zone` pixels, allowed by `mask`; floating otherwise.
DockSide DockSideForDrop(POINT point, const RECT& client, DWORD mask, int zone);

// A row (or column) of command buttons from a tool bar resource, with a
// gripper by which the user drags it to another side of the frame or off it
// into a small window of its own. Its buttons send their commands to the frame.
class CToolBar final : public CWnd {
public:
    CToolBar() noexcept = default;
    ~CToolBar() override;

    // The bar window, child `id` of `frame`; `barStyle` holds the alignment bits.
    bool Create(HWND frame, DWORD barStyle, UINT id);
    // Loads the button ids and the image strip of resource `resourceId`.
    bool LoadToolBar(UINT resourceId);
    void EnableDocking(DWORD mask) noexcept { dockMask = mask; }
    DWORD DockMask() const noexcept { return dockMask; }

    DockSide Side() const noexcept { return side; }
    // Docks along `side` of the frame (`floating` floats it where it is).
    void Dock(DockSide where);
    // Floats the bar with its window's top-left at `screen`.
    void Float(POINT screen);
    // The size the bar takes docked on `where`.
    SIZE Extent(DockSide where) const;

    bool IsShown() const noexcept { return shown; }
    void Show(bool on);

    // Asks `target` for the state of every button.
    void UpdateButtons(CCmdTarget& target);
    HWND Buttons() const noexcept { return buttons; }
    HWND FloatingWindow() const noexcept { return floatWindow; }
    // Puts a floating bar's window above its frame again (the frame was
    // activated or raised), by posting it this message.
    void RaiseFloating() const;
    static constexpr UINT raiseMessage = WM_APP + 2;
    // The frame's caption turned active or inactive: the floating window's
    // caption follows.
    void FrameActivated(bool active);
    // Where drops are measured from: the area the frame's bars leave to its
    // view (frame client coordinates), or its whole client area without one.
    RECT DockArea() const;

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    static constexpr int gripperSize = 8;
    static constexpr int dockZone = 24;

private:
    void Arrange(bool vertical);
    void TrackDrag(POINT start);
    void FrameChanged() const;
    static LRESULT CALLBACK FloatProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND frame = nullptr;
    HWND buttons = nullptr;
    HWND floatWindow = nullptr;
    DWORD style = 0;
    DWORD dockMask = 0;
    DockSide side = DockSide::top;
    bool shown = true;
    bool vertical = false;
    bool moving = false;  // the floating window is being dragged
    bool frameActive = false;  // the frame's caption is drawn active
};
