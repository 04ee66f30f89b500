#include "base/platform/PrivateMemory.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <sys/mman.h>
#include <vector>

#ifndef MADV_COLLAPSE
#define MADV_COLLAPSE 25  // Linux 6.1
#endif

namespace {
constexpr uintptr_t kHugePage = 2 << 20;
}  // namespace

PrivateMemory PrivateMemory::Now()
{
    PrivateMemory memory;
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        unsigned long begin = 0;
        unsigned long end = 0;
        char permissions[5] = {};
        unsigned long offset = 0;
        char device[32] = {};
        unsigned long inode = 0;
        int named = 0;
        if (std::sscanf(line.c_str(), "%lx-%lx %4s %lx %31s %lu %n", &begin, &end, permissions, &offset, device, &inode, &named) < 6)
            continue;
        // "[heap]" is the main heap; other names ("[stack]", "[vvar]") are not malloc's.
        const std::string name = named > 0 ? line.substr(static_cast<size_t>(named)) : "";
        if (inode == 0 && std::string(permissions) == "rw-p" && (name.empty() || name == "[heap]"))
            memory.ranges[begin] = end;
    }
    return memory;
}

size_t PrivateMemory::MoveToHugePagesSince(const PrivateMemory& before) const
{
    // What is here and was not there: the kernel merges a new block with its neighbours, so a
    // range can have grown at either end.
    std::vector<std::pair<uintptr_t, uintptr_t>> added;
    for (const auto& [first, last] : ranges) {
        uintptr_t begin = first;
        const uintptr_t end = last;
        auto old = before.ranges.upper_bound(begin);
        if (old != before.ranges.begin())
            --old;
        for (; old != before.ranges.end() && old->first < end && begin < end; ++old) {
            if (old->second <= begin)
                continue;
            if (old->first > begin)
                added.emplace_back(begin, old->first);
            begin = std::max(begin, old->second);
        }
        if (begin < end)
            added.emplace_back(begin, end);
    }
    size_t advised = 0;
    for (const auto& [begin, end] : added) {
        if (end - begin < kHugePage)
            continue;
        void* start = reinterpret_cast<void*>(begin);
        if (madvise(start, end - begin, MADV_HUGEPAGE) != 0)
            continue;
        // Only the whole huge pages inside are moved; where the kernel cannot, its scanner may later.
        madvise(start, end - begin, MADV_COLLAPSE);
        advised += end - begin;
    }
    return advised;
}
