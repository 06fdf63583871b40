#include "support/Imagemanager.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "support/PictureIds.h"
#include "support/tests/DibBuilder.h"

namespace {

// Bitmap resources held in memory; it notes which were asked for.
class FakeResources final : public BitmapResourceEdge {
public:
    bool Load(int id, std::vector<uint8_t>& bytes) override {
        asked.push_back(id);
        const auto found = bitmaps.find(id);
        if (found == bitmaps.end()) return false;
        bytes = found->second;
        return true;
    }
    std::map<int, std::vector<uint8_t>> bitmaps;
    std::vector<int> asked;
};

// Palette indices of the fake pictures.
constexpr uint8_t kCase = 0;
constexpr uint8_t kScreen = 1;  // a display image
constexpr uint8_t kMark = 2;    // one pixel of the handheld: the display's background
constexpr uint8_t kPrompt = 3;  // the other display image

struct Family {
    int base;
    int width, height;  // the handheld picture
    int display;        // side of its display images
    TPoint origin;
};
const Family kType4{0, 165, 234, 112, {25, 25}};
const Family kOther{100, 165, 246, 114, {28, 32}};

std::vector<uint8_t> Bitmap(int width, int height, std::function<uint8_t(int, int)> pixel) {
    DibLayout layout;
    layout.width = width;
    layout.height = height;
    layout.colorsUsed = 4;
    layout.pixel = std::move(pixel);
    return MakeDib(layout);
}

// Handheld pictures of the case colour with a single marked pixel where the blank display's
// colour is read, and display images of one colour, for both families.
std::unique_ptr<FakeResources> Pictures() {
    auto fake = std::make_unique<FakeResources>();
    for (const Family& f : {kType4, kOther}) {
        const TPoint mark{f.origin.x + 112, f.origin.y + 112};
        fake->bitmaps[5000 + f.base] = Bitmap(f.width, f.height, [mark](int x, int y) {
            return x == mark.x && y == mark.y ? kMark : kCase;
        });
        fake->bitmaps[5001 + f.base] =
            Bitmap(f.display, f.display, [](int, int) { return kScreen; });
        fake->bitmaps[5002 + f.base] =
            Bitmap(f.display, f.display, [](int, int) { return kPrompt; });
    }
    return fake;
}

// A square of `picture` is all `inside`, and the pixels round it (one wide) are those of the
// plain handheld picture `plain`.
void ExpectSquare(const TPaletteImage& picture, const TPaletteImage& plain, TPoint at, int side,
                  uint8_t inside) {
    ASSERT_EQ(picture.width, plain.width);
    ASSERT_EQ(picture.height, plain.height);
    for (int y = at.y - 1; y <= at.y + side; ++y)
        for (int x = at.x - 1; x <= at.x + side; ++x) {
            const bool in = x >= at.x && y >= at.y && x < at.x + side && y < at.y + side;
            ASSERT_EQ(picture.IndexAt(x, y), in ? inside : plain.IndexAt(x, y)) << x << "," << y;
        }
}

TEST(Imagemanager, PictureBaseAndScreenOriginOfEveryDeviceType) {
    TImageManager manager(std::make_unique<FakeResources>());
    EXPECT_EQ(manager.device_type(), 0);
    const std::map<int, TPoint> table{{0, {28, 32}}, {1, {28, 32}}, {2, {28, 32}},
                                      {4, {25, 25}}, {5, {28, 32}}, {6, {28, 32}}};
    for (int type = 0; type < 256; ++type) {
        manager.SetDeviceType(static_cast<uint8_t>(type));
        EXPECT_EQ(manager.device_type(), type);
        EXPECT_EQ(manager.PictureBase(), type == 4 ? 0 : 100) << type;
        const auto row = table.find(type);
        // Types the table lacks (7, 11 and 15 among them) are drawn with the pictures of base
        // 100, so they take that family's origin.
        const TPoint expected = row != table.end() ? row->second : TPoint{28, 32};
        EXPECT_EQ(manager.ScreenOrigin(), expected) << type;
    }
}

TEST(Imagemanager, BeforeAnyHandheldThePicturesOfBase100) {
    auto fake = Pictures();
    FakeResources* resources = fake.get();
    TImageManager manager(std::move(fake));
    TPaletteImage picture;
    ASSERT_TRUE(manager.LoadDevicePicture(picture));
    EXPECT_EQ(picture.width, 165);
    EXPECT_EQ(picture.height, 246);
    EXPECT_EQ(resources->asked, (std::vector<int>{5100}));
    EXPECT_EQ(manager.ScreenOrigin(), (TPoint{28, 32}));
}

TEST(Imagemanager, OverlaysLandOnTheDisplayOfEitherFamily) {
    for (const Family& f : {kType4, kOther}) {
        for (uint8_t type : {uint8_t{4}, uint8_t{0}, uint8_t{11}}) {
            if ((type == 4) != (f.base == 0)) continue;
            auto fake = Pictures();
            FakeResources* resources = fake.get();
            TImageManager manager(std::move(fake));
            manager.SetDeviceType(type);
            SCOPED_TRACE("device type " + std::to_string(type));

            TPaletteImage plain, picture;
            ASSERT_TRUE(manager.LoadDevicePicture(plain));
            resources->asked.clear();
            ASSERT_TRUE(manager.LoadLoaderScreenPicture(picture));
            ASSERT_EQ(picture.width, f.width);
            ASSERT_EQ(picture.height, f.height);
            ExpectSquare(picture, plain, f.origin, f.display, kScreen);
            EXPECT_EQ(resources->asked, (std::vector<int>{5000 + f.base, 5001 + f.base}));

            resources->asked.clear();
            ASSERT_TRUE(manager.LoadResetPromptPicture(picture));
            ExpectSquare(picture, plain, f.origin, f.display, kPrompt);
            EXPECT_EQ(resources->asked, (std::vector<int>{5000 + f.base, 5002 + f.base}));

            // The prompt alone is the family's display image, at its own size.
            resources->asked.clear();
            ASSERT_TRUE(manager.LoadResetPromptScreen(picture));
            EXPECT_EQ(picture.width, f.display);
            EXPECT_EQ(resources->asked, (std::vector<int>{5002 + f.base}));

            ASSERT_TRUE(manager.LoadDevicePicture(picture));
            EXPECT_EQ(picture.pixels, plain.pixels) << "plain again";
        }
    }
}

TEST(Imagemanager, BlankScreenTakesItsColourFrom112PixelsIn) {
    for (const Family& f : {kType4, kOther}) {
        TImageManager manager(Pictures());
        manager.SetDeviceType(f.base == 0 ? 4 : 15);
        TPaletteImage plain, picture;
        ASSERT_TRUE(manager.LoadDevicePicture(plain));
        ASSERT_TRUE(manager.LoadBlankScreenPicture(picture));
        // 114 pixels square in both families, even where the display images are 112.
        ExpectSquare(picture, plain, f.origin, 114, kMark);
    }
}

TEST(Imagemanager, MissingOrDamagedPicturesLeaveAnEmptyPicture) {
    struct Case {
        const char* what;
        std::function<void(FakeResources&)> damage;
        bool (TImageManager::*load)(TPaletteImage&);
    };
    const Case cases[] = {
        {"no handheld", [](FakeResources& r) { r.bitmaps.erase(5100); },
         &TImageManager::LoadDevicePicture},
        {"no handheld under an overlay", [](FakeResources& r) { r.bitmaps.erase(5100); },
         &TImageManager::LoadLoaderScreenPicture},
        {"no loader screen", [](FakeResources& r) { r.bitmaps.erase(5101); },
         &TImageManager::LoadLoaderScreenPicture},
        {"no reset prompt", [](FakeResources& r) { r.bitmaps.erase(5102); },
         &TImageManager::LoadResetPromptPicture},
        {"a 24-bit handheld", [](FakeResources& r) { r.bitmaps[5100][14] = 24; },
         &TImageManager::LoadBlankScreenPicture},
        {"a cut-short screen", [](FakeResources& r) { r.bitmaps[5102].resize(100); },
         &TImageManager::LoadResetPromptPicture},
        {"a handheld too small for its display",
         [](FakeResources& r) { r.bitmaps[5100] = Bitmap(140, 140, [](int, int) { return 0; }); },
         &TImageManager::LoadBlankScreenPicture},
    };
    for (const Case& c : cases) {
        auto fake = Pictures();
        c.damage(*fake);
        TImageManager manager(std::move(fake));
        TPaletteImage picture = Plain(3, 3, {{1, 1, 1}}, 0);  // an earlier picture
        EXPECT_FALSE((manager.*c.load)(picture)) << c.what;
        EXPECT_TRUE(picture.Empty()) << c.what;
        EXPECT_TRUE(picture.pixels.empty()) << c.what;
    }
}

TEST(Imagemanager, TheProgramsImageManager) {
    TImageManager& manager = ImageManager();
    EXPECT_EQ(&manager, &ImageManager());
    EXPECT_EQ(manager.device_type(), 0) << "nothing connected yet";
    // This test program carries no pictures (natively there are no resources at all).
    TPaletteImage picture;
    EXPECT_FALSE(manager.LoadDevicePicture(picture));
    EXPECT_TRUE(picture.Empty());
}

}  // namespace
