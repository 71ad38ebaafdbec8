// The application object and the wait cursor.
#include "platform/app.h"

#include "platform/frame.h"
#include "platform/ids.h"

#include <commctrl.h>

DEFINE_MESSAGE_MAP(CWinApp, CCmdTarget, route::Command<&CWinApp::OnAppExit>(ID_APP_EXIT))

CWinApp::CWinApp() noexcept
{
    current = this;
}

int CWinApp::RunApplication()
{
    char name[128] = {};
    LoadStringA(GetModuleHandleA(nullptr), AFX_IDS_APP_TITLE, name, sizeof name);
    appName = name;
    if (!InitInstance()) {
        if (mainWindow && mainWindow->GetSafeHwnd())
            mainWindow->DestroyWindow();
        return 0;
    }
    return Run();
}

int CWinApp::Run()
{
    MSG msg;
    for (;;) {
        // Idle work once the queue is empty, then wait for the next message.
        if (!PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE))
            OnIdle();
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0)
            return static_cast<int>(msg.wParam);
        if (got < 0)
            return -1;
        auto* frame = dynamic_cast<CFrameWnd*>(mainWindow);
        HWND frameWindow = frame ? frame->GetSafeHwnd() : nullptr;
        // Accelerators serve the frame and everything inside it.
        if (frameWindow && frame->Accelerators() &&
            (msg.hwnd == frameWindow || IsChild(frameWindow, msg.hwnd)) &&
            TranslateAcceleratorA(frameWindow, frame->Accelerators(), &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void CWinApp::OnIdle()
{
    if (auto* frame = dynamic_cast<CFrameWnd*>(mainWindow); frame && frame->GetSafeHwnd())
        frame->OnIdleUpdate();
}

BOOL CWinApp::Enable3dControls()
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
    return InitCommonControlsEx(&controls);
}

void CWinApp::OnAppExit()
{
    if (mainWindow && mainWindow->GetSafeHwnd())
        PostMessageA(*mainWindow, WM_CLOSE, 0, 0);
}

CWinApp::~CWinApp()
{
    if (current == this)
        current = nullptr;
}

void CWinApp::BeginWaitCursor() noexcept
{
    if (waitDepth++ == 0)
        restoreCursor = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    else
        SetCursor(LoadCursorA(nullptr, IDC_WAIT));
}

void CWinApp::EndWaitCursor() noexcept
{
    if (waitDepth <= 0)
        return;
    if (--waitDepth == 0)
        SetCursor(restoreCursor ? restoreCursor : LoadCursorA(nullptr, IDC_ARROW));
}

CWaitCursor::CWaitCursor() noexcept
{
    if (CWinApp* app = CWinApp::Current())
        app->BeginWaitCursor();
    else
        previous = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
}

CWaitCursor::~CWaitCursor()
{
    if (CWinApp* app = CWinApp::Current())
        app->EndWaitCursor();
    else
        SetCursor(previous ? previous : LoadCursorA(nullptr, IDC_ARROW));
}
