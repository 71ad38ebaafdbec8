// Page-committed storage for the growable array.
#pragma once

#include <cstddef>

// A block of address space that is reserved once and committed page by page
// as it is asked to hold more. The first reservation is most of the largest
// block of address space that a reservation can get, so growing never moves
// the bytes already held and never needs two large blocks at once; only
// where that could not be had is a new reservation (up to twice as large)
// taken and the live bytes copied over. Committed pages read as zero.
class CReservedBlock final {
public:
    CReservedBlock() noexcept = default;
    ~CReservedBlock() { Release(); }
    CReservedBlock(const CReservedBlock&) = delete;
    CReservedBlock& operator=(const CReservedBlock&) = delete;

    void* Data() const noexcept { return base; }
    std::size_t Committed() const noexcept { return committed; }
    std::size_t Reserved() const noexcept { return reserved; }

    // Makes at least `bytes` usable, keeping the first `liveBytes`. Returns
    // false, with nothing changed, when the address space or the memory
    // cannot be had or `bytes` exceeds the limit.
    bool Grow(std::size_t bytes, std::size_t liveBytes) noexcept;
    void Release() noexcept;

    // Largest size Grow grants; lets tests run out of storage on purpose.
    void SetLimit(std::size_t bytes) noexcept { limit = bytes; }
    std::size_t Limit() const noexcept { return limit; }

    // Largest block of address space a reservation gets, as if the rest
    // were taken: lets tests run a 64-bit process out of address space.
    void SetLargestReservation(std::size_t bytes) noexcept { largest = bytes; }

    // Bytes copied because a reservation had to move, since construction.
    std::size_t MovedBytes() const noexcept { return moved; }

private:
    void* base = nullptr;
    std::size_t reserved = 0;
    std::size_t committed = 0;
    std::size_t limit = static_cast<std::size_t>(-1);
    std::size_t largest = static_cast<std::size_t>(-1);
    std::size_t moved = 0;
};
