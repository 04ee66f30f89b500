#pragma once

#include <cstddef>
#include <cstdint>
#include <map>

// The process's private writable memory that is no file's (the heaps, malloc's large blocks), as
// the kernel lists it. Taken before and after a step, it tells where the step's allocations went.
class PrivateMemory {
public:
    static PrivateMemory Now();

    // Asks the kernel to back what is new since `before`, in stretches of 2 MB and more, with huge
    // pages, and to move what is there already onto them now rather than some minutes later: a
    // large table read at random (a language model) otherwise spends much of its time looking up
    // where its 4 kB pages lie. Returns the bytes asked for. Where the kernel gives huge pages to
    // nobody, or cannot move pages at once, it changes nothing or less.
    size_t MoveToHugePagesSince(const PrivateMemory& before) const;

private:
    std::map<uintptr_t, uintptr_t> ranges;  // begin -> end, in order
};
