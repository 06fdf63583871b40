// The wizard's pictures as resources of a program (this test links app/pictures/Pictures.rc
// as Kestrelup.exe does): found by the image manager on the platform's edge, read by
// Windows itself as 8-bit bitmaps, turned into 8-bit bitmap sections that hold what the image
// manager composed, the overlay visible.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/Imagemanager.h"
#include "support/JpegImage.h"
#include "support/PaletteBitmap.h"
#include "support/PictureIds.h"

namespace {

struct Family {
    uint8_t deviceType;
    int width, height, display;
};
const Family kFamilies[] = {{4, 165, 234, 112}, {0, 165, 246, 114}, {11, 165, 246, 114}};

// Every pixel of a bitmap as colours, read back by the platform.
std::vector<COLORREF> PixelsOf(HBITMAP bitmap, int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<uint32_t> bits(static_cast<size_t>(width * height));
    HDC dc = CreateCompatibleDC(nullptr);
    const int rows = GetDIBits(dc, bitmap, 0, height, bits.data(), &info, DIB_RGB_COLORS);
    DeleteDC(dc);
    EXPECT_EQ(rows, height);
    std::vector<COLORREF> colors;
    for (uint32_t v : bits) colors.push_back(RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF));
    return colors;
}

COLORREF Ref(const TPaletteColor& c) { return RGB(c.red, c.green, c.blue); }

TEST(PictureResources, WindowsReadsEachAsAnEightBitBitmap) {
    const int ids[] = {5000,
                       5001,
                       5002,
                       5100,
                       5101,
                       5102,
                       KESTREL_PICTURE_WELCOME_LOGO_8BIT,
                       KESTREL_PICTURE_CHECK_MARK,
                       KESTREL_PICTURE_STEP_ARROW};
    for (int id : ids) {
        HANDLE image = LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0,
                                  0, LR_CREATEDIBSECTION);
        ASSERT_NE(image, nullptr) << "bitmap " << id << ": error " << GetLastError();
        DIBSECTION section{};
        ASSERT_EQ(GetObjectA(image, sizeof section, &section), static_cast<int>(sizeof section))
            << id;
        EXPECT_EQ(section.dsBm.bmBitsPixel, 8) << id;
        DeleteObject(image);
    }
}

TEST(PictureResources, TheImageManagersPicturesAsEightBitBitmaps) {
    for (const Family& f : kFamilies) {
        SCOPED_TRACE("device type " + std::to_string(f.deviceType));
        TImageManager manager;  // the program's own resources
        manager.SetDeviceType(f.deviceType);
        TPaletteImage plain, loader, reset, blank;
        ASSERT_TRUE(manager.LoadDevicePicture(plain));
        ASSERT_TRUE(manager.LoadLoaderScreenPicture(loader));
        ASSERT_TRUE(manager.LoadResetPromptPicture(reset));
        ASSERT_TRUE(manager.LoadBlankScreenPicture(blank));
        EXPECT_EQ(plain.width, f.width);
        EXPECT_EQ(plain.height, f.height);

        // A page's picture: loaded into its bitmap, replacing what was there.
        void* bitmap = nullptr;
        ASSERT_TRUE(ReplaceBitmap(bitmap, plain));
        ASSERT_TRUE(ReplaceBitmap(bitmap, loader));
        DIBSECTION section{};
        ASSERT_EQ(GetObjectA(bitmap, sizeof section, &section), static_cast<int>(sizeof section));
        EXPECT_EQ(section.dsBm.bmBitsPixel, 8);
        EXPECT_EQ(section.dsBm.bmWidth, f.width);
        EXPECT_EQ(section.dsBm.bmHeight, f.height);

        // The bitmap shows the composed picture, and the screen is on the display.
        const std::vector<COLORREF> shown =
            PixelsOf(static_cast<HBITMAP>(bitmap), f.width, f.height);
        const TPoint o = manager.ScreenOrigin();
        int overlay = 0;
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x) {
                const COLORREF pixel = shown[static_cast<size_t>(y * f.width + x)];
                ASSERT_EQ(pixel, Ref(loader.ColorAt(x, y))) << x << "," << y;
                const bool onDisplay =
                    x >= o.x && y >= o.y && x < o.x + f.display && y < o.y + f.display;
                if (!onDisplay)
                    ASSERT_EQ(pixel, Ref(plain.ColorAt(x, y))) << x << "," << y;
                else
                    overlay += pixel != Ref(plain.ColorAt(x, y));
            }
        EXPECT_GT(overlay, 500) << "the loader's screen over the first setup screen";
        DeleteObject(static_cast<HBITMAP>(bitmap));

        // The blank display is one colour.
        const TPaletteColor glass = blank.ColorAt(o.x + 112, o.y + 112);
        for (int y = o.y; y < o.y + 114; ++y)
            for (int x = o.x; x < o.x + 114; ++x) ASSERT_EQ(blank.ColorAt(x, y), glass);
    }
}

TEST(PictureResources, TheWelcomeLogoAsJpegAndAsBitmap) {
    HMODULE program = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(program, MAKEINTRESOURCEA(KESTREL_PICTURE_WELCOME_LOGO_JPEG),
                                MAKEINTRESOURCEA(10));  // RT_RCDATA
    ASSERT_NE(found, nullptr);
    const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(program, found)));
    JpegImage logo;
    std::string error;
    ASSERT_TRUE(DecodeJpeg(data, SizeofResource(program, found), logo, &error)) << error;

    HANDLE bitmap = LoadImageA(program, MAKEINTRESOURCEA(KESTREL_PICTURE_WELCOME_LOGO_8BIT),
                               IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
    ASSERT_NE(bitmap, nullptr);
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    EXPECT_EQ(info.bmWidth, logo.width);
    EXPECT_EQ(info.bmHeight, logo.height);
    DeleteObject(bitmap);
}

TEST(PictureResources, CheckMarkOnSilver) {
    HANDLE bitmap =
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(KESTREL_PICTURE_CHECK_MARK),
                   IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
    ASSERT_NE(bitmap, nullptr);
    const std::vector<COLORREF> pixels = PixelsOf(static_cast<HBITMAP>(bitmap), 16, 16);
    EXPECT_EQ(pixels[0], RGB(192, 192, 192));
    EXPECT_EQ(pixels[255], RGB(192, 192, 192));
    DeleteObject(bitmap);
}

TEST(PictureResources, EmptyPicturesMakeNoBitmap) {
    void* bitmap = nullptr;
    EXPECT_FALSE(ReplaceBitmap(bitmap, TPaletteImage{}));
    EXPECT_EQ(bitmap, nullptr);
}

}  // namespace
