// The wizard's pictures as app/pictures/make_pictures.py draws them (the build passes their
// folder as KESTREL_PICTURES_DIR), read by the image manager's own reader: sizes, depth, the
// shared palette, the transparent corners and the glass under the blank display. The Windows
// test ImagemanagerResourcesTest_win32.cpp loads the same files as compiled-in resources.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/Imagemanager.h"
#include "support/JpegImage.h"
#include "support/PictureIds.h"

namespace {

std::vector<uint8_t> ReadFile(const std::string& name) {
    std::ifstream in(std::string(KESTREL_PICTURES_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A bitmap file is its 14-byte file header and then what a bitmap resource holds.
constexpr size_t kFileHeaderSize = 14;

std::vector<uint8_t> ResourceBytes(const std::string& name) {
    std::vector<uint8_t> file = ReadFile(name);
    if (file.size() < kFileHeaderSize || file[0] != 'B' || file[1] != 'M') return {};
    return {file.begin() + kFileHeaderSize, file.end()};
}

// The files as the program's bitmap resources (as app/pictures/Pictures.rc names them).
const std::map<int, std::string> kFiles{
    {KESTREL_PICTURE_DEVICE + KESTREL_PICTURE_BASE_TYPE4, "handheld-type4.bmp"},
    {KESTREL_PICTURE_LOADER_SCREEN + KESTREL_PICTURE_BASE_TYPE4, "loader-type4.bmp"},
    {KESTREL_PICTURE_RESET_PROMPT + KESTREL_PICTURE_BASE_TYPE4, "reset-type4.bmp"},
    {KESTREL_PICTURE_DEVICE + KESTREL_PICTURE_BASE_OTHER, "handheld-other.bmp"},
    {KESTREL_PICTURE_LOADER_SCREEN + KESTREL_PICTURE_BASE_OTHER, "loader-other.bmp"},
    {KESTREL_PICTURE_RESET_PROMPT + KESTREL_PICTURE_BASE_OTHER, "reset-other.bmp"},
    {KESTREL_PICTURE_WELCOME_LOGO_8BIT, "welcome-logo.bmp"},
    {KESTREL_PICTURE_CHECK_MARK, "check-mark.bmp"},
    {KESTREL_PICTURE_STEP_ARROW, "step-arrow.bmp"},
};

class FileResources final : public BitmapResourceEdge {
public:
    bool Load(int id, std::vector<uint8_t>& bytes) override {
        const auto file = kFiles.find(id);
        if (file == kFiles.end()) return false;
        bytes = ResourceBytes(file->second);
        return !bytes.empty();
    }
};

TPaletteImage Read(int id) {
    const std::vector<uint8_t> bytes = ResourceBytes(kFiles.at(id));
    TPaletteImage image;
    std::string why;
    EXPECT_TRUE(ReadPackedDib(bytes.data(), bytes.size(), image, &why)) << id << ": " << why;
    return image;
}

constexpr TPaletteColor kSilver{192, 192, 192};

struct Family {
    uint8_t deviceType;
    int base;
    int width, height, display;
};

TEST(Pictures, TheStatedSizesAndEightBitsEach) {
    for (const Family& f : {Family{4, 0, 165, 234, 112}, Family{0, 100, 165, 246, 114}}) {
        const TPaletteImage handheld = Read(5000 + f.base);
        EXPECT_EQ(handheld.width, f.width);
        EXPECT_EQ(handheld.height, f.height);
        for (int id : {5001 + f.base, 5002 + f.base}) {
            const TPaletteImage screen = Read(id);
            EXPECT_EQ(screen.width, f.display) << id;
            EXPECT_EQ(screen.height, f.display) << id;
            EXPECT_EQ(screen.palette, handheld.palette) << id << ": one palette, exact overlays";
        }
    }
    const TPaletteImage logo = Read(KESTREL_PICTURE_WELCOME_LOGO_8BIT);
    EXPECT_EQ(logo.width, 164);
    EXPECT_EQ(logo.height, 276);
}

TEST(Pictures, HandheldsStandOnSilverAndTheirBlankDisplayIsGlass) {
    for (const Family& f : {Family{4, 0, 165, 234, 112}, Family{11, 100, 165, 246, 114}}) {
        TImageManager manager(std::make_unique<FileResources>());
        manager.SetDeviceType(f.deviceType);
        TPaletteImage plain, blank;
        ASSERT_TRUE(manager.LoadDevicePicture(plain));
        ASSERT_TRUE(manager.LoadBlankScreenPicture(blank));
        // Pages that draw the picture transparently take the colour of its bottom-left pixel.
        EXPECT_EQ(plain.ColorAt(0, plain.height - 1), kSilver);
        EXPECT_EQ(plain.ColorAt(plain.width - 1, 0), kSilver);
        const TPoint o = manager.ScreenOrigin();
        // The blank display is the colour the screens are drawn on (their last pixel), and
        // nothing of the handheld inside it is the transparent colour.
        const TPaletteImage screen = Read(5001 + f.base);
        const TPaletteColor glass = screen.ColorAt(f.display - 1, f.display - 1);
        for (int y = o.y; y < o.y + 114; ++y)
            for (int x = o.x; x < o.x + 114; ++x) {
                ASSERT_EQ(blank.ColorAt(x, y), glass) << x << "," << y;
                ASSERT_NE(plain.ColorAt(x, y), kSilver) << x << "," << y;
            }
        // The first setup screen shows on the plain picture.
        int drawn = 0;
        for (int y = o.y; y < o.y + f.display; ++y)
            for (int x = o.x; x < o.x + f.display; ++x) drawn += !(plain.ColorAt(x, y) == glass);
        EXPECT_GT(drawn, 500);
    }
}

TEST(Pictures, TheScreensShowOverTheDisplayAndNowhereElse) {
    for (uint8_t type : {uint8_t{4}, uint8_t{6}}) {
        TImageManager manager(std::make_unique<FileResources>());
        manager.SetDeviceType(type);
        TPaletteImage plain, loader, reset;
        ASSERT_TRUE(manager.LoadDevicePicture(plain));
        ASSERT_TRUE(manager.LoadLoaderScreenPicture(loader));
        ASSERT_TRUE(manager.LoadResetPromptPicture(reset));
        const TPoint o = manager.ScreenOrigin();
        const int side = type == 4 ? 112 : 114;
        int loaderChanged = 0, resetChanged = 0, loaderVersusReset = 0;
        for (int y = 0; y < plain.height; ++y)
            for (int x = 0; x < plain.width; ++x) {
                const bool onDisplay = x >= o.x && y >= o.y && x < o.x + side && y < o.y + side;
                const bool l = !(loader.ColorAt(x, y) == plain.ColorAt(x, y));
                const bool r = !(reset.ColorAt(x, y) == plain.ColorAt(x, y));
                if (!onDisplay) {
                    ASSERT_FALSE(l || r) << x << "," << y;
                    continue;
                }
                loaderChanged += l;
                resetChanged += r;
                loaderVersusReset += !(loader.ColorAt(x, y) == reset.ColorAt(x, y));
            }
        EXPECT_GT(loaderChanged, 500);
        EXPECT_GT(resetChanged, 500);
        EXPECT_GT(loaderVersusReset, 500);
    }
}

TEST(Pictures, TheWelcomeLogoAsJpegMatchesItsBitmap) {
    const std::vector<uint8_t> jpeg = ReadFile("welcome-logo.jpg");
    JpegImage decoded;
    std::string error;
    ASSERT_TRUE(DecodeJpeg(jpeg.data(), jpeg.size(), decoded, &error)) << error;
    const TPaletteImage logo = Read(KESTREL_PICTURE_WELCOME_LOGO_8BIT);
    ASSERT_EQ(decoded.width, logo.width);
    ASSERT_EQ(decoded.height, logo.height);
    long difference = 0;
    for (int y = 0; y < logo.height; ++y)
        for (int x = 0; x < logo.width; ++x) {
            const uint8_t* rgb = &decoded.rgb[(static_cast<size_t>(y) * logo.width + x) * 3];
            const TPaletteColor c = logo.ColorAt(x, y);
            difference +=
                std::abs(rgb[0] - c.red) + std::abs(rgb[1] - c.green) + std::abs(rgb[2] - c.blue);
        }
    EXPECT_LT(difference / (logo.width * logo.height * 3), 4) << "lossy, but the same picture";
}

TEST(Pictures, SmallImagesOnTheirTransparentSilver) {
    for (int id : {KESTREL_PICTURE_CHECK_MARK, KESTREL_PICTURE_STEP_ARROW}) {
        const TPaletteImage image = Read(id);
        ASSERT_EQ(image.width, 16);
        ASSERT_EQ(image.height, 16);
        EXPECT_EQ(image.ColorAt(0, 0), kSilver) << id;
        EXPECT_EQ(image.ColorAt(0, 15), kSilver) << id;
        int drawn = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) drawn += !(image.ColorAt(x, y) == kSilver);
        EXPECT_GT(drawn, 30) << id;
    }
}

}  // namespace
