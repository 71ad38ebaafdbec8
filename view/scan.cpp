// The drive scan as the chart runs it: the wait cursor, the volume group,
// the walk and the layout of the new tree.
#include "analysis/scan.h"
#include "platform/app.h"
#include "platform/frame.h"
#include "view/chart_view.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr char rootTemplate[4] = {'X', ':', '\\', '\0'};
constexpr DWORD progressIntervalMs = 250;

// Shows the walk's counts in the frame's message pane about four times a
// second, painting the status bar alone, and the idle text again at the end.
class StatusBarProgress final : public ScanProgress {
public:
    explicit StatusBarProgress(HWND view)
        : frame(dynamic_cast<CFrameWnd*>(CWnd::FromHandle(::GetParent(view)))), last(GetTickCount())
    {
    }
    ~StatusBarProgress() override
    {
        if (shown)
            frame->ShowMessageNow(nullptr);
    }
    StatusBarProgress(const StatusBarProgress&) = delete;
    StatusBarProgress& operator=(const StatusBarProgress&) = delete;

    void Report(const WalkCounts& counts) override
    {
        const DWORD now = GetTickCount();
        if (!frame || now - last < progressIntervalMs)
            return;
        last = now;
        char text[64];
        std::snprintf(text, sizeof text, "ｽｷｬﾝ中  ﾌｫﾙﾀﾞ %lu  ﾌｧｲﾙ %lu", static_cast<unsigned long>(counts.dirsListed),
                      static_cast<unsigned long>(counts.files));
        if (frame->ShowMessageNow(text))
            shown = true;
    }

private:
    CFrameWnd* frame;
    DWORD last;
    bool shown = false;
};

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

    Win32DirectoryLister platformLister;
    {
        StatusBarProgress progress(GetSafeHwnd());
        scanCounts = BuildDriveTree(table, lister ? *lister : platformLister, rootPath, {c, clustersPer4G, f, t},
                                    &progress, &realNames);
    }

    rootIndex = totalEntry;
    Relayout();
    return 1;
}

void CChartView::ScanDirectory(std::int32_t index)
{
    Win32DirectoryLister platformLister;
    DriveWalk walk(table, lister ? *lister : platformLister, {clusterBytes, clustersPer4G, freeClusters, totalClusters},
                   nullptr, &realNames);
    walk.Walk(index);
}
