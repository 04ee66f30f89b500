#pragma once

#include "engine/SpeechDecoder.h"

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// The local decoders of the process. Each is loaded on first need and then kept, at most
// `limit` of them (one per core: decoding is pure computation), and each serves one worker at a
// time; a worker that finds all of them busy waits for one. Any thread.
class DecoderPool {
public:
    explicit DecoderPool(size_t limit);
    ~DecoderPool();
    DecoderPool(const DecoderPool&) = delete;
    DecoderPool& operator=(const DecoderPool&) = delete;

    // A decoder lent to one worker; it goes back to the pool when the lease ends.
    class Lease {
    public:
        Lease() = default;
        Lease(Lease&& other) noexcept;
        Lease& operator=(Lease&&) = delete;
        ~Lease();
        explicit operator bool() const { return decoder != nullptr; }
        SpeechDecoder* operator->() const { return decoder.get(); }
        SpeechDecoder& operator*() const { return *decoder; }

    private:
        friend class DecoderPool;
        Lease(DecoderPool* pool, std::unique_ptr<SpeechDecoder> decoder);
        DecoderPool* pool = nullptr;
        std::unique_ptr<SpeechDecoder> decoder;
    };

    // Waits for an idle decoder of the model folder, or loads one while fewer than the limit
    // exist. An empty lease, with the reason in `error`, when the model cannot be loaded. A
    // decoder of another folder is unloaded to make room: the folder is a setting.
    Lease Acquire(const std::string& modelDir, std::string* error);

    size_t Limit() const { return limit; }
    // Decoders loaded and not unloaded since, lent or idle.
    size_t LoadedCount();

private:
    void Return(std::unique_ptr<SpeechDecoder> decoder);

    const size_t limit;
    std::mutex lock;
    std::condition_variable returned;
    std::vector<std::unique_ptr<SpeechDecoder>> idle;
    size_t loaded = 0;  // lent, idle or being loaded
};
