// Chart layout: columns and pixel spans of the shown subtree, and the title.
#include "view/chart_view.h"

#include <cstring>
#include <vector>

namespace {

// What a laid-out parent hands its next child: the parent's top and scale,
// the running cluster sum, where the next child starts, and which child
// comes next.
struct OpenParent {
    std::int32_t index;
    std::int32_t column;
    std::int32_t top;
    double scale;
    std::uint32_t sum;
    std::int32_t prevBottom;
    std::int32_t nextChild;
};

// The child's bottom, measured from the parent's top on the running sum,
// exactly as LayoutNode computes it: the top plus the truncated product,
// saturated to the signed 32-bit range. The addition is checked in 32 bits;
// a 32-bit build pays dearly for 64-bit arithmetic in this loop.
std::int32_t ChildBottom(std::int32_t top, std::uint32_t sum, double scale) noexcept
{
    const std::int32_t offset = SaturatingTrunc(static_cast<double>(sum) * scale);
    std::int32_t end;
    if (__builtin_add_overflow(top, offset, &end))
        return offset > 0 ? INT32_MAX : INT32_MIN;
    return end;
}

double Scale(std::int32_t top, std::int32_t bottom, std::uint32_t clusters) noexcept
{
    // Pixels per cluster. A box with no clusters has no children, so an
    // infinite or NaN scale is never used (exceptions are masked). The
    // height is exact as a difference of doubles (below 2^33), and needs no
    // 64-bit integer, which a 32-bit build converts through the x87 unit.
    return (static_cast<double>(bottom) - static_cast<double>(top)) / static_cast<double>(clusters);
}

// The whole layout in one pass in index order, for a table whose shown
// subtree lies in depth-first pre-order with every sibling list in index
// order (a scanned table: the unaccounted entry 2 may come before the root
// directory's subtree). Gives exactly LayoutNode's result; false, with the
// layout fields left unspecified, as soon as the table is not of that shape.
// `inTreeOrder` tells whether the index order was the depth-first order but
// for childless entries coming early (as entry 2 does) and every span came
// out at least 0 high: then every descendant of a 0-pixel box is 0 pixels
// high too, and the boxes of each column come in index order.
bool LayoutInIndexOrder(EntryTable& table, std::int32_t rootIndex, std::int32_t top, std::int32_t bottom,
                        bool& inTreeOrder)
{
    // Parents with children still to come; more than this many at once is
    // no scanned table, and the general way is cheaper.
    constexpr std::size_t maxOpen = 4096;
    inTreeOrder = bottom >= top;
    std::vector<OpenParent> open;
    open.reserve(64);
    const std::int32_t count = table.Count();
    for (std::int32_t i = 0; i < count; ++i) {
        Entry& e = table.At(i);
        std::int32_t column, spanTop, spanBottom;
        if (i == rootIndex) {
            column = 0;
            spanTop = top;
            spanBottom = bottom;
        } else {
            std::size_t at = open.size();
            while (at > 0 && open[at - 1].index != e.parent)
                --at;
            if (at == 0) {
                e.column = -1;
                e.top = 0;
                e.bottom = 0;
                continue;
            }
            OpenParent& p = open[at - 1];
            if (p.nextChild != i)
                return false;
            if (at != open.size() && e.firstChild >= 0)
                inTreeOrder = false;
            p.sum += e.clusters;
            column = p.column + 1;
            spanTop = p.prevBottom;
            spanBottom = ChildBottom(p.top, p.sum, p.scale);
            if (spanBottom < spanTop)
                inTreeOrder = false;
            p.prevBottom = spanBottom;
            p.nextChild = e.nextSibling;
            if (p.nextChild < 0)
                open.erase(open.begin() + static_cast<std::ptrdiff_t>(at - 1));
        }
        e.column = column;
        e.top = spanTop;
        e.bottom = spanBottom;
        if (e.firstChild >= 0) {
            if (e.firstChild <= i || open.size() == maxOpen)
                return false;
            open.push_back({i, column, spanTop, Scale(spanTop, spanBottom, e.clusters), 0, spanTop, e.firstChild});
        }
    }
    return open.empty();
}

constexpr char titlePrefix[] = "Voruta - ";

// Copies at most 259 bytes of an entry's path and terminates it.
void AppendPath(char* buffer, std::size_t used, const char* path)
{
    std::size_t length = strnlen(path, 259);
    std::memcpy(buffer + used, path, length);
    buffer[used + length] = '\0';
}

}  // namespace

std::int32_t SaturatingTrunc(double value) noexcept
{
    if (value != value)
        return 0;
    if (value >= 2147483647.0)
        return INT32_MAX;
    if (value <= -2147483648.0)
        return INT32_MIN;
    return static_cast<std::int32_t>(value);
}

void MaskControlCharacters(char* text) noexcept
{
    for (; *text; ++text) {
        const auto byte = static_cast<unsigned char>(*text);
        if (byte < 0x20 || byte == 0x7F)
            *text = '?';
    }
}

void MaskControlCharacters(std::wstring& text) noexcept
{
    for (wchar_t& c : text)
        if (c < 0x20 || c == 0x7F)
            c = L'?';
}

std::wstring Widened(const char* text)
{
    const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (n <= 1)
        return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), n);
    wide.resize(static_cast<std::size_t>(n - 1));
    return wide;
}

CString DriveTitle(const char* rootPath)
{
    char title[sizeof titlePrefix + 2];
    std::memcpy(title, titlePrefix, sizeof titlePrefix - 1);
    title[sizeof titlePrefix - 1] = rootPath[0];
    title[sizeof titlePrefix] = ':';
    title[sizeof titlePrefix + 1] = '\0';
    return CString(title);
}

CString ChartTitle(const EntryTable& table, std::int32_t rootIndex)
{
    char title[titleBytes];
    std::memcpy(title, titlePrefix, sizeof titlePrefix);
    const std::size_t prefix = sizeof titlePrefix - 1;
    if (rootIndex < 0 || rootIndex >= table.Count())
        return CString(title);

    if (rootIndex == totalEntry) {
        if (table.Count() > rootDirEntry)
            AppendPath(title, prefix, table.At(rootDirEntry).name);
        // Drop the root path's separator: "D:\" shows as "D:". CharPrevA steps
        // over a whole character, so a double-byte character stays whole.
        char* last = CharPrevA(title, title + lstrlenA(title));
        *last = '\0';
    } else if (rootIndex == unaccountedEntry) {
        AppendPath(title, prefix, table.At(unaccountedEntry).name);
    } else {
        AppendPath(title, prefix, table.At(rootIndex).name);
        const int length = lstrlenA(title);
        const char* last = CharPrevA(title, title + length);
        // The lead byte of a double-byte character is never taken for "\",
        // even when its trail byte is 0x5C.
        if (*last != '\\') {
            title[length] = '\\';
            title[length + 1] = '\0';
        }
    }
    MaskControlCharacters(title + prefix);
    return CString(title);
}

std::wstring RealChartTitle(const EntryTable& table, const RealNames& names, std::int32_t rootIndex)
{
    if (rootIndex <= unaccountedEntry || rootIndex >= table.Count() || names.Count() == 0)
        return {};
    // The path from the root directory down, each name as on disk.
    std::vector<std::int32_t> chain;
    bool real = false;
    for (std::int32_t i = rootIndex; i > rootDirEntry && i < table.Count() && chain.size() < 4096;
         i = table.At(i).parent) {
        chain.push_back(i);
        real = real || names.Find(i);
    }
    if (!real)
        return {};
    std::wstring title = L"Voruta - " + Widened(table.At(rootDirEntry).name);
    for (auto at = chain.rbegin(); at != chain.rend(); ++at) {
        if (!title.empty() && title.back() != L'\\')
            title += L'\\';
        const wchar_t* name = names.Find(*at);
        title += name ? std::wstring(name) : Widened(table.At(*at).DisplayName());
    }
    title += L'\\';
    MaskControlCharacters(title);
    return title;
}

void CChartView::Relayout()
{
    if (rootIndex < 0 || rootIndex >= table.Count())
        return;
    RECT client;
    GetClientRect(&client);
    // A scanned table is laid out in one pass over the records; any other
    // shape of table goes the general way: reset everything, then lay out
    // the subtree recursively.
    bool inTreeOrder = false;
    const bool onePass = LayoutInIndexOrder(table, rootIndex, client.top, client.bottom, inTreeOrder);
    if (!onePass) {
        const std::int32_t count = table.Count();
        for (std::int32_t i = 0; i < count; ++i) {
            Entry& e = table.At(i);
            e.column = -1;
            e.top = 0;
            e.bottom = 0;
        }
        LayoutNode(rootIndex, 0, client.top, client.bottom);
    }
    // Painting may then skip whole subtrees of boxes that cannot show.
    layoutInTreeOrder = onePass && inTreeOrder;
    // A name the code page cannot carry reaches the title through the wide
    // default handling: the frame's own procedure would narrow it.
    const std::wstring real = RealChartTitle(table, realNames, rootIndex);
    if (real.empty())
        ::SetWindowTextA(GetParent(), ChartTitle(table, rootIndex));
    else
        ::DefWindowProcW(GetParent(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(real.c_str()));
}

void CChartView::LayoutNode(std::int32_t index, std::int32_t column, std::int32_t top, std::int32_t bottom)
{
    Entry& entry = table.At(index);
    entry.column = column;
    entry.top = top;
    entry.bottom = bottom;

    const double scale = Scale(top, bottom, entry.clusters);

    std::uint32_t sum = 0;
    std::int32_t prevBottom = top;
    for (std::int32_t child = entry.firstChild; child >= 0; child = table.At(child).nextSibling) {
        sum += table.At(child).clusters;
        // Measured from the parent's top on the running sum, so truncation
        // errors never accumulate along the siblings.
        const std::int32_t childBottom = ChildBottom(top, sum, scale);
        LayoutNode(child, column + 1, prevBottom, childBottom);
        prevBottom = childBottom;
    }
}
