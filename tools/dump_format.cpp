// The line formats of voruta-dump.
#include "tools/dump_format.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <cwchar>

namespace dump {

namespace {

std::string Utf8(const wchar_t* wide, int length)
{
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(bytes > 0 ? bytes : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, length, out.data(), bytes, nullptr, nullptr);
    return out;
}

// UTF-8 with every control character written as \xHH.
std::string EscapedUtf8(const std::string& utf8)
{
    std::string out;
    for (char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

std::string Utf8(const std::string& text)
{
    const int wideLength = MultiByteToWideChar(932, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(932, 0, text.data(), static_cast<int>(text.size()), wide.data(), wideLength);
    return Utf8(wide.data(), wideLength);
}

std::string EscapedName(const std::string& text)
{
    return EscapedUtf8(Utf8(text));
}

std::string EscapedWide(const wchar_t* text)
{
    return EscapedUtf8(Utf8(text, static_cast<int>(std::wcslen(text))));
}

std::string VolumeLine(const CChartView& view, std::int32_t result)
{
    char line[160];
    std::snprintf(line, sizeof line, "volume\t%s\t%" PRIu32 "\t%" PRIu32 "\t%" PRIu32 "\t%" PRIu32 "\t%" PRId32 "\n",
                  Utf8(std::string(view.rootPath, strnlen(view.rootPath, sizeof view.rootPath))).c_str(),
                  view.clusterBytes, view.clustersPer4G, view.freeClusters, view.totalClusters, result);
    return line;
}

std::string EntryLine(const EntryTable& table, std::int32_t index, const RealNames* names)
{
    const Entry& e = table.At(index);
    const char* name = index == totalEntry ? e.DisplayName() : e.name;
    char line[256];
    std::snprintf(line, sizeof line,
                  "entry\t%" PRId32 "\t%" PRId32 "\t%" PRId32 "\t%" PRId32 "\t%" PRIu32 "\t%" PRIu32 "\t%" PRIu32
                  "\t%" PRIu32 "\t%" PRIu64 "\t%" PRIu64 "\t%" PRId32 "\t%" PRId32 "\t%" PRId32 "\t",
                  index, e.parent, e.nextSibling, e.firstChild, e.nameOffset, e.clusters, e.files, e.dirs, e.bytes,
                  e.slack, e.column, e.top, e.bottom);
    const wchar_t* real = names ? names->Find(index) : nullptr;
    return line + EscapedName(std::string(name, strnlen(name, 259))) + "\t" + (real ? EscapedWide(real) : "") + "\n";
}

std::string SkippedLine(const WalkCounts& counts)
{
    char line[80];
    std::snprintf(line, sizeof line, "skipped\t%" PRIu32 "\t%" PRIu32 "\t%" PRIu32 "\t%" PRIu32 "\n",
                  counts.notEntered, counts.unlistable, counts.overlong, counts.noRoom);
    return line;
}

std::string HardLinksLine(const WalkCounts& counts)
{
    char line[80];
    std::snprintf(line, sizeof line, "hardlinks\t%" PRIu32 "\t%" PRIu64 "\t%" PRIu32 "\n", counts.hardLinks,
                  counts.hardLinkBytes, counts.unchecked);
    return line;
}

std::string ReadLine(const WalkCounts& counts)
{
    if (!counts.fileTable)
        return "read\twalk\n";
    char line[64];
    std::snprintf(line, sizeof line, "read\tmft\t%" PRIu32 "\t%" PRIu32 "\n", counts.recordsRead,
                  counts.recordsSkipped);
    return line;
}

std::string LabelLine(const CChartView& view, std::int32_t index)
{
    // Line feeds of the label as \n; any control character of the name
    // escaped as in the entry lines.
    std::string text;
    const std::string label = view.Label(index).str();
    std::size_t start = 0;
    while (start <= label.size()) {
        const std::size_t end = std::min(label.find('\n', start), label.size());
        text += EscapedName(label.substr(start, end - start));
        if (end < label.size())
            text += "\\n";
        start = end + 1;
    }
    return "label\t" + std::to_string(index) + "\t" + text + "\n";
}

}  // namespace dump
