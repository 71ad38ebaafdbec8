// The line formats of voruta-dump.
#include "tools/dump_format.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace dump {

std::string Utf8(const std::string& text)
{
    const int wideLength = MultiByteToWideChar(932, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(932, 0, text.data(), static_cast<int>(text.size()), wide.data(), wideLength);
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, out.data(), length, nullptr, nullptr);
    return out;
}

std::string VolumeLine(const CChartView& view, std::int32_t result)
{
    char line[160];
    std::snprintf(line, sizeof line, "volume\t%s\t%" PRIu32 "\t%" PRIu32 "\t%" PRIu32 "\t%" PRIu32 "\t%" PRId32 "\n",
                  Utf8(std::string(view.rootPath, strnlen(view.rootPath, sizeof view.rootPath))).c_str(),
                  view.clusterBytes, view.clustersPer4G, view.freeClusters, view.totalClusters, result);
    return line;
}

std::string EntryLine(const EntryTable& table, std::int32_t index)
{
    const Entry& e = table.At(index);
    const char* name = index == totalEntry ? e.DisplayName() : e.name;
    char line[256];
    std::snprintf(line, sizeof line,
                  "entry\t%" PRId32 "\t%" PRId32 "\t%" PRId32 "\t%" PRId32 "\t%" PRIu32 "\t%" PRIu32 "\t%" PRIu32
                  "\t%" PRIu32 "\t%" PRIu64 "\t%" PRIu64 "\t%" PRId32 "\t%" PRId32 "\t%" PRId32 "\t",
                  index, e.parent, e.nextSibling, e.firstChild, e.nameOffset, e.clusters, e.files, e.dirs, e.bytes,
                  e.slack, e.column, e.top, e.bottom);
    return line + Utf8(std::string(name, strnlen(name, 259))) + "\n";
}

std::string LabelLine(const CChartView& view, std::int32_t index)
{
    std::string text;
    for (char c : Utf8(view.Label(index).str())) {
        if (c == '\n')
            text += "\\n";
        else
            text += c;
    }
    return "label\t" + std::to_string(index) + "\t" + text + "\n";
}

}  // namespace dump
