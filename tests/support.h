// Helpers shared by the tests: trees built by hand and windows to lay them out in.
#pragma once

#include "view/chart_view.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace test {

// One directory of a hand-made tree: its parent (index into the same list),
// clusters and path. Rows are appended in order; links follow the order.
struct Node {
    std::int32_t parent;
    std::uint32_t clusters;
    std::string name;
};

// Fills `table` with the nodes, linking each to its parent in list order.
void BuildTree(EntryTable& table, const std::vector<Node>& nodes);

// Names parameterised cases after their `label` member.
struct ByLabel {
    template <class P>
    std::string operator()(const testing::TestParamInfo<P>& p) const { return p.param.label; }
};

// The Windows path (on Z:) of a Linux path.
std::string WinPathOf(const std::string& unixPath);
// A Linux path under /tmp that no other test, run or process uses.
std::string UniqueUnixName(const char* what);
// The whole of a file, by its Windows path; empty where it cannot be read.
std::string ReadAll(const std::string& winPath);

// Runs a shell script on the Linux side (Wine starts ELF programs itself)
// and waits until it has ended. The script is given as CP932 text and runs as
// UTF-8. Returns the script's exit status, or -1 when it could not be run or
// did not end within `seconds`.
int RunUnix(const std::string& script, int seconds = 15);

// A fresh Linux directory mapped to a free drive letter of the Wine prefix
// for as long as the object lives. `script` runs inside the directory first
// to fill it.
class ScratchDrive {
public:
    explicit ScratchDrive(const std::string& script = "");
    ~ScratchDrive();
    ScratchDrive(const ScratchDrive&) = delete;
    ScratchDrive& operator=(const ScratchDrive&) = delete;

    char Letter() const { return letter; }
    const std::string& UnixPath() const { return unixPath; }
    // Runs a further script inside the directory.
    int Run(const std::string& script) const;

private:
    std::string unixPath;
    char letter = 0;
};

// Runs a program of the build (a command line) and collects what it prints
// on both streams; its exit status, or -1 when it did not start or end
// within 30 seconds.
int RunProgram(const std::string& commandLine, std::string& output);

// The Windows path of a program of the build.
std::string BuiltProgram(const char* name);

// A drive letter that no drive stands behind.
char AbsentDriveLetter();

// A hidden top-level window with a chart view filling its client area.
class ViewHost {
public:
    explicit ViewHost(int clientHeight, int clientWidth = 400, const VolumeApi& api = Win32VolumeApi());
    ~ViewHost();
    ViewHost(const ViewHost&) = delete;
    ViewHost& operator=(const ViewHost&) = delete;

    CChartView& View() { return view; }
    std::string Title() const;
    void SetTitle(const char* text);
    HWND Frame() const { return frame; }
    void ResizeClient(int width, int height);
    // Shows the frame at the screen's top-left corner, above everything.
    void Show();
    // The view's client area as it is on screen, one COLORREF per pixel.
    std::vector<COLORREF> Capture(int& width, int& height);

private:
    HWND frame = nullptr;
    CChartView view;
};

// Counts the WM_PAINT messages that reach one window while it lives.
class PaintCounter {
public:
    explicit PaintCounter(HWND window);
    ~PaintCounter();
    PaintCounter(const PaintCounter&) = delete;
    PaintCounter& operator=(const PaintCounter&) = delete;
    int Count() const;

private:
    std::pair<HWND, int> counted;
};

// Runs `act` on the next dialog box that this thread opens (a modal dialog
// runs its own message loop; a timer brings the test back in there). A
// dialog that does not open within 20 seconds, or is still open 20 seconds
// after `act`, fails the test, and the dialog is then closed.
void OnNextDialog(std::function<void(HWND dialog)> act);

// Dispatches this thread's messages until `done` says so or `ms` have
// passed (all of them without `done`); tells whether `done` was met.
bool PumpMessages(DWORD ms, const std::function<bool()>& done = nullptr);

}  // namespace test
