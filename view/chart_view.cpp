// The chart window: construction and the settings it starts with.
#include "view/chart_view.h"

CChartView::CChartView(const VolumeApi& api) : rootIndex(-1), useExtFreeSpace(0), volumeApi(api)
{
    useExtFreeSpace = ChooseExtFreeSpace(volumeApi) ? 1 : 0;
}

CChartView::~CChartView() = default;
