// The NTFS structures from hand-made bytes, and the file table of a real
// volume with seeded damage.
#include "analysis/file_table.h"
#include "analysis/scan.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <sstream>

namespace {

using namespace test;

struct BootCase {
    const char* label;
    std::uint16_t sectorBytes;
    std::uint8_t clusterCode;
    std::uint8_t recordCode;
    std::uint64_t sectors;
    std::uint64_t mftCluster;
    std::uint32_t clusterBytes;  // 0: refused
    std::uint32_t recordBytes;
};

class NtfsBoot : public testing::TestWithParam<BootCase> {};

TEST_P(NtfsBoot, GeometryOrRefusal)
{
    const BootCase& c = GetParam();
    std::uint8_t sector[512] = {};
    std::memcpy(sector + 3, "NTFS    ", 8);
    std::memcpy(sector + 0x0B, &c.sectorBytes, 2);
    sector[0x0D] = c.clusterCode;
    std::memcpy(sector + 0x28, &c.sectors, 8);
    std::memcpy(sector + 0x30, &c.mftCluster, 8);
    sector[0x40] = c.recordCode;
    sector[0x1FE] = 0x55;
    sector[0x1FF] = 0xAA;
    ntfs::BootSector boot{};
    ASSERT_EQ(ntfs::ParseBootSector(sector, sizeof sector, boot), c.clusterBytes != 0);
    if (c.clusterBytes) {
        EXPECT_EQ(boot.clusterBytes, c.clusterBytes);
        EXPECT_EQ(boot.recordBytes, c.recordBytes);
        EXPECT_EQ(boot.totalClusters, c.sectors / (c.clusterBytes / c.sectorBytes));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sectors, NtfsBoot,
    testing::Values(BootCase{"Common", 512, 8, 0xF6, 1000000, 4, 4096, 1024},
                    BootCase{"FourKSectors", 4096, 1, 0xF4, 300000, 4, 4096, 4096},
                    BootCase{"RecordInClusters", 512, 1, 2, 100000, 4, 512, 1024},
                    BootCase{"TwoMiBClusters", 512, 0xF4, 0xF6, 1u << 24, 1, 2u << 20, 1024},
                    BootCase{"FourMiBClusters", 512, 0xF3, 0xF6, 1u << 24, 1, 0, 0},
                    BootCase{"OddSector", 520, 8, 0xF6, 100000, 4, 0, 0},
                    BootCase{"NoClusterCode", 512, 0, 0xF6, 100000, 4, 0, 0},
                    BootCase{"RecordTooLarge", 512, 8, 0xEF, 100000, 4, 0, 0},
                    BootCase{"TableAtTheEnd", 512, 8, 0xF6, 8000, 1000, 0, 0},
                    BootCase{"TableBeforeTheEnd", 512, 8, 0xF6, 8000, 999, 4096, 1024}),
    test::ByLabel());

// A 4 KiB record: eight strides of 512 bytes, each ending in the sequence
// number until the fixups put back what was there.
std::vector<std::uint8_t> FixedRecord()
{
    std::vector<std::uint8_t> record(4096, 0);
    std::memcpy(record.data(), "FILE", 4);
    record[4] = 0x30;  // the update sequence at 0x30: 1 + 8 numbers
    record[6] = 9;
    record[0x30] = 0x34;
    record[0x31] = 0x12;
    for (int i = 1; i <= 8; ++i) {
        record[0x30 + 2 * i] = static_cast<std::uint8_t>(i);
        record[0x31 + 2 * i] = static_cast<std::uint8_t>(0xA0 + i);
        record[512 * i - 2] = 0x34;
        record[512 * i - 1] = 0x12;
    }
    return record;
}

TEST(NtfsFixups, EveryStrideGetsItsBytesBackAndATornOneIsRefused)
{
    std::vector<std::uint8_t> record = FixedRecord();
    ASSERT_TRUE(ntfs::ApplyFixups(record.data(), record.size()));
    for (int i = 1; i <= 8; ++i) {
        EXPECT_EQ(record[512 * i - 2], i);
        EXPECT_EQ(record[512 * i - 1], 0xA0 + i);
    }
    // The attributes start after the update sequence (0x30 + 18 bytes).
    ntfs::RecordHeader header;
    record[0x18] = 0x00;  // 256 bytes used
    record[0x19] = 0x01;
    for (const auto& [first, valid] : {std::pair{0x40, false}, std::pair{0x48, true}, std::pair{0x4C, false}}) {
        record[0x14] = static_cast<std::uint8_t>(first);
        EXPECT_EQ(ntfs::ReadHeader(record.data(), record.size(), header), valid) << "first attribute at " << first;
    }
    record[4] = 0x36;  // the sequence ends at 0x48, where the attributes start
    record[0x14] = 0x48;
    EXPECT_TRUE(ntfs::ReadHeader(record.data(), record.size(), header));
    const std::pair<std::size_t, std::uint8_t> damage[] = {{7 * 512 - 1, 0x13}, {6, 8}, {6, 10}, {4, 0xF0}, {0, 'B'}};
    for (const auto& [at, value] : damage) {
        record = FixedRecord();
        record[at] = value;
        EXPECT_FALSE(ntfs::ApplyFixups(record.data(), record.size())) << "byte " << at;
    }
}

struct RunCase {
    const char* label;
    std::vector<std::uint8_t> bytes;
    std::uint64_t highestVcn;
    std::vector<ntfs::Run> runs;  // empty: refused
};

class NtfsRuns : public testing::TestWithParam<RunCase> {};

TEST_P(NtfsRuns, DecodedOrRefused)
{
    const RunCase& c = GetParam();
    ntfs::Attribute a{};
    a.runs = c.bytes.data();
    a.runsLength = c.bytes.size();
    a.highestVcn = c.highestVcn;
    std::vector<ntfs::Run> runs;
    ASSERT_EQ(ntfs::DecodeRuns(a, 100000, runs), !c.runs.empty());
    ASSERT_EQ(runs.size(), c.runs.empty() ? runs.size() : c.runs.size());
    for (std::size_t i = 0; i < c.runs.size(); ++i) {
        EXPECT_EQ(runs[i].vcn, c.runs[i].vcn) << i;
        EXPECT_EQ(runs[i].lcn, c.runs[i].lcn) << i;
        EXPECT_EQ(runs[i].length, c.runs[i].length) << i;
        EXPECT_EQ(runs[i].sparse, c.runs[i].sparse) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lists, NtfsRuns,
    testing::Values(
        // 0x30 clusters at 0x1234, then 0x10 at 0x1234 - 0x34 (a step back).
        RunCase{"StepBack", {0x21, 0x30, 0x34, 0x12, 0x11, 0x10, 0xCC, 0x00}, 0x3F,
                {{0, 0x1234, 0x30, false}, {0x30, 0x1200, 0x10, false}}},
        RunCase{"SparseBetween", {0x11, 4, 100, 0x01, 8, 0x11, 4, 10, 0x00}, 15,
                {{0, 100, 4, false}, {4, 0, 8, true}, {12, 110, 4, false}}},
        // 16 clusters at 99984 end with the volume's 100000; at 99985 past it.
        RunCase{"EndsWithTheVolume", {0x31, 0x10, 0x90, 0x86, 0x01, 0x00}, 15, {{0, 99984, 16, false}}},
        RunCase{"PastTheVolume", {0x31, 0x10, 0x91, 0x86, 0x01, 0x00}, 15, {}},
        RunCase{"ShortOfItsClusters", {0x11, 4, 100, 0x00}, 5, {}},
        RunCase{"BeyondItsClusters", {0x11, 8, 100, 0x00}, 5, {}},
        RunCase{"CutShort", {0x21, 0x30, 0x34}, 0x2F, {}},
        RunCase{"NegativeCluster", {0x11, 4, 0xF0, 0x00}, 3, {}},
        RunCase{"ZeroLength", {0x11, 0, 100, 0x00}, 0xFFFFFFFFFFFFFFFFull, {}}),
    test::ByLabel());

// A volume image on the Linux side, read through Windows' file calls, with
// bytes changed in memory.
class DamagedImage final : public VolumeReader {
public:
    explicit DamagedImage(const std::string& path)
        : file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr))
    {
    }
    ~DamagedImage() override { CloseHandle(file); }
    bool Read(std::uint64_t offset, void* buffer, std::size_t bytes) override
    {
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(offset);
        DWORD got = 0;
        if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN) ||
            !ReadFile(file, buffer, static_cast<DWORD>(bytes), &got, nullptr) || got != bytes)
            return false;
        for (auto it = changed.lower_bound(offset); it != changed.end() && it->first < offset + bytes; ++it)
            static_cast<std::uint8_t*>(buffer)[it->first - offset] = it->second;
        return true;
    }
    bool Open() const { return file != INVALID_HANDLE_VALUE; }
    std::map<std::uint64_t, std::uint8_t> changed;

private:
    HANDLE file;
};

struct Scanned {
    FileTableLister::Outcome outcome;
    std::uint32_t read = 0;
    std::uint32_t skipped = 0;
    Entry root{};
};

Scanned Scan(DamagedImage& image)
{
    // The volume as the query gives it: 64 MiB less a sector, in 4 KiB clusters.
    Scanned result;
    FileTableLister lister;
    result.outcome = lister.Read(image, 4096, 16383);
    if (result.outcome != FileTableLister::Outcome::read)
        return result;
    EntryTable table;
    BuildDriveTree(table, lister, "V:\\", {4096, 1u << 18, 1000, 16384});
    result.read = lister.RecordsRead();
    result.skipped = lister.RecordsSkipped();
    result.root = table.At(rootDirEntry);
    return result;
}

// Record `record` of the table at `table`, fixed up into `bytes`, and where
// its first attribute `type` starts in it (0: nowhere).
std::uint32_t AttributeOf(DamagedImage& image, std::uint64_t table, std::uint64_t record, std::uint32_t type,
                          std::uint8_t (&bytes)[1024])
{
    if (!image.Read(table + record * 1024, bytes, 1024) || !ntfs::ApplyFixups(bytes, 1024))
        return 0;
    std::uint32_t at = ntfs::Le16(bytes + 0x14);
    while (at < 0x3C0 && ntfs::Le32(bytes + at) != type && ntfs::Le32(bytes + at + 4) >= 0x18)
        at += ntfs::Le32(bytes + at + 4);
    return at < 0x3C0 && ntfs::Le32(bytes + at) == type ? at : 0;
}

// Seeded damage over a real volume's records: a torn record leaves out its
// file and is counted as skipped; anything else is read, skipped or refused
// as a whole, never a crash or a hang.
TEST(NtfsDamage, SeededOverARealVolume)
{
    const std::string dir = UniqueUnixName(".ntfs");
    if (RunUnix("[ -e /dev/fuse ] && command -v ntfs-3g >/dev/null") != 0)
        GTEST_SKIP() << "no FUSE device or no ntfs-3g tools on this machine";
    ASSERT_EQ(RunUnix("bash " VORUTA_SOURCE_DIR "/tests/ntfs/volumes.sh " + dir + " plain", 100), 0);
    {
        // The raw volume read through a drive is let go: nothing keeps the drive in use.
        ScratchDrive drive("");
        const std::string device = "\"$WINEPREFIX/dosdevices/" + std::string(1, drive.Letter() + 'a' - 'A') + "::\"";
        ASSERT_TRUE(drive.Letter() && RunUnix("ln -sn " + dir + "/plain.img " + device) == 0);
        std::uint8_t sector[512];
        EXPECT_TRUE(Win32VolumeReader(drive.Letter()).Read(0, sector, sizeof sector));
        HANDLE alone = CreateFileA(WinPathOf(dir + "/plain.img").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_NE(alone, INVALID_HANDLE_VALUE);
        CloseHandle(alone);
        RunUnix("rm -f " + device);
    }
    DamagedImage image(WinPathOf(dir + "/plain.img"));
    ASSERT_TRUE(image.Open());
    const Scanned clean = Scan(image);
    ASSERT_EQ(clean.outcome, FileTableLister::Outcome::read);
    ASSERT_EQ(clean.skipped, 0u);
    std::vector<std::pair<std::uint64_t, std::uint64_t>> files;  // record, size
    std::set<std::uint64_t> records;  // of every file
    std::istringstream listed(ReadAll(WinPathOf(dir + "/plain.files")));
    for (std::string line; std::getline(listed, line);) {
        std::uint64_t record, size;
        char path[16] = {};
        if (std::sscanf(line.c_str(), "%llu %llu %15s", &record, &size, path) != 3)
            continue;
        records.insert(record);
        if (std::strncmp(path, "many/", 5) == 0)
            files.emplace_back(record, size);
    }
    ASSERT_EQ(files.size(), 300u);
    // Every file's record was read, and the file system's 16 and the folders'.
    EXPECT_GT(clean.read, records.size() + 16);

    // The table lies in one piece from cluster 4 on mkntfs's small volumes:
    // record r at 4 clusters + 1 KiB each.
    std::uint8_t boot[512];
    ASSERT_TRUE(image.Read(0, boot, sizeof boot));
    std::uint64_t mftCluster;
    std::memcpy(&mftCluster, boot + 0x30, 8);
    const std::uint64_t table = mftCluster * 4096;

    std::uint8_t b[1024];

    // $UpCase's run and last cluster number a cluster short of its 128 KiB:
    // refused, not read past.
    std::uint32_t where = AttributeOf(image, table, ntfs::upcaseRecord, ntfs::data, b);
    const std::uint32_t run = where + ntfs::Le16(b + where + 0x20);
    ASSERT_TRUE(where && run < 0x1F0 && b[run + 1] > 1 && b[where + 0x18] > 0);
    const std::uint64_t upcase = table + ntfs::upcaseRecord * 1024;
    image.changed[upcase + run + 1] = static_cast<std::uint8_t>(b[run + 1] - 1);
    image.changed[upcase + where + 0x18] = static_cast<std::uint8_t>(b[where + 0x18] - 1);
    EXPECT_EQ(Scan(image).outcome, FileTableLister::Outcome::untrusted);
    image.changed.clear();

    // The folder of the 300 files given another parent: itself (a loop no
    // name joins to the root: skipped) or $Extend (the file system's own
    // folder: left out). Either way the folder and its files are not listed.
    where = AttributeOf(image, table, files[0].first, ntfs::fileName, b);
    const std::uint64_t many = ntfs::RecordOf(ntfs::Le64(b + where + ntfs::Le16(b + where + 0x14)));
    where = AttributeOf(image, table, many, ntfs::fileName, b);
    ASSERT_TRUE(where);
    for (const auto& [parent, skipped] : {std::pair{many, 1u}, std::pair{std::uint64_t{11}, 0u}}) {
        for (int i = 0; i < 6; ++i)
            image.changed[table + many * 1024 + where + ntfs::Le16(b + where + 0x14) + i] = static_cast<std::uint8_t>(parent >> (8 * i));
        const Scanned moved = Scan(image);
        EXPECT_EQ(std::tie(moved.outcome, moved.skipped, moved.root.files, moved.root.dirs),
                  std::tuple(FileTableLister::Outcome::read, skipped, clean.root.files - 300, clean.root.dirs - 1))
            << "parent " << parent;
    }
    image.changed.clear();

    std::mt19937 random(20261209);
    for (int round = 0; round < 120; ++round) {
        image.changed.clear();
        const auto& [record, size] = files[random() % files.size()];
        const std::uint64_t at = table + record * 1024;
        switch (round % 4) {
        case 0: {  // one stride written at another time than the other
            image.changed[at + 1022] = 0x77;
            const Scanned torn = Scan(image);
            ASSERT_EQ(torn.outcome, FileTableLister::Outcome::read);
            EXPECT_EQ(torn.skipped, 1u);
            EXPECT_EQ(torn.root.files, clean.root.files - 1) << "record " << record;
            EXPECT_EQ(torn.root.bytes, clean.root.bytes - size) << "record " << record;
            continue;
        }
        case 1:  // bytes of one record
            for (int i = 0; i < 4; ++i)
                image.changed[at + 0x30 + random() % 0x3C0] = static_cast<std::uint8_t>(random());
            break;
        case 2:  // an attribute's length
            image.changed[at + 0x38 + random() % 0x80] = static_cast<std::uint8_t>(random());
            break;
        default:  // $MFT's own record
            for (int i = 0; i < 2; ++i)
                image.changed[table + 0x30 + random() % 0x1C0] = static_cast<std::uint8_t>(random());
            break;
        }
        const Scanned damaged = Scan(image);
        if (damaged.outcome == FileTableLister::Outcome::read)
            EXPECT_LE(damaged.root.files, clean.root.files + 1) << "round " << round;
        else
            EXPECT_EQ(damaged.outcome, FileTableLister::Outcome::untrusted) << "round " << round;
    }
    RunUnix("rm -rf " + dir);
}

}  // namespace
