// The chart window: construction, window class and message map.
#include "view/chart_view.h"

#include <cstring>

DEFINE_MESSAGE_MAP(CChartView, CWnd,
                   route::UpdateRange<&CChartView::OnUpdateUnit>(ID_UNIT_KBMB, ID_UNIT_MB),
                   route::CommandRange<&CChartView::OnUnit>(ID_UNIT_KBMB, ID_UNIT_MB),
                   route::UpdateRange<&CChartView::OnUpdateFlag>(ID_SHOW_SIZE, ID_SHOW_CLUSTERS),
                   route::CommandRange<&CChartView::OnFlag>(ID_SHOW_SIZE, ID_SHOW_CLUSTERS),
                   route::Message<&CChartView::OnPaint>(WM_PAINT),
                   route::Command<&CChartView::OnDriveChange>(ID_DRIVE_CHANGE),
                   route::Command<&CChartView::OnFontChange>(ID_FONT_CHANGE),
                   route::Message<&CChartView::OnSize>(WM_SIZE),
                   route::Message<&CChartView::OnLButtonDown>(WM_LBUTTONDOWN),
                   route::Command<&CChartView::OnViewWhole>(ID_VIEW_WHOLE),
                   route::Message<&CChartView::OnChar>(WM_CHAR),
                   route::Message<&CChartView::OnKeyDown>(WM_KEYDOWN))

CChartView::CChartView(const VolumeApi& api)
    : rootIndex(-1),
      columnWidth(100),
      unitMode(ID_UNIT_KBMB),
      showSize(1),
      showSlack(1),
      showCounts(1),
      showClusters(1),
      driveApi(&Win32DriveApi()),
      volumeApi(api),
      useExtFreeSpace(0)
{
    std::memset(styleName, 0, sizeof styleName);
    std::strcpy(styleName, "標準");
    std::memset(&logFont, 0, sizeof logFont);
    logFont.lfHeight = 12;
    logFont.lfCharSet = SHIFTJIS_CHARSET;
    logFont.lfPitchAndFamily = FIXED_PITCH;
    static_assert(sizeof "ＭＳ ゴシック" == 14, "the face name is 13 CP932 bytes");
    std::strcpy(logFont.lfFaceName, "ＭＳ ゴシック");
    useExtFreeSpace = ChooseExtFreeSpace(volumeApi) ? 1 : 0;
}

CChartView::~CChartView() = default;

bool CChartView::PreCreateWindow(CREATESTRUCTA& cs)
{
    if (!CWnd::PreCreateWindow(cs))
        return false;
    cs.dwExStyle |= WS_EX_CLIENTEDGE;
    cs.style &= ~static_cast<LONG>(WS_BORDER);
    // Class style 0: no double clicks (two clicks are two button-downs), no
    // redraw on resize, and no background brush: the paint handler covers
    // the whole client area itself, so nothing flickers.
    registeredClass = RegisterWndClass(0, LoadCursorA(nullptr, IDC_ARROW), nullptr, nullptr);
    cs.lpszClass = registeredClass;
    return !registeredClass.IsEmpty();
}

LRESULT CChartView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // The start-up message: open the drive dialog while nothing is shown.
    if (message == WM_USER) {
        if (rootIndex < 0)
            OnDriveChange();
        return 0;
    }
    // A window loop that runs during a scan (moving or sizing the frame)
    // dispatches what it does not use itself: none of it may reach the
    // half-built table.
    if (scanning && (message == WM_LBUTTONDOWN || message == WM_KEYDOWN || message == WM_CHAR))
        return 0;
    return CWnd::WindowProc(message, wParam, lParam);
}
