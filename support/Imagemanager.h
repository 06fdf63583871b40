// The pictures of the user's handheld that the wizard's pages show (TImageManager): a front
// view of the handheld, the same with the screen the user should be seeing laid over its
// display, or with the display blanked for a blinking cursor. Two handheld families are
// drawn differently; the device type the serial loader reports picks the family.
#pragma once

#include <cstdint>
#include <memory>

#include "support/BitmapResourceEdge.h"
#include "support/Geometry.h"
#include "support/PaletteImage.h"

class TImageManager {
public:
    // The square blanked on the display, the same for both families.
    static constexpr int kBlankSide = 114;
    // Where the colour of the blank display is read, from the screen origin.
    static constexpr int kBlankColorOffset = 112;

    explicit TImageManager(
        std::unique_ptr<BitmapResourceEdge> resources = MakeBitmapResourceEdge());

    // The device type in force, 0 until a handheld was connected.
    uint8_t device_type() const { return deviceType_; }
    void SetDeviceType(uint8_t deviceType) { deviceType_ = deviceType; }

    // 0 for device type 4, 100 for every other: added to the picture identifiers of
    // support/PictureIds.h.
    int PictureBase() const;
    // The top-left corner of the display inside the handheld picture of the device type in
    // force. Types the table does not name (7, 11, 15 among those the upload accepts) are
    // shown with the other family's pictures, so they get that family's origin, 28, 32.
    TPoint ScreenOrigin() const;

    // Each loads into `picture`, replacing its content. False when a picture of the program
    // is missing or damaged; `picture` is then empty.
    // The handheld (5000 + base).
    bool LoadDevicePicture(TPaletteImage& picture);
    // The handheld with the serial loader's screen (5001 + base) on its display.
    bool LoadLoaderScreenPicture(TPaletteImage& picture);
    // The handheld with HotSync's prompt to reset it (5002 + base) on its display.
    bool LoadResetPromptPicture(TPaletteImage& picture);
    // HotSync's prompt alone (5002 + base), as the HotSync page points the user to it.
    bool LoadResetPromptScreen(TPaletteImage& picture);
    // The handheld with its display blanked: the 114-pixel square at the screen origin filled
    // with the colour of the pixel at origin + (112, 112).
    bool LoadBlankScreenPicture(TPaletteImage& picture);

private:
    bool LoadBitmap(int id, TPaletteImage& picture);
    bool LoadWithOverlay(int overlayId, TPaletteImage& picture);

    std::unique_ptr<BitmapResourceEdge> resources_;
    uint8_t deviceType_ = 0;
};

// The program's image manager, on the platform's resources: created when the program starts,
// released when it ends.
TImageManager& ImageManager();
