#pragma once

#include <cstddef>

// The skin archive compiled into the program: every file of skin/res (the layout files and
// their images) in one zip archive.
const unsigned char* EmbeddedSkinData();
size_t EmbeddedSkinSize();

// Hands the archive to the UI toolkit (UiToolkit::SetSkinArchive); false when it cannot be read.
bool InstallEmbeddedSkin();
// Hands the archive to the UI toolkit to be opened when the first file is read from it
// (UiToolkit::SetSkinArchiveOnFirstRead).
void InstallEmbeddedSkinOnFirstRead();
