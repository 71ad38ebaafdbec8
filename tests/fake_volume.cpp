// A volume seam whose answers the test sets.
#include "fake_volume.h"

#include "platform/app.h"

#include <cstring>

namespace test {
namespace {

FakeVolume state;

BOOL WINAPI FakeVersion(OSVERSIONINFOA* info)
{
    if (info->dwOSVersionInfoSize != 148)
        return FALSE;
    info->dwPlatformId = state.platformId;
    info->dwBuildNumber = state.buildNumber;
    return state.versionResult;
}

HANDLE WINAPI FakeCreate(const char* name, DWORD access, DWORD share, SECURITY_ATTRIBUTES*, DWORD disposition,
                         DWORD flags, HANDLE)
{
    state.lastDevice = name;
    state.lastAccess = access;
    state.lastShare = share;
    state.lastDisposition = disposition;
    state.lastFlags = flags;
    if (!state.deviceOpens)
        return INVALID_HANDLE_VALUE;
    ++state.deviceOpened;
    return reinterpret_cast<HANDLE>(0x1234);
}

BOOL WINAPI FakeIoControl(HANDLE, DWORD code, void* in, DWORD inBytes, void* out, DWORD outBytes, DWORD*,
                          OVERLAPPED*)
{
    ++state.deviceCalls;
    state.lastCode = code;
    if (in != out || inBytes != sizeof(DiocRegisters) || outBytes != sizeof(DiocRegisters))
        return FALSE;
    auto* regs = static_cast<DiocRegisters*>(in);
    state.lastRegisters = *regs;
    state.lastRoot = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(regs->edx));
    auto* record = reinterpret_cast<ExtFreeSpace*>(static_cast<std::uintptr_t>(regs->edi));
    state.recordSeen = *record;
    if (!state.delivered) {
        // The registers may even look good: only the failed call must count.
        if (state.clearCarry)
            regs->flags &= ~carryFlag;
        return FALSE;
    }
    const std::uint16_t size = record->structSize;
    *record = state.deviceAnswer;
    record->structSize = size;
    if (state.clearCarry)
        regs->flags &= ~carryFlag;
    return TRUE;
}

BOOL WINAPI FakeClose(HANDLE)
{
    ++state.deviceClosed;
    return TRUE;
}

BOOL WINAPI FakeDisk(const char* root, DWORD* spc, DWORD* bps, DWORD* freeCount, DWORD* totalCount)
{
    ++state.diskCalls;
    state.lastRoot = root;
    if (CWinApp* app = CWinApp::Current())
        state.waitDepthSeen = app->WaitCursorDepth();
    if (state.realDiskCheck) {
        DWORD a, b, c, d;
        if (!GetDiskFreeSpaceA(root, &a, &b, &c, &d))
            return FALSE;
    }
    if (!state.diskResult)
        return FALSE;
    *spc = state.sectorsPerCluster;
    *bps = state.bytesPerSector;
    *freeCount = state.freeClusters;
    *totalCount = state.totalClusters;
    return TRUE;
}

const VolumeApi fakeApi = {&FakeVersion, &FakeCreate, &FakeIoControl, &FakeClose, &FakeDisk};

}  // namespace

const VolumeApi& InstallFakeVolume(FakeVolume*& fake)
{
    state = FakeVolume{};
    fake = &state;
    return fakeApi;
}

}  // namespace test
