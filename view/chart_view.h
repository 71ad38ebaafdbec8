// The chart window: the scanned tree, its layout, painting, navigation and
// display settings.
#pragma once

#include "analysis/entry.h"
#include "analysis/volume.h"
#include "platform/wnd.h"

#include <windows.h>

#include <cstdint>

// Bytes of the window title: "Voruta - ", a path of up to 259 bytes, one
// separator and the terminator.
inline constexpr int titleBytes = 9 + 259 + 1 + 1;

// Builds the frame title for the entry shown in column 0 (0 the drive total,
// 2 the unaccounted clusters, else a directory path ending in "\").
CString ChartTitle(const EntryTable& table, std::int32_t rootIndex);

// Truncates toward zero into the signed 32-bit range, saturating beyond it;
// NaN gives 0.
std::int32_t SaturatingTrunc(double value) noexcept;

// The chart of one drive as columns of stacked boxes. Owns the entry table
// and the display settings.
class CChartView : public CWnd {
public:
    explicit CChartView(const VolumeApi& api = Win32VolumeApi());
    ~CChartView() override;

    // Scanning.
    std::int32_t ScanDrive(char letter);
    void ScanDirectory(std::int32_t index);
    int QueryVolumeGeometry(const char* root, std::uint32_t& bytesPerCluster, std::uint32_t& freeCount,
                            std::uint32_t& totalCount);

    // Layout.
    void Relayout();
    void LayoutNode(std::int32_t index, std::int32_t column, std::int32_t top, std::int32_t bottom);

    // Invalidates the whole view and repaints it at once.
    void Redraw() const { RedrawWindow(RDW_INVALIDATE | RDW_UPDATENOW); }

    // Volume group: the scanned drive's root path and cluster figures.
    char rootPath[4] = {};
    std::uint32_t clusterBytes = 0;
    std::uint32_t clustersPer4G = 0;
    std::uint32_t freeClusters = 0;
    std::uint32_t totalClusters = 0;
    EntryTable table;
    std::int32_t rootIndex;

    std::int32_t useExtFreeSpace;

private:
    const VolumeApi& volumeApi;
};
