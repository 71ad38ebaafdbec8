// The real names of entries whose shown name differs from them.
#include "analysis/names.h"

#include <algorithm>

void RealNames::Clear() noexcept
{
    std::vector<std::int32_t>().swap(indices);
    std::vector<std::uint32_t>().swap(offsets);
    std::wstring().swap(pool);
}

void RealNames::Add(std::int32_t index, const wchar_t* name, std::size_t length)
{
    indices.push_back(index);
    offsets.push_back(static_cast<std::uint32_t>(pool.size()));
    pool.append(name, length);
    pool.push_back(L'\0');
}

const wchar_t* RealNames::Find(std::int32_t index) const noexcept
{
    const auto at = std::lower_bound(indices.begin(), indices.end(), index);
    if (at == indices.end() || *at != index)
        return nullptr;
    return pool.c_str() + offsets[static_cast<std::size_t>(at - indices.begin())];
}
