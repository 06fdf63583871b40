// The PNG writer, read back by Python's zlib (png_check.py): a reader this project did not
// write, so that a mistake in the deflate stream, the filters or the chunks cannot cancel
// itself out.
#include "testing/PngWriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace {

namespace fs = std::filesystem;

png::RgbImage Make(uint32_t width, uint32_t height,
                   const std::function<uint32_t(uint32_t, uint32_t)>& colour) {
    png::RgbImage image{width, height, {}};
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t rgb = colour(x, y);
            image.pixels.insert(image.pixels.end(),
                                {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
                                 static_cast<uint8_t>(rgb)});
        }
    return image;
}

// Pseudo-random pixels, the same on every run.
uint32_t Noise(uint32_t n) {
    n = n * 747796405u + 2891336453u;
    n = ((n >> ((n >> 28) + 4)) ^ n) * 277803737u;
    return (n >> 22) ^ n;
}

constexpr uint32_t kTeal = 0x008080;
constexpr uint32_t kRed = 0xFF0000;

struct Case {
    const char* name;
    png::RgbImage image;
    // The largest file that counts as compressed well enough (0: no bound).
    size_t mostBytes;
};

std::vector<Case> Cases() {
    const auto window = [](uint32_t x, uint32_t y) -> uint32_t {
        if (x >= 20 && x < 70 && y >= 30 && y < 60) return kRed;
        if (x >= 100 && x < 300 && y >= 100 && y < 220) return (y % 12 < 2) ? 0 : 0xC0C0C0;
        return kTeal;
    };
    // Rows of noise that repeat after 36 KiB, past the 32 KiB deflate may reach back.
    const auto farRepeat = [](uint32_t x, uint32_t y) { return Noise((y % 60) * 200 + x); };
    return {
        {"one pixel", Make(1, 1, [](uint32_t, uint32_t) { return 0x123456u; }), 0},
        {"gradient",
         Make(37, 23,
              [](uint32_t x, uint32_t y) { return x * 7 << 16 | y * 11 << 8 | (x * y & 0xFF); }),
         0},
        // A picture of a window must come out small: the scenario tests keep many of them.
        {"window", Make(320, 240, window), 320 * 240 * 3 / 50},
        // Noise cannot be compressed; the stored blocks keep it from growing beyond a few
        // bytes a block and a filter byte a row.
        {"noise", Make(200, 120, [](uint32_t x, uint32_t y) { return Noise(y * 200 + x); }),
         200 * 120 * 3 + 120 + 200},
        {"far repeat", Make(200, 120, farRepeat), 0},
        {"long runs", Make(1000, 3, [](uint32_t, uint32_t) { return kTeal; }), 200},
    };
}

fs::path Scratch(const std::string& name) {
    fs::path folder = fs::path(::testing::TempDir()) / ("png_writer_" + name);
    fs::create_directories(folder);
    return folder;
}

TEST(PngWriter, ChecksumsGiveTheirKnownValues) {
    const std::string digits = "123456789";
    EXPECT_EQ(png::Crc32(reinterpret_cast<const uint8_t*>(digits.data()), digits.size()),
              0xCBF43926u);
    const std::string word = "Wikipedia";
    EXPECT_EQ(png::Adler32(reinterpret_cast<const uint8_t*>(word.data()), word.size()),
              0x11E60398u);
    // Continuing a CRC over a second part gives the CRC of the whole.
    const auto* bytes = reinterpret_cast<const uint8_t*>(digits.data());
    EXPECT_EQ(png::Crc32(bytes + 4, 5, png::Crc32(bytes, 4)), 0xCBF43926u);
}

TEST(PngWriter, AnOutsideReaderSeesEveryPixel) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.name);
        std::string name = c.name;
        for (char& ch : name)
            if (ch == ' ') ch = '_';
        const fs::path folder = Scratch(name);
        const std::string picture = (folder / "picture.png").string();
        const std::string expected = (folder / "expected.rgb").string();
        std::string error;
        ASSERT_TRUE(png::WriteFile(picture, c.image, error)) << error;
        std::ofstream(expected, std::ios::binary)
            .write(reinterpret_cast<const char*>(c.image.pixels.data()),
                   static_cast<std::streamsize>(c.image.pixels.size()));
        const std::string command = std::string(KESTREL_PYTHON) + " " + KESTREL_PNG_CHECK + " " +
                                    picture + " " + expected + " " + std::to_string(c.image.width) +
                                    " " + std::to_string(c.image.height);
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        if (c.mostBytes) {
            EXPECT_LE(fs::file_size(picture), c.mostBytes);
        }
        fs::remove_all(folder);
    }
}

TEST(PngWriter, RefusesPicturesThatAreNotWhole) {
    const png::RgbImage cases[] = {
        {0, 0, {}},
        {0, 5, {}},
        {2, 2, std::vector<uint8_t>(11)},  // a byte short
        {2, 2, std::vector<uint8_t>(13)},  // a byte over
    };
    for (const png::RgbImage& image : cases) {
        EXPECT_TRUE(png::Encode(image).empty());
        std::string error;
        EXPECT_FALSE(png::WriteFile((Scratch("empty") / "x.png").string(), image, error));
        EXPECT_NE(error.find("no pixels"), std::string::npos) << error;
    }
    fs::remove_all(Scratch("empty"));
}

TEST(PngWriter, SaysWhenTheFileCannotBeWritten) {
    const png::RgbImage image = Make(2, 2, [](uint32_t, uint32_t) { return kRed; });
    const std::string path = (Scratch("nowhere") / "missing" / "x.png").string();
    std::string error;
    EXPECT_FALSE(png::WriteFile(path, image, error));
    EXPECT_EQ(error, "cannot create " + path);
    fs::remove_all(Scratch("nowhere"));
}

}  // namespace
