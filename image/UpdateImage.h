// An update file as it was read, once, into memory: the bytes every check judged are the bytes
// the engine writes. A file replaced or changed on disk after it was read (a second download
// finishing, an editor saving, a share updated) cannot slip unjudged into the handheld. It
// never changes once made; readers share it (TUpdateFile::Attach).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/ResultCodes.h"
#include "image/UpdateFile.h"

class UpdateImage {
public:
    // Update files are a few MiB; one this large is no update, and is refused before it fills
    // the desktop's memory.
    static constexpr uint64_t kMostBytes = 128u << 20;

    // Reads the regular file at `path` whole, calling `idle` as it goes. 0; -308 when it
    // cannot be opened or is no regular file; -301 when it cannot be read; -304 when it is
    // larger than kMostBytes; -306 when memory runs out.
    [[nodiscard]] static TResult Load(const char* path, std::shared_ptr<const UpdateImage>& image,
                                      const ReadIdle& idle = {});
    // Bytes made elsewhere (a test, a fuzzer), under `name` for the log.
    static std::shared_ptr<const UpdateImage> Of(std::vector<uint8_t> bytes,
                                                 std::string name = "(memory)");

    std::span<const uint8_t> Bytes() const { return bytes_; }
    // The path it was read from, for the log.
    const std::string& Name() const { return name_; }

private:
    UpdateImage(std::vector<uint8_t> bytes, std::string name)
        : bytes_(std::move(bytes)), name_(std::move(name)) {}

    const std::vector<uint8_t> bytes_;
    const std::string name_;
};

// What the path functions of UpdateFile.h tell, of an image.
[[nodiscard]] TResult CheckUpdateImage(const std::shared_ptr<const UpdateImage>& image,
                                       const ReadIdle& idle = {});
uint16_t ImageDevice(const std::shared_ptr<const UpdateImage>& image);
uint32_t ImageOsSize(const std::shared_ptr<const UpdateImage>& image, const ReadIdle& idle = {});
uint32_t ImageRamSize(const std::shared_ptr<const UpdateImage>& image, const ReadIdle& idle = {});
