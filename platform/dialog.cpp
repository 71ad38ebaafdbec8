// Modal dialogs with data exchange.
#include "platform/dialog.h"

#include "platform/app.h"

#include <commctrl.h>

#include <vector>

namespace {

// The list's own procedure while it is subclassed. Subclassed the classic
// way: the common controls' subclass calls are exported by name only from
// Windows XP on.
constexpr char listProcedureProperty[] = "VorutaListProcedure";

// Rows of the list that its client area shows whole, at least one.
int VisibleRows(HWND list)
{
    RECT client;
    ::GetClientRect(list, &client);
    const int rowHeight = static_cast<int>(SendMessageA(list, LB_GETITEMHEIGHT, 0, 0));
    return rowHeight > 0 && client.bottom >= rowHeight ? client.bottom / rowHeight : 1;
}

// Scrolls a list box so that `row` shows whole.
void ScrollIntoView(HWND list, int row)
{
    const int rows = VisibleRows(list);
    const int top = static_cast<int>(SendMessageA(list, LB_GETTOPINDEX, 0, 0));
    if (row < top)
        SendMessageA(list, LB_SETTOPINDEX, static_cast<WPARAM>(row), 0);
    else if (row >= top + rows)
        SendMessageA(list, LB_SETTOPINDEX, static_cast<WPARAM>(row - rows + 1), 0);
}

// Paints a list box's rows as unselected rows: background and text colours
// as the dialog gives them for a list box, a focus frame on the caret row.
void PaintRows(HWND list, HDC dc)
{
    RECT client;
    GetClientRect(list, &client);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    auto brush = reinterpret_cast<HBRUSH>(
        SendMessageA(GetParent(list), WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(list)));
    FillRect(dc, &client, brush ? brush : GetSysColorBrush(COLOR_WINDOW));
    auto font = reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0));
    HGDIOBJ previousFont = font ? SelectObject(dc, font) : nullptr;
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const auto count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    // The focus frame marks the row the keyboard moves from: the current row.
    const auto current = static_cast<int>(SendMessageA(list, LB_GETCURSEL, 0, 0));
    const auto caret = current >= 0 ? current : static_cast<int>(SendMessageA(list, LB_GETCARETINDEX, 0, 0));
    for (auto row = static_cast<int>(SendMessageA(list, LB_GETTOPINDEX, 0, 0)); row >= 0 && row < count; ++row) {
        RECT item{};
        if (SendMessageA(list, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)) == LB_ERR ||
            item.top >= client.bottom)
            break;
        char text[256] = {};
        if (SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(row), 0) < static_cast<LRESULT>(sizeof text))
            SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(text));
        RECT textRect = item;
        textRect.left += 1;
        DrawTextA(dc, text, -1, &textRect, DT_SINGLELINE | DT_NOPREFIX | DT_LEFT | DT_TOP);
        if (row == caret && GetFocus() == list)
            DrawFocusRect(dc, &item);
    }
    SetBkMode(dc, oldMode);
    if (previousFont)
        SelectObject(dc, previousFont);
}

// Moves the current row of a list without selection by a key, as a list
// with selection moves its selection: the platform's own list may move
// from a row other than the current one.
bool MoveCurrentRow(HWND list, WPARAM key)
{
    const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    const int current = static_cast<int>(SendMessageA(list, LB_GETCURSEL, 0, 0));
    const int page = VisibleRows(list);
    int row;
    switch (key) {
    case VK_UP: row = current - 1; break;
    case VK_DOWN: row = current + 1; break;
    case VK_PRIOR: row = current - page + 1; break;
    case VK_NEXT: row = current < 0 ? page - 1 : current + page - 1; break;
    case VK_HOME: row = 0; break;
    case VK_END: row = count - 1; break;
    default: return false;
    }
    if (count == 0)
        return true;
    row = row < 0 ? 0 : row >= count ? count - 1 : row;
    if (row == current)
        return true;
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
    ScrollIntoView(list, row);
    InvalidateRect(list, nullptr, FALSE);
    if (GetWindowLongA(list, GWL_STYLE) & LBS_NOTIFY)
        SendMessageA(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
    return true;
}

LRESULT CALLBACK NoHighlightProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto own = reinterpret_cast<WNDPROC>(GetPropA(list, listProcedureProperty));
    switch (message) {
    case WM_KEYDOWN:
        if (MoveCurrentRow(list, wParam))
            return 0;
        break;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(list, &paint);
        PaintRows(list, dc);
        EndPaint(list, &paint);
        return 0;
    }
    case WM_PRINTCLIENT:
        PaintRows(list, reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_ERASEBKGND:
        return 1;  // the paint fills the background itself
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
        // The platform's list draws its focus frame straight on the screen,
        // on a row of its own choosing: paint the current row's instead.
        const LRESULT result = CallWindowProcA(own, list, message, wParam, lParam);
        RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        return result;
    }
    case WM_NCDESTROY:
        SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(own));
        RemovePropA(list, listProcedureProperty);
        break;
    default:
        break;
    }
    return CallWindowProcA(own, list, message, wParam, lParam);
}

}  // namespace

void CListBox::AttachControl(HWND control)
{
    hwnd = control;
    if (control && (GetWindowLongA(control, GWL_STYLE) & LBS_NOSEL) && !GetPropA(control, listProcedureProperty)) {
        const LONG_PTR own = GetWindowLongPtrA(control, GWLP_WNDPROC);
        if (SetPropA(control, listProcedureProperty, reinterpret_cast<HANDLE>(own)))
            SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&NoHighlightProc));
    }
}

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

void CListBox::ShowCaretRow(int row)
{
    // Where the platform allows it the caret follows; a list without
    // selection moves from its current row in any case (MoveCurrentRow).
    SendMessageA(hwnd, LB_SETCARETINDEX, static_cast<WPARAM>(row), FALSE);
    ScrollIntoView(hwnd, row);
}

INT_PTR CDialog::DoModal()
{
    // Without a parent the main window owns the dialog.
    HWND owner = parent;
    if (!owner && CWinApp::Current())
        owner = CWinApp::Current()->MainWindow();
    if (!owner)
        owner = GetActiveWindow();
    CModalState modal(owner);
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
