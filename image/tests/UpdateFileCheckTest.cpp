// The whole-file check: files whose header CRC is right but which are damaged all the same,
// each refused with its own code before a handheld is touched.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "image/UpdateFile.h"
#include "image/UpdateImage.h"
#include "testing/TestUpdateFile.h"
#include "testing/Wire.h"

namespace {

using Bytes = std::vector<uint8_t>;
using testupd::BuildUpd;
using testupd::Pattern;
using testupd::TempFile;
using testupd::UpdPlan;

// Where BuildUpd puts things: OS map entries from file offset 1024 + 18, RAM map entries from
// 3072 + 18.
constexpr size_t kOsEntry = 1024 + 18;
constexpr size_t kOsEntrySize = 14;
constexpr size_t kRamEntry = 3072 + 18;
constexpr size_t kRamEntrySize = 12;

// Two OS sections (5000 bytes at 0, so written up to 0x2000, and 4096 at 0x10000) and two RAM
// sections.
UpdPlan Plan() {
    UpdPlan plan;
    plan.os = {{0, Pattern(5000, 1), {}}, {0x10000, Pattern(4096, 2), {}}};
    plan.ram = {{0x1000, Pattern(700, 3)}, {0x8000, Pattern(100, 4)}};
    return plan;
}

// The header again after a change: the sector count (all sectors unless given) and the CRC
// over exactly those, so that only the change itself is wrong.
void Reseal(Bytes& file, std::optional<uint32_t> sectors = {}) {
    const uint32_t n = sectors ? *sectors : static_cast<uint32_t>(file.size() / 512 - 1);
    wire::Put32(file, 22, n);
    wire::Put16(file, 20, wire::Crc(file.data() + 512, size_t{n} * 512));
}

void SetOs(Bytes& f, size_t i, size_t field, uint32_t v, bool wide = true) {
    if (wide)
        wire::Put32(f, kOsEntry + kOsEntrySize * i + field, v);
    else
        wire::Put16(f, kOsEntry + kOsEntrySize * i + field, v);
    Reseal(f);
}

void SetRam(Bytes& f, size_t i, size_t field, uint32_t v) {
    wire::Put32(f, kRamEntry + kRamEntrySize * i + field, v);
    Reseal(f);
}

TResult Check(const Bytes& bytes) {
    TempFile file(bytes);
    return CheckUpdateFile(file.Path());
}

TEST(CheckUpdateFile, DamageTheCrcDoesNotSee) {
    struct Row {
        const char* catches;
        std::function<void(Bytes&)> spoil;
        TResult code;
    };
    const Row rows[] = {
        {"a sound file", [](Bytes&) {}, rc::Success},
        {"a damaged header still fails as before", [](Bytes& f) { f[600] ^= 1; },
         rc::UpdateCrcError},
        {"no sectors covered, with the CRC of nothing", [](Bytes& f) { Reseal(f, 0); },
         rc::UpdateNotCovered},
        {"the maps covered, the section data not", [](Bytes& f) { Reseal(f, 5); },
         rc::UpdateNotCovered},
        {"the last RAM sector left out",
         [](Bytes& f) { Reseal(f, static_cast<uint32_t>(f.size() / 512 - 2)); },
         rc::UpdateNotCovered},
        {"an OS section's data past the covered sectors",
         [](Bytes& f) { SetOs(f, 1, 2, 0xFFFFFFF0); }, rc::UpdateNotCovered},
        {"a RAM section's data past the covered sectors",
         [](Bytes& f) { SetRam(f, 1, 0, 0x7FFFFFFF); }, rc::UpdateNotCovered},
        {"an OS section's checksum not its data's", [](Bytes& f) { SetOs(f, 0, 0, 0x1234, false); },
         rc::SectionCrcError},
        {"a section's size grown into its padding", [](Bytes& f) { SetOs(f, 0, 6, 5001); },
         rc::SectionCrcError},
        {"the second section inside the first", [](Bytes& f) { SetOs(f, 1, 10, 0x1000); },
         rc::SectionsOverlap},
        {"the second section over the first one's padding",
         [](Bytes& f) { SetOs(f, 1, 10, 0x1800); }, rc::SectionsOverlap},
        {"the second section right after the first one's padding",
         [](Bytes& f) { SetOs(f, 1, 10, 0x2000); }, rc::Success},
        {"a RAM section past 4 GiB", [](Bytes& f) { SetRam(f, 0, 8, 0xFFFFFE00); }, rc::RamOutside},
        {"a RAM section ending at 4 GiB", [](Bytes& f) { SetRam(f, 1, 8, 0xFFFFFF9C); },
         rc::Success},
        {"the RAM map beyond the covered sectors",
         [](Bytes& f) {
             wire::Put32(f, 512 + 66, 0x100);
             Reseal(f);
         },
         rc::UpdateNotCovered},
    };
    for (const Row& r : rows) {
        Bytes file = BuildUpd(Plan());
        r.spoil(file);
        EXPECT_EQ(Check(file), r.code) << r.catches;
    }
}

TEST(CheckUpdateFile, EmptySectionsHaveTheChecksumOfNothingAndOverlapNothing) {
    UpdPlan plan;
    plan.os = {{0, Pattern(4096, 1), {}}, {0x100, {}, {}}};
    EXPECT_EQ(Check(BuildUpd(plan)), rc::Success);
    plan.os[1].crc = 1;
    EXPECT_EQ(Check(BuildUpd(plan)), rc::SectionCrcError);
}

TEST(CheckUpdateFile, OnlyRegularFilesAreRead) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / "kestrel-check-not-files";
    fs::remove_all(dir);
    fs::create_directories(dir / "folder.upd");
    EXPECT_EQ(CheckUpdateFile((dir / "folder.upd").string().c_str()), rc::UpdateOpenError);
    EXPECT_EQ(CheckUpdateFile((dir / "absent.upd").string().c_str()), rc::UpdateOpenError);
    std::shared_ptr<const UpdateImage> image;
    EXPECT_EQ(UpdateImage::Load((dir / "folder.upd").string().c_str(), image), rc::UpdateOpenError);
    EXPECT_EQ(UpdateImage::Load((dir / "absent.upd").string().c_str(), image), rc::UpdateOpenError);
    EXPECT_EQ(image, nullptr);
    fs::remove_all(dir);
}

// The engine's copy in memory says what the file said, to the last byte and the last refusal.
TEST(CheckUpdateFile, TheImageInMemoryIsJudgedAsTheFile) {
    UpdPlan plan;
    plan.os = {{0, Pattern(5000, 1), {}}};
    plan.ram = {{0x20000, Pattern(300, 2)}};
    std::vector<uint8_t> damaged = BuildUpd(plan);
    damaged[damaged.size() - 1] ^= 1;
    for (const std::vector<uint8_t>& bytes : {BuildUpd(plan), damaged}) {
        TempFile file(bytes);
        std::shared_ptr<const UpdateImage> image;
        ASSERT_EQ(UpdateImage::Load(file.Path(), image), rc::Success);
        EXPECT_TRUE(std::ranges::equal(image->Bytes(), bytes));
        EXPECT_EQ(CheckUpdateImage(image), CheckUpdateFile(file.Path()));
        EXPECT_EQ(ImageOsSize(image), UpdateFileOsSize(file.Path()));
        EXPECT_EQ(ImageRamSize(image), UpdateFileRamSize(file.Path()));
        EXPECT_EQ(ImageDevice(image), IMGDevice(file.Path()));
    }
}

// A front end stays alive through the check of a big file: it gets the thread every 32 KiB
// read, all the way through. The integrity check vouches for the maps once, so the file is
// read twice (integrity, then the sections' checksums), not once more per map.
TEST(CheckUpdateFile, HandsTheThreadOverAsItReads) {
    UpdPlan plan;
    constexpr uint32_t kSection = 0x40000;
    for (uint32_t i = 0; i < 4; ++i)
        plan.os.push_back({i * kSection, Pattern(kSection, i + 1), {}});
    TempFile file(BuildUpd(plan));
    constexpr int kPieces = 4 * kSection / (64 * 512);  // one whole pass
    int calls = 0;
    EXPECT_EQ(CheckUpdateFile(file.Path(), [&] { ++calls; }), rc::Success);
    EXPECT_GE(calls, 2 * kPieces);
    EXPECT_LT(calls, 3 * kPieces);

    calls = 0;
    EXPECT_EQ(UpdateFileOsSize(file.Path(), [&] { ++calls; }), 4 * kSection);
    EXPECT_GE(calls, kPieces) << "reading a map checks the whole file's integrity";
}

}  // namespace
