// Display options: size unit, label lines and font, with their marks.
#include "platform/fontdlg.h"
#include "view/chart_view.h"

#include <cstring>

void CChartView::OnUpdateUnit(CCmdUI* ui)
{
    ui->SetRadio(ui->GetId() == unitMode);
}

void CChartView::OnUnit(UINT id)
{
    unitMode = id;
    Redraw();
}

std::int32_t* CChartView::FlagOf(UINT id) noexcept
{
    switch (id) {
    case ID_SHOW_SIZE:
        return &showSize;
    case ID_SHOW_SLACK:
        return &showSlack;
    case ID_SHOW_COUNTS:
        return &showCounts;
    case ID_SHOW_CLUSTERS:
        return &showClusters;
    default:
        return nullptr;
    }
}

void CChartView::OnUpdateFlag(CCmdUI* ui)
{
    if (const std::int32_t* flag = FlagOf(ui->GetId()))
        ui->SetCheck(*flag != 0 ? 1 : 0);
}

void CChartView::OnFlag(UINT id)
{
    if (std::int32_t* flag = FlagOf(id)) {
        *flag = *flag == 0 ? 1 : 0;
        Redraw();
    }
}

void CChartView::OnFontChange()
{
    LOGFONTA font = logFont;
    // The dialog writes a style name of up to LF_FACESIZE - 1 bytes.
    char style[LF_FACESIZE] = {};
    std::memcpy(style, styleName, sizeof styleName < sizeof style ? sizeof styleName : sizeof style);
    style[sizeof style - 1] = '\0';

    CFontDialog dialog(&font, CF_SCREENFONTS | CF_USESTYLE);
    dialog.cf.lpLogFont = &font;
    dialog.cf.lpszStyle = style;
    if (dialog.DoModal() != IDOK)
        return;
    logFont = font;
    CString(style).CopyTo(styleName, sizeof styleName);
    Redraw();
}
