// The application object and the about box.
#pragma once

#include "platform/app.h"
#include "platform/dialog.h"

// Shows the program's name, version and icon.
class CAboutDialog final : public CDialog {
public:
    CAboutDialog() noexcept;
};

// The program: start-up makes the main frame and asks for a drive.
class CChartApp final : public CWinApp {
public:
    BOOL InitInstance() override;
    void OnAppAbout();

protected:
    DECLARE_MESSAGE_MAP()
};
