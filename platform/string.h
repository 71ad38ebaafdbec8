// Growable 8-bit string.
#pragma once

#include <cstdarg>
#include <string>

// A growable NUL-terminated 8-bit string (CP932 text) with printf-style
// formatting and appending.
class CString final {
public:
    CString() = default;
    CString(const char* value) : text(value ? value : "") {}  // NOLINT: implicit like the classic class
    CString(const char* value, int length) : text(value, static_cast<std::size_t>(length)) {}

    int GetLength() const noexcept { return static_cast<int>(text.size()); }
    bool IsEmpty() const noexcept { return text.empty(); }
    char operator[](int index) const noexcept { return text[static_cast<std::size_t>(index)]; }
    operator const char*() const noexcept { return text.c_str(); }  // NOLINT: the classic conversion
    const char* c_str() const noexcept { return text.c_str(); }
    const std::string& str() const noexcept { return text; }

    void Empty() noexcept { text.clear(); }
    CString& operator+=(const char* more) { text += more ? more : ""; return *this; }
    CString& operator+=(const CString& more) { text += more.text; return *this; }
    CString& operator+=(char c) { text += c; return *this; }
    bool operator==(const char* other) const noexcept { return text == (other ? other : ""); }

    // Replaces the text with the formatted one.
    void Format(const char* format, ...) __attribute__((format(__MINGW_PRINTF_FORMAT, 2, 3)));
    // Appends the formatted text.
    void AppendFormat(const char* format, ...) __attribute__((format(__MINGW_PRINTF_FORMAT, 2, 3)));
    void AppendFormatV(const char* format, va_list args);

    // Writes at most `size` - 1 bytes and a NUL into `buffer`, never more.
    void CopyTo(char* buffer, int size) const noexcept;

private:
    std::string text;
};
