// The application object and the wait cursor.
#pragma once

#include "platform/wnd.h"

#include <windows.h>

// The one application object of a process: start-up hook, message loop and
// the wait cursor shown while the program is busy.
class CWinApp : public CCmdTarget {
public:
    CWinApp() noexcept;
    ~CWinApp() override;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // The application object of this process, or null where there is none
    // (the dump tool, the tests).
    static CWinApp* Current() noexcept { return current; }

    // The main window, once the start-up has made one.
    HWND MainWindow() const noexcept { return mainWindow ? mainWindow->GetSafeHwnd() : nullptr; }
    CWnd* mainWindow = nullptr;

    void BeginWaitCursor() noexcept;
    void EndWaitCursor() noexcept;
    int WaitCursorDepth() const noexcept { return waitDepth; }

private:
    static inline CWinApp* current = nullptr;
    int waitDepth = 0;
    HCURSOR restoreCursor = nullptr;
};

// Shows the wait cursor for as long as it lives, through the application
// object where there is one.
class CWaitCursor final {
public:
    CWaitCursor() noexcept;
    ~CWaitCursor();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

private:
    HCURSOR previous = nullptr;
};
