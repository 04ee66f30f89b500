#pragma once

#include <mutex>

// A shared library opened on the first call into it rather than when the program starts. The
// dynamic loader binds every symbol of every library a program links before main runs, and the
// libraries that only some runs or only later steps need should not delay each start (and so
// the first window). The program keeps calling the library's functions as declared in its
// header; stand-in definitions of those functions (LibZip.cpp, LibCrypto.cpp) find the real
// ones here. The stand-ins are hidden, so that the program exports none of them: a library
// opened later, or the library itself, binds to the real functions, never to a stand-in.
class LazyLibrary {
public:
    explicit LazyLibrary(const char* soname) : soname_(soname) {}
    LazyLibrary(const LazyLibrary&) = delete;
    LazyLibrary& operator=(const LazyLibrary&) = delete;

    // The library's definition of `name`, opening the library first if need be; null when the
    // library cannot be opened or lacks the name (both logged). Any thread.
    void* Find(const char* name);

private:
    void* Handle();

    const char* const soname_;
    std::once_flag opened_;
    void* handle_ = nullptr;
};

// Inside a stand-in: `real`, the library's own definition of `function`, looked up on the first
// call (null when there is none; the stand-in then fails as the function itself fails).
#define TALVORA_REAL_FUNCTION(library, function) \
    static const auto real = reinterpret_cast<decltype(&function)>((library).Find(#function))
