#pragma once

#include "engine/HeardWord.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// The utterances of the segments a local recognizer has in hand, handed to its decoders one at a
// time. A segment comes with a decoder of the pool and may have helpers waiting for more; each
// decoder takes the oldest segment's next utterance, whichever segment it came with, so a segment
// is decoded on every core at once and segments still end in the order they began. Any thread.
class UtteranceQueue {
public:
    // What one utterance gave: its text, and its words timed from the utterance's first sample.
    struct Heard {
        std::string text;
        std::vector<HeardWord> words;
    };

    // One segment's utterances. The thread that recognises the segment fills in the samples and
    // the cuts, opens it, and reads what was heard after Close. A helper may outlive that (it
    // may still be waiting for a decoder), so it keeps the segment, but once none of its
    // utterances is left to take it touches neither the samples nor what was heard.
    class Segment {
    public:
        const int16_t* samples = nullptr;
        std::vector<std::pair<size_t, size_t>> cuts;  // [begin, end) in samples, one per utterance
        std::vector<Heard> heard;                     // by cut, after Close
        int32_t code = 0;                             // the first failure, after Close
        std::string message;

    private:
        friend class UtteranceQueue;
        size_t taken = 0;     // cuts handed out, or given up with a failure
        size_t finished = 0;  // cuts decoded, failed or given up
    };

    void Open(Segment* segment);
    // Waits until every utterance of `segment` is decoded or given up, and takes it out.
    void Close(Segment* segment);

    // The next utterance for a decoder held on behalf of `own`: the oldest open segment's next
    // one. False once `own` has none left to hand out. Each utterance taken ends in Done or Fail.
    bool Take(Segment* own, Segment** segment, size_t* cut);
    void Done(Segment* segment, size_t cut, Heard heard);
    // Fails the segment of the utterance taken: those of its utterances not taken yet are given
    // up. False when it had failed already (its first failure is the one it tells).
    bool Fail(Segment* segment, int32_t code, std::string message);

private:
    void FinishOne(Segment* segment);

    std::mutex lock;
    std::condition_variable changed;
    std::deque<Segment*> open;  // oldest first
};
