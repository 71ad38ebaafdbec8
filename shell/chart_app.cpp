// The application object and the about box.
#include "shell/chart_app.h"

#include "res/resource.h"
#include "shell/main_frame.h"

CAboutDialog::CAboutDialog() noexcept : CDialog(IDD_ABOUTBOX) {}

DEFINE_MESSAGE_MAP(CChartApp, CWinApp, route::Command<&CChartApp::OnAppAbout>(ID_APP_ABOUT))

BOOL CChartApp::InitInstance()
{
    Enable3dControls();
    SetRegistryKey("Local AppWizard-Generated Applications");
    auto* frame = new CMainFrame;
    mainWindow = frame;
    if (!frame->LoadFrame(IDR_MAINFRAME, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, nullptr, nullptr)) {
        // The window never came to be, so it cannot delete its object.
        if (!frame->GetSafeHwnd())
            delete frame;
        mainWindow = nullptr;
        return FALSE;
    }
    ShowWindow(*frame, SW_SHOW);
    UpdateWindow(*frame);
    // Handled once the loop runs: the view asks for a drive.
    PostMessageA(frame->view, WM_USER, 0, 0);
    return TRUE;
}

void CChartApp::OnAppAbout()
{
    CAboutDialog about;
    about.DoModal();
}
