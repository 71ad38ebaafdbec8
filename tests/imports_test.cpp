// The shipped programs start on Windows XP: they import nothing from a DLL
// beyond the program's own dependencies, and no function that came later.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

// The DLLs the programs may load (all on every Windows they serve).
const std::set<std::string> allowedDlls = {"kernel32.dll", "user32.dll", "gdi32.dll",
                                           "comctl32.dll", "comdlg32.dll", "msvcrt.dll"};

// Functions of those DLLs, and of the run-time this toolchain could link in,
// that Windows XP lacks: its kernel, locale, synchronisation, file-by-handle,
// DPI and window-message calls of Vista and later, and the common controls'
// subclass calls, which before XP are exported by ordinal only.
const std::set<std::string> newerThanXp = {
    "GetTickCount64", "InitializeSRWLock", "AcquireSRWLockExclusive", "AcquireSRWLockShared",
    "ReleaseSRWLockExclusive", "ReleaseSRWLockShared", "TryAcquireSRWLockExclusive", "InitializeConditionVariable",
    "SleepConditionVariableCS", "SleepConditionVariableSRW", "WakeConditionVariable", "WakeAllConditionVariable",
    "InitOnceExecuteOnce", "InitOnceBeginInitialize", "InitOnceComplete", "InitializeCriticalSectionEx",
    "CreateEventExA", "CreateEventExW", "CreateMutexExW", "CreateSemaphoreExW", "FlsAlloc", "FlsFree",
    "FlsGetValue", "FlsSetValue", "GetFileInformationByHandleEx", "SetFileInformationByHandle", "OpenFileById",
    "GetFinalPathNameByHandleA", "GetFinalPathNameByHandleW", "CreateSymbolicLinkA", "CreateSymbolicLinkW",
    "CreateFile2", "GetLocaleInfoEx", "LCIDToLocaleName", "LocaleNameToLCID", "GetUserDefaultLocaleName",
    "CompareStringEx", "LCMapStringEx", "GetSystemTimePreciseAsFileTime", "GetCurrentProcessorNumber",
    "QueryFullProcessImageNameW", "GetErrorMode", "SetThreadErrorMode", "CancelIoEx", "SetProcessDPIAware",
    "SetProcessDpiAwarenessContext", "GetDpiForWindow", "GetDpiForSystem", "ChangeWindowMessageFilter",
    "ChangeWindowMessageFilterEx", "AddClipboardFormatListener", "SetWindowSubclass", "DefSubclassProc",
    "RemoveWindowSubclass", "GetWindowSubclass", "TaskDialogIndirect", "TaskDialog"};

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

// The imports of a PE file, as "dll!function" (lower-case DLL names; "#N"
// for a function imported by ordinal). Empty when the file is no PE image.
std::vector<std::string> Imports(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> file{std::istreambuf_iterator<char>(in), {}};
    auto at = [&](std::size_t offset, std::size_t bytes) { return offset + bytes <= file.size(); };
    IMAGE_DOS_HEADER dos;
    if (!at(0, sizeof dos))
        return {};
    std::memcpy(&dos, file.data(), sizeof dos);
    IMAGE_NT_HEADERS32 nt;
    const std::size_t ntAt = static_cast<std::size_t>(dos.e_lfanew);
    if (dos.e_magic != IMAGE_DOS_SIGNATURE || !at(ntAt, sizeof nt))
        return {};
    std::memcpy(&nt, file.data() + ntAt, sizeof nt);
    // The 64-bit fallback build has the larger optional header.
    const bool pe64 = nt.OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    IMAGE_DATA_DIRECTORY imports;
    if (pe64) {
        IMAGE_NT_HEADERS64 nt64;
        if (!at(ntAt, sizeof nt64))
            return {};
        std::memcpy(&nt64, file.data() + ntAt, sizeof nt64);
        imports = nt64.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    } else {
        imports = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    }
    const std::size_t sectionsAt = ntAt + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) + nt.FileHeader.SizeOfOptionalHeader;
    std::vector<IMAGE_SECTION_HEADER> sections(nt.FileHeader.NumberOfSections);
    if (!at(sectionsAt, sections.size() * sizeof(IMAGE_SECTION_HEADER)))
        return {};
    std::memcpy(sections.data(), file.data() + sectionsAt, sections.size() * sizeof(IMAGE_SECTION_HEADER));
    auto offsetOf = [&](DWORD rva) -> std::size_t {
        for (const IMAGE_SECTION_HEADER& s : sections)
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + s.SizeOfRawData)
                return rva - s.VirtualAddress + s.PointerToRawData;
        return file.size();
    };
    auto text = [&](DWORD rva) {
        const std::size_t offset = offsetOf(rva);
        return offset < file.size() ? std::string(reinterpret_cast<const char*>(file.data() + offset),
                                                  strnlen(reinterpret_cast<const char*>(file.data() + offset),
                                                          file.size() - offset))
                                    : std::string();
    };

    std::vector<std::string> result;
    for (std::size_t d = offsetOf(imports.VirtualAddress); at(d, sizeof(IMAGE_IMPORT_DESCRIPTOR));
         d += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR descriptor;
        std::memcpy(&descriptor, file.data() + d, sizeof descriptor);
        if (descriptor.Name == 0)
            break;
        const std::string dll = Lower(text(descriptor.Name));
        const std::size_t thunkBytes = pe64 ? 8 : 4;
        DWORD thunks = descriptor.OriginalFirstThunk ? descriptor.OriginalFirstThunk : descriptor.FirstThunk;
        for (std::size_t t = offsetOf(thunks); at(t, thunkBytes); t += thunkBytes) {
            unsigned long long thunk = 0;
            std::memcpy(&thunk, file.data() + t, thunkBytes);
            if (thunk == 0)
                break;
            const bool byOrdinal = pe64 ? (thunk >> 63) != 0 : (thunk >> 31) != 0;
            result.push_back(dll + "!" +
                             (byOrdinal ? "#" + std::to_string(thunk & 0xFFFF)
                                        : text(static_cast<DWORD>(thunk) + 2)));  // past the hint
        }
    }
    return result;
}

class ShippedProgram : public testing::TestWithParam<const char*> {};

TEST_P(ShippedProgram, ImportsNothingNewerThanWindowsXp)
{
    const std::vector<std::string> imports = Imports(std::string("Z:" VORUTA_BINARY_DIR "/") + GetParam());
    ASSERT_GT(imports.size(), 50u) << "the import table is read";
    EXPECT_NE(std::find(imports.begin(), imports.end(), "kernel32.dll!CreateFileW"), imports.end());
    for (const std::string& import : imports) {
        const std::string dll = import.substr(0, import.find('!'));
        EXPECT_TRUE(allowedDlls.count(dll)) << import;
        EXPECT_FALSE(newerThanXp.count(import.substr(import.find('!') + 1))) << import;
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, ShippedProgram, testing::Values("voruta.exe", "voruta-dump.exe"),
                         [](const testing::TestParamInfo<const char*>& p) {
                             return std::string(p.param) == "voruta.exe" ? "Program" : "Dump";
                         });

}  // namespace
