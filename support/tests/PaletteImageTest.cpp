#include "support/PaletteImage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/tests/DibBuilder.h"

namespace {

// Expects `image` to hold DibLayout's default pixels: x + 10 y, from the top.
void ExpectDefaultPixels(const TPaletteImage& image, int width, int height) {
    ASSERT_EQ(image.width, width);
    ASSERT_EQ(image.height, height);
    ASSERT_EQ(image.pixels.size(), static_cast<size_t>(width * height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) EXPECT_EQ(image.IndexAt(x, y), x + 10 * y) << x << "," << y;
}

TEST(PaletteImage, ReadsBottomUpRowsPaddedToFourBytes) {
    DibLayout layout;
    layout.width = 5;  // 3 bytes of padding a row
    layout.height = 3;
    const auto bytes = MakeDib(layout);
    TPaletteImage image;
    std::string why;
    ASSERT_TRUE(ReadPackedDib(bytes.data(), bytes.size(), image, &why)) << why;
    ExpectDefaultPixels(image, 5, 3);
    ASSERT_EQ(image.palette.size(), 4u);
    EXPECT_EQ(image.palette[3], (TPaletteColor{3, 6, 252})) << "blue, green, red in the table";
}

TEST(PaletteImage, ReadsTopDownRowsAndRowsWithoutPadding) {
    for (int32_t height : {-3, 2}) {
        DibLayout layout;
        layout.width = 8;
        layout.height = height;
        const auto bytes = MakeDib(layout);
        TPaletteImage image;
        ASSERT_TRUE(ReadPackedDib(bytes.data(), bytes.size(), image)) << height;
        ExpectDefaultPixels(image, 8, std::abs(height));
    }
}

TEST(PaletteImage, ColourTableSizes) {
    DibLayout layout;
    layout.colorsUsed = 0;  // all 256
    auto bytes = MakeDib(layout);
    TPaletteImage image;
    ASSERT_TRUE(ReadPackedDib(bytes.data(), bytes.size(), image));
    EXPECT_EQ(image.palette.size(), 256u);
    EXPECT_EQ(image.palette[255], (TPaletteColor{255, 254, 0}));

    // Pixels may point past a short table; they read black, as the platform shows them.
    layout.colorsUsed = 1;
    bytes = MakeDib(layout);
    ASSERT_TRUE(ReadPackedDib(bytes.data(), bytes.size(), image));
    ExpectDefaultPixels(image, 4, 3);
    EXPECT_EQ(image.ColorAt(0, 0), (TPaletteColor{0, 0, 255}));
    EXPECT_EQ(image.ColorAt(1, 0), (TPaletteColor{}));
}

TEST(PaletteImage, LongerHeadersPutTheTableAfterThemselves) {
    for (uint32_t headerSize : {108u, 124u}) {
        DibLayout layout;
        layout.headerSize = headerSize;
        const auto bytes = MakeDib(layout);
        TPaletteImage image;
        ASSERT_TRUE(ReadPackedDib(bytes.data(), bytes.size(), image)) << headerSize;
        ExpectDefaultPixels(image, 4, 3);
        EXPECT_EQ(image.palette[1], (TPaletteColor{1, 2, 254}));
    }
}

TEST(PaletteImage, RefusesWhatIsNotAnEightBitPaletteBitmap) {
    struct Case {
        const char* what;
        std::function<void(DibLayout&)> damage;
    };
    const Case cases[] = {
        {"core header", [](DibLayout& s) { s.headerSize = 12; }},
        {"no width", [](DibLayout& s) { s.width = 0; }},
        {"negative width", [](DibLayout& s) { s.width = -4; }},
        {"no height", [](DibLayout& s) { s.height = 0; }},
        {"two planes", [](DibLayout& s) { s.planes = 2; }},
        {"1 bit", [](DibLayout& s) { s.bitCount = 1; }},
        {"4 bits", [](DibLayout& s) { s.bitCount = 4; }},
        {"16 bits", [](DibLayout& s) { s.bitCount = 16; }},
        {"24 bits", [](DibLayout& s) { s.bitCount = 24; }},
        {"32 bits", [](DibLayout& s) { s.bitCount = 32; }},
        {"run-length rows", [](DibLayout& s) { s.compression = 1; }},
        {"bit fields", [](DibLayout& s) { s.compression = 3; }},
        {"too many colours", [](DibLayout& s) { s.colorsUsed = 257; }},
    };
    for (const Case& c : cases) {
        DibLayout layout;
        c.damage(layout);
        const std::vector<uint8_t> bytes = MakeDib(layout);
        TPaletteImage image = Plain(2, 2, {{1, 2, 3}}, 0);
        std::string why;
        EXPECT_FALSE(ReadPackedDib(bytes.data(), bytes.size(), image, &why)) << c.what;
        EXPECT_TRUE(image.Empty()) << c.what;
        EXPECT_TRUE(image.pixels.empty() && image.palette.empty()) << c.what;
        EXPECT_FALSE(why.empty()) << c.what;
    }
}

TEST(PaletteImage, RefusesSizesNoPictureOfOursHasWithoutAllocating) {
    // The header asks for 2^28 pixels that the bytes do not hold.
    for (int32_t side : {16385, 1 << 30, -(1 << 30)}) {
        DibLayout layout;
        layout.width = 2;
        layout.height = 2;
        auto bytes = MakeDib(layout);
        Put32(bytes, 8, static_cast<uint32_t>(side));
        TPaletteImage image;
        EXPECT_FALSE(ReadPackedDib(bytes.data(), bytes.size(), image)) << side;
        Put32(bytes, 8, 2);
        Put32(bytes, 4, static_cast<uint32_t>(side));
        EXPECT_FALSE(ReadPackedDib(bytes.data(), bytes.size(), image)) << side;
    }
}

TEST(PaletteImage, EveryShortenedBitmapIsRefused) {
    DibLayout layout;
    layout.width = 5;
    const auto bytes = MakeDib(layout);
    for (size_t size = 0; size < bytes.size(); ++size) {
        // A copy of exactly `size` bytes, so that the sanitizer sees any read past it.
        const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(size));
        TPaletteImage image;
        std::string why;
        EXPECT_FALSE(ReadPackedDib(cut.data(), cut.size(), image, &why)) << size;
        EXPECT_TRUE(image.Empty());
    }
    TPaletteImage image;
    EXPECT_FALSE(ReadPackedDib(nullptr, 0, image));
    // A header claiming to be larger than everything there is.
    auto big = bytes;
    Put32(big, 0, static_cast<uint32_t>(bytes.size() + 1));
    EXPECT_FALSE(ReadPackedDib(big.data(), big.size(), image));
}

const std::vector<TPaletteColor> kTwo{{0, 0, 0}, {255, 255, 255}};

TEST(PaletteImage, DrawImageCopiesIndicesOfOnePaletteAndClips) {
    TPaletteImage target = Plain(6, 5, kTwo, 0);
    const TPaletteImage source = Plain(3, 2, kTwo, 1);
    DrawImage(target, {4, 4}, source);    // only 2 x 1 of it fits
    DrawImage(target, {-2, -1}, source);  // only 1 x 1 of it fits
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(target.IndexAt(x, y), (x >= 4 && y == 4) || (x == 0 && y == 0) ? 1 : 0)
                << x << "," << y;
    DrawImage(target, {6, 0}, source);  // wholly outside
    DrawImage(target, {0, -2}, source);
    EXPECT_EQ(target.IndexAt(1, 0), 0);
}

TEST(PaletteImage, DrawImageKeepsColoursOfAnotherPalette) {
    TPaletteImage target = Plain(2, 1, kTwo, 0);
    TPaletteImage source = Plain(2, 1, {{9, 9, 9}, {255, 255, 255}, {0, 0, 0}}, 0);
    source.pixels = {1, 0};  // white, then a grey the target lacks
    DrawImage(target, {0, 0}, source);
    EXPECT_EQ(target.ColorAt(0, 0), (TPaletteColor{255, 255, 255}));
    EXPECT_EQ(target.IndexAt(0, 0), 1) << "the same colour found";
    EXPECT_EQ(target.ColorAt(1, 0), (TPaletteColor{9, 9, 9})) << "added to the palette";
    EXPECT_EQ(target.palette.size(), 3u);

    // A full palette gives the nearest colour.
    TPaletteImage full = Plain(1, 1, {}, 0);
    for (int i = 0; i < 256; ++i)
        full.palette.push_back({static_cast<uint8_t>(i), 0, static_cast<uint8_t>(i / 2)});
    const TPaletteImage red = Plain(1, 1, {{200, 3, 101}}, 0);
    DrawImage(full, {0, 0}, red);
    EXPECT_EQ(full.IndexAt(0, 0), 200);
    EXPECT_EQ(full.palette.size(), 256u);
}

TEST(PaletteImage, FillRectStaysInside) {
    TPaletteImage image = Plain(4, 4, kTwo, 0);
    FillRect(image, {2, 2, 10, 10}, 1);
    FillRect(image, {-5, -5, 1, 1}, 1);
    FillRect(image, {3, 0, 1, 2}, 1);  // inverted: nothing
    int ones = 0;
    for (uint8_t p : image.pixels) ones += p;
    EXPECT_EQ(ones, 5);
    EXPECT_EQ(image.IndexAt(0, 0), 1);
    EXPECT_EQ(image.IndexAt(3, 3), 1);
}

}  // namespace
