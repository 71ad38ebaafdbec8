// The platform's directory listing.
#include "analysis/listing.h"

#include <cstring>

namespace {

// Converts a listed wide name into the ANSI code page without best fit;
// `exact` is false where any character had no exact spelling.
void ConvertName(const wchar_t* wide, char* out, int outBytes, bool& exact)
{
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, out, outBytes, nullptr, &usedDefault);
    if (n <= 0) {
        out[0] = '\0';
        exact = false;
        return;
    }
    exact = !usedDefault;
}

void FromWide(const WIN32_FIND_DATAW& data, ListedItem& item)
{
    item.attributes = data.dwFileAttributes;
    item.sizeHigh = data.nFileSizeHigh;
    item.sizeLow = data.nFileSizeLow;
    ConvertName(data.cFileName, item.name, sizeof item.name, item.exact);
    bool shortExact = false;
    ConvertName(data.cAlternateFileName, item.shortName, sizeof item.shortName, shortExact);
    if (!shortExact)
        item.shortName[0] = '\0';
}

void FromAnsi(const WIN32_FIND_DATAA& data, ListedItem& item)
{
    item.attributes = data.dwFileAttributes;
    item.sizeHigh = data.nFileSizeHigh;
    item.sizeLow = data.nFileSizeLow;
    // The ANSI listing gives "?" for what the code page lacks; best fit
    // cannot be told apart here.
    std::memcpy(item.name, data.cFileName, sizeof data.cFileName);
    item.exact = std::strchr(data.cFileName, '?') == nullptr;
    std::memcpy(item.shortName, data.cAlternateFileName, sizeof data.cAlternateFileName);
}

// Search handles are multiples of 4; the low bit tells which API made one.
constexpr DirectoryLister::Handle ansiBit = 1;

DirectoryLister::Handle Wrap(HANDLE search, bool ansi)
{
    return reinterpret_cast<DirectoryLister::Handle>(search) | (ansi ? ansiBit : 0);
}

HANDLE Unwrap(DirectoryLister::Handle listing)
{
    return reinterpret_cast<HANDLE>(listing & ~ansiBit);
}

}  // namespace

DirectoryLister::Handle Win32DirectoryLister::Open(const char* pattern, ListedItem& item)
{
    if (!ansiOnly) {
        wchar_t widePattern[MAX_PATH + 1];
        if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, pattern, -1, widePattern, MAX_PATH + 1) <= 0)
            return none;
        WIN32_FIND_DATAW data;
        HANDLE search = FindFirstFileW(widePattern, &data);
        if (search != INVALID_HANDLE_VALUE) {
            FromWide(data, item);
            return Wrap(search, false);
        }
        if (GetLastError() != ERROR_CALL_NOT_IMPLEMENTED)
            return none;
        ansiOnly = true;
    }
    WIN32_FIND_DATAA data;
    std::memset(&data, 0, sizeof data);
    HANDLE search = FindFirstFileA(pattern, &data);
    if (search == INVALID_HANDLE_VALUE)
        return none;
    FromAnsi(data, item);
    return Wrap(search, true);
}

bool Win32DirectoryLister::Next(Handle listing, ListedItem& item)
{
    HANDLE search = Unwrap(listing);
    if (listing & ansiBit) {
        WIN32_FIND_DATAA data;
        if (!FindNextFileA(search, &data))
            return false;
        FromAnsi(data, item);
        return true;
    }
    WIN32_FIND_DATAW data;
    if (!FindNextFileW(search, &data))
        return false;
    FromWide(data, item);
    return true;
}

void Win32DirectoryLister::Close(Handle listing)
{
    FindClose(Unwrap(listing));
}
