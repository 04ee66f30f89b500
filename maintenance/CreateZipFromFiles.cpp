#include "maintenance/CreateZipFromFiles.h"

#include "base/platform/RegularFile.h"

#include <cstdio>
#include <unistd.h>
#include <zip.h>

namespace {

std::string BaseName(const std::string& path)
{
    std::string name = path;
    if (name.size() >= 2 && name[1] == ':')
        name.erase(0, 2);
    const size_t slash = name.find_last_of("/\\");
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

}  // namespace

int CreateZipFromFiles(const std::string& zipPath, const std::vector<std::string>& files, uint64_t maxFileBytes)
{
    if (zipPath.empty())
        return -1;
    int error = 0;
    zip_t* archive = zip_open(zipPath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (archive == nullptr)
        return -1;
    int result = 0;
    for (const std::string& path : files) {
        if (path.empty()) {
            result = -1;
            break;
        }
        // Read from the descriptor that was checked, never through a link or another name; the
        // source owns the stream from here on.
        uint64_t size = 0;
        const int fd = OpenOwnFile(path, maxFileBytes, &size);
        zip_source_t* source = nullptr;
        if (fd >= 0 && size == 0) {
            // libzip takes a length of 0 as "to the end", which would add whatever came since.
            close(fd);
            source = zip_source_buffer(archive, nullptr, 0, 0);
        } else if (fd >= 0) {
            FILE* stream = fdopen(fd, "rb");
            if (stream == nullptr)
                close(fd);
            else if ((source = zip_source_filep(archive, stream, 0, static_cast<zip_int64_t>(size))) == nullptr)
                std::fclose(stream);
        }
        if (source == nullptr) {
            result = -1;
            break;
        }
        const zip_int64_t index = zip_file_add(archive, BaseName(path).c_str(), source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            result = -1;
            break;
        }
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 6);
    }
    // The files are read when the archive is written out, so a file that vanished in between
    // fails here.
    if (zip_close(archive) != 0) {
        zip_discard(archive);
        result = -1;
    }
    return result;
}
