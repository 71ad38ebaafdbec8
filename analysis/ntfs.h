// NTFS on-disk structures, read from byte spans: the boot sector, file
// records with their update-sequence fixups, attributes and run lists. Every
// offset and length is checked against the span before it is read; a value
// that cannot be trusted makes the call return false.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ntfs {

// Attribute types the scan reads.
inline constexpr std::uint32_t standardInformation = 0x10;
inline constexpr std::uint32_t attributeList = 0x20;
inline constexpr std::uint32_t fileName = 0x30;
inline constexpr std::uint32_t data = 0x80;
inline constexpr std::uint32_t indexRoot = 0x90;
inline constexpr std::uint32_t bitmap = 0xB0;
inline constexpr std::uint32_t reparsePoint = 0xC0;
inline constexpr std::uint32_t endMarker = 0xFFFFFFFF;

// File name namespaces: a DOS name is the 8.3 twin of a Win32 one.
inline constexpr std::uint8_t posixNames = 0;
inline constexpr std::uint8_t dosNames = 2;

// Records below this number are the file system's own ($MFT, $LogFile, the
// root "." at 5, $Extend ...): no listing shows them.
inline constexpr std::uint32_t firstUserRecord = 16;
inline constexpr std::uint32_t rootRecord = 5;
inline constexpr std::uint32_t upcaseRecord = 10;

inline std::uint64_t RecordOf(std::uint64_t reference) noexcept { return reference & 0xFFFFFFFFFFFFull; }
inline std::uint16_t SequenceOf(std::uint64_t reference) noexcept
{
    return static_cast<std::uint16_t>(reference >> 48);
}

struct BootSector {
    std::uint32_t sectorBytes;
    std::uint32_t clusterBytes;
    std::uint32_t recordBytes;
    std::uint64_t totalClusters;
    std::uint64_t mftCluster;
};

// True for an NTFS boot sector with a geometry the reader can use: sectors
// of 256 to 4096 bytes, clusters up to 2 MiB, records of 256 bytes to 64 KiB
// (all powers of two), the table inside the volume.
bool ParseBootSector(const std::uint8_t* bytes, std::size_t size, BootSector& boot) noexcept;

// Checks a file record's signature and applies its update-sequence fixups
// (one every 512 bytes, whatever the sector size); false, with the record
// left as it may be, where the record is torn or not a file record.
bool ApplyFixups(std::uint8_t* record, std::size_t size) noexcept;

// The header of a fixed-up file record.
struct RecordHeader {
    std::uint16_t sequence;
    std::uint16_t flags;  // inUse, directory
    std::uint64_t base;   // the base record's reference; 0 for a base record
    std::uint32_t firstAttribute;
    std::uint32_t usedBytes;
};
inline constexpr std::uint16_t recordInUse = 0x01;
inline constexpr std::uint16_t recordIsDirectory = 0x02;
// False where the attributes would not lie after the update sequence and
// within the record's used bytes.
bool ReadHeader(const std::uint8_t* record, std::size_t size, RecordHeader& header) noexcept;

// One attribute of a record, as far as the scan needs it.
struct Attribute {
    std::uint32_t type;
    bool nonResident;
    std::uint16_t flags;  // compressed 0x0001, sparse 0x8000
    std::uint8_t nameLength;
    // Resident: the value.
    const std::uint8_t* value;
    std::uint32_t valueLength;
    // Non-resident: the clusters it covers, its sizes (valid where
    // lowestVcn is 0) and its runs.
    std::uint64_t lowestVcn;
    std::uint64_t highestVcn;
    std::uint64_t allocatedBytes;  // compressed size where compressed or sparse
    std::uint64_t dataBytes;
    const std::uint8_t* runs;
    std::size_t runsLength;
};

// Walks the attributes of a fixed-up record, each checked to lie inside the
// record's used bytes. Next is false at the end marker, or where an
// attribute cannot be trusted (then Bad() is true).
class AttributeCursor {
public:
    AttributeCursor(const std::uint8_t* record, const RecordHeader& header) noexcept
        : bytes(record), end(header.usedBytes), at(header.firstAttribute)
    {
    }
    bool Next(Attribute& attribute) noexcept;
    bool Bad() const noexcept { return bad; }

private:
    const std::uint8_t* bytes;
    std::uint32_t end;
    std::uint32_t at;
    bool bad = false;
};

// A run of clusters: `length` clusters from virtual cluster `vcn`, at
// logical cluster `lcn` (sparse: none on disk).
struct Run {
    std::uint64_t vcn;
    std::uint64_t lcn;
    std::uint64_t length;
    bool sparse;
};

// Decodes the run list of a non-resident attribute that covers virtual
// clusters lowestVcn to highestVcn, appending to `runs`. False where a run
// lies past the volume's `totalClusters`, or the runs do not cover exactly
// those clusters.
bool DecodeRuns(const Attribute& attribute, std::uint64_t totalClusters, std::vector<Run>& runs);

// Reads little-endian values from a span.
inline std::uint16_t Le16(const std::uint8_t* p) noexcept
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
inline std::uint32_t Le32(const std::uint8_t* p) noexcept
{
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
inline std::uint64_t Le64(const std::uint8_t* p) noexcept
{
    return Le32(p) | std::uint64_t{Le32(p + 4)} << 32;
}

}  // namespace ntfs
