#pragma once

#include <ctime>

// Local time stamps for code that may take no locks (a signal handler): localtime() takes the
// time-zone lock, which the faulting thread may hold. The UTC offsets are looked up in advance,
// including every change of offset (daylight saving) over the coming years, so turning a time
// into local digits later is plain arithmetic.
namespace Platform {

class LocalStampClock {
public:
    // Looks up the current offset and its changes over the next `years` years.
    void Prepare(int years = 3);

    // "%Y%m%d%H%M%S" of `when` in local time: 14 digits and a terminating zero. Before Prepare,
    // the time is given in UTC. Async-signal-safe.
    void FormatStamp(time_t when, char (&out)[15]) const;
    // The same for the present moment.
    void FormatNow(char (&out)[15]) const;

    // The UTC offset in seconds that applies at `when`. Async-signal-safe.
    long OffsetAt(time_t when) const;

    static constexpr int kMaxSpans = 16;

private:
    struct Span {
        time_t from;
        long offset;
    };
    Span spans_[kMaxSpans] = {};
    int count_ = 0;
};

}  // namespace Platform
