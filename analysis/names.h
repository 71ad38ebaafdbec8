// The real names of the directories whose entry name is not their name as
// spelled on disk (a character the code page lacks, or a name shown by its
// 8.3 form), kept beside the entry table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class RealNames {
public:
    // Forgets every name and gives their memory back: a drive whose names
    // are all exact holds nothing here.
    void Clear() noexcept;
    // Notes the real name of entry `index`; indices come in increasing order,
    // as the walk appends entries.
    void Add(std::int32_t index, const wchar_t* name, std::size_t length);
    // The real name of entry `index`, or null when the entry's name is it.
    const wchar_t* Find(std::int32_t index) const noexcept;

    std::size_t Count() const noexcept { return indices.size(); }
    // Bytes held for the names and their index.
    std::size_t Bytes() const noexcept
    {
        return indices.capacity() * sizeof(std::int32_t) + offsets.capacity() * sizeof(std::uint32_t) +
               pool.capacity() * sizeof(wchar_t);
    }

private:
    std::vector<std::int32_t> indices;
    std::vector<std::uint32_t> offsets;  // into pool, each name NUL-terminated
    std::wstring pool;
};
