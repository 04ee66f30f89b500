#include "support/TestSupport.h"

#include "base/AppPaths.h"
#include "base/LiveThreads.h"
#include "base/LogFile.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

int main(int argc, char** argv)
{
    // Every test process gets its own data folder and temporary folder, so tests can run in
    // parallel and never touch the user's own files.
    const std::string& root = TestSupport::MakeRoot();
    const std::string data = root + "/data";
    const std::string tmp = root + "/tmp";
    std::filesystem::create_directories(tmp);
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    setenv("TMPDIR", tmp.c_str(), 1);

    // Kept for the whole life of the process, as the program's own log is: threads a test
    // left running (workers are never waited for) may still write while the process exits.
    static LogFile* log = new LogFile(AppPaths::GetAppDataDir() + "/Talvora.log", LogFile::ProcessWide);
    (void)log;
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // As the program's own end does: threads a test left running (a probe, a decoder, a worker)
    // end before the libraries they use are torn down.
    LiveThreads::AskAllToEnd();
    LiveThreads::WaitUntilNone(std::chrono::seconds(30));
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
    return result;
}
