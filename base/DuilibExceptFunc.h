#pragma once

// The UI toolkit's diagnostic hook: each message (a skin file, image or archive that cannot be
// loaded, an unknown element name) arrives as one wide text and is logged as a warning.
void DuilibExceptFunc(const wchar_t* message);
