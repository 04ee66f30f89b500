#pragma once

#include <cstddef>
#include <mutex>
#include <string>

struct zip;

// A zip archive read in place from memory. Names are looked up exactly first and then without
// regard to letter case, as layouts written for a case-blind file system expect.
class SkinArchive {
public:
    SkinArchive() = default;
    ~SkinArchive();
    SkinArchive(const SkinArchive&) = delete;
    SkinArchive& operator=(const SkinArchive&) = delete;

    // Opens the archive in `data` (not copied). On failure `error` says why.
    bool Open(const void* data, size_t size, std::string& error);
    void Close();
    bool IsOpen() const;

    // The whole content of one entry. On failure `error` says why.
    bool Read(const std::string& name, std::string& content, std::string& error);

    // Entries larger than this are refused rather than inflated.
    static constexpr size_t kMaxEntrySize = 32u * 1024u * 1024u;

private:
    mutable std::mutex lock_;
    zip* archive_ = nullptr;
};
