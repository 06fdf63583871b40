#include "image/UpdateImage.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <new>
#include <system_error>

#include "base/Log.h"

namespace {

// 64 KiB between two calls of the idle, as the sector reader hands the thread over.
constexpr std::size_t kReadChunk = 64 * 1024;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

}  // namespace

TResult UpdateImage::Load(const char* path, std::shared_ptr<const UpdateImage>& image,
                          const ReadIdle& idle) {
    image.reset();
    std::error_code error;
    // A FIFO or a device would block the reader or never end.
    if (!path || !std::filesystem::is_regular_file(std::filesystem::path(path), error))
        return rc::UpdateOpenError;
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rb"));
    if (!file) return rc::UpdateOpenError;

    // Read to the end rather than to a size asked for first: a file that grows or shrinks
    // meanwhile is taken as it was read, and that is what gets judged.
    std::vector<uint8_t> bytes;
    try {
        // One copy of the file in memory, with room for the read that finds its end.
        const std::uintmax_t size = std::filesystem::file_size(std::filesystem::path(path), error);
        if (!error)
            bytes.reserve(static_cast<std::size_t>(std::min<std::uintmax_t>(size, kMostBytes)) +
                          kReadChunk);
        for (;;) {
            const std::size_t at = bytes.size();
            if (at >= kMostBytes) {
                PrintMessage(0, "err: update file %s is larger than %llu bytes", path,
                             static_cast<unsigned long long>(kMostBytes));
                return rc::InvalidUpdateFile;
            }
            bytes.resize(at + kReadChunk);
            const std::size_t got = std::fread(bytes.data() + at, 1, kReadChunk, file.get());
            bytes.resize(at + got);
            if (got < kReadChunk) break;
            if (idle) idle();
        }
        if (std::ferror(file.get())) {
            PrintMessage(0, "err: read update file %s", path);
            return rc::UpdateReadError;
        }
        image = Of(std::move(bytes), path);
    } catch (const std::bad_alloc&) {
        return rc::UpdateOutOfMemory;
    }
    return image ? rc::Success : rc::UpdateOutOfMemory;
}

std::shared_ptr<const UpdateImage> UpdateImage::Of(std::vector<uint8_t> bytes, std::string name) {
    return std::shared_ptr<const UpdateImage>(new (std::nothrow)
                                                  UpdateImage(std::move(bytes), std::move(name)));
}
