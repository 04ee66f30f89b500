#include "engine/DecoderPool.h"

#include <algorithm>

DecoderPool::DecoderPool(size_t most) : limit(std::max<size_t>(most, 1)) {}

DecoderPool::~DecoderPool() = default;

DecoderPool::Lease::Lease(DecoderPool* owner, std::unique_ptr<SpeechDecoder> lent)
    : pool(owner), decoder(std::move(lent))
{
}

DecoderPool::Lease::Lease(Lease&& other) noexcept : pool(other.pool), decoder(std::move(other.decoder))
{
    other.pool = nullptr;
}

DecoderPool::Lease::~Lease()
{
    if (pool != nullptr && decoder != nullptr)
        pool->Return(std::move(decoder));
}

DecoderPool::Lease DecoderPool::Acquire(const std::string& modelDir, std::string* error)
{
    std::unique_lock<std::mutex> guard(lock);
    for (;;) {
        const auto same = std::find_if(idle.begin(), idle.end(), [&](const auto& decoder) { return decoder->ModelDir() == modelDir; });
        if (same != idle.end()) {
            std::unique_ptr<SpeechDecoder> decoder = std::move(*same);
            idle.erase(same);
            return Lease(this, std::move(decoder));
        }
        if (loaded >= limit && !idle.empty()) {
            // An idle decoder of another folder gives up its place; it is freed outside the lock.
            std::unique_ptr<SpeechDecoder> stale = std::move(idle.back());
            idle.pop_back();
            --loaded;
            guard.unlock();
            stale.reset();
            guard.lock();
            continue;
        }
        if (loaded < limit) {
            ++loaded;
            guard.unlock();
            std::unique_ptr<SpeechDecoder> decoder = SpeechDecoder::Load(modelDir, error);
            if (decoder != nullptr)
                return Lease(this, std::move(decoder));
            guard.lock();
            --loaded;
            returned.notify_one();  // a waiting worker may load in this one's place
            return Lease();
        }
        returned.wait(guard);
    }
}

void DecoderPool::Return(std::unique_ptr<SpeechDecoder> decoder)
{
    {
        std::lock_guard<std::mutex> guard(lock);
        idle.push_back(std::move(decoder));
    }
    returned.notify_one();
}

size_t DecoderPool::LoadedCount()
{
    std::lock_guard<std::mutex> guard(lock);
    return loaded;
}
