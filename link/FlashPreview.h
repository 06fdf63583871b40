// The handheld's flash as it will stand once an update's OS is written, read before anything
// is erased: what the engine would leave (the file's sections, their last block padded, the
// rest of each erase block they start blank) laid over what the handheld holds now. Sections
// the handheld holds already are not written, so they change nothing. Lets the finalisation's
// preconditions be judged while a refusal still costs the user nothing.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "base/ResultCodes.h"
#include "image/UpdateFile.h"
#include "image/UpdateImage.h"

class TLoader;

class FlashPreview {
public:
    // The loader is not owned; `map` is the image's OS map.
    FlashPreview(TLoader& loader, std::shared_ptr<const UpdateImage> image, const OsMap& map);

    // `count` bytes at flash offset `offset`, as they will be.
    [[nodiscard]] TResult Read(uint32_t offset, uint8_t* to, uint16_t count);

private:
    struct Written {
        uint32_t begin, dataEnd, eraseEnd;  // flash offsets: data with padding, erased blocks
        OsSection section;
        int8_t flashed = -1;  // unknown until asked: whether the engine will write it
    };

    [[nodiscard]] TResult WillBeFlashed(Written& w, bool& flashed);

    TLoader& loader_;
    std::shared_ptr<const UpdateImage> image_;
    std::vector<Written> written_;
};
