// The drive selection dialog and the drive-change command of the view.
#include "shell/drive_dialog.h"

#include "res/resource.h"
#include "view/chart_view.h"

const char* const driveTypeNames[7] = {"??????", "(no root)", "REMOVABLE", "FIXED", "REMOTE", "CDROM", "RAMDISK"};

CString DriveLabel(char letter, UINT type)
{
    char label[16] = "X: ";
    label[0] = letter;
    CString text(label);
    text += driveTypeNames[type <= 6 ? type : 0];
    return text;
}

DEFINE_MESSAGE_MAP(CDriveDialog, CDialog,
                   route::Notify<&CDriveDialog::OnSelchangeDriveList>(LBN_SELCHANGE, IDC_DRIVE_LIST))

CDriveDialog::CDriveDialog(const DriveApi& api) noexcept : CDialog(IDD_DRIVE), driveApi(api) {}

void CDriveDialog::DoDataExchange(CDataExchange* dx)
{
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_DRIVE_LIST, driveList);
    DDX_Text(dx, IDC_DRIVE_EDIT, driveText);
    DDV_MaxChars(dx, IDC_DRIVE_EDIT, 1);
}

BOOL CDriveDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    driveList.ResetContent();
    const DWORD mask = driveApi.getLogicalDrives();
    int preselect = -1;
    DWORD bit = 1;
    for (int i = 0; i < 26; ++i, bit <<= 1) {
        if (!(mask & bit))
            continue;
        const char letter = static_cast<char>('A' + i);
        char root[4] = "X:\\";
        root[0] = letter;
        const int row = driveList.AddString(DriveLabel(letter, driveApi.getDriveType(root)));
        driveList.SetItemData(row, static_cast<DWORD_PTR>(i));
        if (driveLetter == letter || driveLetter == letter + 32) {
            preselect = row;
            driveText = CString(&letter, 1);
        }
    }
    driveList.SetCurSel(preselect);
    if (preselect >= 0)
        driveList.ShowCaretRow(preselect);
    UpdateData(false);
    return TRUE;
}

void CDriveDialog::OnSelchangeDriveList()
{
    const int row = driveList.GetCurSel();
    if (row < 0)
        return;
    const DWORD_PTR index = driveList.GetItemData(row);
    if (index >= 26)
        return;
    const char letter = static_cast<char>('A' + index);
    driveText = CString(&letter, 1);
    UpdateData(false);
}

void CDriveDialog::OnOK()
{
    UpdateData(true);
    if (driveText.IsEmpty())
        return;
    driveLetter = driveText[0];
    CDialog::OnOK();
}

void CChartView::OnDriveChange()
{
    CDriveDialog dialog(*driveApi);
    dialog.driveLetter = rootPath[0];
    if (dialog.DoModal() != IDOK)
        return;
    ScanDrive(dialog.driveLetter);
    Redraw();
}
