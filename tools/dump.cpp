// voruta-dump: scans a drive with the chart's own code and prints the volume
// figures, every entry and (with a height) the layout and the title as
// tab-separated lines, names in UTF-8.
//
//   voruta-dump LETTER [HEIGHT [ROOT]]
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

namespace {

void Usage()
{
    std::fputs("usage: voruta-dump LETTER [HEIGHT [ROOT]]\n", stderr);
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
        RECT outer{0, 0, 400, height};
        AdjustWindowRectEx(&outer, WS_POPUP, FALSE, 0);
        frame = CreateWindowExA(0, cls, "", WS_POPUP, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        view.Create(nullptr, "", WS_CHILD | WS_VISIBLE, RECT{0, 0, 400, height}, frame, 0xE900);
    }
    ~HiddenHost()
    {
        if (frame)
            DestroyWindow(frame);
    }
    HiddenHost(const HiddenHost&) = delete;
    HiddenHost& operator=(const HiddenHost&) = delete;

    std::string Title() const
    {
        char text[titleBytes + 16] = {};
        GetWindowTextA(frame, text, sizeof text);
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
    long height = -1;
    long root = 0;
    if (argc < 2 || argc > 4 || std::strlen(argv[1]) != 1 || (argc >= 3 && !ParseInt(argv[2], 0, 1 << 20, height)) ||
        (argc == 4 && !ParseInt(argv[3], 0, INT32_MAX, root))) {
        Usage();
        return 2;
    }

    CChartView view;
    std::optional<HiddenHost> host;
    if (height >= 0) {
        host.emplace(view, static_cast<int>(height));
        if (!host->Ok()) {
            std::fputs("voruta-dump: cannot create the layout window (no display?)\n", stderr);
            return 2;
        }
    }
    const std::int32_t scanned = view.ScanDrive(argv[1][0]);
    std::fputs(dump::VolumeLine(view, scanned).c_str(), stdout);
    if (!scanned)
        return 1;
    if (host) {
        if (root >= view.table.Count()) {
            std::fprintf(stderr, "voruta-dump: ROOT %ld is not an entry (0 to %d)\n", root, view.table.Count() - 1);
            return 2;
        }
        view.rootIndex = static_cast<std::int32_t>(root);
        view.Relayout();
    }
    for (std::int32_t i = 0; i < view.table.Count(); ++i)
        std::fputs(dump::EntryLine(view.table, i).c_str(), stdout);
    if (host)
        std::printf("title\t%s\n", dump::Utf8(host->Title()).c_str());
    return 0;
}
