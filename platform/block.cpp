// Page-committed storage for the growable array.
#include "platform/block.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

constexpr std::size_t pageBytes = 4096;
constexpr std::size_t granuleBytes = 64 * 1024;     // VirtualAlloc reserves in 64 KiB units
// Address space is cheap until committed. The first reservation takes three
// quarters of the largest block of address space that can be reserved, so
// that a table grows to the size of the address space without ever needing
// a second block beside the first; the last quarter and every other run stay
// for the rest of the program. In a 64-bit process it is capped.
constexpr std::size_t leastFirstReservation = 256u << 20;
constexpr std::size_t mostFirstReservation =
    sizeof(void*) > 4 ? static_cast<std::size_t>(16ull << 30) : static_cast<std::size_t>(-1);
// How far the largest reservation is looked for: a 64-bit process stops
// where three quarters reach the cap.
constexpr std::size_t mostProbed =
    sizeof(void*) > 4 ? static_cast<std::size_t>(22ull << 30) : static_cast<std::size_t>(-1);

std::size_t RoundUp(std::size_t n, std::size_t unit) noexcept
{
    if (n > static_cast<std::size_t>(-1) - (unit - 1))
        return 0;
    return (n + unit - 1) / unit * unit;
}

bool CanReserve(std::size_t size) noexcept
{
    void* block = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS);
    if (block)
        VirtualFree(block, 0, MEM_RELEASE);
    return block != nullptr;
}

// The largest block of address space a reservation gets now, to 64 KiB, up
// to `most`. Found by trying, since a platform may list a range as taken
// that it hands out on request (Wine, the upper half of a large-address-aware
// 32-bit process): halving until a reservation succeeds, then adding back
// halves of the step while they fit.
std::size_t LargestReservation(std::size_t most) noexcept
{
    SYSTEM_INFO system;
    GetSystemInfo(&system);
    const std::size_t span = reinterpret_cast<std::uintptr_t>(system.lpMaximumApplicationAddress) -
                             reinterpret_cast<std::uintptr_t>(system.lpMinimumApplicationAddress);
    std::size_t size = std::min(span, most) / granuleBytes * granuleBytes;
    while (size >= granuleBytes && !CanReserve(size))
        size = size / 2 / granuleBytes * granuleBytes;
    for (std::size_t step = size / 2 / granuleBytes * granuleBytes; size > 0 && step >= granuleBytes;
         step = step / 2 / granuleBytes * granuleBytes) {
        if (size + step <= most && CanReserve(size + step))
            size += step;
    }
    return size;
}

// Reserves at least `want` bytes and up to `most`, as much as can be had.
void* Reserve(std::size_t want, std::size_t most, std::size_t& size) noexcept
{
    want = RoundUp(want, granuleBytes);
    if (want == 0)
        return nullptr;
    for (size = most / granuleBytes * granuleBytes; size > want; size = size / 2 / granuleBytes * granuleBytes) {
        if (void* block = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS))
            return block;
    }
    size = want;
    return VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS);
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

    // The reservation is too small: take a larger one and move the live
    // bytes (only where the first one could not be had large enough).
    std::size_t size = 0;
    void* fresh = nullptr;
    if (want > largest) {
        fresh = nullptr;
    } else if (!base) {
        std::size_t most = LargestReservation(std::min(mostProbed, largest)) / 4 * 3;
        most = std::min(std::max(most, leastFirstReservation), std::min({mostFirstReservation, limit, largest}));
        fresh = Reserve(want, most, size);
    } else if (reserved <= (static_cast<std::size_t>(-1) >> 1)) {
        fresh = Reserve(want, std::min(std::max(reserved * 2, want), largest), size);
    } else {
        fresh = Reserve(want, want, size);
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
