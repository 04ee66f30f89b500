// libzip is opened when the first archive is (the skin, once the main window is mapped; a log
// upload), not when the program starts: it brings OpenSSL's libcrypto, whose thousands of symbols
// the dynamic loader would otherwise bind before main. These definitions stand in for the
// library's functions the program calls and forward to the library (see LazyLibrary.h).
#include "base/platform/LazyLibrary.h"

#include <cstring>

// The header's own declarations would make the stand-ins exported.
#define ZIP_EXTERN
#include <zip.h>

namespace {

LazyLibrary& Zip()
{
    static LazyLibrary library("libzip.so.4");
    return library;
}

constexpr char kUnavailable[] = "libzip cannot be loaded";

}  // namespace

#pragma GCC visibility push(hidden)
extern "C" {

int zip_close(zip_t* archive)
{
    TALVORA_REAL_FUNCTION(Zip(), zip_close);
    return real != nullptr ? real(archive) : -1;
}

void zip_discard(zip_t* archive)
{
    TALVORA_REAL_FUNCTION(Zip(), zip_discard);
    if (real != nullptr)
        real(archive);
}

void zip_error_init(zip_error_t* error)
{
    TALVORA_REAL_FUNCTION(Zip(), zip_error_init);
    if (real != nullptr)
        real(error);
    else
        std::memset(error, 0, sizeof *error);
}

void zip_error_fini(zip_error_t* error)
{
    TALVORA_REAL_FUNCTION(Zip(), zip_error_fini);
    if (real != nullptr)
        real(error);
}

const char* zip_error_strerror(zip_error_t* error)
{
    TALVORA_REAL_FUNCTION(Zip(), zip_error_strerror);
    return real != nullptr ? real(error) : kUnavailable;
}

int zip_fclose(zip_file_t* file)
{
    TALVORA_REAL_FUNCTION(Zip(), zip_fclose);
    return real != nullptr ? real(file) : -1;
}

zip_int64_t zip_file_add(zip_t* archive, const char* name, zip_source_t* source, zip_flags_t flags)
{
    TALVORA_REAL_FUNCTION(Zip(), zip_file_add);
    return real != nullptr ? real(archive, name, source, flags) : -1;
}

const char* zip_file_strerror(zip_file_t* file)
{
    TALVORA_REAL_FUNCTION(Zip(), zip_file_strerror);
    return real != nullptr ? real(file) : kUnavailable;
}

zip_file_t* zip_fopen_index(zip_t* archive, zip_uint64_t index, zip_flags_t flags)
{
    TALVORA_REAL_FUNCTION(Zip(), zip_fopen_index);
    return real != nullptr ? real(archive, index, flags) : nullptr;
}

zip_int64_t zip_fread(zip_file_t* file, void* buffer, zip_uint64_t size)
{
    TALVORA_REAL_FUNCTION(Zip(), zip_fread);
    return real != nullptr ? real(file, buffer, size) : -1;
}

zip_int64_t zip_name_locate(zip_t* archive, const char* name, zip_flags_t flags)
{
    TALVORA_REAL_FUNCTION(Zip(), zip_name_locate);
    return real != nullptr ? real(archive, name, flags) : -1;
}

zip_t* zip_open(const char* path, int flags, int* error)
{
    TALVORA_REAL_FUNCTION(Zip(), zip_open);
    if (real != nullptr)
        return real(path, flags, error);
    if (error != nullptr)
        *error = ZIP_ER_INTERNAL;
    return nullptr;
}

zip_t* zip_open_from_source(zip_source_t* source, int flags, zip_error_t* error)
{
    TALVORA_REAL_FUNCTION(Zip(), zip_open_from_source);
    return real != nullptr ? real(source, flags, error) : nullptr;
}

int zip_set_file_compression(zip_t* archive, zip_uint64_t index, zip_int32_t method, zip_uint32_t level)
{
    TALVORA_REAL_FUNCTION(Zip(), zip_set_file_compression);
    return real != nullptr ? real(archive, index, method, level) : -1;
}

zip_source_t* zip_source_buffer(zip_t* archive, const void* data, zip_uint64_t size, int freeWhenDone)
{
    TALVORA_REAL_FUNCTION(Zip(), zip_source_buffer);
    return real != nullptr ? real(archive, data, size, freeWhenDone) : nullptr;
}

zip_source_t* zip_source_buffer_create(const void* data, zip_uint64_t size, int freeWhenDone, zip_error_t* error)
{
    TALVORA_REAL_FUNCTION(Zip(), zip_source_buffer_create);
    return real != nullptr ? real(data, size, freeWhenDone, error) : nullptr;
}

zip_source_t* zip_source_filep(zip_t* archive, FILE* file, zip_uint64_t start, zip_int64_t length)
{
    TALVORA_REAL_FUNCTION(Zip(), zip_source_filep);
    return real != nullptr ? real(archive, file, start, length) : nullptr;
}

void zip_source_free(zip_source_t* source)
{
    TALVORA_REAL_FUNCTION(Zip(), zip_source_free);
    if (real != nullptr)
        real(source);
}

int zip_stat_index(zip_t* archive, zip_uint64_t index, zip_flags_t flags, zip_stat_t* stat)
{
    TALVORA_REAL_FUNCTION(Zip(), zip_stat_index);
    return real != nullptr ? real(archive, index, flags, stat) : -1;
}

void zip_stat_init(zip_stat_t* stat)
{
    TALVORA_REAL_FUNCTION(Zip(), zip_stat_init);
    if (real != nullptr)
        real(stat);
    else
        std::memset(stat, 0, sizeof *stat);
}

const char* zip_strerror(zip_t* archive)
{
    TALVORA_REAL_FUNCTION(Zip(), zip_strerror);
    return real != nullptr ? real(archive) : kUnavailable;
}

}  // extern "C"
#pragma GCC visibility pop
