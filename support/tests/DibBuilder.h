// Packed device-independent bitmaps made byte by byte, as a bitmap resource holds them, with
// every field of the header open to damage.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <vector>

#include "support/PaletteImage.h"

struct DibLayout {
    int32_t width = 4;
    int32_t height = 3;  // negative: rows stored top-down
    uint32_t headerSize = 40;
    uint16_t planes = 1;
    uint16_t bitCount = 8;
    uint32_t compression = 0;
    uint32_t colorsUsed = 4;  // 0 means 256
    // The palette index at (x, y), y counted from the top of the picture.
    std::function<uint8_t(int x, int y)> pixel = [](int x, int y) {
        return static_cast<uint8_t>(x + 10 * y);
    };
    // The colour table entry i as red, green, blue.
    std::function<TPaletteColor(uint32_t i)> color = [](uint32_t i) {
        return TPaletteColor{static_cast<uint8_t>(i), static_cast<uint8_t>(i * 2),
                             static_cast<uint8_t>(255 - i)};
    };
};

inline void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

inline std::vector<uint8_t> MakeDib(const DibLayout& s) {
    // Room for the fields even when the header claims to be shorter than they are.
    std::vector<uint8_t> out(std::max<size_t>(s.headerSize, 40), 0);
    Put32(out, 0, s.headerSize);
    Put32(out, 4, static_cast<uint32_t>(s.width));
    Put32(out, 8, static_cast<uint32_t>(s.height));
    out[12] = static_cast<uint8_t>(s.planes);
    out[13] = static_cast<uint8_t>(s.planes >> 8);
    out[14] = static_cast<uint8_t>(s.bitCount);
    out[15] = static_cast<uint8_t>(s.bitCount >> 8);
    Put32(out, 16, s.compression);
    Put32(out, 32, s.colorsUsed);
    const uint32_t colors = s.colorsUsed == 0 ? 256 : s.colorsUsed;
    for (uint32_t i = 0; i < colors; ++i) {
        const TPaletteColor c = s.color(i);
        out.insert(out.end(), {c.blue, c.green, c.red, 0});
    }
    const int rows = std::abs(s.height);
    const size_t stride = (static_cast<size_t>(s.width) + 3) & ~size_t{3};
    for (int stored = 0; stored < rows; ++stored) {
        const int y = s.height > 0 ? rows - 1 - stored : stored;
        for (int x = 0; x < s.width; ++x) out.push_back(s.pixel(x, y));
        // Padding bytes that must never be read as pixels.
        for (size_t pad = static_cast<size_t>(s.width); pad < stride; ++pad) out.push_back(0xEE);
    }
    return out;
}

// A picture of one colour index, `width` x `height`, with `palette`.
inline TPaletteImage Plain(int width, int height, std::vector<TPaletteColor> palette,
                           uint8_t index) {
    TPaletteImage image;
    image.width = width;
    image.height = height;
    image.palette = std::move(palette);
    image.pixels.assign(static_cast<size_t>(width * height), index);
    return image;
}
