#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// Probes the durations of added files one after another on a thread of its own, so that adding
// many (or slow) files never holds up the caller. Each answer goes to the callback on that
// thread. Once the object is gone no answer comes; a probe under way is not waited for.
class DurationProbes {
public:
    using Answer = std::function<void(const std::string& path, int32_t seconds)>;
    explicit DurationProbes(Answer answer);
    ~DurationProbes();
    DurationProbes(const DurationProbes&) = delete;
    DurationProbes& operator=(const DurationProbes&) = delete;

    // Queues one file; its answer follows those of the files queued before it.
    void Probe(const std::string& path);

private:
    struct Queue;
    const std::shared_ptr<Queue> queue;
};
