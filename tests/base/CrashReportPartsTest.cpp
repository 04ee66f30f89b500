#include "base/platform/LocalStampClock.h"
#include "base/platform/SignalSafeWriter.h"
#include "support/TestSupport.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

using namespace TestSupport;

namespace {

std::string LibraryStamp(time_t when)
{
    tm local{};
    localtime_r(&when, &local);
    char text[32];
    strftime(text, sizeof text, "%Y%m%d%H%M%S", &local);
    return text;
}

// Switches the process's time zone for one test; each test runs in its own process, and no
// other thread exists while it does.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone)
    {
        if (const char* old = std::getenv("TZ"))
            old_ = old, hadOld_ = true;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneScope()
    {
        if (hadOld_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::string old_;
    bool hadOld_ = false;
};

}  // namespace

TEST(LocalStampClock, MatchesTheLibraryAcrossOffsetChanges)
{
    const time_t now = time(nullptr);
    // Zones with and without daylight saving, whole and half-hour offsets, both hemispheres.
    for (const char* zone : {"UTC0", "Europe/Berlin", "America/New_York", "Asia/Kolkata", "Australia/Lord_Howe",
                             "America/Santiago", "<+0545>-5:45"}) {
        SCOPED_TRACE(zone);
        ZoneScope scope(zone);
        Platform::LocalStampClock clock;
        clock.Prepare(2);
        char stamp[15];
        // Every 47 minutes over the two years covered, and a minute either side of each hour
        // around the zone's changes.
        for (time_t t = now; t < now + 2 * 365 * 86400; t += 47 * 60) {
            clock.FormatStamp(t, stamp);
            ASSERT_EQ(std::string(stamp), LibraryStamp(t)) << "at " << t;
            if (clock.OffsetAt(t) != clock.OffsetAt(t + 47 * 60)) {
                for (time_t near = t; near <= t + 47 * 60; ++near) {
                    clock.FormatStamp(near, stamp);
                    ASSERT_EQ(std::string(stamp), LibraryStamp(near)) << "at " << near;
                }
            }
        }
        // Read from the same clock as FormatNow: time() may lag it by a tick.
        timespec instant{};
        clock_gettime(CLOCK_REALTIME, &instant);
        const std::string before = LibraryStamp(instant.tv_sec);
        clock.FormatNow(stamp);
        clock_gettime(CLOCK_REALTIME, &instant);
        const std::string after = LibraryStamp(instant.tv_sec);
        EXPECT_LE(before, std::string(stamp));
        EXPECT_LE(std::string(stamp), after);
    }
}

TEST(LocalStampClock, UnpreparedClockGivesUtc)
{
    Platform::LocalStampClock clock;
    char stamp[15];
    clock.FormatStamp(0, stamp);
    EXPECT_STREQ(stamp, "19700101000000");
    clock.FormatStamp(951782400, stamp);  // a leap day
    EXPECT_STREQ(stamp, "20000229000000");
    clock.FormatStamp(4102444799, stamp);
    EXPECT_STREQ(stamp, "20991231235959");
}

TEST(SignalSafeWriter, FormatsNumbersAndLongTextIntoTheFile)
{
    TempDir dir;
    const std::string path = dir / "out";
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    const std::string longText(5000, 'x');
    {
        Platform::SignalSafeWriter out(fd);
        out.Decimal(0).Text(" ").Decimal(-42).Text(" ").Decimal(LLONG_MIN).Text(" ").Decimal(LLONG_MAX).Text("\n");
        out.Hex(0x10).Text(" ").Hex(0xABCDEF, 0).Text(" ").Hex(UINT64_MAX).Text("\n");
        out.Text(longText.c_str()).Text(nullptr).Text("|end", 4);
        EXPECT_TRUE(out.Flush());
    }
    close(fd);
    EXPECT_EQ(ReadFile(path), "0 -42 -9223372036854775808 9223372036854775807\n"
                              "0x0000000000000010 0xabcdef 0xffffffffffffffff\n" +
                                  longText + "|end");
}

TEST(SignalSafeWriter, ReportsAFailedWrite)
{
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    // Writing into a pipe without a reader raises SIGPIPE; it is ignored here, as the crash
    // handler only writes files.
    signal(SIGPIPE, SIG_IGN);
    Platform::SignalSafeWriter out(fds[1]);
    out.Text("lost");
    EXPECT_FALSE(out.Flush());
    EXPECT_TRUE(out.Failed());
    EXPECT_EQ(out.Error(), EPIPE);
    close(fds[1]);
}

TEST(SignalSafeWriter, AppendBoundedRefusesWhatDoesNotFit)
{
    char text[8] = "abc";
    EXPECT_TRUE(Platform::AppendBounded(text, sizeof text, "defg"));
    EXPECT_STREQ(text, "abcdefg");
    EXPECT_FALSE(Platform::AppendBounded(text, sizeof text, "h"));
    EXPECT_STREQ(text, "abcdefg");
}
