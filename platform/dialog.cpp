// Modal dialogs with data exchange.
#include "platform/dialog.h"

#include "platform/app.h"

#include <vector>

void DDX_Control(CDataExchange* dx, int id, CListBox& control)
{
    if (!control.GetSafeHwnd())
        control.AttachControl(dx->Control(id));
}

void DDX_Text(CDataExchange* dx, int id, CString& value)
{
    HWND control = dx->Control(id);
    if (dx->saveAndValidate) {
        const int length = GetWindowTextLengthA(control);
        std::vector<char> text(static_cast<std::size_t>(length) + 1, '\0');
        const int got = GetWindowTextA(control, text.data(), length + 1);
        value = CString(text.data(), got > 0 ? got : 0);
    } else {
        SetWindowTextA(control, value);
    }
}

void DDV_MaxChars(CDataExchange* dx, int id, int count)
{
    if (!dx->saveAndValidate)
        SendMessageA(dx->Control(id), EM_LIMITTEXT, static_cast<WPARAM>(count), 0);
}

INT_PTR CDialog::DoModal()
{
    // Without a parent the main window owns the dialog.
    HWND owner = parent;
    if (!owner && CWinApp::Current())
        owner = CWinApp::Current()->MainWindow();
    if (!owner)
        owner = GetActiveWindow();
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId), owner, &CDialog::DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

bool CDialog::UpdateData(bool saveAndValidate)
{
    CDataExchange dx(hwnd, saveAndValidate);
    DoDataExchange(&dx);
    return true;
}

void CDialog::DoDataExchange(CDataExchange*) {}

BOOL CDialog::OnInitDialog()
{
    UpdateData(false);
    return TRUE;
}

void CDialog::OnOK()
{
    if (UpdateData(true))
        EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = static_cast<CDialog*>(FromHandle(window));
    if (!self && message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        self->Attach(window);
    }
    if (!self)
        return FALSE;
    try {
        switch (message) {
        case WM_INITDIALOG:
            return self->OnInitDialog();
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDOK) {
                self->OnOK();
                return TRUE;
            }
            if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDCANCEL) {
                self->OnCancel();
                return TRUE;
            }
            return self->OnCmdMsg(LOWORD(wParam), HIWORD(wParam), nullptr) ? TRUE : FALSE;
        case WM_NCDESTROY:
            self->Detach();
            return FALSE;
        default: {
            LRESULT result = 0;
            if (!self->OnWndMsg(message, wParam, lParam, &result))
                return FALSE;
            SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
            return TRUE;
        }
        }
    } catch (...) {
        // No C++ exception may unwind into the dialog manager.
        return FALSE;
    }
}
