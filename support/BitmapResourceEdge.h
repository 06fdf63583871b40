// What the image manager needs of the platform: the bytes of one of the program's bitmap
// resources, by numeric identifier. The program's own module holds the pictures, whatever
// language module is in force.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class BitmapResourceEdge {
public:
    virtual ~BitmapResourceEdge() = default;
    // The resource's bytes, a packed device-independent bitmap (support/PaletteImage.h);
    // false when the program has no bitmap `id`.
    virtual bool Load(int id, std::vector<uint8_t>& bytes) = 0;
};

// Windows: the program module's bitmap resources. Native builds have no resource files, and
// their edge finds none.
std::unique_ptr<BitmapResourceEdge> MakeBitmapResourceEdge();
