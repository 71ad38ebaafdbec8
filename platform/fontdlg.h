// The common font dialog.
#pragma once

#include <windows.h>
#include <commdlg.h>

// The platform's font dialog over a CHOOSEFONT record. The caller may point
// `cf.lpLogFont` and `cf.lpszStyle` at its own buffers before DoModal.
class CFontDialog final {
public:
    // `initial` (may be null) is copied and the dialog opens on it.
    CFontDialog(const LOGFONTA* initial, DWORD flags, HDC printer = nullptr, HWND parent = nullptr) noexcept;
    CFontDialog(const CFontDialog&) = delete;
    CFontDialog& operator=(const CFontDialog&) = delete;

    // Runs the dialog; IDOK when the user confirmed a font, else IDCANCEL.
    // With CF_USESTYLE and a style buffer (LF_FACESIZE bytes) the confirmed
    // style name is always written back.
    INT_PTR DoModal() noexcept;

    CHOOSEFONTA cf;
    LOGFONTA logFont;

private:
    HWND parent;
    char confirmedStyle[LF_FACESIZE];
};
