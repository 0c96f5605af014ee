#include "platform/MemoryProbe.h"

#include <cstdint>
#include <cstdio>

namespace platform {

namespace {

// Walks /proc/self/maps and checks that the mapped regions with the wanted permission cover the
// whole range without a gap.
bool rangeHasAccess(const void* address, std::size_t size, char permission, int column) {
    if (size == 0) return true;
    if (!address) return false;
    auto begin = reinterpret_cast<std::uintptr_t>(address);
    if (begin + size < begin) return false;
    const std::uintptr_t end = begin + size;

    std::FILE* maps = std::fopen("/proc/self/maps", "r");
    if (!maps) return false;
    char line[512];
    std::uintptr_t covered = begin;
    while (covered < end && std::fgets(line, sizeof line, maps)) {
        unsigned long low = 0, high = 0;
        char perms[5] = {};
        if (std::sscanf(line, "%lx-%lx %4s", &low, &high, perms) != 3) continue;
        if (covered >= low && covered < high) {
            if (perms[column] != permission) break;
            covered = high;
        }
    }
    std::fclose(maps);
    return covered >= end;
}

}  // namespace

bool isReadable(const void* address, std::size_t size) { return rangeHasAccess(address, size, 'r', 0); }

bool isWritable(void* address, std::size_t size) { return rangeHasAccess(address, size, 'w', 1); }

}  // namespace platform
