// Growable array of plain records.
#pragma once

#include "platform/block.h"
#include "platform/object.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

// A growable array of trivially copyable records held by value in one
// contiguous block and indexed from 0. It keeps three counts: size (valid
// records), capacity (records the storage holds) and grow step (how far the
// capacity grows when it must). Every record is all zero bytes when it enters
// the valid range. The capacity figures follow the classic rule (see Resize);
// the bytes behind them live in a page-committed reservation, so growing
// does not copy the whole array at every step.
template <class T>
class CArray : public CObject {
    static_assert(std::is_trivially_copyable_v<T>, "records are copied and zeroed as bytes");

public:
    CArray() noexcept = default;
    CArray(const CArray&) = delete;
    CArray& operator=(const CArray&) = delete;
    ~CArray() override = default;

    // Sets the size to `count` (0 or more); `growBy` other than -1 becomes the
    // grow step. Throws std::bad_alloc, with nothing changed, when storage for
    // a larger capacity cannot be had.
    void Resize(std::int32_t count, std::int32_t growBy)
    {
        if (growBy != -1)
            growStep = growBy;
        if (count < 0)
            return;
        if (count == 0) {
            block.Release();
            size = 0;
            capacity = 0;
            return;
        }
        if (capacity == 0) {
            // First storage: exactly `count` records, whatever the grow step.
            Commit(count);
            std::memset(block.Data(), 0, Bytes(count));
            size = count;
            capacity = count;
            return;
        }
        if (count <= capacity) {
            if (count > size)
                std::memset(Records() + size, 0, Bytes(count - size));
            size = count;
            return;
        }
        std::int32_t step = growStep;
        if (step == 0) {
            step = size / 8;
            if (step < 4)
                step = 4;
            if (step > 1024)
                step = 1024;
        }
        std::int64_t wanted = std::int64_t{capacity} + (step > 0 ? step : 0);
        if (wanted < count)
            wanted = count;
        if (wanted > INT32_MAX)
            wanted = count;
        const auto newCapacity = static_cast<std::int32_t>(wanted);
        Commit(newCapacity);
        std::memset(Records() + size, 0, Bytes(count - size));
        size = count;
        capacity = newCapacity;
    }

    // Copies the whole record to a new last position and returns its index.
    std::int32_t Append(const T& record)
    {
        const std::int32_t index = size;
        Resize(size + 1, -1);
        std::memcpy(static_cast<void*>(Records() + index), &record, sizeof(T));
        return index;
    }

    // No bounds check: 0 <= index < Count(). The reference lasts until the
    // next Append or Resize.
    T& At(std::int32_t index) noexcept { return Records()[index]; }
    const T& At(std::int32_t index) const noexcept { return Records()[index]; }

    std::int32_t Count() const noexcept { return size; }
    std::int32_t Capacity() const noexcept { return capacity; }
    std::int32_t GrowStep() const noexcept { return growStep; }

    // Storage diagnostics for tests and benchmarks.
    CReservedBlock& Storage() noexcept { return block; }
    const CReservedBlock& Storage() const noexcept { return block; }

private:
    static std::size_t Bytes(std::int64_t n) noexcept { return static_cast<std::size_t>(n) * sizeof(T); }
    T* Records() const noexcept { return static_cast<T*>(block.Data()); }

    void Commit(std::int64_t records)
    {
        if (static_cast<std::uint64_t>(records) > SIZE_MAX / sizeof(T)
            || !block.Grow(Bytes(records), Bytes(size)))
            throw std::bad_alloc();
    }

    CReservedBlock block;
    std::int32_t size = 0;
    std::int32_t capacity = 0;
    std::int32_t growStep = 0;
};
