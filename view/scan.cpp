// The drive scan as the chart runs it: the wait cursor, the volume group,
// the walk and the layout of the new tree.
#include "analysis/scan.h"
#include "platform/app.h"
#include "view/chart_view.h"

#include <cstring>

namespace {

constexpr char rootTemplate[4] = {'X', ':', '\\', '\0'};

}  // namespace

std::int32_t CChartView::ScanDrive(char letter)
{
    CWaitCursor wait;

    std::memset(rootPath, 0, sizeof rootPath);
    clusterBytes = 0;
    clustersPer4G = 0;
    freeClusters = 0;
    totalClusters = 0;
    std::memcpy(rootPath, rootTemplate, sizeof rootPath);
    rootPath[0] = letter;

    // An empty root path would make the volume query answer for the current
    // drive; a NUL letter names no drive.
    if (letter == '\0')
        return 0;
    std::uint32_t c = 0;
    std::uint32_t f = 0;
    std::uint32_t t = 0;
    if (!QueryVolumeGeometry(rootPath, c, f, t))
        return 0;
    // Every file divides by the cluster size, and clustersPer4G by a quarter
    // of it: a volume reporting fewer than 4 bytes per cluster is unusable.
    if (c < 4)
        return 0;

    clusterBytes = c;
    clustersPer4G = (1u << 30) / (c / 4);
    freeClusters = f;
    totalClusters = t;

    Win32DirectoryLister lister;
    scanCounts = BuildDriveTree(table, lister, rootPath, {c, clustersPer4G, f, t});

    rootIndex = totalEntry;
    Relayout();
    return 1;
}

void CChartView::ScanDirectory(std::int32_t index)
{
    Win32DirectoryLister lister;
    DriveWalk walk(table, lister, {clusterBytes, clustersPer4G, freeClusters, totalClusters});
    walk.Walk(index);
}
