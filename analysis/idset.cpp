// The walk's set of file ids.
#include "analysis/idset.h"

#include <new>

namespace {

constexpr std::size_t firstSlots = 1024;

}  // namespace

// The slot holding `id`, or the free slot where it would go. Fibonacci
// hashing spreads ids that count up (record numbers) over the table.
std::size_t IdSet::Slot(const std::vector<std::uint64_t>& in, std::uint64_t id) noexcept
{
    const std::size_t mask = in.size() - 1;
    std::size_t i = static_cast<std::size_t>((id * 0x9E3779B97F4A7C15ull) >> 32) & mask;
    while (in[i] != 0 && in[i] != id)
        i = (i + 1) & mask;
    return i;
}

bool IdSet::Grow() noexcept
{
    const std::size_t size = slots.empty() ? firstSlots : slots.size() * 2;
    if (cannotGrow || size > limit / sizeof(std::uint64_t))
        return false;
    try {
        std::vector<std::uint64_t> larger(size, 0);
        for (const std::uint64_t id : slots)
            if (id != 0)
                larger[Slot(larger, id)] = id;
        slots.swap(larger);
        return true;
    } catch (const std::bad_alloc&) {
        cannotGrow = true;
        return false;
    }
}

IdSet::Insertion IdSet::Insert(std::uint64_t id) noexcept
{
    // At most 70% of the slots in use keeps the runs of linear probing short.
    if ((count + 1) * 10 > slots.size() * 7 && !Grow()) {
        if (slots.empty() || slots[Slot(slots, id)] != id)
            return Insertion::full;
        return Insertion::present;
    }
    std::uint64_t& slot = slots[Slot(slots, id)];
    if (slot == id)
        return Insertion::present;
    slot = id;
    ++count;
    return Insertion::added;
}
