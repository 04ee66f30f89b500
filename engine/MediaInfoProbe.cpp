#include "engine/MediaInfoProbe.h"

#include "base/TextConvert.h"
#include "engine/DurationText.h"

#include <clocale>
#include <cstddef>
#include <dlfcn.h>
#include <locale.h>
#include <mutex>

namespace {

// The library's C interface; declared here because its -dev package cannot be installed next
// to the libcurl one.
using NewFn = void* (*)();
using DeleteFn = void (*)(void*);
using OpenFn = size_t (*)(void*, const wchar_t*);
using CloseFn = void (*)(void*);
using GetFn = const wchar_t* (*)(void*, int streamKind, size_t streamNumber, const wchar_t* parameter, int infoKind,
                                 int searchKind);

constexpr int kStreamAudio = 2;
constexpr int kInfoText = 1;
constexpr int kInfoName = 0;

constexpr const char* kEntryPoints[] = {
    "MediaInfo_New", "MediaInfoList_New", "MediaInfo_Delete", "MediaInfoList_Delete", "MediaInfo_Open",
    "MediaInfoList_Open", "MediaInfo_Open_Buffer_Init", "MediaInfo_Open_Buffer_Continue",
    "MediaInfo_Open_Buffer_Continue_GoTo_Get", "MediaInfo_Open_Buffer_Finalize", "MediaInfo_Open_NextPacket",
    "MediaInfo_Close", "MediaInfoList_Close", "MediaInfo_Inform", "MediaInfoList_Inform", "MediaInfo_GetI",
    "MediaInfoList_GetI", "MediaInfo_Get", "MediaInfoList_Get", "MediaInfo_Output_Buffer_Get",
    "MediaInfo_Output_Buffer_GetI", "MediaInfo_Option", "MediaInfoList_Option", "MediaInfo_State_Get",
    "MediaInfoList_State_Get", "MediaInfo_Count_Get", "MediaInfoList_Count_Get", "MediaInfoList_Count_Get_Files",
};
static_assert(sizeof kEntryPoints / sizeof kEntryPoints[0] == 28);

struct Library {
    std::mutex lock;
    void* module = nullptr;
    int loadCount = 0;
    NewFn create = nullptr;
    DeleteFn destroy = nullptr;
    OpenFn open = nullptr;
    CloseFn close = nullptr;
    GetFn get = nullptr;
};

// Never destroyed: a probe may run on another thread while the process exits.
Library& TheLibrary()
{
    static auto* library = new Library;
    return *library;
}

// Called with the lock held.
int LoadLocked(Library& library)
{
    if (library.module != nullptr)
        return 1;
    void* module = dlopen("libmediainfo.so.0", RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr)
        return -1;
    for (const char* name : kEntryPoints) {
        if (dlsym(module, name) == nullptr) {
            dlclose(module);
            return -1;
        }
    }
    library.create = reinterpret_cast<NewFn>(dlsym(module, "MediaInfo_New"));
    library.destroy = reinterpret_cast<DeleteFn>(dlsym(module, "MediaInfo_Delete"));
    library.open = reinterpret_cast<OpenFn>(dlsym(module, "MediaInfo_Open"));
    library.close = reinterpret_cast<CloseFn>(dlsym(module, "MediaInfo_Close"));
    library.get = reinterpret_cast<GetFn>(dlsym(module, "MediaInfo_Get"));
    library.module = module;
    ++library.loadCount;
    return 1;
}

// The library turns wide paths into file names through the C locale's character set; ours
// are UTF-8 whatever the environment says, so the probe runs in a UTF-8 locale of its own.
class Utf8LocaleScope {
public:
    Utf8LocaleScope()
    {
        static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        previous_ = utf8 != static_cast<locale_t>(0) ? uselocale(utf8) : static_cast<locale_t>(0);
    }
    ~Utf8LocaleScope()
    {
        if (previous_ != static_cast<locale_t>(0))
            uselocale(previous_);
    }
    Utf8LocaleScope(const Utf8LocaleScope&) = delete;
    Utf8LocaleScope& operator=(const Utf8LocaleScope&) = delete;

private:
    locale_t previous_;
};

}  // namespace

int LoadMediaInfoLibrary()
{
    Library& library = TheLibrary();
    std::lock_guard<std::mutex> guard(library.lock);
    return LoadLocked(library);
}

int ProbeAudioDuration(const std::string& path)
{
    Library& library = TheLibrary();
    std::lock_guard<std::mutex> guard(library.lock);
    LoadLocked(library);
    std::wstring answer = L"Unable to load MediaInfo.dll";
    if (library.module != nullptr) {
        Utf8LocaleScope locale;
        void* handle = library.create();
        if (handle != nullptr) {
            // The library takes wide paths only.
            library.open(handle, AnsiToWide(path).c_str());
            const wchar_t* duration = library.get(handle, kStreamAudio, 0, L"Duration", kInfoText, kInfoName);
            answer = duration != nullptr ? duration : L"";
            library.close(handle);
            library.destroy(handle);
        }
    }
    return DurationSecondsOfText(answer);
}
