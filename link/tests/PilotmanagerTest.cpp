// Loading the loader's file from the desktop into the caller's buffer.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "link/Pilotmanager.h"

namespace {

namespace fs = std::filesystem;

class UtlLoadFileTest : public testing::Test {
protected:
    void SetUp() override {
        dir_ =
            fs::temp_directory_path() / ("kestrel-utl-" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    std::string Write(const char* name, const std::vector<uint8_t>& bytes) {
        const fs::path path = dir_ / name;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }
    fs::path dir_;
};

TEST_F(UtlLoadFileTest, CodesAndSizes) {
    const std::vector<uint8_t> eleven = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    const std::string file = Write("Bootlet.prc", eleven);
    const std::string empty = Write("empty.prc", {});
    const std::string missing = (dir_ / "missing.prc").string();
    const std::string directory = dir_.string();
    struct Case {
        const char* what;
        const std::string& path;
        uint32_t bufferSize;
        TResult result;
        uint32_t sizeAfter;
    };
    const Case cases[] = {
        {"fits with room to spare", file, 64, 0, 11},
        {"fits exactly", file, 11, 0, 11},
        {"one byte too big", file, 10, rc::FileReadError, 10},
        {"empty file", empty, 64, 0, 0},
        {"no such file", missing, 64, rc::FileReadError, 64},
        {"a directory", directory, 64, rc::FileReadError, 64},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> buffer(64, 0xEE);
        uint32_t size = c.bufferSize;
        EXPECT_EQ(UtlLoadFile(c.path.c_str(), buffer.data(), &size), c.result) << c.what;
        EXPECT_EQ(size, c.sizeAfter) << c.what;
        if (c.result == 0) {
            EXPECT_TRUE(std::equal(buffer.begin(), buffer.begin() + size,
                                   c.path == file ? eleven.begin() : buffer.begin()))
                << c.what;
            EXPECT_EQ(buffer[size], 0xEE) << c.what << ": nothing past the file is touched";
        }
    }
}

}  // namespace
