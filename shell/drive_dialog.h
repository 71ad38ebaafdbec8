// The drive selection dialog.
#pragma once

#include "analysis/volume.h"
#include "platform/dialog.h"

#include <windows.h>

// Names of the drive types that GetDriveTypeA returns, 0 to 6.
extern const char* const driveTypeNames[7];

// The row label of a drive: "C: FIXED"; a type outside 0 to 6 shows as "??????".
CString DriveLabel(char letter, UINT type);

// Lists the drives present with their types; a one-character field holds the
// chosen letter. OK closes only when the field is not empty.
class CDriveDialog final : public CDialog {
public:
    explicit CDriveDialog(const DriveApi& api = Win32DriveApi()) noexcept;

    void DoDataExchange(CDataExchange* dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnSelchangeDriveList();

    CListBox driveList;
    CString driveText;
    char driveLetter = 0;

private:
    const DriveApi& driveApi;

    DECLARE_MESSAGE_MAP()
};
