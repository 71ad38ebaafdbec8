// The application object and the wait cursor.
#include "platform/app.h"

CWinApp::CWinApp() noexcept
{
    current = this;
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
