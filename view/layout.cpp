// Chart layout: columns and pixel spans of the shown subtree, and the title.
#include "view/chart_view.h"

#include <cstring>

namespace {

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
    return CString(title);
}

void CChartView::Relayout()
{
    if (rootIndex < 0 || rootIndex >= table.Count())
        return;
    const std::int32_t count = table.Count();
    for (std::int32_t i = 0; i < count; ++i) {
        Entry& e = table.At(i);
        e.column = -1;
        e.top = 0;
        e.bottom = 0;
    }
    RECT client;
    GetClientRect(&client);
    LayoutNode(rootIndex, 0, client.top, client.bottom);
    ::SetWindowTextA(GetParent(), ChartTitle(table, rootIndex));
}

void CChartView::LayoutNode(std::int32_t index, std::int32_t column, std::int32_t top, std::int32_t bottom)
{
    Entry& entry = table.At(index);
    entry.column = column;
    entry.top = top;
    entry.bottom = bottom;

    // Pixels per cluster. A box with no clusters has no children, so an
    // infinite or NaN scale is never used (exceptions are masked).
    const double height = static_cast<double>(static_cast<std::int64_t>(bottom) - top);
    const double scale = height / static_cast<double>(entry.clusters);

    std::uint32_t sum = 0;
    std::int32_t prevBottom = top;
    for (std::int32_t child = entry.firstChild; child >= 0; child = table.At(child).nextSibling) {
        sum += table.At(child).clusters;
        // Measured from the parent's top on the running sum, so truncation
        // errors never accumulate along the siblings.
        const std::int64_t end = std::int64_t{top} + SaturatingTrunc(static_cast<double>(sum) * scale);
        const std::int32_t childBottom = end > INT32_MAX ? INT32_MAX : end < INT32_MIN ? INT32_MIN
                                                                                         : static_cast<std::int32_t>(end);
        LayoutNode(child, column + 1, prevBottom, childBottom);
        prevBottom = childBottom;
    }
}
