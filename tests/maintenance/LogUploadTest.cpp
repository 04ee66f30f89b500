#include "base/AppPaths.h"
#include "base/Config.h"
#include "maintenance/CrashReportUpload.h"
#include "maintenance/CrashReportCheck.h"
#include "maintenance/CreateZipFromFiles.h"
#include "support/LoopbackHttpServer.h"
#include "support/TestSupport.h"

#include <zip.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>

using namespace TestSupport;
namespace fs = std::filesystem;

namespace {

struct ZipEntry {
    std::string name;
    std::string content;
    bool deflated;
};

std::vector<ZipEntry> ReadZip(const std::string& path)
{
    std::vector<ZipEntry> entries;
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
    if (archive == nullptr)
        return entries;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t info;
        zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &info);
        std::string content(info.size, '\0');
        zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        zip_fread(file, content.data(), info.size);
        zip_fclose(file);
        entries.push_back({info.name, content, info.comp_method == ZIP_CM_DEFLATE});
    }
    zip_close(archive);
    return entries;
}

std::string ZipBytesToFile(const std::string& bytes, const std::string& path)
{
    WriteFile(path, bytes);
    return path;
}

size_t Occurrences(const std::string& text, const std::string& part)
{
    return TestSupport::CountOccurrences(text, part);
}

long long NowStamp()
{
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    char buffer[32];
    strftime(buffer, sizeof buffer, "%Y%m%d%H%M", &local);
    return std::stoll(buffer);
}

// One part of a multipart form as the log server received it.
struct Part {
    std::string name;
    std::string filename;
    std::string contentType;
    std::string content;
};

struct Upload {
    std::string contentType;
    std::vector<Part> parts;  // in the order they arrived
};

class LogServer {
public:
    LogServer(int status = 200) : status_(status)
    {
        server_.Server().Post("/upload", [this](const httplib::Request& req, httplib::Response& res,
                                                         const httplib::ContentReader& reader) {
            Upload upload{req.get_header_value("Content-Type"), {}};
            reader(
                [&](const httplib::MultipartFormData& header) {
                    upload.parts.push_back({header.name, header.filename, header.content_type, {}});
                    return true;
                },
                [&](const char* data, size_t length) {
                    upload.parts.back().content.append(data, length);
                    return true;
                });
            {
                std::lock_guard<std::mutex> guard(lock_);
                uploads_.push_back(upload);
            }
            res.status = status_;
            res.set_content("stored", "text/plain");
        });
        server_.Start();
    }
    std::string Url() const { return server_.Url() + "/upload"; }
    // The answer to the uploads from now on.
    void Answer(int status) { status_ = status; }
    std::vector<Upload> Uploads()
    {
        std::lock_guard<std::mutex> guard(lock_);
        return uploads_;
    }

private:
    LoopbackHttpServer server_;
    std::atomic<int> status_;
    std::mutex lock_;
    std::vector<Upload> uploads_;
};

std::string FilePartContent(const Upload& upload)
{
    return upload.parts.size() == 2 ? upload.parts[1].content : std::string();
}

}  // namespace

TEST(LogUpload, NewestFilesComeFirstAndFoldersLinksAndFifosAreSkipped)
{
    TempDir dir;
    for (int i = 1; i <= 6; ++i) {
        WriteFile(dir / (std::to_string(i) + ".dmp"), "dump");
        // Distinct creation times, whatever the file system's time resolution.
        const auto created = fs::last_write_time(dir / (std::to_string(i) + ".dmp"));
        WaitUntil([&] {
            WriteFile(dir / "probe", "");
            return fs::last_write_time(dir / "probe") > created;
        });
    }
    fs::create_directories(dir / "zz-folder");
    // The newest of all, but no reports: their open would block or read another file.
    ASSERT_EQ(mkfifo((dir / "7.dmp").c_str(), 0600), 0);
    fs::create_symlink("6.dmp", dir / "8.dmp");
    std::remove((dir / "probe").c_str());
    EXPECT_EQ(ListNewestFiles(dir.Path(), 4), (std::vector<std::string>{dir / "6.dmp", dir / "5.dmp", dir / "4.dmp", dir / "3.dmp"}));
    EXPECT_TRUE(ListNewestFiles(dir / "missing", 4).empty());
    fs::create_directory_symlink(dir.Path(), dir / "linked");
    EXPECT_TRUE(ListNewestFiles(dir / "linked", 4).empty());
}

TEST(LogUpload, ArchiveHoldsTheInputsInOrderUnderTheirBaseNames)
{
    TempDir dir;
    fs::create_directories(dir / "a b");
    WriteFile(dir / "a b/20261209083300.dmp", std::string(100000, 'd'));
    WriteFile(dir / "Talvora.log", "log text");
    ASSERT_EQ(mkfifo((dir / "fifo.dmp").c_str(), 0600), 0);
    fs::create_symlink("Talvora.log", dir / "link.dmp");
    const std::string zip = CreateLogZip({dir / "a b/20261209083300.dmp", dir / "fifo.dmp", dir / "link.dmp",
                                          dir / "missing.ini", dir / "Talvora.log"});
    ASSERT_FALSE(zip.empty());
    EXPECT_EQ(zip.substr(0, AppPaths::GetTempDir().size() + 8), AppPaths::GetTempDir() + "/Talvora");
    EXPECT_TRUE(zip.ends_with("Log.zip"));
    const auto entries = ReadZip(zip);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "20261209083300.dmp");
    EXPECT_EQ(entries[0].content, std::string(100000, 'd'));
    EXPECT_TRUE(entries[0].deflated);
    EXPECT_EQ(entries[1].name, "Talvora.log");
    EXPECT_EQ(entries[1].content, "log text");

    EXPECT_EQ(CreateLogZip({}), "");
    EXPECT_EQ(CreateLogZip({dir / "missing"}), "");
    EXPECT_EQ(CreateZipFromFiles("", {dir / "Talvora.log"}, kMaxCrashReportBytes), -1);
    EXPECT_EQ(CreateZipFromFiles(dir / "no-folder/x.zip", {dir / "Talvora.log"}, kMaxCrashReportBytes), -1);
    EXPECT_EQ(CreateZipFromFiles(dir / "x.zip", {dir / "fifo.dmp"}, kMaxCrashReportBytes), -1);
    EXPECT_EQ(CreateZipFromFiles(dir / "x.zip", {dir / "link.dmp"}, kMaxCrashReportBytes), -1);
    EXPECT_EQ(CreateZipFromFiles(dir / "x.zip", {dir / "Talvora.log"}, 3), -1);
}

TEST(LogUpload, PostsTheTwoPartsInOrder)
{
    LogServer server;
    TempDir dir;
    WriteFile(dir / "x.log", "content");
    const std::string zip = CreateLogZip({dir / "x.log"});
    EXPECT_TRUE(CrashReportUpload(zip, server.Url()).DoWork());
    ASSERT_EQ(server.Uploads().size(), 1u);
    const Upload upload = server.Uploads()[0];
    EXPECT_TRUE(upload.contentType.starts_with("multipart/form-data; boundary="));
    ASSERT_EQ(upload.parts.size(), 2u);
    EXPECT_EQ(upload.parts[0].name, "reqformat");
    EXPECT_EQ(upload.parts[0].filename, "");
    EXPECT_EQ(upload.parts[0].content, "plain");
    EXPECT_EQ(upload.parts[1].name, "file");
    EXPECT_EQ(upload.parts[1].filename, zip.substr(zip.rfind('/') + 1));
    EXPECT_EQ(upload.parts[1].contentType, "application/octet-stream");
    EXPECT_EQ(upload.parts[1].content, ReadFile(zip));
    EXPECT_TRUE(fs::exists(zip));  // left in the temporary folder
}

TEST(LogUpload, FailedPostsLeaveAWarning)
{
    const std::string log = AppPaths::GetAppDataDir() + "/Talvora.log";
    {
        LogServer server(500);
        EXPECT_FALSE(CrashReportUpload(ZipBytesToFile("zip", AppPaths::GetTempDir() + "/a.zip"), server.Url()).DoWork());
    }
    EXPECT_NE(ReadFile(log).find(TestSupport::LogEntry("CUpLoadLog::DoWork", "upload log error. code=0, response code=500, ")), std::string::npos);
    LoopbackHttpServer closed;
    closed.Start();
    const std::string url = closed.Url() + "/upload";
    closed.Stop();
    CrashReportUpload(AppPaths::GetTempDir() + "/a.zip", url).DoWork();
    EXPECT_NE(ReadFile(log).find("upload log error. code=7, response code=0, "), std::string::npos);
}

TEST(LogUpload, AServerMayTakeLongToAnswerADeliveredUploadButNotToTakeIt)
{
    const std::string log = AppPaths::GetAppDataDir() + "/Talvora.log";
    const auto warnings = [&] { return Occurrences(ReadFile(log), TestSupport::LogEntryStart("CUpLoadLog::DoWork", "upload log error.")); };
    TempDir dir;
    const std::string zip = ZipBytesToFile(std::string(100000, 'z'), dir / "small.zip");
    // Limits cut down from 60 and 600 seconds.
    const BackgroundTransfer::Limits limits{std::chrono::seconds(1), std::chrono::seconds(30)};

    // The whole archive arrives, and the answer comes well after the stall limit.
    {
        LoopbackHttpServer server;
        std::atomic<size_t> received{0};
        server.Server().Post("/upload", [&](const httplib::Request& request, httplib::Response& response) {
            received = request.get_file_value("file").content.size();
            std::this_thread::sleep_for(2 * limits.stall);  // the server's own slowness
            response.set_content("stored", "text/plain");
        });
        server.Start();
        const size_t before = warnings();
        CrashReportUpload(zip, server.Url() + "/upload", limits).DoWork();
        EXPECT_EQ(received.load(), 100000u);
        EXPECT_EQ(warnings(), before) << ReadFile(log);
    }

    // A server that stops taking the archive, and one that takes it and never answers: each
    // ends after its own limit.
    std::mutex lock;
    std::condition_variable changed;
    bool released = false;
    LoopbackHttpServer server;
    server.Server().Post("/stall", [&](const httplib::Request&, httplib::Response& response, const httplib::ContentReader&) {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait_for(guard, std::chrono::seconds(60), [&] { return released; });
        response.status = 503;
    });
    server.Server().Post("/silent", [&](const httplib::Request&, httplib::Response& response) {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait_for(guard, std::chrono::seconds(60), [&] { return released; });
        response.status = 503;
    });
    server.Start();
    // More than the loopback socket buffers hold.
    const std::string large = ZipBytesToFile(std::string(48 << 20, 'z'), dir / "large.zip");
    CrashReportUpload(large, server.Url() + "/stall", limits).DoWork();
    EXPECT_NE(ReadFile(log).find("upload log error. code=28, response code="), std::string::npos);
    EXPECT_NE(ReadFile(log).find(", no data moved for 1 seconds\r\n"), std::string::npos) << ReadFile(log);
    const auto started = std::chrono::steady_clock::now();
    CrashReportUpload(zip, server.Url() + "/silent", {std::chrono::seconds(1), std::chrono::seconds(2)}).DoWork();
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
    EXPECT_NE(ReadFile(log).find("upload log error. code=28, response code=0, no reply within 2 seconds after the request was sent\r\n"),
              std::string::npos) << ReadFile(log);
    {
        std::lock_guard<std::mutex> guard(lock);
        released = true;
    }
    changed.notify_all();
}

TEST(LogUpload, StampAllowsOneUploadPerInterval)
{
    LogServer server;
    setenv("TALVORA_LOG_URL", server.Url().c_str(), 1);
    const std::string appDir = AppPaths::GetAppDataDir();
    fs::create_directories(appDir + "/crashDumps");
    const std::string dump = appDir + "/crashDumps/20261209083300.dmp";

    struct Case {
        long long last;
        bool uploads;
    };
    // The same minute, the clock set back, and 100 apart (which always uploads).
    const Case cases[] = {{NowStamp(), false}, {NowStamp() + 1000, false}, {NowStamp() - 100, true}};
    size_t expectedUploads = 0;
    for (const Case& c : cases) {
        WriteFile(dump, "dump");
        WriteConfigString("UploadLogTime", std::to_string(c.last));
        CheckUploadLog(appDir);
        EXPECT_EQ(fs::exists(dump), !c.uploads) << c.last;
        if (c.uploads) {
            EXPECT_GE(std::stoll(ReadConfigString("UploadLogTime", "0", 50)), NowStamp() - 1);
            ++expectedUploads;
        } else {
            EXPECT_EQ(ReadConfigString("UploadLogTime", "0", 50), std::to_string(c.last));
        }
    }
    EXPECT_TRUE(WaitUntil([&] { return server.Uploads().size() == expectedUploads; }));
    unsetenv("TALVORA_LOG_URL");
}

TEST(LogUpload, AStartPostsTheNewestReportsOnAThreadOfItsOwn)
{
    LogServer server;
    TempDir dir;
    const std::string appDir = dir / "data/Talvora";
    fs::create_directories(appDir + "/crashDumps");
    for (int i = 1; i <= 6; ++i) {
        WriteFile(appDir + "/crashDumps/" + std::to_string(i) + ".dmp", "dump " + std::to_string(i));
        const auto created = fs::last_write_time(appDir + "/crashDumps/" + std::to_string(i) + ".dmp");
        WaitUntil([&] {
            WriteFile(dir / "probe", "");
            return fs::last_write_time(dir / "probe") > created;
        });
    }
    WriteFile(appDir + "/Talvora.log", "earlier run\r\n");
    const std::string release = dir / "release";
    ChildResult result;
    std::thread child([&] {
        result = RunChild({TALVORA_MAINTENANCE_HELPER, "startup", release},
                          {{"XDG_DATA_HOME", dir / "data"}, {"TALVORA_LOG_URL", server.Url()}});
    });
    const bool arrived = WaitUntil([&] { return server.Uploads().size() == 1; }, std::chrono::seconds(20));
    WriteFile(release, "");
    child.join();
    ASSERT_TRUE(arrived);
    EXPECT_EQ(result.exitCode, 0);

    const auto entries = ReadZip(ZipBytesToFile(FilePartContent(server.Uploads()[0]), dir / "received.zip"));
    std::vector<std::string> names;
    for (const auto& entry : entries)
        names.push_back(entry.name);
    EXPECT_EQ(names, (std::vector<std::string>{"6.dmp", "5.dmp", "4.dmp", "3.dmp", "Talvora.log", "config.ini"}));
    EXPECT_EQ(entries[4].content, "earlier run\r\n");
    for (int i = 3; i <= 6; ++i)
        EXPECT_FALSE(fs::exists(appDir + "/crashDumps/" + std::to_string(i) + ".dmp"));
    EXPECT_TRUE(fs::exists(appDir + "/crashDumps/1.dmp"));
    EXPECT_TRUE(fs::exists(appDir + "/crashDumps/2.dmp"));
    EXPECT_NE(ReadFile(appDir + "/config.ini").find("UploadLogTime="), std::string::npos);
}

TEST(LogUpload, ReportsOfOneClockTickAreAllListedTooBigOnesSkippedAndTwentyKept)
{
    TempDir dir;
    const std::string dumps = dir / "crashDumps";
    fs::create_directories(dumps);
    // Made in quick succession, many share a tick of the file system's clock; names in the
    // order of making, as the reports' stamps are.
    std::vector<std::string> newestFirst;
    for (int i = 0; i < 25; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "r%02d.dmp", i);
        WriteFile(dumps + "/" + name, "report");
        newestFirst.insert(newestFirst.begin(), dumps + "/" + name);
    }
    // Sparse: no disk space, but a 2 GB read and pack if it were taken.
    WriteFile(dumps + "/huge.dmp", "");
    fs::resize_file(dumps + "/huge.dmp", 2ull << 30);
    WriteFile(dumps + "/bound.dmp", "");
    fs::resize_file(dumps + "/bound.dmp", kMaxCrashReportBytes + 1);
    EXPECT_EQ(ListNewestFiles(dumps, SIZE_MAX), newestFirst);

    // The clock set back: no upload, yet the folder is trimmed to the twenty newest.
    WriteConfigString("UploadLogTime", std::to_string(NowStamp() + 1000));
    CheckUploadLog(dir.Path());
    newestFirst.resize(20);
    EXPECT_EQ(ListNewestFiles(dumps, SIZE_MAX), newestFirst);
    EXPECT_FALSE(fs::exists(dumps + "/r04.dmp"));
    EXPECT_TRUE(fs::exists(dumps + "/huge.dmp"));
}

TEST(LogUpload, AReportGoesOnlyOnceTheServerTookItAndASecondNameOfAnotherFileNever)
{
    LogServer server(500);
    setenv("TALVORA_LOG_URL", server.Url().c_str(), 1);
    TempDir dir;
    const std::string dumps = dir / "crashDumps";
    fs::create_directories(dumps);
    WriteFile(dir / "credentials.json", R"([{"api_key": "k", "secret_key": "PrivateSecretKey0123"}])");
    WriteFile(dumps + "/20261209083300.dmp", "a real report");
    // A hard link passes for a regular file of its own.
    fs::create_hard_link(dir / "credentials.json", dumps + "/20261209083301.dmp");

    const auto upload = [&](size_t count) {
        WriteConfigString("UploadLogTime", "0");
        CheckUploadLog(dir.Path());  // the post included
        EXPECT_EQ(server.Uploads().size(), count);
    };
    upload(1);
    EXPECT_TRUE(fs::exists(dumps + "/20261209083300.dmp"));
    server.Answer(200);
    upload(2);
    EXPECT_FALSE(fs::exists(dumps + "/20261209083300.dmp"));
    EXPECT_TRUE(fs::exists(dumps + "/20261209083301.dmp"));
    unsetenv("TALVORA_LOG_URL");

    for (const Upload& each : server.Uploads()) {
        const auto entries = ReadZip(ZipBytesToFile(FilePartContent(each), dir / "received.zip"));
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].name, "20261209083300.dmp");
        EXPECT_EQ(entries[0].content, "a real report");
    }
}
