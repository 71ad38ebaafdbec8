// Page-committed storage for the growable array.
#include "platform/block.h"

#include <windows.h>

#include <cstring>

namespace {

constexpr std::size_t pageBytes = 4096;
constexpr std::size_t granuleBytes = 64 * 1024;     // VirtualAlloc reserves in 64 KiB units
// Address space is cheap until committed: one reservation serves some 800,000
// entries without ever moving them.
constexpr std::size_t firstReservation = 256u << 20;

std::size_t RoundUp(std::size_t n, std::size_t unit) noexcept
{
    if (n > static_cast<std::size_t>(-1) - (unit - 1))
        return 0;
    return (n + unit - 1) / unit * unit;
}

}  // namespace

bool CReservedBlock::Grow(std::size_t bytes, std::size_t liveBytes) noexcept
{
    if (bytes > limit)
        return false;
    const std::size_t want = RoundUp(bytes, pageBytes);
    if (want == 0 && bytes != 0)
        return false;
    if (want <= committed)
        return true;

    if (want <= reserved) {
        // Commit only the pages added; what is already there stays put.
        auto* from = static_cast<char*>(base) + committed;
        if (!VirtualAlloc(from, want - committed, MEM_COMMIT, PAGE_READWRITE))
            return false;
        committed = want;
        return true;
    }

    // The reservation is too small: take a larger one and move the live bytes.
    std::size_t size = reserved ? reserved : firstReservation;
    while (size < want && size <= (static_cast<std::size_t>(-1) >> 1))
        size *= 2;
    size = RoundUp(size < want ? want : size, granuleBytes);
    void* fresh = size ? VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS) : nullptr;
    if (!fresh && size > want) {
        // Address space is scarce in a 32-bit process: settle for what is needed.
        size = RoundUp(want, granuleBytes);
        fresh = size ? VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS) : nullptr;
    }
    if (!fresh)
        return false;
    if (!VirtualAlloc(fresh, want, MEM_COMMIT, PAGE_READWRITE)) {
        VirtualFree(fresh, 0, MEM_RELEASE);
        return false;
    }
    if (base && liveBytes) {
        std::memcpy(fresh, base, liveBytes);
        moved += liveBytes;
    }
    if (base)
        VirtualFree(base, 0, MEM_RELEASE);
    base = fresh;
    reserved = size;
    committed = want;
    return true;
}

void CReservedBlock::Release() noexcept
{
    if (base)
        VirtualFree(base, 0, MEM_RELEASE);
    base = nullptr;
    reserved = 0;
    committed = 0;
}
