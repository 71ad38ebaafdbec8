// A set of 64-bit file ids, as the walk remembers the objects it has counted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Open addressing over the ids themselves; 0 is no id (it marks a free slot).
// Growth that the process cannot afford leaves the set as it is: the ids in
// it are still known, new ones are refused. No call throws.
class IdSet {
public:
    enum class Insertion { added, present, full };

    // `maxBytes` bounds the slots, as if memory ended there.
    explicit IdSet(std::size_t maxBytes = SIZE_MAX) noexcept : limit(maxBytes) {}

    // Remembers `id` (never 0): `present` when it was already, `full` when
    // there was no room to remember it.
    Insertion Insert(std::uint64_t id) noexcept;

    // Bytes the slots hold.
    std::size_t Bytes() const noexcept { return slots.capacity() * sizeof(std::uint64_t); }

private:
    static std::size_t Slot(const std::vector<std::uint64_t>& in, std::uint64_t id) noexcept;
    bool Grow() noexcept;

    std::vector<std::uint64_t> slots;  // a power of two of them
    std::size_t count = 0;
    std::size_t limit;
    bool cannotGrow = false;
};
