// Volume geometry: the choice of source and both query paths.
#include "fake_volume.h"
#include "support.h"
#include "view/chart_view.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>

namespace {

using test::FakeVolume;

struct SourceCase {
    const char* label;
    BOOL versionResult;
    DWORD platformId;
    DWORD buildNumber;
    int expected;
};

class SourceChoice : public testing::TestWithParam<SourceCase> {};

TEST_P(SourceChoice, ExtendedOnlyOnWindows9xBuild1000AndLater)
{
    FakeVolume* fake;
    const VolumeApi& api = test::InstallFakeVolume(fake);
    fake->versionResult = GetParam().versionResult;
    fake->platformId = GetParam().platformId;
    fake->buildNumber = GetParam().buildNumber;
    CChartView view(api);
    EXPECT_EQ(view.useExtFreeSpace, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Platforms, SourceChoice,
    testing::Values(SourceCase{"NtFamily", 1, VER_PLATFORM_WIN32_NT, 2600, 0},
                    SourceCase{"Build999", 1, VER_PLATFORM_WIN32_WINDOWS, 999, 0},
                    SourceCase{"Build1000", 1, VER_PLATFORM_WIN32_WINDOWS, 1000, 1},
                    SourceCase{"HighBitsIgnored", 1, VER_PLATFORM_WIN32_WINDOWS, 0x040A0457, 1},
                    SourceCase{"HighBitsDoNotCount", 1, VER_PLATFORM_WIN32_WINDOWS, 0x10003E7, 0},
                    SourceCase{"VersionCallFails", 0, VER_PLATFORM_WIN32_WINDOWS, 2222, 0},
                    SourceCase{"VersionResultNotOne", 2, VER_PLATFORM_WIN32_WINDOWS, 2222, 0}),
    test::ByLabel());

class VolumeQuery : public testing::Test {
protected:
    // A view on the Windows 9x path with the device answering 4096-byte
    // clusters (8 x 512), 300 free of 5000.
    CChartView& Extended()
    {
        api = &test::InstallFakeVolume(fake);
        fake->platformId = VER_PLATFORM_WIN32_WINDOWS;
        fake->buildNumber = 2222;
        fake->deviceAnswer.sectorsPerCluster = 8;
        fake->deviceAnswer.bytesPerSector = 512;
        fake->deviceAnswer.availableClusters = 300;
        fake->deviceAnswer.totalClusters = 5000;
        view.emplace(*api);
        return *view;
    }

    int Query(CChartView& v)
    {
        return v.QueryVolumeGeometry("C:\\", bytes, freeCount, total);
    }

    FakeVolume* fake = nullptr;
    const VolumeApi* api = nullptr;
    std::optional<CChartView> view;
    std::uint32_t bytes = 0, freeCount = 0, total = 0;
};

TEST_F(VolumeQuery, ExtendedPathReadsTheDeviceRecord)
{
    SKIP_WITHOUT_32BIT_DEVICE();
    CChartView& v = Extended();
    ASSERT_EQ(v.useExtFreeSpace, 1);
    EXPECT_EQ(Query(v), 1);
    EXPECT_EQ(bytes, 4096u);
    EXPECT_EQ(freeCount, 300u);
    EXPECT_EQ(total, 5000u);
    EXPECT_EQ(fake->diskCalls, 0);
    EXPECT_EQ(fake->deviceClosed, 1);
    // The call as the service wants it.
    EXPECT_EQ(fake->lastDevice, "\\\\.\\vwin32");
    EXPECT_EQ(fake->lastAccess, 0u);
    EXPECT_EQ(fake->lastShare, static_cast<DWORD>(FILE_SHARE_WRITE));
    EXPECT_EQ(fake->lastDisposition, static_cast<DWORD>(OPEN_EXISTING));
    EXPECT_EQ(fake->lastFlags, static_cast<DWORD>(FILE_FLAG_DELETE_ON_CLOSE));
    EXPECT_EQ(fake->lastCode, 6u);
    EXPECT_EQ(fake->lastRegisters.eax, 0x7303u);
    EXPECT_EQ(fake->lastRegisters.ecx, 44u);
    EXPECT_EQ(fake->lastRegisters.ebx, 0u);
    EXPECT_EQ(fake->lastRegisters.esi, 0u);
    EXPECT_EQ(fake->lastRegisters.flags, 1u);
    EXPECT_EQ(fake->lastRoot, "C:\\");
}

// What the device and the fallback answer on the Windows 9x path, and what
// the query makes of it. The fallback says 200 free of 1000.
struct FallbackCase {
    const char* label;
    bool deviceOpens;
    BOOL delivered;
    bool clearCarry;
    BOOL diskResult;
    int result;
    int deviceCalls;
    int deviceClosed;
    int diskCalls;
    std::uint32_t total;
};

class VolumeFallback : public VolumeQuery, public testing::WithParamInterface<FallbackCase> {};

TEST_P(VolumeFallback, DeviceFirstThenGetDiskFreeSpace)
{
    SKIP_WITHOUT_32BIT_DEVICE();
    const FallbackCase& c = GetParam();
    CChartView& v = Extended();
    fake->deviceOpens = c.deviceOpens;
    fake->delivered = c.delivered;
    fake->clearCarry = c.clearCarry;
    fake->diskResult = c.diskResult;
    EXPECT_EQ(Query(v), c.result);
    EXPECT_EQ(fake->deviceCalls, c.deviceCalls);
    EXPECT_EQ(fake->deviceClosed, c.deviceClosed) << "the device is closed exactly when it was opened";
    EXPECT_EQ(fake->diskCalls, c.diskCalls);
    if (c.result) {
        EXPECT_EQ(bytes, 4096u) << "8 x 512 on either path";
        EXPECT_EQ(total, c.total);
    }
    // A failure never turns the extended path off: the next query tries it again.
    EXPECT_EQ(v.useExtFreeSpace, 1);
    Query(v);
    EXPECT_EQ(fake->deviceCalls, 2 * c.deviceCalls);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, VolumeFallback,
    testing::Values(FallbackCase{"DeviceAnswers", true, TRUE, true, TRUE, 1, 1, 1, 0, 5000},
                    FallbackCase{"CarryLeftSet", true, TRUE, false, TRUE, 1, 1, 1, 1, 1000},
                    FallbackCase{"RequestNotDelivered", true, FALSE, true, TRUE, 1, 1, 1, 1, 1000},
                    FallbackCase{"DeviceDoesNotOpen", false, TRUE, true, TRUE, 1, 0, 0, 1, 1000},
                    FallbackCase{"BothFail", true, TRUE, false, FALSE, 0, 1, 1, 1, 0}),
    test::ByLabel());

TEST_F(VolumeQuery, NtFamilyUsesOnlyTheFreeSpaceCall)
{
    api = &test::InstallFakeVolume(fake);
    CChartView v(*api);
    EXPECT_EQ(Query(v), 1);
    EXPECT_EQ(fake->deviceOpened, 0);
    EXPECT_EQ(bytes, 4096u);
}

TEST(ExtFreeSpace, RecordIsZeroedAndSizedBeforeTheCall)
{
    SKIP_WITHOUT_32BIT_DEVICE();
    FakeVolume* fake;
    const VolumeApi& api = test::InstallFakeVolume(fake);
    fake->clearCarry = false;
    ExtFreeSpace record;
    std::memset(&record, 0xEE, sizeof record);
    EXPECT_EQ(QueryExtFreeSpace("D:\\", record, api), 0);
    // What the device was handed: the size, and every other byte zero.
    ExtFreeSpace expected;
    std::memset(&expected, 0, sizeof expected);
    expected.structSize = 44;
    EXPECT_EQ(std::memcmp(&fake->recordSeen, &expected, sizeof expected), 0);
}

TEST(ExtFreeSpace, FailedOpenLeavesTheRecordAlone)
{
    SKIP_WITHOUT_32BIT_DEVICE();
    FakeVolume* fake;
    const VolumeApi& api = test::InstallFakeVolume(fake);
    fake->deviceOpens = false;
    ExtFreeSpace record;
    std::memset(&record, 0xEE, sizeof record);
    EXPECT_EQ(QueryExtFreeSpace("D:\\", record, api), 0);
    EXPECT_EQ(record.structSize, 0xEEEE);
}

}  // namespace

namespace {

TEST(VolumeOnWindows98, ExtendedPathAnswersFromTheDevice)
{
    SKIP_WITHOUT_32BIT_DEVICE();
    // Wine plays Windows 98 for the probe alone.
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\voruta-win98-probe.exe", 0, nullptr,
                              0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("win98"), 6);
    RegCloseKey(key);

    test::ScratchDrive drive("mkdir a a/b && fallocate -l 5000 a/f && fallocate -l 3 a/b/g");
    ASSERT_TRUE(drive.Letter());
    std::string output;
    test::RunProgram("\"" + test::BuiltProgram("voruta-win98-probe.exe") + "\" " + drive.Letter(), output);
    // Its walk lists through the ANSI calls, which give no allocation: 10 + 1
    // clusters of 512 bytes for the files, one for each directory.
    EXPECT_NE(output.find("walk wide=0 files=2 dirs=2 bytes=5003 clusters=13 unlistable=0"), std::string::npos)
        << output;
    // The device is used, the fallback never, and the figures are the record's.
    EXPECT_NE(output.find("useExt=1 ext=1 result=1"), std::string::npos) << output;
    EXPECT_NE(output.find("device=1 disk=0"), std::string::npos) << output;
    unsigned spc = 0, bps = 0, freeCount = 0, total = 0, bytes = 0, f = 0, t = 0;
    const auto at = output.find("record=");
    ASSERT_NE(at, std::string::npos) << output;
    std::sscanf(output.c_str() + at, "record=%u,%u,%u,%u", &spc, &bps, &freeCount, &total);
    std::sscanf(output.c_str() + output.find("bytes="), "bytes=%u free=%u total=%u", &bytes, &f, &t);
    EXPECT_EQ(bytes, spc * bps);
    EXPECT_EQ(f, freeCount);
    EXPECT_EQ(t, total);
    EXPECT_GT(bytes, 0u);
}

}  // namespace
