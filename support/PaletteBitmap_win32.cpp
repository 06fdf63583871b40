#include <windows.h>

#include <algorithm>
#include <cstring>

#include "support/PaletteBitmap.h"

namespace {

// A BITMAPINFO with room for the whole colour table.
struct PaletteInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
};

}  // namespace

void* MakePaletteBitmap(const TPaletteImage& image) {
    if (image.Empty() || image.palette.empty() || image.palette.size() > 256) return nullptr;
    PaletteInfo info{};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = image.width;
    info.header.biHeight = -image.height;  // top-down, as the picture's rows are held
    info.header.biPlanes = 1;
    info.header.biBitCount = 8;
    info.header.biCompression = BI_RGB;
    info.header.biClrUsed = static_cast<DWORD>(image.palette.size());
    for (size_t i = 0; i < image.palette.size(); ++i)
        info.colors[i] = {image.palette[i].blue, image.palette[i].green, image.palette[i].red, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&info),
                                      DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) {
        if (bitmap) DeleteObject(bitmap);
        return nullptr;
    }
    const size_t stride = (static_cast<size_t>(image.width) + 3) & ~size_t{3};
    auto* rows = static_cast<uint8_t*>(bits);
    for (int y = 0; y < image.height; ++y)
        std::memcpy(rows + static_cast<size_t>(y) * stride,
                    image.pixels.data() + static_cast<size_t>(y) * image.width, image.width);
    GdiFlush();
    return bitmap;
}

bool ReplaceBitmap(void*& bitmap, const TPaletteImage& image) {
    if (bitmap) DeleteObject(static_cast<HBITMAP>(bitmap));
    bitmap = MakePaletteBitmap(image);
    return bitmap != nullptr;
}
