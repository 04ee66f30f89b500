#include "base/platform/RegularFile.h"
#include "support/TestSupport.h"

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

// Bytes that differ from piece to piece, so a piece copied twice or skipped shows.
std::string Content(size_t size)
{
    std::string bytes(size, '\0');
    uint32_t state = 12345;
    for (char& byte : bytes) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<char>(state >> 24);
    }
    return bytes;
}

}  // namespace

// A copy of many calls and pieces, inside one file system (the kernel copies) and from another
// (through memory: a tmpfs to here), equals its source byte for byte, with its permission bits.
TEST(FileCopy, ALargeFileArrivesWholeWithinAndAcrossFileSystems)
{
    TempDir dir;
    const std::string content = Content((size_t{70} << 20) + 123);
    std::vector<std::string> sources = {dir / "source.wav"};
    if (access("/dev/shm", W_OK) == 0)
        sources.push_back("/dev/shm/talvora-copy-test-" + std::to_string(getpid()));
    for (const std::string& source : sources) {
        SCOPED_TRACE(source);
        WriteFile(source, content);
        chmod(source.c_str(), 0640);
        const std::string copy = dir / "copy.wav";
        ASSERT_TRUE(CopyRegularFile(source, copy)) << std::strerror(errno);
        EXPECT_TRUE(ReadFile(copy) == content);
        struct stat info{};
        ASSERT_EQ(stat(copy.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0640u);
        unlink(copy.c_str());
        if (source.starts_with("/dev/shm/"))
            unlink(source.c_str());
    }
}

// Asked between calls, a stop ends the copy with ECANCELED; the caller removes what was made.
TEST(FileCopy, AStopEndsTheCopyBetweenCalls)
{
    TempDir dir;
    WriteFile(dir / "source.wav", Content(size_t{20} << 20));
    int asked = 0;
    errno = 0;
    EXPECT_FALSE(CopyRegularFile(dir / "source.wav", dir / "copy.wav", false, [&asked] { return ++asked > 2; }));
    EXPECT_EQ(errno, ECANCELED);
    EXPECT_EQ(asked, 3);
    EXPECT_LT(ReadFile(dir / "copy.wav").size(), size_t{20} << 20);
}
