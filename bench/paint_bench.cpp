// Benchmark of the chart: Relayout and the full paint of a synthetic table of
// about 1,000,000 entries into a 1024 x 768 view, against the memory floor:
// one bare pass over the same records that writes the three layout fields
// and reads the link and cluster fields. The last two lines give the slowest
// Relayout and the slowest paint as multiples of the floor.
//
//   voruta-paint-bench [ENTRIES]
#include "bench/clock.h"
#include "view/chart_view.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <new>
#include <random>
#include <vector>

namespace {

// A pass that only reads every record's clusters.
double ReadPass(const EntryTable& table, std::uint32_t& sum)
{
    const double start = NowMs();
    const std::int32_t count = table.Count();
    for (std::int32_t i = 0; i < count; ++i)
        sum += table.At(i).clusters;
    return NowMs() - start;
}

// The floor: what any layout must at least do to every record.
double FloorPass(EntryTable& table)
{
    const double start = NowMs();
    std::uint32_t sum = 0;
    const std::int32_t count = table.Count();
    for (std::int32_t i = 0; i < count; ++i) {
        Entry& e = table.At(i);
        sum += static_cast<std::uint32_t>(e.firstChild) + static_cast<std::uint32_t>(e.nextSibling) + e.clusters;
        e.column = -1;
        e.top = 0;
        e.bottom = static_cast<std::int32_t>(sum & 1);
    }
    return NowMs() - start;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A drive-like tree in depth-first pre-order: irregular fan-out (a few broad
// folders, many small ones), depth up to 12, files' clusters in every folder.
class TreeMaker {
public:
    TreeMaker(EntryTable& t, std::int32_t wanted) : table(t), budget(wanted) {}
    bool full = false;

    void Make()
    {
        table.Resize(3, 128);
        for (int i = 0; i < 3; ++i)
            table.At(i).Clear();
        std::strcpy(table.At(0).name + 4, "(Total)");
        table.At(0).nameOffset = 4;
        table.At(0).firstChild = 1;
        std::strcpy(table.At(1).name, "B:\\");
        table.At(1).parent = 0;
        try {
            while (table.Count() < budget)
                Fill(1, 1);
        } catch (const std::bad_alloc&) {
            // The table is as large as this process can hold: measure that.
            full = true;
        }
        // Sums bottom-up: in pre-order every child comes after its parent.
        for (std::int32_t i = table.Count() - 1; i >= 3; --i) {
            Entry& e = table.At(i);
            table.At(e.parent).clusters += e.clusters + 1;
            table.At(e.parent).dirs += e.dirs + 1;
        }
        table.At(0).clusters = table.At(1).clusters + table.At(1).clusters / 4;
    }

private:
    void Fill(std::int32_t parent, int depth)
    {
        std::int32_t previous = -1;
        for (std::int32_t s = table.At(parent).firstChild; s >= 0; s = table.At(s).nextSibling)
            previous = s;
        const int fan = depth >= 12 ? 0 : 1 + static_cast<int>(std::exponential_distribution<double>(0.25)(random)) % 60;
        for (int i = 0; i < fan && table.Count() < budget; ++i) {
            Entry e;
            e.Clear();
            std::snprintf(e.name, sizeof e.name, "%s\\d%d", table.At(parent).name, table.Count());
            e.nameOffset = static_cast<std::uint32_t>(std::strlen(table.At(parent).name) + 1);
            e.parent = parent;
            e.clusters = static_cast<std::uint32_t>(std::exponential_distribution<double>(0.01)(random));
            e.files = e.clusters / 3;
            e.bytes = std::uint64_t{e.clusters} * 4096 - e.files * 100;
            e.slack = e.files * 100ull;
            const std::int32_t child = table.Append(e);
            if (previous < 0)
                table.At(parent).firstChild = child;
            else
                table.At(previous).nextSibling = child;
            previous = child;
            if (std::uniform_int_distribution<int>(0, 2)(random) != 0)
                Fill(child, depth + 1);
        }
    }

    EntryTable& table;
    std::int32_t budget;
    std::mt19937 random{20261207};
};

}  // namespace

int main(int argc, char** argv)
{
    const std::int32_t entries = argc > 1 ? std::atoi(argv[1]) : 1000000;

    const CString cls = CWnd::RegisterWndClass(0);
    HWND frame = CreateWindowExA(0, cls, "bench", WS_POPUP | WS_VISIBLE, 0, 0, 1028, 772, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    CChartView view;
    view.Create(nullptr, "", WS_CHILD | WS_VISIBLE, RECT{0, 0, 1028, 772}, frame, 0xE900);
    // Measured on a window the user could see, or not at all.
    RECT client{};
    if (!GetClientRect(view, &client) || client.right != 1024 || client.bottom != 768 || !IsWindowVisible(view)) {
        std::fprintf(stderr, "the view is not a visible 1024 x 768 window (client %ld x %ld)\n", client.right,
                     client.bottom);
        return 1;
    }

    double start = NowMs();
    TreeMaker maker(view.table, entries);
    maker.Make();
    const double makeMs = NowMs() - start;
    view.rootIndex = 0;

    // Let the window settle so the paint measured is the paint alone.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);

    std::vector<double> floors;
    for (int i = 0; i < 5; ++i)
        floors.push_back(FloorPass(view.table));

    std::vector<double> layouts;
    for (int i = 0; i < 10; ++i) {
        start = NowMs();
        view.Relayout();
        layouts.push_back(NowMs() - start);
    }
    for (int i = 0; i < 5; ++i)
        floors.push_back(FloorPass(view.table));
    std::vector<double> reads;
    std::uint32_t readSum = 0;
    for (int i = 0; i < 5; ++i)
        reads.push_back(ReadPass(view.table, readSum));
    view.Relayout();

    std::int32_t shown = 0, visible = 0;
    for (std::int32_t i = 0; i < view.table.Count(); ++i) {
        const Entry& e = view.table.At(i);
        shown += e.column >= 0;
        visible += e.column >= 0 && e.bottom > e.top;
    }

    std::vector<double> paints;
    for (int i = 0; i < 5; ++i) {
        start = NowMs();
        view.Redraw();
        paints.push_back(NowMs() - start);
    }

    // The same paint with one box shown: the fixed cost of the bitmap, the
    // fill and the copy to the window, plus the pass over the entries.
    view.rootIndex = 2;
    view.Relayout();
    std::vector<double> bare;
    for (int i = 0; i < 5; ++i) {
        start = NowMs();
        view.Redraw();
        bare.push_back(NowMs() - start);
    }

    const double floor = Median(floors);
    const double slowestLayout = *std::max_element(layouts.begin(), layouts.end());
    const double slowestPaint = *std::max_element(paints.begin(), paints.end());
    std::vector<double> laterLayouts(layouts.begin() + 1, layouts.end());
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    std::printf("build\t%s\n", sizeof(void*) == 4 ? "i686" : "x86_64 (not the product's figures)");
    if (maker.full)
        std::printf("largest table this process could build\t%d of %d asked\n", view.table.Count(), entries);
    std::printf("entries\t%d (laid out %d, at least 1 pixel high %d)\n", view.table.Count(), shown, visible);
    std::printf("table committed MiB; reserved MiB\t%.1f; %.1f\n",
                static_cast<double>(view.table.Storage().Committed()) / 1048576.0,
                static_cast<double>(view.table.Storage().Reserved()) / 1048576.0);
    std::printf("table bytes moved while growing MiB\t%.1f\n",
                static_cast<double>(view.table.Storage().MovedBytes()) / 1048576.0);
    std::printf("process peak working set MiB; peak committed MiB\t%.1f; %.1f\n",
                static_cast<double>(memory.PeakWorkingSetSize) / 1048576.0,
                static_cast<double>(memory.PeakPagefileUsage) / 1048576.0);
    std::printf("client\t%ld x %ld\n", client.right, client.bottom);
    std::printf("making the table ms\t%.1f\n", makeMs);
    std::printf("floor ms (median of %u; min / max)\t%.1f (%.1f / %.1f)\n", static_cast<unsigned>(floors.size()), floor,
                *std::min_element(floors.begin(), floors.end()), *std::max_element(floors.begin(), floors.end()));
    std::printf("Relayout ms (first; median of later %u; slowest)\t%.1f; %.1f; %.1f\n",
                static_cast<unsigned>(laterLayouts.size()), layouts[0], Median(laterLayouts), slowestLayout);
    std::printf("Relayout / floor (first; median of later)\t%.2f; %.2f\n", layouts[0] / floor,
                Median(laterLayouts) / floor);
    std::printf("full paint ms (median of %u; slowest)\t%.1f; %.1f\n", static_cast<unsigned>(paints.size()),
                Median(paints), slowestPaint);
    std::printf("paint with one box shown ms (median of %u)\t%.1f\n", static_cast<unsigned>(bare.size()), Median(bare));
    std::printf("read pass ms (median of %u; checksum %u)\t%.1f\n", static_cast<unsigned>(reads.size()), readSum,
                Median(reads));
    std::printf("ratio relayout\t%.2f\n", slowestLayout / floor);
    std::printf("ratio relayout/read\t%.2f\n", slowestLayout / Median(reads));
    std::printf("ratio paint\t%.2f\n", slowestPaint / floor);
    DestroyWindow(frame);
    return 0;
}
