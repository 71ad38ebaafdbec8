// Placeholder until the drive dialog lands.
#include "view/chart_view.h"

void CChartView::OnDriveChange() {}
