// Command targets and the window object.
#pragma once

#include "platform/msgmap.h"
#include "platform/object.h"
#include "platform/string.h"

#include <windows.h>

// The state of one menu item or tool bar button during an update request.
class CCmdUI {
public:
    explicit CCmdUI(UINT commandId) noexcept : id(commandId) {}
    virtual ~CCmdUI() = default;
    CCmdUI(const CCmdUI&) = delete;
    CCmdUI& operator=(const CCmdUI&) = delete;

    UINT GetId() const noexcept { return id; }
    virtual void Enable(bool on = true) { enabled = on; }
    virtual void SetCheck(int state = 1) { checked = state; }
    virtual void SetRadio(bool on = true) { SetCheck(on ? 1 : 0); }

    bool handled = false;   // set when some handler answered the request
    bool enabled = true;
    int checked = 0;

private:
    UINT id;
};

// Something that receives commands through its message map.
class CCmdTarget : public CObject {
public:
    // Routes a command (`ui` null) or an update request (`ui` set) through the
    // message map; true when a handler took it.
    virtual bool OnCmdMsg(UINT id, UINT code, CCmdUI* ui);
    virtual const MessageMap* GetMessageMap() const { return &messageMap; }

protected:
    static const MessageMap messageMap;
    friend class CWnd;
};

// Wraps one window handle: creation through a pre-create hook, message-map
// dispatch, default processing of the current message.
class CWnd : public CCmdTarget {
public:
    CWnd() noexcept = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    ~CWnd() override;

    HWND GetSafeHwnd() const noexcept { return hwnd; }
    operator HWND() const noexcept { return hwnd; }  // NOLINT: the classic conversion

    // The window object of a handle created by this framework, or null.
    static CWnd* FromHandle(HWND window) noexcept;

    bool CreateEx(DWORD exStyle, const char* className, const char* text, DWORD style,
                  const RECT& rect, HWND parent, UINT id);
    bool Create(const char* className, const char* text, DWORD style, const RECT& rect,
                HWND parent, UINT id)
    {
        return CreateEx(0, className, text, style, rect, parent, id);
    }
    bool DestroyWindow();

    void GetClientRect(RECT* rect) const noexcept;
    HWND GetParent() const noexcept { return ::GetParent(hwnd); }
    void SetWindowText(const char* text) { ::SetWindowTextA(hwnd, text); }
    CString GetWindowText() const;
    // Invalidates the whole window and repaints it before returning.
    void RedrawWindow(UINT flags) const { ::RedrawWindow(hwnd, nullptr, nullptr, flags); }

    virtual bool PreCreateWindow(CREATESTRUCTA& cs);
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Last message of the window, after the handle is gone.
    virtual void PostNcDestroy() {}

    // Registers (once) a window class served by this framework and returns its
    // name, or an empty string on failure.
    static CString RegisterWndClass(UINT classStyle, HCURSOR cursor = nullptr,
                                    HBRUSH background = nullptr, HICON icon = nullptr);

protected:
    // Dispatches through the message maps; false when no entry took it.
    virtual bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    virtual bool OnCommand(WPARAM wParam, LPARAM lParam);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Default processing of the message being handled.
    LRESULT Default();

    void Attach(HWND window) noexcept;
    HWND Detach() noexcept;

    static LRESULT CALLBACK StandardWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT Dispatch(CWnd* self, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

    HWND hwnd = nullptr;
    WNDPROC superProc = nullptr;  // a subclassed control's own procedure
    MSG current{};
    CString registeredClass;  // keeps a registered class name alive for CREATESTRUCT

    static const MessageMap messageMap;
    const MessageMap* GetMessageMap() const override { return &messageMap; }
};

// While a modal dialog of `owner` runs, the other windows that its frame owns
// (a floating tool bar) take no input either, as the frame itself does not:
// disabled for the life of the object, and enabled again after.
class CModalState final {
public:
    explicit CModalState(HWND owner);
    ~CModalState();
    CModalState(const CModalState&) = delete;
    CModalState& operator=(const CModalState&) = delete;

private:
    static BOOL CALLBACK Disable(HWND window, LPARAM self);

    HWND frame;
    HWND disabled[8] = {};
    int count = 0;
};
