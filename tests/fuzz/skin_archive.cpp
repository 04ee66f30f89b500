// The skin archive, a zip file read in place from memory, as the program reads it: opened, each
// layout read by name (exactly, then without regard to case) and built into a window, whose
// images are read from the archive and decoded, and the window painted once.
#include "tests/fuzz/FuzzQtSupport.h"
#include "ui/toolkit/LayoutBuilder.h"
#include "ui/toolkit/WindowWidget.h"
#include "ui/toolkit/UiToolkit.h"

#include <QApplication>
#include <QImage>

namespace {

const wchar_t* const kLayouts[] = {L"MessageWnd.xml", L"AboutAppDlg.xml", L"rtmpplayer.xml"};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    Fuzz::SetUpOffscreenUi(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!UiToolkit::SetSkinArchive(data, size))
        return 0;
    for (const wchar_t* layout : kLayouts) {
        WindowWidget window(nullptr, nullptr);
        if (LayoutBuilder::Build(layout, &window, nullptr) == nullptr)
            continue;
        window.ArrangeNow();
        QImage picture(160, 120, QImage::Format_ARGB32_Premultiplied);
        window.render(&picture);
    }
    UiToolkit::GetImage(L"app_icon.png");
    UiToolkit::ReleaseSkinArchive();
    return 0;
}
