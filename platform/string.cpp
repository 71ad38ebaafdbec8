// Growable 8-bit string.
#include "platform/string.h"

#include <cstdio>
#include <cstring>

void CString::Format(const char* format, ...)
{
    text.clear();
    va_list args;
    va_start(args, format);
    AppendFormatV(format, args);
    va_end(args);
}

void CString::AppendFormat(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    AppendFormatV(format, args);
    va_end(args);
}

void CString::AppendFormatV(const char* format, va_list args)
{
    va_list probe;
    va_copy(probe, args);
    const int length = std::vsnprintf(nullptr, 0, format, probe);
    va_end(probe);
    if (length <= 0)
        return;
    const std::size_t old = text.size();
    text.resize(old + static_cast<std::size_t>(length) + 1);
    std::vsnprintf(text.data() + old, static_cast<std::size_t>(length) + 1, format, args);
    text.resize(old + static_cast<std::size_t>(length));
}

void CString::CopyTo(char* buffer, int size) const noexcept
{
    if (!buffer || size <= 0)
        return;
    std::size_t n = text.size();
    if (n > static_cast<std::size_t>(size - 1))
        n = static_cast<std::size_t>(size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}
