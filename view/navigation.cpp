// Navigation: clicks, arrow keys, the whole-drive command, the letter L and
// resizing move the entry shown in column 0.
#include "view/chart_view.h"

void CChartView::NavigateTo(std::int32_t index)
{
    rootIndex = index;
    Relayout();
    Redraw();
}

void CChartView::OnSize(UINT, int, int)
{
    Default();
    // During a scan the table is half built: the scan lays the chart out
    // for the size there is when it ends.
    if (!scanning)
        Relayout();
    Redraw();
}

void CChartView::OnLButtonDown(UINT, POINT point)
{
    if (rootIndex < 0 || columnWidth <= 0)
        return;
    const std::int32_t column = point.x / columnWidth;
    const std::int32_t count = table.Count();
    // Entry 0 is never tested: it is only ever shown alone in column 0.
    for (std::int32_t i = 1; i < count; ++i) {
        const Entry& e = table.At(i);
        if (e.column != column || point.y < e.top || point.y >= e.bottom)
            continue;
        if (column != 0)
            NavigateTo(i);
        else if (e.parent >= 0)
            NavigateTo(e.parent);
        return;
    }
}

void CChartView::OnViewWhole()
{
    if (rootIndex < 0)
        return;
    NavigateTo(totalEntry);
}

void CChartView::OnChar(UINT code, UINT, UINT)
{
    if (code == 'L' || code == 'l') {
        OnDriveChange();
        return;
    }
    Default();
}

void CChartView::OnKeyDown(UINT key, UINT, UINT)
{
    const std::int32_t target = NavigateByKey(key);
    if (target < 0) {
        Default();
        return;
    }
    NavigateTo(target);
}

std::int32_t CChartView::NavigateByKey(std::uint32_t key) const
{
    if (rootIndex < 0 || rootIndex >= table.Count())
        return -1;
    const Entry& root = table.At(rootIndex);
    switch (key) {
    case VK_LEFT:
        return root.parent;
    case VK_UP: {
        if (root.parent < 0)
            return -1;
        for (std::int32_t s = table.At(root.parent).firstChild; s >= 0;) {
            const std::int32_t next = table.At(s).nextSibling;
            if (next == rootIndex)
                return s;
            s = next;
        }
        return -1;
    }
    case VK_RIGHT:
        return root.firstChild;
    case VK_DOWN:
        return root.nextSibling;
    default:
        return -1;
    }
}
