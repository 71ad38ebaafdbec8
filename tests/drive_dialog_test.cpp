// The drive selection dialog, opened for real through the view's command.
#include "shell/drive_dialog.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>

namespace {

using test::ViewHost;

// The drives the fake platform reports.
DWORD fakeMask = 0;
UINT fakeTypes[26] = {};

DWORD WINAPI FakeDrives()
{
    return fakeMask;
}

UINT WINAPI FakeType(const char* root)
{
    const char c = root[0];
    return (c >= 'A' && c <= 'Z' && std::strcmp(root + 1, ":\\") == 0) ? fakeTypes[c - 'A'] : 1;
}

const DriveApi fakeDrives = {&FakeDrives, &FakeType};

struct Row {
    std::string text;
    DWORD_PTR data;
};

std::vector<Row> Rows(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_DRIVE_LIST);
    std::vector<Row> rows;
    const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[64] = {};
        SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
        rows.push_back({text, static_cast<DWORD_PTR>(SendMessageA(list, LB_GETITEMDATA, static_cast<WPARAM>(i), 0))});
    }
    return rows;
}

std::string EditText(HWND dialog)
{
    char text[16] = {};
    GetDlgItemTextA(dialog, IDC_DRIVE_EDIT, text, sizeof text);
    return text;
}

void Click(HWND button)
{
    SendMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

class DriveDialog : public testing::Test {
protected:
    void SetUp() override
    {
        std::memset(fakeTypes, 0, sizeof fakeTypes);
        // A:, C: fixed, D: CD-ROM, Q: network, Z: a type past the table.
        fakeMask = (1u << 0) | (1u << 2) | (1u << 3) | (1u << 16) | (1u << 25);
        fakeTypes[0] = DRIVE_REMOVABLE;
        fakeTypes[2] = DRIVE_FIXED;
        fakeTypes[3] = DRIVE_CDROM;
        fakeTypes[16] = DRIVE_REMOTE;
        fakeTypes[25] = 9;
        host.View().driveApi = &fakeDrives;
        host.Show();
    }

    // Runs the drive-change command with `act` driving the dialog.
    void RunCommand(std::function<void(HWND)> act)
    {
        bool ran = false;
        test::OnNextDialog([&](HWND dialog) {
            ran = true;
            act(dialog);
        });
        SendMessageA(host.View(), WM_COMMAND, ID_DRIVE_CHANGE, 0);
        EXPECT_TRUE(ran) << "the dialog opened";
    }

    ViewHost host{300};
};

// One control of a dialog template, as the resource holds it.
struct TemplateItem {
    DWORD style;
    short x, y, cx, cy;
    int id;
    std::wstring cls;  // L"#0x0081" style names for the predefined classes
    std::wstring text;
};

struct DialogTemplate {
    DWORD style;
    DWORD exStyle;
    short cx, cy;
    std::wstring caption;
    WORD pointSize;
    std::wstring face;
    std::vector<TemplateItem> items;
};

// Reads a resource string or ordinal and moves past it.
std::wstring ReadSzOrOrd(const WORD*& p)
{
    if (*p == 0xFFFF) {
        const WORD ordinal = p[1];
        p += 2;
        return L"#" + std::to_wstring(ordinal);
    }
    std::wstring text(reinterpret_cast<const wchar_t*>(p));
    p += text.size() + 1;
    return text;
}

DialogTemplate LoadTemplate(UINT id)
{
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));
    const auto* base = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, found)));
    DialogTemplate t{};
    const auto* head = reinterpret_cast<const DLGTEMPLATE*>(base);
    t.style = head->style;
    t.exStyle = head->dwExtendedStyle;
    t.cx = head->cx;
    t.cy = head->cy;
    const WORD* p = reinterpret_cast<const WORD*>(head + 1);
    ReadSzOrOrd(p);  // menu
    ReadSzOrOrd(p);  // class
    t.caption = ReadSzOrOrd(p);
    if (t.style & DS_SETFONT) {
        t.pointSize = *p++;
        t.face = ReadSzOrOrd(p);
    }
    for (int i = 0; i < head->cdit; ++i) {
        p = reinterpret_cast<const WORD*>((reinterpret_cast<std::uintptr_t>(p) + 3) & ~std::uintptr_t{3});
        const auto* item = reinterpret_cast<const DLGITEMTEMPLATE*>(p);
        TemplateItem it{item->style, item->x, item->y, item->cx, item->cy, static_cast<short>(item->id), L"", L""};
        p = reinterpret_cast<const WORD*>(item + 1);
        it.cls = ReadSzOrOrd(p);
        it.text = ReadSzOrOrd(p);
        p += 1 + *p / sizeof(WORD);  // creation data
        t.items.push_back(it);
    }
    return t;
}

std::wstring Wide(const char* cp932)
{
    wchar_t text[64] = {};
    MultiByteToWideChar(932, 0, cp932, -1, text, 64);
    return text;
}

// A dialog template as designed: the header, then the controls in tab order.
struct TemplateCase {
    const char* label;
    UINT id;
    short cx, cy;
    const char* caption;
    const char* face;
    std::vector<TemplateItem> items;
};

class DialogTemplates : public testing::TestWithParam<TemplateCase> {};

TEST_P(DialogTemplates, AsDesigned)
{
    const TemplateCase& c = GetParam();
    const DialogTemplate t = LoadTemplate(c.id);
    EXPECT_EQ(t.style, 0x80C800C0u);
    EXPECT_EQ(t.exStyle, 0u);
    EXPECT_EQ(t.cx, c.cx);
    EXPECT_EQ(t.cy, c.cy);
    EXPECT_EQ(t.caption, Wide(c.caption));
    EXPECT_EQ(t.pointSize, 9);
    EXPECT_EQ(t.face, Wide(c.face));
    ASSERT_EQ(t.items.size(), c.items.size());
    for (std::size_t i = 0; i < c.items.size(); ++i) {
        const TemplateItem& a = t.items[i];
        const TemplateItem& e = c.items[i];
        EXPECT_EQ(a.style, e.style) << "control " << i;
        EXPECT_EQ(a.id, e.id) << "control " << i;
        EXPECT_EQ(a.x, e.x) << "control " << i;
        EXPECT_EQ(a.y, e.y) << "control " << i;
        EXPECT_EQ(a.cx, e.cx) << "control " << i;
        EXPECT_EQ(a.cy, e.cy) << "control " << i;
        // The predefined classes may be stored by ordinal or by name.
        static const std::pair<const wchar_t*, const wchar_t*> names[] = {
            {L"#128", L"BUTTON"}, {L"#129", L"EDIT"}, {L"#130", L"STATIC"}, {L"#131", L"LISTBOX"}};
        bool sameClass = a.cls == e.cls;
        for (auto [ordinal, name] : names)
            sameClass = sameClass || (e.cls == ordinal && _wcsicmp(a.cls.c_str(), name) == 0);
        EXPECT_TRUE(sameClass) << "control " << i;
        EXPECT_TRUE(a.text == e.text) << "control " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Resources, DialogTemplates,
    testing::Values(TemplateCase{"Drive", 130, 134, 94, "ドライブ選択", "ＭＳ ゴシック",
                                 {{0x50020000, 7, 9, 24, 8, -1, L"#130", L"Drive:"},
                                  {0x50810008, 35, 7, 10, 12, 1002, L"#129", L""},
                                  {0x50A14103, 7, 23, 64, 64, 1001, L"#131", L""},
                                  {0x50010001, 77, 7, 50, 14, 1, L"#128", L"OK"},
                                  {0x50010000, 77, 24, 50, 14, 2, L"#128", Wide("ｷｬﾝｾﾙ")}}},
                    TemplateCase{"About", 100, 235, 55, "Vorutaのﾊﾞｰｼﾞｮﾝ情報", "ＭＳ Ｐゴシック",
                                 {{0x50000003, 11, 17, 20, 20, -1, L"#130", L"#128"},
                                  {0x50020080, 40, 10, 119, 8, -1, L"#130", L"Voruta ver 0.02"},
                                  {0x50020000, 40, 25, 132, 8, -1, L"#130", Wide("ドライブの使用状況をグラフで表示")},
                                  {0x50030001, 178, 7, 50, 14, 1, L"#128", L"OK"}}}),
    test::ByLabel());

TEST_F(DriveDialog, OpensWithTheFieldFirstInTheTabOrder)
{
    RunCommand([](HWND dialog) {
        char caption[64] = {};
        GetWindowTextA(dialog, caption, sizeof caption);
        EXPECT_STREQ(caption, "ドライブ選択");
        // The dialog manager gives the focus to the first tab stop when the
        // dialog becomes active (other test programs may hold the foreground).
        EXPECT_EQ(GetNextDlgTabItem(dialog, nullptr, FALSE), GetDlgItem(dialog, IDC_DRIVE_EDIT));
        EXPECT_EQ(GetNextDlgTabItem(dialog, GetDlgItem(dialog, IDC_DRIVE_EDIT), FALSE),
                  GetDlgItem(dialog, IDC_DRIVE_LIST));
        EXPECT_EQ(GetNextDlgTabItem(dialog, GetDlgItem(dialog, IDC_DRIVE_LIST), FALSE), GetDlgItem(dialog, IDOK));
        EndDialog(dialog, IDCANCEL);
    });
}

TEST_F(DriveDialog, RowsInLetterOrderWithTypesAndNoPreset)
{
    RunCommand([](HWND dialog) {
        const std::vector<Row> rows = Rows(dialog);
        ASSERT_EQ(rows.size(), 5u);
        const char* labels[] = {"A: REMOVABLE", "C: FIXED", "D: CDROM", "Q: REMOTE", "Z: ??????"};
        const DWORD_PTR data[] = {0, 2, 3, 16, 25};
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(rows[i].text, labels[i]);
            EXPECT_EQ(rows[i].data, data[i]);
        }
        // A view that scanned nothing presets nothing.
        EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_DRIVE_LIST, LB_GETCURSEL, 0, 0), LB_ERR);
        EXPECT_EQ(EditText(dialog), "");
        EndDialog(dialog, IDCANCEL);
    });
}

struct PresetCase {
    const char* label;
    char preset;
    int row;
    const char* text;
};

class DrivePreset : public DriveDialog, public testing::WithParamInterface<PresetCase> {};

// Pixels on the left and right edges of a row that are not the list's
// background: the focus frame, where one is drawn.
int FramedPixels(HWND list, int row)
{
    RECT r{};
    SendMessageA(list, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
    HDC dc = GetDC(list);
    const COLORREF background = GetSysColor(COLOR_WINDOW);
    int framed = 0;
    for (int y = r.top; y < r.bottom; ++y)
        framed += GetPixel(dc, r.left, y) != background || GetPixel(dc, r.right - 1, y) != background;
    ReleaseDC(list, dc);
    return framed;
}

TEST_P(DrivePreset, PresetsTheRowAndTheField)
{
    host.View().rootPath[0] = GetParam().preset;
    RunCommand([](HWND dialog) {
        EXPECT_EQ(SendDlgItemMessageA(dialog, IDC_DRIVE_LIST, LB_GETCURSEL, 0, 0), GetParam().row);
        EXPECT_EQ(EditText(dialog), GetParam().text);
        // Tab into the list: the focus frame is on the preset row alone.
        HWND list = GetDlgItem(dialog, IDC_DRIVE_LIST);
        SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(list), TRUE);
        if (GetParam().row > 0) {
            EXPECT_GT(FramedPixels(list, GetParam().row), 0);
            EXPECT_EQ(FramedPixels(list, 0), 0) << "no frame on the first row";
        }
        EndDialog(dialog, IDCANCEL);
    });
}

INSTANTIATE_TEST_SUITE_P(Presets, DrivePreset,
                         testing::Values(PresetCase{"UpperCase", 'C', 1, "C"}, PresetCase{"LowerCase", 'q', 3, "Q"},
                                         PresetCase{"AbsentDrive", 'E', -1, ""}, PresetCase{"Nul", 0, -1, ""},
                                         PresetCase{"NoLetter", '1', -1, ""}),
                         test::ByLabel());

TEST_F(DriveDialog, PresetRowIsTheKeyboardsRowAndInView)
{
    // Every letter a drive: Y is far below the list's height.
    fakeMask = (1u << 26) - 1;
    host.View().rootPath[0] = 'Y';
    RunCommand([](HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_DRIVE_LIST);
        EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 24);
        RECT client, row;
        GetClientRect(list, &client);
        SendMessageA(list, LB_GETITEMRECT, 24, reinterpret_cast<LPARAM>(&row));
        EXPECT_GE(row.top, 0);
        EXPECT_LE(row.bottom, client.bottom) << "the preset row is in view";
        // Without the focus the current row has no focus frame, and the
        // list's background is the dialog's list colour right of the text.
        RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        EXPECT_EQ(FramedPixels(list, 24), 0);
        HDC dc = GetDC(list);
        EXPECT_EQ(GetPixel(dc, client.right - 3, (row.top + row.bottom) / 2), GetSysColor(COLOR_WINDOW));
        ReleaseDC(list, dc);
        // The keys move from the preset row as they move a selection, and
        // the field follows. (They go to the list itself: a dialog of a test
        // process need not have the keyboard focus.)
        SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(list), TRUE);
        const int page = client.bottom / (row.bottom - row.top);
        const std::pair<WPARAM, int> moves[] = {{VK_DOWN, 25}, {VK_DOWN, 25},       {VK_PRIOR, 26 - page}, {VK_HOME, 0},
                                                {VK_UP, 0},    {VK_NEXT, page - 1}, {VK_END, 25},          {VK_UP, 24}};
        for (const auto& [key, to] : moves) {
            SendMessageA(list, WM_KEYDOWN, key, 1);
            EXPECT_EQ(EditText(dialog), std::string(1, static_cast<char>('A' + to))) << "key " << key;
        }
        EndDialog(dialog, IDCANCEL);
    });
}

TEST_F(DriveDialog, EmptyDriveMaskGivesAnEmptyList)
{
    fakeMask = 0;
    RunCommand([](HWND dialog) {
        EXPECT_TRUE(Rows(dialog).empty());
        EndDialog(dialog, IDCANCEL);
    });
}

// Pixels of the row drawn in the highlight colour, as on screen.
int HighlightedPixels(HWND list, int row)
{
    RECT r{};
    SendMessageA(list, LB_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
    UpdateWindow(list);
    HDC dc = GetDC(list);
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    int highlighted = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            highlighted += GetPixel(dc, x, y) == highlight;
    ReleaseDC(list, dc);
    return highlighted;
}

TEST_F(DriveDialog, ClickingARowFillsTheFieldWithoutHighlight)
{
    host.View().rootPath[0] = 'C';
    RunCommand([](HWND dialog) {
        HWND list = GetDlgItem(dialog, IDC_DRIVE_LIST);
        // The preset row is the current row, but not drawn highlighted.
        ASSERT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 1);
        EXPECT_EQ(HighlightedPixels(list, 1), 0);
        RECT row{};
        SendMessageA(list, LB_GETITEMRECT, 2, reinterpret_cast<LPARAM>(&row));
        const LPARAM at = MAKELPARAM(row.left + 5, row.top + 2);
        SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageA(list, WM_LBUTTONUP, 0, at);
        EXPECT_EQ(EditText(dialog), "D");
        EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), 2) << "the click moved the current row";
        // ... which is not drawn highlighted, and neither is the preset row.
        EXPECT_EQ(HighlightedPixels(list, 2), 0);
        EXPECT_EQ(HighlightedPixels(list, 1), 0);
        // The rows' texts are still drawn.
        RECT first{};
        SendMessageA(list, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first));
        HDC dc = GetDC(list);
        int ink = 0;
        for (int y = first.top; y < first.bottom; ++y)
            for (int x = first.left; x < first.right; ++x)
                ink += GetPixel(dc, x, y) == GetSysColor(COLOR_WINDOWTEXT);
        ReleaseDC(list, dc);
        EXPECT_GT(ink, 10);
        // A double click does the same and leaves the dialog open.
        SendMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
        SendMessageA(list, WM_LBUTTONUP, 0, at);
        EXPECT_TRUE(IsWindowVisible(dialog));
        EndDialog(dialog, IDCANCEL);
    });
}

TEST_F(DriveDialog, TypedLetterIsUpperCaseAndOneCharacterLong)
{
    RunCommand([](HWND dialog) {
        HWND edit = GetDlgItem(dialog, IDC_DRIVE_EDIT);
        SendMessageA(edit, WM_CHAR, 'd', 0);
        SendMessageA(edit, WM_CHAR, 'e', 0);
        EXPECT_EQ(EditText(dialog), "D");
        SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
        SendMessageA(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>("xyz"));
        EXPECT_EQ(EditText(dialog), "X") << "pasted text is cut to one character";
        EndDialog(dialog, IDCANCEL);
    });
}

TEST_F(DriveDialog, OkWithAnEmptyFieldStaysOpen)
{
    RunCommand([](HWND dialog) {
        Click(GetDlgItem(dialog, IDOK));
        EXPECT_TRUE(IsWindow(dialog));
        EXPECT_TRUE(IsWindowVisible(dialog));
        EndDialog(dialog, IDCANCEL);
    });
}

TEST_F(DriveDialog, CancelScansNothingAndDrawsNothing)
{
    test::PaintCounter paints(host.View());
    RunCommand([](HWND dialog) { Click(GetDlgItem(dialog, IDCANCEL)); });
    EXPECT_EQ(host.View().rootIndex, -1);
    EXPECT_EQ(host.View().table.Count(), 0);
    EXPECT_STREQ(host.View().rootPath, "");
}

TEST_F(DriveDialog, OkScansTheTypedDriveAndRedraws)
{
    test::ScratchDrive drive("mkdir a b");
    ASSERT_TRUE(drive.Letter());
    const char letter = static_cast<char>(drive.Letter() - 'A' + 'a');
    fakeMask |= 1u << (drive.Letter() - 'A');
    fakeTypes[drive.Letter() - 'A'] = DRIVE_FIXED;
    RunCommand([&](HWND dialog) {
        SendMessageA(GetDlgItem(dialog, IDC_DRIVE_EDIT), WM_CHAR, static_cast<WPARAM>(letter), 0);
        Click(GetDlgItem(dialog, IDOK));
    });
    EXPECT_EQ(host.View().rootIndex, 0);
    EXPECT_EQ(host.View().rootPath[0], drive.Letter());
    EXPECT_EQ(host.View().table.Count(), 5);
    EXPECT_EQ(host.Title(), std::string("Voruta - ") + drive.Letter() + ":");

    // Opening again presets the scanned drive; OK rescans it.
    host.View().rootIndex = 3;
    RunCommand([&](HWND dialog) {
        EXPECT_EQ(EditText(dialog), std::string(1, drive.Letter()));
        Click(GetDlgItem(dialog, IDOK));
    });
    EXPECT_EQ(host.View().rootIndex, 0);
}

TEST_F(DriveDialog, AnyCharacterClosesWithOkAndAFailedScanKeepsTheChart)
{
    test::ScratchDrive drive("mkdir a");
    ASSERT_TRUE(drive.Letter());
    ASSERT_EQ(host.View().ScanDrive(drive.Letter()), 1);
    test::PaintCounter paints(host.View());
    RunCommand([](HWND dialog) {
        SendMessageA(GetDlgItem(dialog, IDC_DRIVE_EDIT), WM_CHAR, '7', 0);
        Click(GetDlgItem(dialog, IDOK));
    });
    EXPECT_EQ(host.View().rootPath[0], '7');
    EXPECT_EQ(host.View().rootIndex, 0);
    EXPECT_EQ(host.View().table.Count(), 4);
    EXPECT_GE(paints.Count(), 1) << "redrawn whatever the scan gave";
    // The failed letter is the next preset.
    RunCommand([](HWND dialog) {
        EXPECT_EQ(EditText(dialog), "");
        EndDialog(dialog, IDCANCEL);
    });
}

struct LabelCase {
    const char* label;
    char letter;
    UINT type;
    const char* text;
};

class DriveLabels : public testing::TestWithParam<LabelCase> {};

TEST_P(DriveLabels, LetterColonBlankAndTypeName)
{
    EXPECT_STREQ(DriveLabel(GetParam().letter, GetParam().type), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Types, DriveLabels,
                         testing::Values(LabelCase{"Unknown", 'A', 0, "A: ??????"},
                                         LabelCase{"NoRoot", 'B', 1, "B: (no root)"},
                                         LabelCase{"Removable", 'A', 2, "A: REMOVABLE"},
                                         LabelCase{"Fixed", 'C', 3, "C: FIXED"},
                                         LabelCase{"Remote", 'N', 4, "N: REMOTE"},
                                         LabelCase{"CdRom", 'E', 5, "E: CDROM"},
                                         LabelCase{"RamDisk", 'R', 6, "R: RAMDISK"},
                                         LabelCase{"PastTheTable", 'Z', 7, "Z: ??????"},
                                         LabelCase{"Huge", 'Z', 0xFFFFFFFF, "Z: ??????"}),
                         test::ByLabel());

}  // namespace
