// The common font dialog.
#include "platform/fontdlg.h"

#include "platform/app.h"

#include <cstring>

namespace {

constexpr char styleBufferProperty[] = "CFontDialog.style";
constexpr int styleBox = 0x471;  // cmb2: the style names

// Notes the style box's chosen name on OK. Some platforms' dialogs do not
// write the chosen style back (they write back the one they were given),
// and the next opening would then put the old style over the font's weight.
UINT_PTR CALLBACK StyleHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        // The record may be the platform's own copy: the buffer travels in
        // lCustData, which every copy keeps.
        SetPropA(dialog, styleBufferProperty,
                 reinterpret_cast<HANDLE>(reinterpret_cast<CHOOSEFONTA*>(lParam)->lCustData));
        break;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            auto* style = static_cast<char*>(GetPropA(dialog, styleBufferProperty));
            HWND box = GetDlgItem(dialog, styleBox);
            const LRESULT chosen = box ? SendMessageA(box, CB_GETCURSEL, 0, 0) : CB_ERR;
            if (style && chosen != CB_ERR &&
                SendMessageA(box, CB_GETLBTEXTLEN, static_cast<WPARAM>(chosen), 0) < LF_FACESIZE)
                SendMessageA(box, CB_GETLBTEXT, static_cast<WPARAM>(chosen), reinterpret_cast<LPARAM>(style));
        }
        break;
    case WM_DESTROY:
        RemovePropA(dialog, styleBufferProperty);
        break;
    default:
        break;
    }
    return 0;
}

}  // namespace

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
    std::memset(confirmedStyle, 0, sizeof confirmedStyle);
    const bool noteStyle = (cf.Flags & CF_USESTYLE) && cf.lpszStyle && !(cf.Flags & CF_ENABLEHOOK);
    if (noteStyle) {
        cf.Flags |= CF_ENABLEHOOK;
        cf.lpfnHook = &StyleHook;
        cf.lCustData = reinterpret_cast<LPARAM>(confirmedStyle);
    }
    CModalState modal(owner);
    if (!ChooseFontA(&cf))
        return IDCANCEL;
    if (noteStyle && confirmedStyle[0] != '\0')
        std::memcpy(cf.lpszStyle, confirmedStyle, sizeof confirmedStyle);
    return IDOK;
}
