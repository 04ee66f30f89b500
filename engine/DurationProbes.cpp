#include "engine/DurationProbes.h"

#include "base/BackgroundThread.h"
#include "base/LiveThreads.h"
#include "base/LogFile.h"
#include "base/LogTags.h"
#include "base/platform/BackgroundPriority.h"
#include "engine/MediaInfoProbe.h"

#include <deque>
#include <mutex>

struct DurationProbes::Queue {
    std::mutex lock;
    std::deque<std::string> waiting;
    bool probing = false;  // a thread is taking the queue
    Answer answer;         // none once the owner is gone

    void Work()
    {
        Platform::LowerThisThreadsPriority();
        for (;;) {
            std::string path;
            {
                std::lock_guard<std::mutex> guard(lock);
                if (waiting.empty() || !answer || LiveThreads::Ending()) {
                    probing = false;
                    return;
                }
                path = std::move(waiting.front());
                waiting.pop_front();
            }
            const int32_t seconds = ProbeAudioDuration(path);
            // Answered under the lock, so that no answer comes once the owner has let go.
            std::lock_guard<std::mutex> guard(lock);
            if (answer)
                answer(path, seconds);
        }
    }
};

DurationProbes::DurationProbes(Answer answer) : queue(std::make_shared<Queue>())
{
    queue->answer = std::move(answer);
}

DurationProbes::~DurationProbes()
{
    std::lock_guard<std::mutex> guard(queue->lock);
    queue->answer = nullptr;
    queue->waiting.clear();
}

void DurationProbes::Probe(const std::string& path)
{
    std::lock_guard<std::mutex> guard(queue->lock);
    queue->waiting.push_back(path);
    if (queue->probing)
        return;
    queue->probing = true;
    const std::shared_ptr<Queue> shared = queue;
    if (!StartBackgroundThread("probe", [shared] { shared->Work(); })) {
        queue->probing = false;
        WriteLog(Error, LogTag::kDurationProbes, "cannot start a thread to probe %s", path.c_str());
    }
}
