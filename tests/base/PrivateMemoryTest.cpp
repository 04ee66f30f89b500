#include "base/platform/PrivateMemory.h"

#include <cstring>
#include <gtest/gtest.h>
#include <sys/mman.h>

// Only what came since is asked onto huge pages, even where the kernel lists it as one range with
// what was there before: the rest of the process keeps its pages.
TEST(PrivateMemory, OnlyWhatWasAllocatedSinceIsMovedToHugePages)
{
    constexpr size_t kMb = 1 << 20;
    constexpr int kProtection = PROT_READ | PROT_WRITE;
    constexpr int kFlags = MAP_PRIVATE | MAP_ANONYMOUS;
    // 12 MB reserved, the lower 4 given back: the next block goes there, against the 8 MB above.
    char* lower = static_cast<char*>(mmap(nullptr, 12 * kMb, kProtection, kFlags, -1, 0));
    ASSERT_NE(lower, MAP_FAILED);
    ASSERT_EQ(munmap(lower, 4 * kMb), 0);
    std::memset(lower + 4 * kMb, 1, 8 * kMb);

    const PrivateMemory before = PrivateMemory::Now();
    ASSERT_EQ(mmap(lower, 4 * kMb, kProtection, kFlags | MAP_FIXED_NOREPLACE, -1, 0), lower);
    std::memset(lower, 2, 4 * kMb);
    EXPECT_EQ(PrivateMemory::Now().MoveToHugePagesSince(before), 4 * kMb);
    // Nothing new since: nothing to move.
    EXPECT_EQ(PrivateMemory::Now().MoveToHugePagesSince(PrivateMemory::Now()), 0u);
    EXPECT_EQ(lower[0] + lower[12 * kMb - 1], 3);
    munmap(lower, 12 * kMb);
}
