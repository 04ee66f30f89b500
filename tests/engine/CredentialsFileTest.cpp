#include "base/AppPaths.h"
#include "engine/CredentialPool.h"
#include "engine/CredentialsFile.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;
namespace fs = std::filesystem;

namespace {

constexpr char kSecret[] = "S3cr3tValueThatMustNeverBeLogged";

std::string LogText()
{
    return ReadFile(AppPaths::GetAppDataDir() + "/Talvora.log");
}

// What was logged after the test began; the log is shared by every test of the process.
class LogSinceStart {
public:
    LogSinceStart() : start_(LogText().size()) {}
    std::string Text() const { return LogText().substr(start_); }

private:
    size_t start_;
};

class CredentialsFileTest : public ::testing::Test {
protected:
    // A file name with a blank and non-ASCII letters, as a home folder may have.
    std::string Path() const { return dir_ / "cr\xC3\xA9" "dentials file.json"; }

    // Reads `content` as the file and expects it to be rejected with `problem` in the warning.
    void ExpectRejected(const std::string& content, const std::string& problem)
    {
        SCOPED_TRACE(content);
        WriteFile(Path(), content);
        std::vector<CredentialPair> pairs{{"stale", "stale"}};
        EXPECT_EQ(CredentialsFile::Read(Path(), pairs), CredentialsFile::Result::Invalid);
        EXPECT_TRUE(pairs.empty());
        const std::string log = LogText();
        EXPECT_NE(log.find("warning>>> "), std::string::npos);
        EXPECT_NE(log.find(Path() + " is not used: " + problem + "; the built-in credential pair stays in use\r\n"), std::string::npos)
            << log;
        EXPECT_EQ(log.find(kSecret), std::string::npos);
    }

    TempDir dir_;
};

}  // namespace

TEST_F(CredentialsFileTest, ReadsEveryPairInOrder)
{
    WriteFile(Path(), std::string("\xEF\xBB\xBF") + R"([
        {"api_key": "first", "secret_key": ")" + kSecret + R"(", "note": "ignored"},
        {"secret_key": "s2", "api_key": "second"}
    ])");
    std::vector<CredentialPair> pairs;
    ASSERT_EQ(CredentialsFile::Read(Path(), pairs), CredentialsFile::Result::Loaded);
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0].apiKey, "first");
    EXPECT_EQ(pairs[0].secretKey, kSecret);
    EXPECT_EQ(pairs[1].apiKey, "second");
    EXPECT_EQ(pairs[1].secretKey, "s2");
    EXPECT_NE(LogText().find("2 credential pair(s) read from " + Path()), std::string::npos);
    EXPECT_EQ(LogText().find(kSecret), std::string::npos);
}

TEST_F(CredentialsFileTest, MissingFileIsNotAnError)
{
    const LogSinceStart log;
    std::vector<CredentialPair> pairs;
    EXPECT_EQ(CredentialsFile::Read(Path(), pairs), CredentialsFile::Result::Missing);
    EXPECT_EQ(CredentialsFile::Read(dir_ / "no folder/credentials.json", pairs), CredentialsFile::Result::Missing);
    EXPECT_TRUE(pairs.empty());
    EXPECT_NE(log.Text().find(Path() + " not found; the built-in credential pair is used\r\n"), std::string::npos);
    EXPECT_EQ(log.Text().find("warning>>> "), std::string::npos);
}

TEST_F(CredentialsFileTest, MalformedFilesAreRejectedSayingWhy)
{
    const std::string secret = kSecret;
    ExpectRejected("", "it is not valid JSON (line 1, column 1)");
    ExpectRejected(R"([{"api_key": "a", "secret_key": ")" + secret + R"("}] trailing)", "it is not valid JSON (line 1, column 70)");
    ExpectRejected(R"([{"api_key": "a", "secret_key": )" + secret + "}]", "it is not valid JSON (line 1, column 33)");
    ExpectRejected(R"([{"api_key": "a", "secret_key": ")" + secret + R"(", "secret_key": "b"}])",
                   "it is not valid JSON (line 1, column 69)");
    ExpectRejected(std::string(5000, '[') + std::string(5000, ']'), "it is not valid JSON (nested too deeply)");
    ExpectRejected(R"({"api_key": "a", "secret_key": ")" + secret + R"("})", "the top level is not an array of credential objects");
    ExpectRejected(R"([{"api_key": "a", "secret_key": "b"}, "text"])", "entry 2 is not an object");
    ExpectRejected(R"([{"secret_key": ")" + secret + R"("}])", "entry 1 has no \"api_key\"");
    ExpectRejected(R"([{"api_key": "a"}])", "entry 1 has no \"secret_key\"");
    ExpectRejected(R"([{"api_key": "a", "secret_key": 12345}])", "\"secret_key\" of entry 1 is not a string");
    ExpectRejected(R"([{"api_key": "", "secret_key": ")" + secret + R"("}])", "\"api_key\" of entry 1 is empty");
}

TEST_F(CredentialsFileTest, UnreadableFilesAreRejectedSayingWhy)
{
    fs::create_directory(Path());
    std::vector<CredentialPair> pairs;
    EXPECT_EQ(CredentialsFile::Read(Path(), pairs), CredentialsFile::Result::Invalid);
    EXPECT_NE(LogText().find(Path() + " is not used: it is not a regular file;"), std::string::npos);
    fs::remove(Path());
    // A FIFO would wait for a writer for good, and hold up the start with it.
    ASSERT_EQ(mkfifo(Path().c_str(), 0600), 0);
    const size_t before = LogText().size();
    EXPECT_EQ(CredentialsFile::Read(Path(), pairs), CredentialsFile::Result::Invalid);
    EXPECT_NE(LogText().find(Path() + " is not used: it is not a regular file;", before), std::string::npos);
    fs::remove(Path());

    WriteFile(Path(), std::string(CredentialsFile::kMaxSize + 1, ' '));
    EXPECT_EQ(CredentialsFile::Read(Path(), pairs), CredentialsFile::Result::Invalid);
    EXPECT_NE(LogText().find(Path() + " is not used: it is larger than 1048576 bytes;"), std::string::npos);

    if (geteuid() != 0) {  // root reads every file
        WriteFile(Path(), "[]");
        fs::permissions(Path(), fs::perms::none);
        EXPECT_EQ(CredentialsFile::Read(Path(), pairs), CredentialsFile::Result::Invalid);
        EXPECT_NE(LogText().find(Path() + " is not used: it cannot be read ("), std::string::npos);
    }
}

TEST_F(CredentialsFileTest, ApplyHandsPairsToThePoolOnlyFromAUsableFile)
{
    CredentialPool data;
    EXPECT_EQ(CredentialsFile::Apply(data, Path()), CredentialsFile::Result::Missing);
    EXPECT_EQ(data.Next().apiKey, BuiltInCredential().apiKey);

    WriteFile(Path(), R"([{"api_key": "broken"}])");
    EXPECT_EQ(CredentialsFile::Apply(data, Path()), CredentialsFile::Result::Invalid);
    EXPECT_EQ(data.Next().apiKey, BuiltInCredential().apiKey);

    WriteFile(Path(), R"([{"api_key": "a1", "secret_key": "s1"}, {"api_key": "a2", "secret_key": "s2"}])");
    EXPECT_EQ(CredentialsFile::Apply(data, Path()), CredentialsFile::Result::Loaded);
    EXPECT_EQ(data.Next().apiKey, "a2");
    EXPECT_EQ(data.Next().apiKey, "a1");

    // An empty list is a file that says "none of mine": the pool warns and uses the built-in pair.
    WriteFile(Path(), "[]");
    EXPECT_EQ(CredentialsFile::Apply(data, Path()), CredentialsFile::Result::Loaded);
    EXPECT_EQ(data.Next().apiKey, BuiltInCredential().apiKey);
    EXPECT_NE(LogText().find("get ServerKey size is null"), std::string::npos);

    EXPECT_EQ(CredentialsFile::DefaultPath(), AppPaths::GetAppDataDir() + "/credentials.json");
}

TEST_F(CredentialsFileTest, WrittenPairsReadBackAndStayTheUsersOwn)
{
    const std::vector<CredentialPair> pairs{{"first \xE9\x9F\xB3", kSecret}, {"second", "s\"2\\"}};
    const LogSinceStart log;
    std::string problem;
    ASSERT_TRUE(CredentialsFile::Write(Path(), pairs, &problem)) << problem;
    std::vector<CredentialPair> read;
    ASSERT_EQ(CredentialsFile::Read(Path(), read), CredentialsFile::Result::Loaded);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].apiKey, pairs[0].apiKey);
    EXPECT_EQ(read[0].secretKey, kSecret);
    EXPECT_EQ(read[1].secretKey, pairs[1].secretKey);
    struct stat info{};
    ASSERT_EQ(stat(Path().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(log.Text().find(kSecret), std::string::npos);

    // A pair Read would refuse is never written: the file stays as it was.
    const std::string before = ReadFile(Path());
    EXPECT_FALSE(CredentialsFile::Write(Path(), {{"a", "b"}, {"c", ""}}, &problem));
    EXPECT_EQ(problem, "\"secret_key\" of entry 2 is empty");
    EXPECT_FALSE(CredentialsFile::Write(Path(), {{"", "b"}}, &problem));
    EXPECT_EQ(problem, "\"api_key\" of entry 1 is empty");
    EXPECT_EQ(ReadFile(Path()), before);

    // No pairs: no file, so the built-in pair is used again.
    ASSERT_TRUE(CredentialsFile::Write(Path(), {}, &problem));
    EXPECT_FALSE(fs::exists(Path()));
    EXPECT_TRUE(CredentialsFile::Write(Path(), {}, &problem));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.Path()), fs::directory_iterator()), 0);
}
