#include "base/platform/LazyLibrary.h"

#include "base/LogFile.h"
#include "base/LogTags.h"

#include <dlfcn.h>

void* LazyLibrary::Handle()
{
    std::call_once(opened_, [this] {
        handle_ = dlopen(soname_, RTLD_NOW | RTLD_LOCAL);
        if (handle_ == nullptr) {
            const char* why = dlerror();
            WriteLog(Warning, LogTag::kLazyLibrary, "%s: %s", soname_, why != nullptr ? why : "cannot be loaded");
        }
    });
    return handle_;
}

void* LazyLibrary::Find(const char* name)
{
    void* library = Handle();
    if (library == nullptr)
        return nullptr;
    void* function = dlsym(library, name);
    if (function == nullptr)
        WriteLog(Warning, LogTag::kLazyLibrary, "%s lacks %s", soname_, name);
    return function;
}
