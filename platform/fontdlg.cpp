// The common font dialog.
#include "platform/fontdlg.h"

#include "platform/app.h"

#include <cstring>

CFontDialog::CFontDialog(const LOGFONTA* initial, DWORD flags, HDC printer, HWND owner) noexcept : parent(owner)
{
    std::memset(&cf, 0, sizeof cf);
    std::memset(&logFont, 0, sizeof logFont);
    cf.lStructSize = sizeof cf;
    cf.lpLogFont = &logFont;
    cf.Flags = flags;
    cf.hDC = printer;
    if (initial) {
        logFont = *initial;
        cf.Flags |= CF_INITTOLOGFONTSTRUCT;
    }
}

INT_PTR CFontDialog::DoModal() noexcept
{
    // Without a parent the main window owns the dialog, so it stays modal to it.
    HWND owner = parent;
    if (!owner)
        owner = CWinApp::Current() ? CWinApp::Current()->MainWindow() : nullptr;
    if (!owner)
        owner = GetActiveWindow();
    cf.hwndOwner = owner;
    return ChooseFontA(&cf) ? IDOK : IDCANCEL;
}
