// A layout file of the skin, as the window builder reads it: the XML into controls of a window
// (offscreen, never shown), laid out for the window's size and painted once.
#include "skin/EmbeddedSkin.h"
#include "tests/fuzz/FuzzQtSupport.h"
#include "ui/toolkit/LayoutBuilder.h"
#include "ui/toolkit/WindowWidget.h"
#include "ui/toolkit/UiToolkit.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    Fuzz::SetUpOffscreenUi(argc, argv);
    // Images named by a layout come from the program's own skin.
    FUZZ_CHECK(InstallEmbeddedSkin());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    WindowWidget window(nullptr, nullptr);
    const QByteArray xml(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (LayoutBuilder::BuildFromText(xml, L"fuzz.xml", &window, nullptr) == nullptr)
        return 0;
    window.ArrangeNow();
    QImage picture(160, 120, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::white);
    window.render(&picture);
    return 0;
}
