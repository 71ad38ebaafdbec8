// The line formats of voruta-dump.
#pragma once

#include "view/chart_view.h"

#include <string>

namespace dump {

// CP932 text as UTF-8.
std::string Utf8(const std::string& text);

// A name as UTF-8 with every control character (tab and line breaks too)
// written as \xHH, so that no name breaks a line or adds a field.
std::string EscapedName(const std::string& text);
// The same for wide text.
std::string EscapedWide(const wchar_t* text);

// volume<TAB>rootPath<TAB>clusterBytes<TAB>clustersPer4G<TAB>freeClusters<TAB>totalClusters<TAB>result
std::string VolumeLine(const CChartView& view, std::int32_t result);

// entry<TAB>index<TAB>parent<TAB>nextSibling<TAB>firstChild<TAB>nameOffset<TAB>clusters<TAB>files<TAB>dirs
// <TAB>bytes<TAB>slack<TAB>column<TAB>top<TAB>bottom<TAB>name (entry 0: its display name)<TAB>realName
// (the name as spelled on disk, where the entry's name differs from it; else empty)
std::string EntryLine(const EntryTable& table, std::int32_t index, const RealNames* names = nullptr);

// skipped<TAB>notEntered<TAB>unlistable<TAB>overlong<TAB>noRoom: what the walk
// could not go into, or folded into an ancestor's entry, as it counted it.
std::string SkippedLine(const WalkCounts& counts);

// hardlinks<TAB>names<TAB>bytes<TAB>unchecked: names of files counted already
// under another name, their bytes (not counted again), and files whose id
// there was no memory to remember (counted in full).
std::string HardLinksLine(const WalkCounts& counts);

// read<TAB>walk, or read<TAB>mft<TAB>records read<TAB>records skipped: how the
// table was read, from the file system's listing or the master file table.
std::string ReadLine(const WalkCounts& counts);

// label<TAB>index<TAB>text, the entry's box label with line feeds as \n.
std::string LabelLine(const CChartView& view, std::int32_t index);

}  // namespace dump
