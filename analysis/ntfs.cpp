// NTFS on-disk structures, read from byte spans.
#include "analysis/ntfs.h"

#include <cstring>

namespace ntfs {

namespace {

constexpr std::size_t fixupStride = 512;

bool PowerOfTwo(std::uint64_t n) noexcept
{
    return n != 0 && (n & (n - 1)) == 0;
}

// A little-endian number of `size` bytes (up to 8), sign-extended if asked.
std::uint64_t ReadVariable(const std::uint8_t* p, unsigned size, bool isSigned) noexcept
{
    std::uint64_t value = 0;
    for (unsigned i = 0; i < size; ++i)
        value |= std::uint64_t{p[i]} << (8 * i);
    if (isSigned && size > 0 && size < 8 && (p[size - 1] & 0x80))
        value |= ~std::uint64_t{0} << (8 * size);
    return value;
}

}  // namespace

bool ParseBootSector(const std::uint8_t* bytes, std::size_t size, BootSector& boot) noexcept
{
    if (size < 512 || std::memcmp(bytes + 3, "NTFS    ", 8) != 0 || Le16(bytes + 0x1FE) != 0xAA55)
        return false;
    const std::uint32_t sectorBytes = Le16(bytes + 0x0B);
    const std::uint8_t perClusterCode = bytes[0x0D];
    // Above 128 sectors a cluster is given as a negative power of two.
    const std::uint32_t sectorsPerCluster =
        perClusterCode <= 0x80 ? perClusterCode : (256 - perClusterCode < 32 ? 1u << (256 - perClusterCode) : 0);
    if (!PowerOfTwo(sectorBytes) || sectorBytes < 256 || sectorBytes > 4096 || !PowerOfTwo(sectorsPerCluster))
        return false;
    const std::uint64_t clusterBytes = std::uint64_t{sectorBytes} * sectorsPerCluster;
    if (clusterBytes > (2u << 20))
        return false;
    const auto perRecord = static_cast<std::int8_t>(bytes[0x40]);
    std::uint64_t recordBytes = 0;
    if (perRecord > 0)
        recordBytes = clusterBytes * static_cast<std::uint64_t>(perRecord);
    else if (perRecord > -31)
        recordBytes = std::uint64_t{1} << -perRecord;
    if (!PowerOfTwo(recordBytes) || recordBytes < 256 || recordBytes > (64u << 10))
        return false;
    const std::uint64_t totalClusters = Le64(bytes + 0x28) / sectorsPerCluster;
    const std::uint64_t mftCluster = Le64(bytes + 0x30);
    if (totalClusters == 0 || mftCluster >= totalClusters)
        return false;
    boot.sectorBytes = sectorBytes;
    boot.clusterBytes = static_cast<std::uint32_t>(clusterBytes);
    boot.recordBytes = static_cast<std::uint32_t>(recordBytes);
    boot.totalClusters = totalClusters;
    boot.mftCluster = mftCluster;
    return true;
}

bool ApplyFixups(std::uint8_t* record, std::size_t size) noexcept
{
    if (size < fixupStride || size % fixupStride != 0 || std::memcmp(record, "FILE", 4) != 0)
        return false;
    const std::size_t offset = Le16(record + 4);
    const std::size_t count = Le16(record + 6);
    if (count != size / fixupStride + 1 || offset < 0x28 || offset % 2 != 0 || offset + 2 * count > size)
        return false;
    const std::uint8_t* sequence = record + offset;
    for (std::size_t i = 1; i < count; ++i) {
        std::uint8_t* last = record + i * fixupStride - 2;
        if (last[0] != sequence[0] || last[1] != sequence[1])
            return false;  // torn: a stride written at another time
        last[0] = sequence[2 * i];
        last[1] = sequence[2 * i + 1];
    }
    return true;
}

bool ReadHeader(const std::uint8_t* record, std::size_t size, RecordHeader& header) noexcept
{
    if (size < 0x30)
        return false;
    header.sequence = Le16(record + 0x10);
    header.firstAttribute = Le16(record + 0x14);
    header.flags = Le16(record + 0x16);
    header.usedBytes = Le32(record + 0x18);
    header.base = Le64(record + 0x20);
    // The attributes follow the update sequence.
    const std::uint32_t sequenceEnd = Le16(record + 4) + 2u * Le16(record + 6);
    return header.usedBytes <= size && header.firstAttribute >= sequenceEnd && header.firstAttribute % 8 == 0 &&
           header.firstAttribute < header.usedBytes;
}

bool AttributeCursor::Next(Attribute& a) noexcept
{
    if (bad || at > end || end - at < 4)
        return bad = true, false;
    const std::uint8_t* p = bytes + at;
    a.type = Le32(p);
    if (a.type == endMarker)
        return false;
    if (end - at < 0x18)
        return bad = true, false;
    const std::uint32_t length = Le32(p + 4);
    if (length < 0x18 || length % 8 != 0 || length > end - at)
        return bad = true, false;
    a.nonResident = p[8] != 0;
    a.nameLength = p[9];
    const std::uint32_t nameOffset = Le16(p + 0x0A);
    a.flags = Le16(p + 0x0C);
    if (a.nameLength && nameOffset + 2u * a.nameLength > length)
        return bad = true, false;
    a.value = nullptr;
    a.valueLength = 0;
    a.lowestVcn = a.highestVcn = a.allocatedBytes = a.dataBytes = 0;
    a.runs = nullptr;
    a.runsLength = 0;
    if (!a.nonResident) {
        const std::uint32_t valueLength = Le32(p + 0x10);
        const std::uint32_t valueOffset = Le16(p + 0x14);
        if (valueOffset > length || valueLength > length - valueOffset)
            return bad = true, false;
        a.value = p + valueOffset;
        a.valueLength = valueLength;
    } else {
        const bool packed = (a.flags & 0x8001) != 0;  // compressed or sparse: a compressed size follows
        const std::uint32_t header = packed ? 0x48 : 0x40;
        if (length < header)
            return bad = true, false;
        const std::uint32_t runsOffset = Le16(p + 0x20);
        if (runsOffset < header || runsOffset > length)
            return bad = true, false;
        a.lowestVcn = Le64(p + 0x10);
        a.highestVcn = Le64(p + 0x18);
        a.allocatedBytes = packed ? Le64(p + 0x40) : Le64(p + 0x28);
        a.dataBytes = Le64(p + 0x30);
        a.runs = p + runsOffset;
        a.runsLength = length - runsOffset;
        // No more clusters than a signed 64-bit count, and none backwards
        // but the empty attribute's -1.
        if (a.highestVcn + 1 < a.lowestVcn || ((a.highestVcn >> 62) != 0 && a.highestVcn != ~std::uint64_t{0}))
            return bad = true, false;
    }
    at += length;
    return true;
}

bool DecodeRuns(const Attribute& attribute, std::uint64_t totalClusters, std::vector<Run>& runs)
{
    const std::uint8_t* p = attribute.runs;
    const std::uint8_t* end = p + attribute.runsLength;
    std::uint64_t vcn = attribute.lowestVcn;
    std::uint64_t lcn = 0;
    while (p < end && *p != 0) {
        const unsigned lengthSize = *p & 0x0F;
        const unsigned offsetSize = *p >> 4;
        if (lengthSize == 0 || lengthSize > 8 || offsetSize > 8 ||
            static_cast<std::size_t>(end - p) < 1 + lengthSize + offsetSize)
            return false;
        const std::uint64_t length = ReadVariable(p + 1, lengthSize, false);
        const std::uint64_t delta = ReadVariable(p + 1 + lengthSize, offsetSize, true);
        p += 1 + lengthSize + offsetSize;
        if (length == 0 || length > totalClusters || vcn + length < vcn)
            return false;
        Run run{vcn, 0, length, offsetSize == 0};
        if (!run.sparse) {
            lcn += delta;  // two's complement: a negative delta steps back
            if (lcn >= totalClusters || length > totalClusters - lcn)
                return false;
            run.lcn = lcn;
        }
        runs.push_back(run);
        vcn += length;
    }
    return vcn == attribute.highestVcn + 1;
}

}  // namespace ntfs
