// The chart window: the scanned tree, its layout, painting, navigation and
// display settings.
#pragma once

#include "analysis/entry.h"
#include "analysis/scan.h"
#include "analysis/volume.h"
#include "platform/dc.h"
#include "platform/wnd.h"
#include "res/resource.h"

#include <windows.h>

#include <cstdint>
#include <string>

// Bytes of the window title: "Voruta - ", a path of up to 259 bytes, one
// separator and the terminator.
inline constexpr int titleBytes = 9 + 259 + 1 + 1;

// The font dialog may return a style name of up to 31 bytes.
inline constexpr int styleNameBytes = 32;

// Shows each control character of a name (possible on Linux file systems)
// as "?", so that a line feed never starts a new label line. No byte below
// 0x20 or 0x7F is part of a double-byte character in code page 932.
void MaskControlCharacters(char* text) noexcept;
void MaskControlCharacters(std::wstring& text) noexcept;

// Code-page text as wide text.
std::wstring Widened(const char* text);

// Builds the frame title for the entry shown in column 0 (0 the drive total,
// 2 the unaccounted clusters, else a directory path ending in "\").
CString ChartTitle(const EntryTable& table, std::int32_t rootIndex);

// The title of the drive whose root is `rootPath` ("X:\"), while it is scanned.
CString DriveTitle(const char* rootPath);

// The title with every component of the shown directory's path spelled as
// on disk; empty when ChartTitle already spells each so.
std::wstring RealChartTitle(const EntryTable& table, const RealNames& names, std::int32_t rootIndex);

// Truncates toward zero into the signed 32-bit range, saturating beyond it;
// NaN gives 0.
std::int32_t SaturatingTrunc(double value) noexcept;

// A byte count in the size unit `unitMode` (ID_UNIT_KB, ID_UNIT_MB, anything
// else both), KB and MB truncated, each line ending in "\n".
CString FormatByteCount(std::uint64_t bytes, std::uint32_t unitMode);

// What a box label shows besides the name.
struct LabelOptions {
    std::uint32_t unitMode;
    std::int32_t showSize;
    std::int32_t showSlack;
    std::int32_t showCounts;
    std::int32_t showClusters;
    std::uint32_t clusterBytes;
};

// The multi-line label of entry `index`.
CString EntryLabel(const Entry& entry, std::int32_t index, const LabelOptions& options);

// The chart of one drive as columns of stacked boxes. Owns the entry table
// and the display settings.
class CChartView : public CWnd {
public:
    explicit CChartView(const VolumeApi& api = Win32VolumeApi());
    ~CChartView() override;

    bool PreCreateWindow(CREATESTRUCTA& cs) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Scanning. A scan lets the window paint and drops the input given while
    // it runs; Escape cancels it, leaving the chart empty (result 0).
    std::int32_t ScanDrive(char letter);
    void ScanDirectory(std::int32_t index);
    int QueryVolumeGeometry(const char* root, std::uint32_t& bytesPerCluster, std::uint32_t& freeCount,
                            std::uint32_t& totalCount);

    // Layout.
    void Relayout();
    void LayoutNode(std::int32_t index, std::int32_t column, std::int32_t top, std::int32_t bottom);

    // Painting.
    void PaintCell(CDC& dc, std::int32_t index);
    CString FormatSize(std::uint64_t bytes) const { return FormatByteCount(bytes, unitMode); }
    CString Label(std::int32_t index) const { return EntryLabel(table.At(index), index, CurrentLabelOptions()); }
    LabelOptions CurrentLabelOptions() const noexcept
    {
        return {unitMode, showSize, showSlack, showCounts, showClusters, clusterBytes};
    }

    // Navigation.
    std::int32_t NavigateByKey(std::uint32_t key) const;
    void NavigateTo(std::int32_t index);

    // Invalidates the whole view and repaints it at once.
    void Redraw() const { RedrawWindow(RDW_INVALIDATE | RDW_UPDATENOW); }

    // Message and command handlers.
    void OnUpdateUnit(CCmdUI* ui);
    void OnUnit(UINT id);
    void OnUpdateFlag(CCmdUI* ui);
    void OnFlag(UINT id);
    void OnPaint();
    void OnDriveChange();
    void OnFontChange();
    void OnSize(UINT type, int width, int height);
    void OnLButtonDown(UINT flags, POINT point);
    void OnViewWhole();
    void OnChar(UINT code, UINT repeat, UINT flags);
    void OnKeyDown(UINT key, UINT repeat, UINT flags);

    // Volume group: the scanned drive's root path and cluster figures.
    char rootPath[4] = {};
    std::uint32_t clusterBytes = 0;
    std::uint32_t clustersPer4G = 0;
    std::uint32_t freeClusters = 0;
    std::uint32_t totalClusters = 0;
    EntryTable table;
    std::int32_t rootIndex;

    // Display settings.
    char styleName[styleNameBytes];
    LOGFONTA logFont;
    std::int32_t columnWidth;
    std::uint32_t unitMode;
    std::int32_t showSize;
    std::int32_t showSlack;
    std::int32_t showCounts;
    std::int32_t showClusters;

    // What the last scan could not walk into (links, unusable names,
    // unlistable directories, over-long paths).
    WalkCounts scanCounts;
    // The real names of the entries whose name shows them otherwise.
    RealNames realNames;

    // Where the drive dialog learns the drives present; tests replace it.
    const DriveApi* driveApi;
    // Set by Relayout: the shown subtree is laid out in tree order with no
    // span of negative height, so the paint may skip the subtree of any box
    // that cannot show.
    bool layoutInTreeOrder = false;
    // Set while a scan rebuilds the table: the view then paints no box,
    // lays nothing out and takes no input or command.
    bool scanning = false;
    // Set when the frame was asked to close during a scan: the scan stops
    // and the frame closes when it has returned.
    bool closeAfterScan = false;

    // Where the volume query reaches the platform; tests replace it.
    const VolumeApi& volumeApi;
    // Where the scan lists directories; null for the platform's listing.
    DirectoryLister* lister = nullptr;
    // Whether a drive whose raw volume opens and holds NTFS is read from its
    // master file table (with the platform's listing only).
    bool readFileTable = true;

    // Last, as the volume query's record of which service it uses.
    std::int32_t useExtFreeSpace;

private:
    std::int32_t* FlagOf(UINT id) noexcept;

    DECLARE_MESSAGE_MAP()
};
