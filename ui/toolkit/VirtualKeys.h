#pragma once

#include <cstdint>

// The Windows virtual-key code of a Qt key (Qt::Key), or 0 for keys without one here. Letters
// and digits give their upper-case ASCII codes ('L' = 0x4C) whatever the modifiers.
uintptr_t VirtualKeyFromQtKey(int key);
