// The QApplication of a widget test process, on the offscreen platform unless the caller chose
// one, with the embedded skin and a diagnostic hook that records.
#include "skin/EmbeddedSkin.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/toolkit/UiToolkit.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <memory>

namespace {

class QtEnvironment final : public testing::Environment {
public:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "talvora_ui_tests";
        static char* argv[] = {name, nullptr};
        app_ = std::make_unique<QApplication>(argc, argv);
        UiToolkit::SetDiagnosticHook(&UiTest::RecordDiagnostic);
        InstallEmbeddedSkin();
    }

    void TearDown() override
    {
        for (int i = 0; i < 3; ++i)
            UiTest::ProcessEvents();
        UiToolkit::ReleaseSkinArchive();
        app_.reset();
    }

private:
    std::unique_ptr<QApplication> app_;
};

testing::Environment* const g_qtEnvironment = testing::AddGlobalTestEnvironment(new QtEnvironment);

}  // namespace
