// The drive scan as the chart runs it: the wait cursor, the volume group,
// the walk and the layout of the new tree.
#include "analysis/file_table.h"
#include "analysis/scan.h"
#include "platform/app.h"
#include "platform/frame.h"
#include "platform/toolbar.h"
#include "view/chart_view.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr char rootTemplate[4] = {'X', ':', '\\', '\0'};
constexpr DWORD progressIntervalMs = 250;
constexpr DWORD pumpIntervalMs = 50;
constexpr int paintsPerPump = 64;

// Whether a message given during the scan may reach its window: what the
// window system needs to move, size, minimise, maximise, restore and close
// the frame (its title bar, borders and buttons, the system menu, Alt+Space
// and Alt+F4, a close from outside), and the raise of a floating tool bar
// above the frame. Nothing of the program's own acts:
// keys, clicks, the menu bar and the tool bar are dropped.
bool ManagesTheWindow(const MSG& msg, HWND frame)
{
    switch (msg.message) {
    case WM_NCMOUSEMOVE:
        return msg.hwnd == frame;
    case WM_NCLBUTTONDOWN:
    case WM_NCLBUTTONUP:
    case WM_NCLBUTTONDBLCLK:
    case WM_NCRBUTTONDOWN:
    case WM_NCRBUTTONUP:
        if (msg.hwnd != frame)
            return false;
        switch (msg.wParam) {
        case HTCAPTION:
        case HTSYSMENU:
        case HTMINBUTTON:
        case HTMAXBUTTON:
        case HTCLOSE:
            return true;
        default:
            return msg.wParam >= HTLEFT && msg.wParam <= HTBOTTOMRIGHT;
        }
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
        return msg.wParam == VK_SPACE || msg.wParam == VK_F4;
    case WM_SYSCHAR:
        return msg.wParam == ' ';
    case WM_SYSCOMMAND:
        if (msg.hwnd != frame)
            return false;
        switch (msg.wParam & 0xFFF0) {
        case SC_MOVE:
        case SC_SIZE:
        case SC_MINIMIZE:
        case SC_MAXIMIZE:
        case SC_RESTORE:
        case SC_CLOSE:
            return true;
        case SC_KEYMENU:
            return msg.lParam == ' ';  // the system menu, not the menu bar
        default:
            return false;
        }
    case WM_CLOSE:
        return msg.hwnd == frame;
    case CToolBar::raiseMessage:
        return true;  // a floating bar stays above its frame
    default:
        return false;
    }
}

// Takes the input given to this thread's windows: what manages the frame is
// dispatched (a move or size loop may run meanwhile), the rest dropped. True
// when Escape was among it.
bool FilterInput(HWND frame)
{
    bool escape = false;
    // Commands and WM_CLOSE are posted messages: QS_POSTMESSAGE.
    if (HIWORD(GetQueueStatus(QS_INPUT | QS_POSTMESSAGE)) == 0)
        return false;
    MSG msg;
    // The title bar's clicks before the client area's: a filter that leaves
    // out what a second click becomes (a double click of the title bar) would
    // make the system forget the first.
    const UINT ranges[][2] = {{WM_KEYFIRST, WM_KEYLAST},         {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK},
                              {WM_MOUSEFIRST, WM_MOUSELAST},     {WM_COMMAND, WM_SYSCOMMAND},
                              {WM_CLOSE, WM_CLOSE},         {CToolBar::raiseMessage, CToolBar::raiseMessage}};
    for (const auto& range : ranges) {
        while (PeekMessageA(&msg, nullptr, range[0], range[1], PM_REMOVE)) {
            if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE)
                escape = true;
            if (ManagesTheWindow(msg, frame)) {
                TranslateMessage(&msg);  // Alt+Space: WM_SYSCHAR
                DispatchMessageA(&msg);
            }
        }
    }
    return escape;
}

// Keeps the window alive while the walk runs, without running a command:
// about twenty times a second it filters the input given meanwhile (Escape
// asks the walk to stop, and so does a close of the frame) and lets the
// frame, the bars and the view paint what was uncovered; about four times a
// second it shows the counts in the frame's message pane, painting the
// status bar alone. The view is marked as scanning while it lives; the idle
// text comes back at the end.
class ScanFeedback final : public ScanProgress {
public:
    explicit ScanFeedback(CChartView& view_)
        : view(view_), frameWindow(::GetParent(view_.GetSafeHwnd())),
          frame(dynamic_cast<CFrameWnd*>(CWnd::FromHandle(frameWindow))), lastText(GetTickCount()),
          lastPump(lastText)
    {
        view.scanning = true;
    }
    ~ScanFeedback() override
    {
        // Nothing given during the scan reaches a window after it, but a
        // close of the frame is honoured.
        FilterInput(frameWindow);
        view.scanning = false;
        if (shown)
            frame->ShowMessageNow(nullptr);
    }
    ScanFeedback(const ScanFeedback&) = delete;
    ScanFeedback& operator=(const ScanFeedback&) = delete;

    bool Report(const WalkCounts& counts) override
    {
        // The frame asked to close: the walk stops as on Escape.
        if (view.closeAfterScan)
            stop = true;
        const DWORD now = GetTickCount();
        if (now - lastPump < pumpIntervalMs)
            return !stop;
        lastPump = now;
        Pump();
        if (frame && now - lastText >= progressIntervalMs) {
            lastText = now;
            // Read from the file table, the walk then counts again from
            // zero what was read: the counts shown never go back.
            dirsShown = std::max(dirsShown, counts.dirsListed);
            filesShown = std::max(filesShown, counts.files);
            char text[96];
            std::snprintf(text, sizeof text, "ｽｷｬﾝ中  ﾌｫﾙﾀﾞ %lu  ﾌｧｲﾙ %lu  (Escで中止)",
                          static_cast<unsigned long>(dirsShown), static_cast<unsigned long>(filesShown));
            if (frame->ShowMessageNow(text))
                shown = true;
        }
        return !stop;
    }

    // Filters the input given meanwhile, shows the wait cursor on the window
    // now under the pointer and paints what was uncovered.
    void Pump()
    {
        if (FilterInput(frameWindow))
            stop = true;
        // Moving the mouse over a window gave it its class cursor.
        SetCursor(LoadCursorA(nullptr, IDC_WAIT));
        MSG msg;
        for (int i = 0; i < paintsPerPump && PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE); ++i)
            DispatchMessageA(&msg);
    }

private:
    CChartView& view;
    HWND frameWindow;
    CFrameWnd* frame;
    DWORD lastText;
    DWORD lastPump;
    std::uint32_t dirsShown = 0;
    std::uint32_t filesShown = 0;
    bool shown = false;
    bool stop = false;
};

}  // namespace

std::int32_t CChartView::ScanDrive(char letter)
{
    CWaitCursor wait;

    std::memcpy(rootPath, rootTemplate, sizeof rootPath);
    rootPath[0] = letter;

    // An empty root path would make the volume query answer for the current
    // drive; a NUL letter names no drive. A drive that does not answer
    // leaves the chart and the figures its labels read as they were.
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
        // The old chart goes at once: the view paints its background alone
        // while the table is rebuilt, under the title of the drive scanned.
        ScanFeedback feedback(*this);
        ::SetWindowTextA(GetParent(), DriveTitle(rootPath));
        RedrawWindow(RDW_INVALIDATE | RDW_UPDATENOW);
        feedback.Pump();
        // An NTFS drive whose raw volume opens (administrator rights) is
        // read from its file table, which the walk then lists in memory.
        bool stopped = false;
        std::unique_ptr<FileTableLister> fileTable;
        if (!lister && readFileTable)
            fileTable = ReadFileTable(letter, c, t, &feedback, stopped);
        if (stopped) {
            scanCounts = WalkCounts{};
            scanCounts.stopped = true;
        } else {
            DirectoryLister& chosen = fileTable ? *fileTable : lister ? *lister : platformLister;
            scanCounts = BuildDriveTree(table, chosen, rootPath, {c, clustersPer4G, f, t}, &feedback, &realNames);
        }
        if (fileTable) {
            scanCounts.fileTable = true;
            scanCounts.recordsRead = fileTable->RecordsRead();
            scanCounts.recordsSkipped = fileTable->RecordsSkipped();
        }
    }
    if (closeAfterScan) {
        closeAfterScan = false;
        ::PostMessageA(GetParent(), WM_CLOSE, 0, 0);
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
