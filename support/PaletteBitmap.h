// The image manager's pictures as bitmaps of the platform, for Windows builds: a
// device-independent bitmap section (HBITMAP) of 8 bits per pixel with the picture's palette.
#pragma once

#include "support/PaletteImage.h"

// A new bitmap holding `image`, or nullptr (for an empty image, or when the platform has no
// room). The caller deletes it (DeleteObject).
void* MakePaletteBitmap(const TPaletteImage& image);

// Replaces the bitmap in `bitmap` (nullptr or an HBITMAP, deleted here) by a new one holding
// `image`, the way a page's picture is loaded; false, with `bitmap` nullptr, when none could be
// made.
bool ReplaceBitmap(void*& bitmap, const TPaletteImage& image);
