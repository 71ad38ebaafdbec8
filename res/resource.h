// Resource and command identifiers.
#pragma once

#define IDR_MAINFRAME 128
#define IDD_ABOUTBOX 100
#define IDD_DRIVE 130

#define IDC_DRIVE_LIST 1001
#define IDC_DRIVE_EDIT 1002

#define ID_DRIVE_CHANGE_PROMPT 32771
#define ID_DRIVE_CHANGE 32772
#define ID_FONT_CHANGE 32773
#define ID_VIEW_WHOLE 32774
#define ID_UNIT_KBMB 32775
#define ID_UNIT_KB 32776
#define ID_UNIT_MB 32777
#define ID_SHOW_SIZE 32778
#define ID_SHOW_SLACK 32779
#define ID_SHOW_COUNTS 32780
#define ID_SHOW_CLUSTERS 32781

// The framework's own command and string ids (the 0xE000 range).
#include "../platform/ids.h"
