#include "skin/EmbeddedSkin.h"

#include "ui/toolkit/UiToolkit.h"

extern const unsigned char kSkinArchiveBytes[];
extern const std::size_t kSkinArchiveSize;

const unsigned char* EmbeddedSkinData()
{
    return kSkinArchiveBytes;
}

size_t EmbeddedSkinSize()
{
    return kSkinArchiveSize;
}

bool InstallEmbeddedSkin()
{
    return UiToolkit::SetSkinArchive(EmbeddedSkinData(), EmbeddedSkinSize());
}

void InstallEmbeddedSkinOnFirstRead()
{
    UiToolkit::SetSkinArchiveOnFirstRead(EmbeddedSkinData(), EmbeddedSkinSize());
}
