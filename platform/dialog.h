// Modal dialogs with data exchange, and the list box wrapper.
#pragma once

#include "platform/wnd.h"

#include <windows.h>

// A list box control of a dialog.
class CListBox final : public CWnd {
public:
    CListBox() noexcept = default;
    // The control belongs to its dialog: it is never destroyed from here.
    ~CListBox() override { hwnd = nullptr; }

    void ResetContent() { SendMessageA(hwnd, LB_RESETCONTENT, 0, 0); }
    int AddString(const char* text)
    {
        return static_cast<int>(SendMessageA(hwnd, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text)));
    }
    int SetItemData(int row, DWORD_PTR data)
    {
        return static_cast<int>(SendMessageA(hwnd, LB_SETITEMDATA, static_cast<WPARAM>(row), static_cast<LPARAM>(data)));
    }
    DWORD_PTR GetItemData(int row) const
    {
        return static_cast<DWORD_PTR>(SendMessageA(hwnd, LB_GETITEMDATA, static_cast<WPARAM>(row), 0));
    }
    // The current row; in a list without selection it is tracked but not drawn.
    int SetCurSel(int row) { return static_cast<int>(SendMessageA(hwnd, LB_SETCURSEL, static_cast<WPARAM>(row), 0)); }
    int GetCurSel() const { return static_cast<int>(SendMessageA(hwnd, LB_GETCURSEL, 0, 0)); }
    int GetCount() const { return static_cast<int>(SendMessageA(hwnd, LB_GETCOUNT, 0, 0)); }
    // Makes the current row `row` the one the keyboard moves from, and
    // scrolls it into view.
    void ShowCaretRow(int row);

    // Binds the object to a control made by a dialog template. A list
    // without selection (LBS_NOSEL) is then painted here, so that its
    // current row is never drawn highlighted, whatever the platform's list
    // box does with it.
    void AttachControl(HWND control);
};

// The direction and target of one data exchange.
class CDataExchange final {
public:
    CDataExchange(HWND dialogWindow, bool save) noexcept : dialog(dialogWindow), saveAndValidate(save) {}
    HWND Control(int id) const noexcept { return GetDlgItem(dialog, id); }

    HWND dialog;
    bool saveAndValidate;  // true: controls to members; false: members to controls
};

// Binds `control` to dialog item `id` on the first exchange.
void DDX_Control(CDataExchange* dx, int id, CListBox& control);
// Exchanges `value` with the text of item `id`.
void DDX_Text(CDataExchange* dx, int id, CString& value);
// When data goes to the controls, limits the text of item `id` to `count` characters.
void DDV_MaxChars(CDataExchange* dx, int id, int count);

// A dialog from a resource template, run modally.
class CDialog : public CWnd {
public:
    explicit CDialog(UINT resourceId, HWND parentWindow = nullptr) noexcept
        : templateId(resourceId), parent(parentWindow)
    {
    }

    // Runs the dialog; IDOK or IDCANCEL (or what EndDialog was given), -1
    // when the dialog could not be made.
    INT_PTR DoModal();
    void EndDialog(INT_PTR result) { ::EndDialog(hwnd, result); }

    // Moves data between members and controls; false when a check failed.
    bool UpdateData(bool saveAndValidate = true);

    virtual void DoDataExchange(CDataExchange* dx);
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

protected:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Inside a dialog procedure "not handled" is FALSE; the dialog manager
    // does the rest.
    LRESULT DefWindowProc(UINT, WPARAM, LPARAM) override { return 0; }

private:
    UINT templateId;
    HWND parent;
};
