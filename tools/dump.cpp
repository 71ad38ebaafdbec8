// voruta-dump: scans a drive with the chart's own code and prints the volume
// figures, every entry and (with a height) the layout and the title as
// tab-separated lines, names in UTF-8.
//
//   voruta-dump [--walk] [--unit kb|mb|kbmb] [--hide size,slack,counts,clusters] LETTER [HEIGHT [ROOT]]
//
// An NTFS drive whose raw volume opens is read from its master file table;
// --walk lists it through the file system instead, so that the two can be
// compared. A line read<TAB>walk or read<TAB>mft<TAB>read<TAB>skipped after
// the hard links says which way the table was read, and for the file table
// how many records in use were read and how many were skipped as not to be
// trusted.
//
// After the entries, one line skipped<TAB>notEntered<TAB>unlistable<TAB>overlong<TAB>noRoom
// counts the directories the walk appended but did not enter, those it could
// not list, and those it summed into an ancestor's entry because no path to
// them fits an entry or the table could not grow; then one line
// hardlinks<TAB>names<TAB>bytes<TAB>unchecked counts the names of files
// counted already under another name, their bytes, and the files whose id
// could not be remembered. Each entry line ends in the
// name as spelled on disk where the entry's name differs from it. With HEIGHT
// (the view's client height), every laid-out entry also gets a line
// label<TAB>index<TAB>text with its box label under the chosen settings (line
// feeds as \n). Control characters in names are written as \xHH.
//
// Exit status: 0 after a successful scan, 1 when the volume query failed,
// 2 for bad arguments.
#include "tools/dump_format.h"
#include "view/chart_view.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>
#include <algorithm>

namespace {

void Usage()
{
    std::fputs("usage: voruta-dump [--walk] [--unit kb|mb|kbmb] [--hide size,slack,counts,clusters] LETTER [HEIGHT [ROOT]]\n"
               "  HEIGHT is the chart's client height in pixels; ROOT the entry shown in column 0.\n"
               "  Names are UTF-8; control characters in them are written as \\xHH.\n",
               stderr);
}

// Applies "--unit" and "--hide" to the view; false for anything else.
bool ApplyOption(CChartView& view, const std::string& name, const std::string& value)
{
    if (name == "--unit") {
        if (value == "kb")
            view.unitMode = ID_UNIT_KB;
        else if (value == "mb")
            view.unitMode = ID_UNIT_MB;
        else if (value == "kbmb")
            view.unitMode = ID_UNIT_KBMB;
        else
            return false;
        return true;
    }
    if (name != "--hide")
        return false;
    std::size_t start = 0;
    while (start <= value.size()) {
        const std::size_t end = std::min(value.find(',', start), value.size());
        const std::string item = value.substr(start, end - start);
        if (item == "size")
            view.showSize = 0;
        else if (item == "slack")
            view.showSlack = 0;
        else if (item == "counts")
            view.showCounts = 0;
        else if (item == "clusters")
            view.showClusters = 0;
        else
            return false;
        start = end + 1;
    }
    return true;
}

bool ParseInt(const char* text, long minimum, long maximum, long& value)
{
    char* end = nullptr;
    value = std::strtol(text, &end, 10);
    return *text && *end == '\0' && value >= minimum && value <= maximum;
}

// A hidden frame whose client area is `height` rows, with the view filling it.
class HiddenHost {
public:
    HiddenHost(CChartView& view, int height)
    {
        const CString cls = CWnd::RegisterWndClass(0);
        frame = CreateWindowExA(0, cls, "", WS_POPUP, 0, 0, 400, height, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
        view.Create(nullptr, "", WS_CHILD | WS_VISIBLE, RECT{0, 0, 400, height}, frame, 0xE900);
        // The view's sunken edge takes room: size the window so that its
        // client area is exactly `height` rows.
        RECT outer{0, 0, 400, height};
        AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongA(view, GWL_STYLE)), FALSE,
                           static_cast<DWORD>(GetWindowLongA(view, GWL_EXSTYLE)));
        SetWindowPos(frame, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
        MoveWindow(view, 0, 0, outer.right - outer.left, outer.bottom - outer.top, FALSE);
    }
    ~HiddenHost()
    {
        if (frame)
            DestroyWindow(frame);
    }
    HiddenHost(const HiddenHost&) = delete;
    HiddenHost& operator=(const HiddenHost&) = delete;

    // The title as the frame holds it: wide, since a name the code page
    // cannot carry is set there as such.
    std::wstring Title() const
    {
        wchar_t text[titleBytes + 16] = {};
        DefWindowProcW(frame, WM_GETTEXT, titleBytes + 16, reinterpret_cast<LPARAM>(text));
        return text;
    }
    bool Ok() const { return frame != nullptr; }

private:
    HWND frame = nullptr;
};

}  // namespace

int main(int argc, char** argv)
{
    _setmode(_fileno(stdout), _O_BINARY);
    CChartView view;
    std::vector<const char*> args;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--walk") {
            view.readFileTable = false;
        } else if (arg.rfind("--", 0) == 0) {
            if (i + 1 >= argc || !ApplyOption(view, arg, argv[i + 1])) {
                Usage();
                return 2;
            }
            ++i;
        } else {
            args.push_back(argv[i]);
        }
    }
    long height = -1;
    long root = 0;
    if (args.empty() || args.size() > 3 || std::strlen(args[0]) != 1 ||
        (args.size() >= 2 && !ParseInt(args[1], 0, 1 << 20, height)) ||
        (args.size() == 3 && !ParseInt(args[2], 0, INT32_MAX, root))) {
        Usage();
        return 2;
    }

    std::optional<HiddenHost> host;
    if (height >= 0) {
        host.emplace(view, static_cast<int>(height));
        if (!host->Ok()) {
            std::fputs("voruta-dump: cannot create the layout window (no display?)\n", stderr);
            return 2;
        }
    }
    const std::int32_t scanned = view.ScanDrive(args[0][0]);
    std::fputs(dump::VolumeLine(view, scanned).c_str(), stdout);
    if (!scanned)
        return 1;
    if (host) {
        // Entry 2 is part of the tree only while the root directory links to it.
        const bool unlinked = root == unaccountedEntry && view.table.At(rootDirEntry).nextSibling != unaccountedEntry;
        if (root >= view.table.Count() || unlinked) {
            std::fprintf(stderr, "voruta-dump: ROOT %ld is not an entry of the tree (0, 1%s, 3 to %d)\n", root,
                         view.table.At(rootDirEntry).nextSibling == unaccountedEntry ? ", 2" : "",
                         view.table.Count() - 1);
            return 2;
        }
        view.rootIndex = static_cast<std::int32_t>(root);
        view.Relayout();
    }
    for (std::int32_t i = 0; i < view.table.Count(); ++i)
        std::fputs(dump::EntryLine(view.table, i, &view.realNames).c_str(), stdout);
    std::fputs(dump::SkippedLine(view.scanCounts).c_str(), stdout);
    std::fputs(dump::HardLinksLine(view.scanCounts).c_str(), stdout);
    std::fputs(dump::ReadLine(view.scanCounts).c_str(), stdout);
    if (host) {
        for (std::int32_t i = 0; i < view.table.Count(); ++i)
            if (view.table.At(i).column >= 0)
                std::fputs(dump::LabelLine(view, i).c_str(), stdout);
        std::printf("title\t%s\n", dump::EscapedWide(host->Title().c_str()).c_str());
    }
    return 0;
}
