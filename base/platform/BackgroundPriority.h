#pragma once

namespace Platform {

// Lowers the calling thread's CPU and disk priority, and so those of the programs it starts from
// now on: bulk work (copying a file, decoding it) yields to the window and to the requests under
// way on a machine with few cores, and is not slower when the machine is otherwise idle.
void LowerThisThreadsPriority();

}  // namespace Platform
