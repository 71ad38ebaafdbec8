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
constexpr DWORD pumpIntervalMs = 50;
constexpr int paintsPerPump = 64;

// Drops the input given to this thread's windows: keys, clicks, title bar
// buttons and commands. True when Escape was among it.
bool DropInput()
{
    bool escape = false;
    // Commands and WM_CLOSE are posted messages: QS_POSTMESSAGE.
    if (HIWORD(GetQueueStatus(QS_INPUT | QS_POSTMESSAGE)) == 0)
        return false;
    MSG msg;
    const UINT ranges[][2] = {{WM_KEYFIRST, WM_KEYLAST},         {WM_MOUSEFIRST, WM_MOUSELAST},
                              {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK}, {WM_COMMAND, WM_SYSCOMMAND},
                              {WM_CLOSE, WM_CLOSE}};
    for (const auto& range : ranges) {
        while (PeekMessageA(&msg, nullptr, range[0], range[1], PM_REMOVE)) {
            if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE)
                escape = true;
        }
    }
    return escape;
}

// Keeps the window alive while the walk runs, without running a command:
// about twenty times a second it drops the input given meanwhile (Escape
// asks the walk to stop) and lets the frame, the bars and the view paint
// what was uncovered; about four times a second it shows the counts in the
// frame's message pane, painting the status bar alone. The idle text comes
// back at the end.
class ScanFeedback final : public ScanProgress {
public:
    explicit ScanFeedback(HWND view)
        : frame(dynamic_cast<CFrameWnd*>(CWnd::FromHandle(::GetParent(view)))), lastText(GetTickCount()),
          lastPump(lastText)
    {
    }
    ~ScanFeedback() override
    {
        // Nothing given during the scan reaches a window after it.
        DropInput();
        if (shown)
            frame->ShowMessageNow(nullptr);
    }
    ScanFeedback(const ScanFeedback&) = delete;
    ScanFeedback& operator=(const ScanFeedback&) = delete;

    bool Report(const WalkCounts& counts) override
    {
        const DWORD now = GetTickCount();
        if (now - lastPump < pumpIntervalMs)
            return !stop;
        lastPump = now;
        if (DropInput())
            stop = true;
        // Moving the mouse over a window gave it its class cursor.
        SetCursor(LoadCursorA(nullptr, IDC_WAIT));
        MSG msg;
        for (int i = 0; i < paintsPerPump && PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++i)
            DispatchMessageA(&msg);
        if (frame && now - lastText >= progressIntervalMs) {
            lastText = now;
            char text[64];
            std::snprintf(text, sizeof text, "ｽｷｬﾝ中  ﾌｫﾙﾀﾞ %lu  ﾌｧｲﾙ %lu", static_cast<unsigned long>(counts.dirsListed),
                          static_cast<unsigned long>(counts.files));
            if (frame->ShowMessageNow(text))
                shown = true;
        }
        return !stop;
    }

private:
    CFrameWnd* frame;
    DWORD lastText;
    DWORD lastPump;
    bool shown = false;
    bool stop = false;
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
        // While the table is rebuilt the view paints its background alone.
        scanning = true;
        ScanFeedback feedback(GetSafeHwnd());
        scanCounts = BuildDriveTree(table, lister ? *lister : platformLister, rootPath, {c, clustersPer4G, f, t},
                                    &feedback, &realNames);
        scanning = false;
    }
    if (scanCounts.stopped) {
        // Cancelled: an empty chart under the start-up title, as when the
        // first drive dialog is cancelled; the drive's letter stays in
        // rootPath for the next dialog.
        rootIndex = -1;
        table.Resize(0, -1);
        realNames.Clear();
        char title[64] = "Voruta";
        LoadStringA(GetModuleHandleA(nullptr), IDR_MAINFRAME, title, sizeof title);
        ::SetWindowTextA(GetParent(), title);
        return 0;
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
