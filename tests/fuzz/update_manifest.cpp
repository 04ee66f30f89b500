// The update server's file manifest, as the update check reads it and compares it with the
// installed files. The first byte picks the form: even, the body as it is; odd, the rest is
// sent by a loopback server as a "Content-Encoding: deflate" body, so libcurl inflates it as
// it does for the real server before the check reads it.
#include "maintenance/UpdateCheck.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/support/LoopbackHttpServer.h"

#include <mutex>

namespace {

// The installed files the manifest is compared with.
constexpr char kInstalled[] =
    R"({"version":"1.0.8","files":[{"path":"Talvora","size":3,"digest":"a9993e364706816aba3e25717850c26c9cd0d89d"},)"
    R"({"path":"skin/a.png","size":0,"digest":"da39a3ee5e6b4b0d3255bfef95601890afd80709"}]})";

std::mutex bodyLock;
std::string deflatedBody;

TestSupport::LoopbackHttpServer& Server()
{
    static TestSupport::LoopbackHttpServer* server = [] {
        auto* started = new TestSupport::LoopbackHttpServer;
        started->Server().Get("/latest/Talvora", [](const httplib::Request&, httplib::Response& res) {
            std::lock_guard<std::mutex> guard(bodyLock);
            res.set_header("Content-Encoding", "deflate");
            res.set_content(deflatedBody, "application/json");
        });
        started->Start();
        return started;
    }();
    return *server;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::SetUp();
    Fuzz::WriteFile(Fuzz::DataFolder() + "/config.ini", "[Talvora]\nUpdateUrl=" + Server().Url() + "\n");
    Fuzz::WriteFile(Fuzz::DataFolder() + "/ver", kInstalled);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    UpdateCheck checker;
    checker.LoadLocalManifest();
    const std::string body(reinterpret_cast<const char*>(data) + 1, size - 1);
    bool read = false;
    if ((data[0] & 1) == 0) {
        read = checker.ReadLatestManifest(body);
    } else {
        {
            std::lock_guard<std::mutex> guard(bodyLock);
            deflatedBody = body;
        }
        read = checker.FetchLatestManifest();
    }
    if (read)
        checker.CompareManifest();
    for (const UpdateFileInfo& file : checker.UpdateList())
        FUZZ_CHECK(file.fullPath.size() >= file.relPath.size());
    return 0;
}
