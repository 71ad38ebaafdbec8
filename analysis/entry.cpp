// One directory of the scanned drive.
#include "analysis/entry.h"

#include <cstring>

void Entry::Clear() noexcept
{
    std::memset(name, 0, sizeof name);
    parent = -1;
    nextSibling = -1;
    firstChild = -1;
    clusters = 0;
    files = 0;
    dirs = 0;
    bytes = 0;
    slack = 0;
}
