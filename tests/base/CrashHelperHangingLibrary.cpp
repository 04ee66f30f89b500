// A library whose loading never finishes: its constructor tells the crash helper that it runs
// and then waits forever, holding the dynamic loader's lock the whole time.
#include <unistd.h>

extern "C" void TalvoraHelperLibraryLoading();

namespace {

__attribute__((constructor)) void NeverFinishLoading()
{
    TalvoraHelperLibraryLoading();
    for (;;)
        pause();
}

}  // namespace
