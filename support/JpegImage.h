// Decoding of JPEG pictures held in memory (the welcome page's logo is stored as one).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct JpegImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // width * height * 3 bytes, rows top to bottom
};

// Decodes `size` bytes at `data`. On failure returns false, leaves `out` empty and puts
// the decoder's message in `error` (when given); never aborts the program.
bool DecodeJpeg(const uint8_t* data, size_t size, JpegImage& out, std::string* error = nullptr);
