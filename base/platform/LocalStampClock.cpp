#include "base/platform/LocalStampClock.h"

#include <cstdint>

namespace Platform {
namespace {

long OffsetFromLibrary(time_t when)
{
    tm local{};
    if (localtime_r(&when, &local) == nullptr)
        return 0;
    return local.tm_gmtoff;
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian), after Howard Hinnant's
// civil_from_days.
void CivilFromDays(int64_t days, int64_t& year, unsigned& month, unsigned& day)
{
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    year = static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

void PutDigits(char* out, int64_t value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
}

}  // namespace

void LocalStampClock::Prepare(int years)
{
    const time_t now = time(nullptr);
    count_ = 0;
    spans_[count_++] = {now, OffsetFromLibrary(now)};
    // Offsets change a few times a year at most; stepping a day at a time and then narrowing
    // each change down to the second finds them all.
    constexpr time_t kDay = 86400;
    const time_t end = now + static_cast<time_t>(years) * 366 * kDay;
    time_t before = now;
    long beforeOffset = spans_[0].offset;
    while (before < end && count_ < kMaxSpans) {
        const time_t after = before + kDay;
        const long afterOffset = OffsetFromLibrary(after);
        if (afterOffset != beforeOffset) {
            time_t low = before;  // old offset
            time_t high = after;  // new offset
            while (high - low > 1) {
                const time_t middle = low + (high - low) / 2;
                if (OffsetFromLibrary(middle) == beforeOffset)
                    low = middle;
                else
                    high = middle;
            }
            spans_[count_++] = {high, afterOffset};
            beforeOffset = afterOffset;
        }
        before = after;
    }
}

long LocalStampClock::OffsetAt(time_t when) const
{
    if (count_ == 0)
        return 0;
    long offset = spans_[0].offset;
    for (int i = 1; i < count_ && spans_[i].from <= when; ++i)
        offset = spans_[i].offset;
    return offset;
}

void LocalStampClock::FormatStamp(time_t when, char (&out)[15]) const
{
    const int64_t local = static_cast<int64_t>(when) + OffsetAt(when);
    int64_t days = local / 86400;
    int64_t seconds = local % 86400;
    if (seconds < 0) {
        seconds += 86400;
        --days;
    }
    int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    CivilFromDays(days, year, month, day);
    if (year < 0 || year > 9999)
        year = 0;
    PutDigits(out, year, 4);
    PutDigits(out + 4, month, 2);
    PutDigits(out + 6, day, 2);
    PutDigits(out + 8, seconds / 3600, 2);
    PutDigits(out + 10, seconds / 60 % 60, 2);
    PutDigits(out + 12, seconds % 60, 2);
    out[14] = '\0';
}

void LocalStampClock::FormatNow(char (&out)[15]) const
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    FormatStamp(now.tv_sec, out);
}

}  // namespace Platform
