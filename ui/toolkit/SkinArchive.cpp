#include "ui/toolkit/SkinArchive.h"

#include <zip.h>

namespace {

std::string ErrorText(zip_error_t* error)
{
    const char* text = zip_error_strerror(error);
    return text != nullptr ? text : "unknown error";
}

}  // namespace

SkinArchive::~SkinArchive()
{
    Close();
}

bool SkinArchive::Open(const void* data, size_t size, std::string& error)
{
    Close();
    if (data == nullptr || size == 0) {
        error = "the archive is empty";
        return false;
    }
    zip_error_t zipError;
    zip_error_init(&zipError);
    zip_source_t* source = zip_source_buffer_create(data, size, 0, &zipError);
    if (source == nullptr) {
        error = ErrorText(&zipError);
        zip_error_fini(&zipError);
        return false;
    }
    zip_t* archive = zip_open_from_source(source, ZIP_RDONLY, &zipError);
    if (archive == nullptr) {
        error = ErrorText(&zipError);
        zip_error_fini(&zipError);
        zip_source_free(source);
        return false;
    }
    zip_error_fini(&zipError);
    std::lock_guard<std::mutex> guard(lock_);
    archive_ = archive;
    return true;
}

void SkinArchive::Close()
{
    std::lock_guard<std::mutex> guard(lock_);
    if (archive_ != nullptr) {
        zip_discard(archive_);
        archive_ = nullptr;
    }
}

bool SkinArchive::IsOpen() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return archive_ != nullptr;
}

bool SkinArchive::Read(const std::string& name, std::string& content, std::string& error)
{
    content.clear();
    std::lock_guard<std::mutex> guard(lock_);
    if (archive_ == nullptr) {
        error = "no skin archive is loaded";
        return false;
    }
    zip_int64_t index = zip_name_locate(archive_, name.c_str(), 0);
    if (index < 0)
        index = zip_name_locate(archive_, name.c_str(), ZIP_FL_NOCASE);
    if (index < 0) {
        error = "no such file in the skin archive";
        return false;
    }
    zip_stat_t stat;
    zip_stat_init(&stat);
    if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &stat) != 0 || (stat.valid & ZIP_STAT_SIZE) == 0) {
        error = zip_strerror(archive_);
        return false;
    }
    if (stat.size > kMaxEntrySize) {
        error = "the file is too large";
        return false;
    }
    zip_file_t* file = zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0);
    if (file == nullptr) {
        error = zip_strerror(archive_);
        return false;
    }
    content.resize(static_cast<size_t>(stat.size));
    size_t done = 0;
    while (done < content.size()) {
        zip_int64_t got = zip_fread(file, content.data() + done, content.size() - done);
        if (got <= 0)
            break;
        done += static_cast<size_t>(got);
    }
    bool complete = done == content.size();
    if (!complete)
        error = zip_file_strerror(file);
    zip_fclose(file);
    if (!complete)
        content.clear();
    return complete;
}
