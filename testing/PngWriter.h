// Test equipment: pictures kept as PNG files, so that a scenario test or the demo can show
// what a window looked like. RGB rows in, PNG bytes out, with no platform call and no outside
// library: the deflate stream is this file's own (fixed Huffman codes over a plain LZ77
// search, or stored blocks when those come out smaller).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace png {

// 8 bits each of red, green and blue per pixel; rows from the top, with no padding.
struct RgbImage {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> pixels;  // width * height * 3 bytes

    // The pixel at (x, y) as 0xRRGGBB; the caller keeps inside the image.
    uint32_t At(uint32_t x, uint32_t y) const {
        const size_t at = (static_cast<size_t>(y) * width + x) * 3;
        return static_cast<uint32_t>(pixels[at]) << 16 | pixels[at + 1] << 8 | pixels[at + 2];
    }
};

// True when the image has at least one pixel and exactly the bytes its size asks for.
bool IsWhole(const RgbImage& image);

// The PNG file of `image`: 8-bit truecolour, not interlaced, one IDAT chunk. Empty when the
// image is not whole.
std::vector<uint8_t> Encode(const RgbImage& image);

// Writes Encode(image) to `path`; false, with `error` saying why, when it cannot.
bool WriteFile(const std::string& path, const RgbImage& image, std::string& error);

// The pieces, for the tests that check them against an independent reader.
uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0);  // continue from `crc`
uint32_t Adler32(const uint8_t* data, size_t size);
std::vector<uint8_t> Deflate(const uint8_t* data, size_t size);  // a raw deflate stream
std::vector<uint8_t> ZlibCompress(const uint8_t* data, size_t size);

}  // namespace png
