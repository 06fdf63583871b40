#include "support/Imagemanager.h"

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "base/Log.h"
#include "support/PictureIds.h"

namespace {

struct ScreenOriginRow {
    uint8_t deviceType;
    TPoint origin;
};

// Where the display sits in the handheld picture, by device type.
constexpr std::array<ScreenOriginRow, 6> kScreenOrigins{{
    {0, {28, 32}},
    {1, {28, 32}},
    {2, {28, 32}},
    {4, {25, 25}},
    {5, {28, 32}},
    {6, {28, 32}},
}};

// The device type whose pictures are the family of base 0; every other type is drawn with
// the pictures of base 100.
constexpr uint8_t kSmallDisplayType = 4;

// The origin of the display in the pictures of base 100, for the device types the table does
// not name (their pictures are those of base 100).
constexpr TPoint kOtherFamilyOrigin{28, 32};

}  // namespace

TImageManager::TImageManager(std::unique_ptr<BitmapResourceEdge> resources)
    : resources_(std::move(resources)) {}

int TImageManager::PictureBase() const {
    return deviceType_ == kSmallDisplayType ? KESTREL_PICTURE_BASE_TYPE4
                                            : KESTREL_PICTURE_BASE_OTHER;
}

TPoint TImageManager::ScreenOrigin() const {
    for (const ScreenOriginRow& row : kScreenOrigins)
        if (row.deviceType == deviceType_) return row.origin;
    return kOtherFamilyOrigin;
}

bool TImageManager::LoadBitmap(int id, TPaletteImage& picture) {
    std::vector<uint8_t> bytes;
    if (!resources_ || !resources_->Load(id, bytes)) {
        picture.Clear();
        PrintMessage(1, "Imagemanager: no bitmap %d", id);
        return false;
    }
    std::string why;
    if (!ReadPackedDib(bytes.data(), bytes.size(), picture, &why)) {
        PrintMessage(1, "Imagemanager: bitmap %d: %s", id, why.c_str());
        return false;
    }
    return true;
}

bool TImageManager::LoadDevicePicture(TPaletteImage& picture) {
    return LoadBitmap(KESTREL_PICTURE_DEVICE + PictureBase(), picture);
}

bool TImageManager::LoadWithOverlay(int overlayId, TPaletteImage& picture) {
    if (!LoadDevicePicture(picture)) return false;
    TPaletteImage display;
    if (!LoadBitmap(overlayId + PictureBase(), display)) {
        picture.Clear();
        return false;
    }
    DrawImage(picture, ScreenOrigin(), display);
    return true;
}

bool TImageManager::LoadLoaderScreenPicture(TPaletteImage& picture) {
    return LoadWithOverlay(KESTREL_PICTURE_LOADER_SCREEN, picture);
}

bool TImageManager::LoadResetPromptPicture(TPaletteImage& picture) {
    return LoadWithOverlay(KESTREL_PICTURE_RESET_PROMPT, picture);
}

bool TImageManager::LoadResetPromptScreen(TPaletteImage& picture) {
    return LoadBitmap(KESTREL_PICTURE_RESET_PROMPT + PictureBase(), picture);
}

bool TImageManager::LoadBlankScreenPicture(TPaletteImage& picture) {
    if (!LoadDevicePicture(picture)) return false;
    const TPoint origin = ScreenOrigin();
    const int x = origin.x + kBlankColorOffset;
    const int y = origin.y + kBlankColorOffset;
    // A picture too small to hold the display would be a damaged resource.
    if (!picture.Contains(x, y)) {
        PrintMessage(1, "Imagemanager: no display at %d, %d in a %d x %d picture", origin.x,
                     origin.y, picture.width, picture.height);
        picture.Clear();
        return false;
    }
    FillRect(picture, {origin.x, origin.y, origin.x + kBlankSide, origin.y + kBlankSide},
             picture.IndexAt(x, y));
    return true;
}

TImageManager& ImageManager() {
    static TImageManager manager;
    return manager;
}

namespace {

// Like the unit initialisation of the original, the program's image manager exists from the
// start of the program.
[[maybe_unused]] const TImageManager& g_createdAtStart = ImageManager();

}  // namespace
