// Helpers shared by the tests.
#include "support.h"

#include "tools/dump_format.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace test {

void BuildTree(EntryTable& table, const std::vector<Node>& nodes)
{
    table.Resize(0, -1);
    std::vector<std::int32_t> lastChild(nodes.size(), -1);
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        Entry e;
        e.Clear();
        e.nameOffset = 0;
        e.column = -1;
        e.top = 0;
        e.bottom = 0;
        const std::string& name = nodes[i].name;
        name.copy(e.name, std::min<std::size_t>(name.size(), 259));
        e.clusters = nodes[i].clusters;
        e.parent = nodes[i].parent;
        const std::int32_t index = table.Append(e);
        const std::int32_t parent = nodes[i].parent;
        if (parent >= 0) {
            if (lastChild[static_cast<std::size_t>(parent)] < 0)
                table.At(parent).firstChild = index;
            else
                table.At(lastChild[static_cast<std::size_t>(parent)]).nextSibling = index;
            lastChild[static_cast<std::size_t>(parent)] = index;
        }
    }
}

std::string WinPathOf(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

// Windows process ids repeat across Wine servers and runs: the name also
// carries the performance counter, which never repeats on one machine.
std::string UniqueUnixName(const char* what)
{
    static int serial = 0;
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return "/tmp/voruta-test-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(now.QuadPart) + "-" +
           std::to_string(++serial) + what;
}

std::string ReadAll(const std::string& winPath)
{
    std::string text;
    HANDLE file = CreateFileA(winPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return text;
    char buffer[256];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    CloseHandle(file);
    return text;
}

int RunUnix(const std::string& script, int seconds)
{
    const std::string base = UniqueUnixName("");
    const std::string utf8 = dump::Utf8(script);
    const std::string wrapped = "(\n" + utf8 + "\n) >" + base + ".log 2>&1\necho $? >" + base +
                                ".tmp && mv " + base + ".tmp " + base + ".done\n";
    HANDLE file = CreateFileA(WinPathOf(base + ".sh").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return -1;
    DWORD written = 0;
    WriteFile(file, wrapped.data(), static_cast<DWORD>(wrapped.size()), &written, nullptr);
    CloseHandle(file);

    std::string command = "/bin/sh " + base + ".sh";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    // Wine starts a Unix program without filling in the process information:
    // its handles are whatever was on Wine's stack, and closing them may close
    // one of ours (standard output, say). Leave them alone.

    // A Unix process cannot be waited for through its handle: poll for the
    // file that the script leaves when it ends.
    const std::string done = WinPathOf(base + ".done");
    for (int i = 0; i < seconds * 200 && GetFileAttributesA(done.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(5);
    const std::string status = ReadAll(done);
    DeleteFileA(done.c_str());
    DeleteFileA(WinPathOf(base + ".sh").c_str());
    const std::string log = ReadAll(WinPathOf(base + ".log"));
    DeleteFileA(WinPathOf(base + ".log").c_str());
    if (status.empty())
        return -1;
    const int code = std::atoi(status.c_str());
    if (code != 0)
        std::fprintf(stderr, "shell script failed (%d):\n%s\n", code, log.c_str());
    return code;
}

ScratchDrive::ScratchDrive(const std::string& script) : unixPath(UniqueUnixName(".d"))
{
    // ln -sn fails when the link exists, so parallel tests never share a letter.
    const std::string letterFile = unixPath + ".letter";
    const int code = RunUnix("mkdir " + unixPath + " && cd " + unixPath + " && {\n:\n" + script +
                             "\n} && for l in k l m n o p q r s t u v w x y; do "
                             "ln -sn " + unixPath + " \"$WINEPREFIX/dosdevices/$l:\" 2>/dev/null && "
                             "echo $l > " + letterFile + " && break; done");
    const std::string chosen = ReadAll(WinPathOf(letterFile));
    DeleteFileA(WinPathOf(letterFile).c_str());
    if (code == 0 && !chosen.empty())
        letter = static_cast<char>(chosen[0] - 'a' + 'A');
}

ScratchDrive::~ScratchDrive()
{
    std::string script = "rm -rf " + unixPath;
    if (letter)
        script += "; rm -f \"$WINEPREFIX/dosdevices/" + std::string(1, static_cast<char>(letter - 'A' + 'a')) + ":\"";
    RunUnix(script);
}

int ScratchDrive::Run(const std::string& script) const
{
    return RunUnix("cd " + unixPath + " && {\n" + script + "\n}");
}

int RunProgram(const std::string& commandLine, std::string& output)
{
    output.clear();
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd, writeEnd;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return -1;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION process{};
    std::string command = commandLine;
    const BOOL started = CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &process);
    CloseHandle(writeEnd);
    int status = -1;
    if (started) {
        char buffer[512];
        DWORD got = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0)
            output.append(buffer, got);
        DWORD code = 0;
        if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0 && GetExitCodeProcess(process.hProcess, &code))
            status = static_cast<int>(code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(readEnd);
    return status;
}

std::string BuiltProgram(const char* name)
{
    std::string path = std::string("Z:" VORUTA_BINARY_DIR "/") + name;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

char AbsentDriveLetter()
{
    const DWORD mask = GetLogicalDrives();
    // Scratch drives take K to Y; look below them.
    for (char c = 'J'; c > 'B'; --c)
        if (!(mask & (1u << (c - 'A'))))
            return c;
    return 0;
}

ViewHost::ViewHost(int clientHeight, int clientWidth, const VolumeApi& api) : view(api)
{
    const CString cls = CWnd::RegisterWndClass(0, nullptr, nullptr, nullptr);
    frame = CreateWindowExA(0, cls, "start", WS_POPUP, 0, 0, clientWidth, clientHeight, nullptr, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
    view.Create(nullptr, "", WS_CHILD | WS_VISIBLE, RECT{0, 0, clientWidth, clientHeight}, frame, 0xE900);
    ResizeClient(clientWidth, clientHeight);
}

ViewHost::~ViewHost()
{
    view.DestroyWindow();
    if (frame)
        DestroyWindow(frame);
}

std::string ViewHost::Title() const
{
    char text[512] = {};
    GetWindowTextA(frame, text, sizeof text);
    return text;
}

void ViewHost::SetTitle(const char* text)
{
    SetWindowTextA(frame, text);
}

void ViewHost::ResizeClient(int width, int height)
{
    // The view's own edge takes room: size its window so that its client
    // area is exactly width x height, and the frame around it.
    RECT outer{0, 0, width, height};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongA(view, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongA(view, GWL_EXSTYLE)));
    const int viewWidth = outer.right - outer.left;
    // Wine drops the edge of a window too low to hold it; a zero-height
    // window is the way to a zero-height client area.
    const int viewHeight = height == 0 ? 0 : outer.bottom - outer.top;
    SetWindowPos(frame, nullptr, 0, 0, viewWidth, viewHeight, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    MoveWindow(view, 0, 0, viewWidth, viewHeight, TRUE);
}

void ViewHost::Show()
{
    SetWindowPos(frame, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    UpdateWindow(frame);
}

std::vector<COLORREF> ViewHost::Capture(int& width, int& height)
{
    RECT client;
    ::GetClientRect(view, &client);
    width = client.right;
    height = client.bottom;
    std::vector<COLORREF> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    if (pixels.empty())
        return pixels;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC screen = GetDC(view);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP dib = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    const auto* p = static_cast<const std::uint32_t*>(bits);
    for (std::size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = RGB((p[i] >> 16) & 0xFF, (p[i] >> 8) & 0xFF, p[i] & 0xFF);
    SelectObject(memory, old);
    DeleteObject(dib);
    DeleteDC(memory);
    ReleaseDC(view, screen);
    return pixels;
}

namespace {

// The hook procedures have no context argument; the tests run on one thread.
// The counters alive, each with its window and count.
std::vector<std::pair<HWND, int>*> paintCounts;

void CountFor(HWND window)
{
    for (auto* counted : paintCounts)
        if (counted->first == window)
            ++counted->second;
}
std::function<void(HWND)> pendingDialogAction;

LRESULT CALLBACK CountPaint(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && message->message == WM_PAINT)
        CountFor(message->hwnd);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK CountPostedPaint(int code, WPARAM wParam, LPARAM lParam)
{
    const auto* message = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && message->message == WM_PAINT)
        CountFor(message->hwnd);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

HHOOK sentHook = nullptr;
HHOOK postedHook = nullptr;

BOOL CALLBACK FindDialog(HWND window, LPARAM found)
{
    char cls[16] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (std::strcmp(cls, "#32770") == 0 && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// How long a test waits for a dialog to open, and then to close.
constexpr DWORD dialogDeadlineMs = 20000;
DWORD dialogDeadline = 0;
HWND actedDialog = nullptr;
bool acting = false;

void CALLBACK DialogTimer(HWND, UINT, UINT_PTR id, DWORD)
{
    if (acting)
        return;
    const bool late = static_cast<LONG>(GetTickCount() - dialogDeadline) > 0;
    if (actedDialog) {
        // Acted on: wait for the dialog to close, and close it at the
        // deadline, so that a failed step never leaves a modal loop running.
        if (!IsWindow(actedDialog)) {
            actedDialog = nullptr;
            KillTimer(nullptr, id);
        } else if (late) {
            ADD_FAILURE() << "the dialog was still open " << dialogDeadlineMs / 1000 << " s after the test acted on it";
            EndDialog(actedDialog, IDCANCEL);
            actedDialog = nullptr;
            KillTimer(nullptr, id);
        }
        return;
    }
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindDialog, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog || !pendingDialogAction) {
        if (late) {
            if (pendingDialogAction)
                ADD_FAILURE() << "no dialog opened within " << dialogDeadlineMs / 1000 << " s";
            pendingDialogAction = nullptr;
            KillTimer(nullptr, id);
        }
        return;
    }
    auto act = std::move(pendingDialogAction);
    pendingDialogAction = nullptr;
    actedDialog = dialog;
    dialogDeadline = GetTickCount() + dialogDeadlineMs;
    acting = true;
    act(dialog);
    acting = false;
}

}  // namespace

PaintCounter::PaintCounter(HWND window)
{
    counted = {window, 0};
    // One pair of hooks serves every counter alive.
    if (paintCounts.empty()) {
        sentHook = SetWindowsHookExA(WH_CALLWNDPROC, &CountPaint, nullptr, GetCurrentThreadId());
        postedHook = SetWindowsHookExA(WH_GETMESSAGE, &CountPostedPaint, nullptr, GetCurrentThreadId());
    }
    paintCounts.push_back(&counted);
}

PaintCounter::~PaintCounter()
{
    paintCounts.erase(std::find(paintCounts.begin(), paintCounts.end(), &counted));
    if (paintCounts.empty()) {
        UnhookWindowsHookEx(sentHook);
        UnhookWindowsHookEx(postedHook);
    }
}

int PaintCounter::Count() const
{
    return counted.second;
}

void OnNextDialog(std::function<void(HWND dialog)> act)
{
    pendingDialogAction = std::move(act);
    actedDialog = nullptr;
    dialogDeadline = GetTickCount() + dialogDeadlineMs;
    SetTimer(nullptr, 0, 30, &DialogTimer);
}

bool PumpMessages(DWORD ms, const std::function<bool()>& done)
{
    const DWORD until = GetTickCount() + ms;
    MSG msg;
    for (;;) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        if (done && done())
            return true;
        if (static_cast<LONG>(GetTickCount() - until) >= 0)
            return false;
        Sleep(5);
    }
}

}  // namespace test
