// The shipped programs start on Windows XP: they import nothing from a DLL
// beyond the program's own dependencies, and no function that came later.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <set>
#include <string>
#include <vector>

namespace {

// Functions of the allowed DLLs, and of the run-time this toolchain could
// link in, that Windows XP lacks (Vista's kernel, locale, synchronisation,
// file-by-handle, DPI and message-filter calls), and the common controls'
// subclass calls, exported by name only from XP on.
const std::set<std::string> newerThanXp = {
    "GetTickCount64", "InitializeSRWLock", "AcquireSRWLockExclusive", "AcquireSRWLockShared", "ReleaseSRWLockExclusive",
    "ReleaseSRWLockShared", "InitializeConditionVariable", "SleepConditionVariableCS", "SleepConditionVariableSRW",
    "WakeConditionVariable", "WakeAllConditionVariable", "InitOnceExecuteOnce", "InitOnceBeginInitialize",
    "InitializeCriticalSectionEx", "CreateEventExW", "CreateMutexExW", "CreateSemaphoreExW", "FlsAlloc", "FlsGetValue",
    "FlsSetValue", "GetFileInformationByHandleEx", "SetFileInformationByHandle", "OpenFileById",
    "GetFinalPathNameByHandleW", "CreateSymbolicLinkW", "CreateFile2", "GetLocaleInfoEx", "LCIDToLocaleName",
    "LocaleNameToLCID", "CompareStringEx", "LCMapStringEx", "GetSystemTimePreciseAsFileTime", "GetErrorMode",
    "QueryFullProcessImageNameW", "CancelIoEx", "SetProcessDPIAware", "SetProcessDpiAwarenessContext",
    "GetDpiForWindow", "ChangeWindowMessageFilter", "ChangeWindowMessageFilterEx", "SetWindowSubclass",
    "DefSubclassProc", "RemoveWindowSubclass", "GetWindowSubclass", "TaskDialogIndirect"};

// The imports of a program, as "dll!function" (DLL names in lower case; "#N"
// for one imported by ordinal). The loader maps the file as an image without
// running or binding it, so the import directory is at its relative address.
std::vector<std::string> Imports(const std::string& path)
{
    constexpr DWORD asImageResource = 0x20;  // LOAD_LIBRARY_AS_IMAGE_RESOURCE, Vista on
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, asImageResource);
    if (!module)
        return {};
    const auto* base = reinterpret_cast<const char*>(reinterpret_cast<ULONG_PTR>(module) & ~ULONG_PTR{3});
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const DWORD directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    std::vector<std::string> result;
    for (auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory); directory && d->Name; ++d) {
        std::string dll = base + d->Name;
        for (char& c : dll)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const DWORD thunks = d->OriginalFirstThunk ? d->OriginalFirstThunk : d->FirstThunk;
        for (auto* t = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + thunks); t->u1.AddressOfData; ++t)
            result.push_back(dll + "!" +
                             (IMAGE_SNAP_BY_ORDINAL(t->u1.Ordinal)
                                  ? "#" + std::to_string(IMAGE_ORDINAL(t->u1.Ordinal))
                                  : std::string(reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + t->u1.AddressOfData)->Name)));
    }
    FreeLibrary(module);
    return result;
}

class ShippedProgram : public testing::TestWithParam<const char*> {};

TEST_P(ShippedProgram, ImportsNothingNewerThanWindowsXp)
{
    const std::set<std::string> dlls = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "comdlg32.dll",
                                        "msvcrt.dll"};
    const std::vector<std::string> imports = Imports(std::string("Z:" VORUTA_BINARY_DIR "/") + GetParam() + ".exe");
    ASSERT_GT(imports.size(), 50u) << "the import table is read";
    EXPECT_EQ(std::count(imports.begin(), imports.end(), "kernel32.dll!CreateFileW"), 1);
    for (const std::string& import : imports) {
        EXPECT_TRUE(dlls.count(import.substr(0, import.find('!')))) << import;
        EXPECT_FALSE(newerThanXp.count(import.substr(import.find('!') + 1))) << import;
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, ShippedProgram, testing::Values("voruta", "voruta-dump"),
                         [](const testing::TestParamInfo<const char*>& p) {
                             return std::string(p.param) == "voruta" ? "Program" : "Dump";
                         });

}  // namespace
