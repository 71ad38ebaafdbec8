// Chart painting: every laid-out entry as a 3D box with its label, drawn
// into an off-screen bitmap and copied to the window in one step.
#include "view/chart_view.h"

#include <cinttypes>
#include <cstring>
#include <string>

CString FormatByteCount(std::uint64_t bytes, std::uint32_t unitMode)
{
    // Unsigned 64-bit throughout, so 2 TiB and more show their true figures;
    // below that this is the classic signed 32-bit KB value.
    const std::uint64_t kb = bytes / 1024;
    const std::uint64_t mb = kb / 1024;
    CString text;
    if (unitMode == ID_UNIT_KB)
        text.Format("%" PRIu64 "KB\n", kb);
    else if (unitMode == ID_UNIT_MB)
        text.Format("%" PRIu64 "MB\n", mb);
    else
        text.Format("%" PRIu64 "KB\n   (%" PRIu64 "MB)\n", kb, mb);
    return text;
}

CString EntryLabel(const Entry& entry, std::int32_t index, const LabelOptions& options)
{
    char name[sizeof entry.name];
    const char* shown = entry.DisplayName();
    const std::size_t length = strnlen(shown, sizeof entry.name - 1 - static_cast<std::size_t>(shown - entry.name));
    std::memcpy(name, shown, length);
    name[length] = '\0';
    MaskControlCharacters(name);
    CString label;
    label.Format("%s\n", name);
    if (options.showSize) {
        label += index == totalEntry ? "総 " : "占 ";
        label += FormatByteCount(entry.bytes, options.unitMode);
    }
    if (options.showSlack && index != unaccountedEntry) {
        label += index == totalEntry ? "空 " : "浪 ";
        label += FormatByteCount(entry.slack, options.unitMode);
    }
    // Counts are unsigned: 2^31 and more print as what they are.
    if (options.showCounts && index != totalEntry && index != unaccountedEntry)
        label.AppendFormat("File:%" PRIu32 "\nDir.:%" PRIu32 "\n", entry.files, entry.dirs);
    if (options.showClusters)
        label.AppendFormat("Clst:%" PRIu32 "\n", entry.clusters);
    if (index == totalEntry) {
        if (options.clusterBytes >= 1024)
            label.AppendFormat("(%" PRIu32 "KB/Clst)\n", options.clusterBytes / 1024);
        else
            label.AppendFormat("(%" PRIu32 "byte/Clst)\n", options.clusterBytes);
    }
    return label;
}

void CChartView::OnPaint()
{
    CPaintDC dc(hwnd);
    RECT client;
    GetClientRect(&client);
    if (rootIndex < 0 || scanning) {
        dc.FillSolidRect(client, GetSysColor(COLOR_APPWORKSPACE));
        return;
    }

    CMemoryDC memory(dc);
    CBitmap bitmap;
    // Compatible with the window's context: a memory context starts monochrome.
    bitmap.CreateCompatibleBitmap(dc, client.right, client.bottom);
    {
        CSelectObject selectBitmap(memory, bitmap.GetSafeHandle());
        memory.FillSolidRect(client, GetSysColor(COLOR_APPWORKSPACE));
        CFont font;
        font.CreateFontIndirect(logFont);
        {
            CSelectObject selectFont(memory, font.GetSafeHandle());
            // Most entries of a large tree are not shown, 0 pixels high or
            // right of the window, and draw nothing: they cost one test here.
            const std::int32_t count = table.Count();
            const std::int64_t firstHiddenColumn =
                columnWidth > 0 ? (std::int64_t{client.right} + columnWidth - 1) / columnWidth : INT64_MAX;
            if (layoutInTreeOrder && rootIndex < count) {
                // Depth first from the root, into the children of boxes that
                // show only: below a 0-pixel box every box is 0 pixels high,
                // and right of the window nothing shows. Boxes of one column
                // come in index order, so overlaps paint as in the loop below.
                std::int32_t i = rootIndex;
                for (;;) {
                    const Entry& e = table.At(i);
                    const bool shows = e.bottom > e.top && e.column < firstHiddenColumn;
                    if (shows)
                        PaintCell(memory, i);
                    if (shows && e.firstChild >= 0 && e.column + 1 < firstHiddenColumn) {
                        i = e.firstChild;
                        continue;
                    }
                    while (i != rootIndex && table.At(i).nextSibling < 0)
                        i = table.At(i).parent;
                    if (i == rootIndex)
                        break;
                    i = table.At(i).nextSibling;
                }
            } else {
                for (std::int32_t i = 0; i < count; ++i) {
                    const Entry& e = table.At(i);
                    if (e.column >= 0 && e.bottom > e.top && e.column < firstHiddenColumn)
                        PaintCell(memory, i);
                }
            }
        }
        dc.BitBlt(0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
    }
}

void CChartView::PaintCell(CDC& dc, std::int32_t index)
{
    const Entry& entry = table.At(index);
    if (entry.column < 0)
        return;
    // Products in 64 bits, clamped: a column far to the right stays off-screen.
    auto clamp = [](std::int64_t v) {
        return static_cast<LONG>(v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : v);
    };
    RECT cell{clamp(std::int64_t{entry.column} * columnWidth), entry.top,
              clamp((std::int64_t{entry.column} + 1) * columnWidth), entry.bottom};
    const std::int64_t height = std::int64_t{entry.bottom} - entry.top;
    // Most boxes of a large tree are 0 pixels high and draw nothing at all;
    // they cost this test and no call into the system.
    if (height <= 0)
        return;
    if (height < 2) {
        dc.FillSolidRect(cell, GetSysColor(COLOR_BTNFACE));
        return;
    }
    dc.Draw3dRect(cell, GetSysColor(COLOR_BTNHIGHLIGHT), GetSysColor(COLOR_3DDKSHADOW));
    InflateRect(&cell, -1, -1);
    if (height < 3)
        return;
    const CString label = Label(index);
    dc.FillSolidRect(cell, GetSysColor(COLOR_BTNFACE));
    dc.SetTextColor(GetSysColor(COLOR_BTNTEXT));
    dc.SetBkMode(TRANSPARENT);
    const wchar_t* real = index > unaccountedEntry ? realNames.Find(index) : nullptr;
    if (!real) {
        dc.DrawText(label, label.GetLength(), &cell, DT_NOPREFIX);
        return;
    }
    // The name line as spelled on disk, the other lines as they are.
    std::wstring text(real);
    MaskControlCharacters(text);
    if (const char* rest = std::strchr(label, '\n'))
        text += Widened(rest);
    dc.DrawText(text.c_str(), static_cast<int>(text.size()), &cell, DT_NOPREFIX);
}
