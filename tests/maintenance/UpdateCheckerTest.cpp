#include "base/AppPaths.h"
#include "base/TextConvert.h"
#include "maintenance/UpdateCheck.h"
#include "maintenance/UpdateReport.h"
#include "support/LoopbackHttpServer.h"
#include "support/TestSupport.h"

#include <json/value.h>
#include <zlib.h>

#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <openssl/evp.h>

using namespace TestSupport;
namespace fs = std::filesystem;

namespace {

struct Report {
    int kind;
    std::string value;
    std::string text;
};

// Keeps the check's reports; they come on the check's thread.
class RecordingWindow {
public:
    UpdateCheck::Report Receiver()
    {
        return [this](UpdateReport notice) {
            std::lock_guard<std::mutex> guard(lock_);
            reports_.push_back({static_cast<int>(notice.kind), notice.value, notice.text});
        };
    }
    std::vector<Report> Reports()
    {
        std::lock_guard<std::mutex> guard(lock_);
        return reports_;
    }
    std::vector<int> Kinds()
    {
        std::vector<int> kinds;
        for (const auto& report : Reports())
            kinds.push_back(report.kind);
        return kinds;
    }

private:
    std::mutex lock_;
    std::vector<Report> reports_;
};

std::string Sha1Hex(const std::string& data)
{
    unsigned char digest[20];
    unsigned int length = 0;
    EVP_Digest(data.data(), data.size(), digest, &length, EVP_sha1(), nullptr);
    static const char* digits = "0123456789abcdef";
    std::string hex;
    for (unsigned char byte : digest) {
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

std::string Deflate(const std::string& data)
{
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()), 6);
    out.resize(size);
    return out;
}

// An update server of the test's own; each test sets the replies it needs.
class UpdateCheckerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        server_.Server().Get("/version/Talvora", [this](const httplib::Request&, httplib::Response& res) {
            res.status = versionStatus_;
            res.set_content(versionBody_, "application/json");
        });
        server_.Server().Get("/latest/Talvora", [this](const httplib::Request& req, httplib::Response& res) {
            res.status = latestStatus_;
            acceptEncoding_ = req.get_header_value("Accept-Encoding");
            if (deflateLatest_ || !latestRaw_.empty()) {
                res.set_header("Content-Encoding", "deflate");
                res.set_content(latestRaw_.empty() ? Deflate(latestBody_) : latestRaw_, "application/json");
            } else {
                res.set_content(latestBody_, "application/json");
            }
        });
        server_.Start();
        appData_ = AppPaths::GetUpdateDataDir();
        WriteFile(appData_ + "/config.ini", "[Talvora]\nUpdateUrl=" + server_.Url() + "\n");
        std::remove((appData_ + "/ver").c_str());
    }
    void Version(const std::string& latest, const std::string& minimum = "0")
    {
        versionBody_ = R"({"latest-version":")" + latest + R"(","minimum-required":")" + minimum + R"("})";
    }
    void Installed(const std::string& version, const std::string& files = "[]")
    {
        WriteFile(appData_ + "/ver", R"({"version":")" + version + R"(","files":)" + files + "}");
    }
    std::vector<int> Run(UpdateCheck& checker)
    {
        checker.SetReport(window_->Receiver());
        checker.RunCheck();
        return window_->Kinds();
    }

    LoopbackHttpServer server_;
    std::string appData_;
    int versionStatus_ = 200;
    std::string versionBody_;
    int latestStatus_ = 200;
    std::string latestBody_ = R"({"files":[]})";
    bool deflateLatest_ = false;
    std::string latestRaw_;  // sent as they are, as a deflated body
    std::string acceptEncoding_;
    std::shared_ptr<RecordingWindow> window_ = std::make_shared<RecordingWindow>();
};

const std::string kDigestA = Sha1Hex("a");
const std::string kDigestB = Sha1Hex("b");

}  // namespace

TEST_F(UpdateCheckerTest, VersionsCompareAsByteStrings)
{
    struct Case {
        const char* installed;
        const char* latest;
        bool available;
    };
    // The installed key carries ".json", so "1.0.9.json" sorts after "1.0.10".
    const Case cases[] = {{"1.0.8", "1.0.8", false}, {"1.0.8", "1.0.9", true}, {"1.0.9", "1.0.10", false}, {"1.0", "1.0.1", false}};
    for (const Case& c : cases) {
        Installed(c.installed);
        Version(c.latest);
        UpdateCheck checker;
        window_ = std::make_shared<RecordingWindow>();
        const auto kinds = Run(checker);
        EXPECT_EQ(checker.IsUpdateAvailable(), c.available) << c.installed << " vs " << c.latest;
        EXPECT_TRUE(checker.HasLatestVersion());
        EXPECT_EQ(checker.InstalledKey(), std::string(c.installed) + ".json");
        EXPECT_EQ(kinds, (std::vector<int>{kUpdateVersionKnown, kUpdateNotNeeded})) << c.installed << " vs " << c.latest;
        EXPECT_EQ(window_->Reports()[0].value, c.latest);
    }
}

TEST_F(UpdateCheckerTest, RequiredUpdateNeedsADifferenceInTheManifest)
{
    Installed("1.0.8", R"([{"path":"talvora","size":1,"digest":")" + kDigestA + R"("}])");
    Version("1.0.9", "1.0.9");
    latestBody_ = R"({"files":[{"path":"talvora","size":1,"digest":")" + kDigestA + R"("}]})";
    UpdateCheck same;
    EXPECT_EQ(Run(same), (std::vector<int>{kUpdateVersionKnown, kUpdateNotNeeded}));
    EXPECT_TRUE(same.IsUpdateRequired());
    EXPECT_NE(acceptEncoding_.find("deflate"), std::string::npos);

    window_ = std::make_shared<RecordingWindow>();
    latestBody_ = R"({"files":[{"path":"talvora","size":1,"digest":")" + kDigestB + R"("}]})";
    UpdateCheck changed;
    EXPECT_EQ(Run(changed), (std::vector<int>{kUpdateVersionKnown, kUpdateNeeded}));
    ASSERT_EQ(changed.UpdateList().size(), 1u);
    EXPECT_EQ(changed.UpdateList()[0].relPath, "talvora");
}

TEST_F(UpdateCheckerTest, ServerErrorWithAValidObjectGoesOn)
{
    Installed("1.0.8");
    Version("1.0.8");
    versionStatus_ = 500;
    UpdateCheck checker;
    EXPECT_EQ(Run(checker), (std::vector<int>{kUpdateCheckFailed, kUpdateVersionKnown, kUpdateNotNeeded}));
    EXPECT_EQ(window_->Reports()[0].text, "cannot get remote version");
}

TEST_F(UpdateCheckerTest, InvalidVersionRepliesEndTheCheck)
{
    Installed("1.0.8");
    const std::string bodies[] = {"<html>busy</html>", R"({"latest-version":1,"minimum-required":"1"})", "[]", "",
                                  R"({"latest-version":"1.0.9"})", R"({"latest-version":"1","minimum-required":"1"} trailing)",
                                  std::string(100000, '[')};
    for (const std::string& body : bodies) {
        versionBody_ = body;
        window_ = std::make_shared<RecordingWindow>();
        UpdateCheck checker;
        const auto kinds = Run(checker);
        ASSERT_EQ(kinds, (std::vector<int>{kUpdateCheckFailed})) << body.substr(0, 50);
        EXPECT_EQ(window_->Reports()[0].text, "无法获取远程服务器软件版本");
        EXPECT_FALSE(checker.HasLatestVersion());
    }
}

TEST_F(UpdateCheckerTest, UnreachableServerReportsBothFailures)
{
    Installed("1.0.8");
    server_.Stop();
    UpdateCheck checker;
    EXPECT_EQ(Run(checker), (std::vector<int>{kUpdateCheckFailed, kUpdateCheckFailed}));
    EXPECT_EQ(window_->Reports()[0].text, "cannot get remote version");
}

TEST_F(UpdateCheckerTest, ManifestWithoutFilesDependsOnInstalledFiles)
{
    Version("1.0.9");
    latestBody_ = R"({"other":1})";
    Installed("1.0.8", R"([{"path":"a","size":1,"digest":")" + kDigestA + R"("}])");
    UpdateCheck withFiles;
    EXPECT_EQ(Run(withFiles), (std::vector<int>{kUpdateVersionKnown, kUpdateNeeded}));

    window_ = std::make_shared<RecordingWindow>();
    Installed("1.0.8");
    UpdateCheck withoutFiles;
    EXPECT_EQ(Run(withoutFiles), (std::vector<int>{kUpdateVersionKnown, kUpdateNotNeeded}));
}

TEST_F(UpdateCheckerTest, SamePathListedTwiceCountsAsNewTheSecondTime)
{
    Version("1.0.9");
    Installed("1.0.8", R"([{"path":"a","size":1,"digest":")" + kDigestA + R"("}])");
    latestBody_ = R"({"files":[{"path":"a","size":1,"digest":")" + kDigestA + R"("},{"path":"a","size":1,"digest":")" + kDigestA + R"("}]})";
    UpdateCheck checker;
    EXPECT_EQ(Run(checker), (std::vector<int>{kUpdateVersionKnown, kUpdateNeeded}));
    EXPECT_EQ(checker.UpdateList().size(), 1u);
    EXPECT_TRUE(checker.LocalFiles().empty());
}

TEST_F(UpdateCheckerTest, DeflatedAndBrokenManifests)
{
    Version("1.0.9");
    Installed("1.0.8", R"([{"path":"a","size":1,"digest":")" + kDigestA + R"("}])");
    deflateLatest_ = true;
    latestBody_ = R"({"files":[{"path":"a","size":1,"digest":")" + kDigestA + R"("}]})";
    UpdateCheck deflated;
    EXPECT_EQ(Run(deflated), (std::vector<int>{kUpdateVersionKnown, kUpdateNotNeeded}));

    // Not JSON, or cut off: the check ends without a verdict.
    for (const std::string& body : {std::string("not json"), latestBody_.substr(0, 20)}) {
        deflateLatest_ = false;
        latestBody_ = body;
        window_ = std::make_shared<RecordingWindow>();
        UpdateCheck broken;
        EXPECT_EQ(Run(broken), (std::vector<int>{kUpdateVersionKnown}));
    }
    // A 500 with an object is still compared.
    latestStatus_ = 500;
    latestBody_ = R"({"files":[]})";
    window_ = std::make_shared<RecordingWindow>();
    UpdateCheck failed;
    EXPECT_EQ(Run(failed), (std::vector<int>{kUpdateVersionKnown, kUpdateCheckFailed, kUpdateNeeded}));
    EXPECT_EQ(window_->Reports()[1].text, "cannot get latest version");
}

TEST_F(UpdateCheckerTest, CorruptDeflateAndHugeRepliesFailCleanly)
{
    Version("1.0.9");
    Installed("1.0.8");
    latestRaw_ = "\x78\x9c garbage that is not deflate";
    UpdateCheck corrupt;
    EXPECT_EQ(Run(corrupt), (std::vector<int>{kUpdateVersionKnown}));

    versionBody_ = R"({"latest-version":")" + std::string(20u << 20, '9') + R"(","minimum-required":"1"})";
    window_ = std::make_shared<RecordingWindow>();
    UpdateCheck huge;
    EXPECT_EQ(Run(huge), (std::vector<int>{kUpdateCheckFailed}));
}

TEST_F(UpdateCheckerTest, FileItemsAreReadSafely)
{
    UpdateCheck checker;
    Json::Value item;
    item["path"] = "../../etc/passwd";
    item["size"] = -5;
    item["digest"] = "ABCDEF";
    UpdateFileInfo info = checker.ParseFileItem(item);
    EXPECT_EQ(info.relPath, "../../etc/passwd");
    EXPECT_EQ(info.size, 0u);
    EXPECT_EQ(info.digest[0], 0xAB);
    EXPECT_EQ(info.digest[2], 0xEF);
    EXPECT_EQ(info.digest[3], 0);
    EXPECT_EQ(info.fullPath, AppPaths::GetModuleDir() + "/../../etc/passwd");

    item["size"] = 1e30;
    item["digest"] = "zz" + kDigestA.substr(2) + "ignored";
    info = checker.ParseFileItem(item);
    EXPECT_EQ(info.size, UINT32_MAX);
    EXPECT_EQ(info.digest[0], 0);
    EXPECT_EQ(info.digest[1], 0xF7);  // sha1("a") = 86f7e437...

    item["size"] = "12";
    item["digest"] = 5;
    item["path"] = Json::Value(Json::arrayValue);
    info = checker.ParseFileItem(item);
    EXPECT_EQ(info.size, 0u);
    EXPECT_EQ(info.relPath, "");
    EXPECT_EQ(checker.ParseFileItem(Json::Value("not an object")).relPath, "");
}

TEST_F(UpdateCheckerTest, JunkLocalManifestMeansNoKeyAndNoScan)
{
    Version("1.0.9");
    WriteFile(appData_ + "/ver", std::string("\x00\xFF\x7Fjunk{", 8));
    UpdateCheck checker;
    const auto kinds = Run(checker);
    EXPECT_EQ(checker.InstalledKey(), "");
    EXPECT_TRUE(checker.IsUpdateAvailable());
    // No folder scan (kind 0) happened; an empty local list against an empty manifest.
    EXPECT_EQ(kinds, (std::vector<int>{kUpdateVersionKnown, kUpdateNotNeeded}));
}

TEST_F(UpdateCheckerTest, BackgroundCheckOutlivesItsChecker)
{
    Installed("1.0.8");
    Version("1.0.9");
    {
        UpdateCheck checker;
        checker.SetReport(window_->Receiver());
        EXPECT_TRUE(checker.StartCheck());
    }
    EXPECT_TRUE(WaitUntil([&] { return window_->Kinds().size() == 2; }));
    EXPECT_EQ(window_->Kinds(), (std::vector<int>{kUpdateVersionKnown, kUpdateNotNeeded}));
}

TEST_F(UpdateCheckerTest, TurnedOffItAsksNothingAndReportsNothing)
{
    Installed("1.0.8");
    Version("1.0.9");
    WriteFile(appData_ + "/config.ini", "[Talvora]\nUpdateUrl=" + server_.Url() + "\nUpdateCheck=0\n");
    UpdateCheck checker;
    checker.SetReport(window_->Receiver());
    EXPECT_FALSE(UpdateCheck::IsEnabled());
    EXPECT_FALSE(checker.StartCheck());
    EXPECT_FALSE(checker.HasLatestVersion());
    EXPECT_TRUE(window_->Kinds().empty());
    // Any other value, or none, lets it run.
    WriteFile(appData_ + "/config.ini", "[Talvora]\nUpdateUrl=" + server_.Url() + "\nUpdateCheck=1\n");
    EXPECT_TRUE(UpdateCheck::IsEnabled());
}
