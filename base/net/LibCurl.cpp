// libcurl is loaded when the first transfer is set up, not when the program starts. With the
// libraries it brings along (TLS twice, Kerberos, LDAP, SASL, SSH, RTMP, ...) it is 29 shared
// objects whose loading and relocation before main would delay the first window noticeably,
// and the window needs none of them. The program calls libcurl's functions as usual; these
// definitions stand in for them and forward to the library, loaded on the first call.
#define CURL_DISABLE_TYPECHECK
#include <curl/curl.h>

#include "base/LogFile.h"

#include "base/LogTags.h"

#include <atomic>
#include <cstdarg>
#include <dlfcn.h>
#include <type_traits>

namespace {

constexpr char kLibrary[] = "libcurl.so.4";

struct Api {
    decltype(&curl_global_init) global_init = nullptr;
    decltype(&curl_global_cleanup) global_cleanup = nullptr;
    decltype(&curl_version) version = nullptr;
    decltype(&curl_easy_init) easy_init = nullptr;
    decltype(&curl_easy_setopt) easy_setopt = nullptr;
    decltype(&curl_easy_perform) easy_perform = nullptr;
    decltype(&curl_easy_getinfo) easy_getinfo = nullptr;
    decltype(&curl_easy_cleanup) easy_cleanup = nullptr;
    decltype(&curl_easy_strerror) easy_strerror = nullptr;
    decltype(&curl_easy_escape) easy_escape = nullptr;
    decltype(&curl_free) free = nullptr;
    decltype(&curl_slist_append) slist_append = nullptr;
    decltype(&curl_slist_free_all) slist_free_all = nullptr;
    decltype(&curl_mime_init) mime_init = nullptr;
    decltype(&curl_mime_free) mime_free = nullptr;
    decltype(&curl_mime_addpart) mime_addpart = nullptr;
    decltype(&curl_mime_name) mime_name = nullptr;
    decltype(&curl_mime_filename) mime_filename = nullptr;
    decltype(&curl_mime_type) mime_type = nullptr;
    decltype(&curl_mime_data) mime_data = nullptr;
    decltype(&curl_mime_data_cb) mime_data_cb = nullptr;
    decltype(&curl_url) url = nullptr;
    decltype(&curl_url_cleanup) url_cleanup = nullptr;
    decltype(&curl_url_set) url_set = nullptr;
    decltype(&curl_url_get) url_get = nullptr;
};

// Set once the library is loaded, so that the end of a run that never used it does not load it.
std::atomic<bool> g_loaded{false};

// The library's entry points, or null when it cannot be loaded (then every call fails as
// libcurl itself fails when it cannot set up: no handle, CURLE_FAILED_INIT).
const Api* Curl()
{
    static const Api* const loaded = []() -> const Api* {
        static Api api;
        void* library = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            const char* why = dlerror();
            WriteLog(Warning, LogTag::kLibCurl, "%s: %s", kLibrary, why != nullptr ? why : "cannot be loaded");
            return nullptr;
        }
        bool complete = true;
        auto resolve = [&](auto& slot, const char* name) {
            slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(dlsym(library, name));
            if (slot == nullptr) {
                WriteLog(Warning, LogTag::kLibCurl, "%s lacks %s", kLibrary, name);
                complete = false;
            }
        };
        resolve(api.global_init, "curl_global_init");
        resolve(api.global_cleanup, "curl_global_cleanup");
        resolve(api.version, "curl_version");
        resolve(api.easy_init, "curl_easy_init");
        resolve(api.easy_setopt, "curl_easy_setopt");
        resolve(api.easy_perform, "curl_easy_perform");
        resolve(api.easy_getinfo, "curl_easy_getinfo");
        resolve(api.easy_cleanup, "curl_easy_cleanup");
        resolve(api.easy_strerror, "curl_easy_strerror");
        resolve(api.easy_escape, "curl_easy_escape");
        resolve(api.free, "curl_free");
        resolve(api.slist_append, "curl_slist_append");
        resolve(api.slist_free_all, "curl_slist_free_all");
        resolve(api.mime_init, "curl_mime_init");
        resolve(api.mime_free, "curl_mime_free");
        resolve(api.mime_addpart, "curl_mime_addpart");
        resolve(api.mime_name, "curl_mime_name");
        resolve(api.mime_filename, "curl_mime_filename");
        resolve(api.mime_type, "curl_mime_type");
        resolve(api.mime_data, "curl_mime_data");
        resolve(api.mime_data_cb, "curl_mime_data_cb");
        resolve(api.url, "curl_url");
        resolve(api.url_cleanup, "curl_url_cleanup");
        resolve(api.url_set, "curl_url_set");
        resolve(api.url_get, "curl_url_get");
        g_loaded.store(complete);
        return complete ? &api : nullptr;
    }();
    return loaded;
}

}  // namespace

// The option and query numbers are enums, which the variadic calls promote to int; libcurl's
// own definitions take them the same way, and every ABI the program runs on passes both alike.
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wvarargs"
#endif

extern "C" {

CURLcode curl_global_init(long flags)
{
    return Curl() != nullptr ? Curl()->global_init(flags) : CURLE_FAILED_INIT;
}

void curl_global_cleanup(void)
{
    if (g_loaded.load() && Curl() != nullptr)
        Curl()->global_cleanup();
}

char* curl_version(void)
{
    static char unavailable[] = "libcurl (not loaded)";
    return Curl() != nullptr ? Curl()->version() : unavailable;
}

CURL* curl_easy_init(void)
{
    return Curl() != nullptr ? Curl()->easy_init() : nullptr;
}

// Every option takes one argument whose type its number tells.
CURLcode curl_easy_setopt(CURL* curl, CURLoption option, ...)
{
    if (Curl() == nullptr)
        return CURLE_FAILED_INIT;
    va_list arguments;
    va_start(arguments, option);
    CURLcode result;
    if (option < CURLOPTTYPE_OBJECTPOINT) {
        result = Curl()->easy_setopt(curl, option, va_arg(arguments, long));
    } else if (option < CURLOPTTYPE_FUNCTIONPOINT) {
        result = Curl()->easy_setopt(curl, option, va_arg(arguments, void*));
    } else if (option < CURLOPTTYPE_OFF_T) {
        using AnyFunction = void (*)(void);
        result = Curl()->easy_setopt(curl, option, va_arg(arguments, AnyFunction));
    } else if (option < CURLOPTTYPE_BLOB) {
        result = Curl()->easy_setopt(curl, option, va_arg(arguments, curl_off_t));
    } else {
        result = Curl()->easy_setopt(curl, option, va_arg(arguments, void*));
    }
    va_end(arguments);
    return result;
}

CURLcode curl_easy_perform(CURL* curl)
{
    return Curl() != nullptr ? Curl()->easy_perform(curl) : CURLE_FAILED_INIT;
}

// Every query takes one pointer to where the answer goes.
CURLcode curl_easy_getinfo(CURL* curl, CURLINFO info, ...)
{
    if (Curl() == nullptr)
        return CURLE_FAILED_INIT;
    va_list arguments;
    va_start(arguments, info);
    const CURLcode result = Curl()->easy_getinfo(curl, info, va_arg(arguments, void*));
    va_end(arguments);
    return result;
}

void curl_easy_cleanup(CURL* curl)
{
    if (Curl() != nullptr)
        Curl()->easy_cleanup(curl);
}

const char* curl_easy_strerror(CURLcode code)
{
    return Curl() != nullptr ? Curl()->easy_strerror(code) : "libcurl cannot be loaded";
}

char* curl_easy_escape(CURL* curl, const char* text, int length)
{
    return Curl() != nullptr ? Curl()->easy_escape(curl, text, length) : nullptr;
}

void curl_free(void* pointer)
{
    if (Curl() != nullptr)
        Curl()->free(pointer);
}

curl_slist* curl_slist_append(curl_slist* list, const char* text)
{
    return Curl() != nullptr ? Curl()->slist_append(list, text) : nullptr;
}

void curl_slist_free_all(curl_slist* list)
{
    if (Curl() != nullptr)
        Curl()->slist_free_all(list);
}

curl_mime* curl_mime_init(CURL* curl)
{
    return Curl() != nullptr ? Curl()->mime_init(curl) : nullptr;
}

void curl_mime_free(curl_mime* mime)
{
    if (Curl() != nullptr)
        Curl()->mime_free(mime);
}

curl_mimepart* curl_mime_addpart(curl_mime* mime)
{
    return Curl() != nullptr ? Curl()->mime_addpart(mime) : nullptr;
}

CURLcode curl_mime_name(curl_mimepart* part, const char* name)
{
    return Curl() != nullptr ? Curl()->mime_name(part, name) : CURLE_FAILED_INIT;
}

CURLcode curl_mime_filename(curl_mimepart* part, const char* name)
{
    return Curl() != nullptr ? Curl()->mime_filename(part, name) : CURLE_FAILED_INIT;
}

CURLcode curl_mime_type(curl_mimepart* part, const char* type)
{
    return Curl() != nullptr ? Curl()->mime_type(part, type) : CURLE_FAILED_INIT;
}

CURLcode curl_mime_data(curl_mimepart* part, const char* data, size_t size)
{
    return Curl() != nullptr ? Curl()->mime_data(part, data, size) : CURLE_FAILED_INIT;
}

CURLcode curl_mime_data_cb(curl_mimepart* part, curl_off_t size, curl_read_callback read, curl_seek_callback seek,
                           curl_free_callback release, void* argument)
{
    return Curl() != nullptr ? Curl()->mime_data_cb(part, size, read, seek, release, argument) : CURLE_FAILED_INIT;
}

CURLU* curl_url(void)
{
    return Curl() != nullptr ? Curl()->url() : nullptr;
}

void curl_url_cleanup(CURLU* url)
{
    if (Curl() != nullptr)
        Curl()->url_cleanup(url);
}

CURLUcode curl_url_set(CURLU* url, CURLUPart part, const char* text, unsigned int flags)
{
    return Curl() != nullptr ? Curl()->url_set(url, part, text, flags) : CURLUE_OUT_OF_MEMORY;
}

CURLUcode curl_url_get(CURLU* url, CURLUPart part, char** text, unsigned int flags)
{
    return Curl() != nullptr ? Curl()->url_get(url, part, text, flags) : CURLUE_OUT_OF_MEMORY;
}

}  // extern "C"
