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

    // Start-up hook; TRUE runs the message loop.
    virtual BOOL InitInstance() { return TRUE; }
    // Start-up, message loop, exit: the whole life of the program.
    int RunApplication();
    // The message loop; returns the exit code.
    virtual int Run();
    // Idle work between messages: the frame's tool bar and indicators.
    virtual void OnIdle();

    // The standard control set-up: the platform's common controls.
    BOOL Enable3dControls();
    // Names the registry key for per-user settings; nothing is stored there.
    void SetRegistryKey(const char* key) { registryKey = key; }
    const CString& RegistryKey() const noexcept { return registryKey; }
    // The application name, from string 57344.
    const CString& AppName() const noexcept { return appName; }

    void OnAppExit();

    // The main window, once the start-up has made one.
    HWND MainWindow() const noexcept { return mainWindow ? mainWindow->GetSafeHwnd() : nullptr; }
    CWnd* mainWindow = nullptr;

    void BeginWaitCursor() noexcept;
    void EndWaitCursor() noexcept;
    int WaitCursorDepth() const noexcept { return waitDepth; }

protected:
    DECLARE_MESSAGE_MAP()

private:
    static inline CWinApp* current = nullptr;
    CString registryKey;
    CString appName;
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
