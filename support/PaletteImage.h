// 8-bit palette pictures held in memory, as the program's bitmap resources store them, and
// what the image manager does to them: read one from a resource's bytes, lay one over
// another, fill a square with one colour. Windows turns them into bitmaps of the platform
// with support/PaletteBitmap.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "support/Geometry.h"

struct TPaletteColor {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    friend bool operator==(const TPaletteColor&, const TPaletteColor&) = default;
};

struct TPaletteImage {
    int width = 0;
    int height = 0;
    std::vector<TPaletteColor> palette;  // 1 to 256 colours
    std::vector<uint8_t> pixels;         // palette indices, width x height, top row first

    bool Empty() const { return width <= 0 || height <= 0; }
    void Clear() { *this = TPaletteImage{}; }
    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    // The pixel at (x, y), which must lie inside the picture.
    uint8_t IndexAt(int x, int y) const {
        return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + x];
    }
    // Its colour; an index past the palette reads black, as the platform draws it.
    TPaletteColor ColorAt(int x, int y) const;
};

// Reads a packed device-independent bitmap, the bytes of a bitmap resource (an information
// header, the colour table, the rows): uncompressed, 8 bits per pixel, rows stored bottom-up
// (positive height) or top-down (negative height), each padded to 4 bytes. Anything else, or
// bytes too few for what the header announces, is refused: false, `out` empty and the reason
// in `why` (when given).
bool ReadPackedDib(const uint8_t* data, size_t size, TPaletteImage& out,
                   std::string* why = nullptr);

// Copies the whole of `source` onto `target` with its top-left corner at `at`; what falls
// outside `target` is cut off. Colours are kept: a colour of `source` missing from the
// palette of `target` is added to it while it has fewer than 256, else the nearest is taken.
void DrawImage(TPaletteImage& target, TPoint at, const TPaletteImage& source);

// Sets every pixel of `rect` that lies inside `target` to palette index `index`.
void FillRect(TPaletteImage& target, const TRect& rect, uint8_t index);
