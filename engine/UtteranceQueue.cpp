#include "engine/UtteranceQueue.h"

#include <algorithm>

void UtteranceQueue::Open(Segment* segment)
{
    std::lock_guard<std::mutex> guard(lock);
    segment->heard.assign(segment->cuts.size(), {});
    open.push_back(segment);
}

void UtteranceQueue::Close(Segment* segment)
{
    std::unique_lock<std::mutex> guard(lock);
    changed.wait(guard, [segment] { return segment->finished == segment->cuts.size(); });
    open.erase(std::find(open.begin(), open.end(), segment));
}

bool UtteranceQueue::Take(Segment* own, Segment** segment, size_t* cut)
{
    std::lock_guard<std::mutex> guard(lock);
    if (own->taken == own->cuts.size())
        return false;
    // `own` is open and has one left, so some segment has.
    const auto oldest = std::find_if(open.begin(), open.end(), [](const Segment* s) { return s->taken < s->cuts.size(); });
    *segment = *oldest;
    *cut = (*oldest)->taken++;
    return true;
}

void UtteranceQueue::Done(Segment* segment, size_t cut, Heard heard)
{
    std::lock_guard<std::mutex> guard(lock);
    segment->heard[cut] = std::move(heard);
    FinishOne(segment);
}

bool UtteranceQueue::Fail(Segment* segment, int32_t code, std::string message)
{
    std::lock_guard<std::mutex> guard(lock);
    const bool first = segment->code == 0;
    if (first) {
        segment->code = code;
        segment->message = std::move(message);
        segment->finished += segment->cuts.size() - segment->taken;
        segment->taken = segment->cuts.size();
    }
    FinishOne(segment);
    return first;
}

void UtteranceQueue::FinishOne(Segment* segment)
{
    if (++segment->finished == segment->cuts.size())
        changed.notify_all();
}
