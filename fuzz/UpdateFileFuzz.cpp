// Fuzz target of the update-file reader: the input becomes a file on disk (the reader works
// on paths and open files) and every reader operation runs on it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "base/Crc16.h"
#include "base/Log.h"
#include "image/UpdateFile.h"
#include "image/UpdateImage.h"

namespace {

constexpr uint32_t kMaxExtractSectors = 32;

std::string g_path;

// Prefers a memory-backed folder: the target rewrites its file for every input.
std::string MakeTempPath() {
    std::error_code ec;
    const std::filesystem::path dir = std::filesystem::is_directory("/dev/shm", ec)
                                          ? std::filesystem::path("/dev/shm")
                                          : std::filesystem::temp_directory_path();
    return (dir / ("kestrel-fuzz-" + std::to_string(std::random_device{}()) + ".upd")).string();
}

void RemoveTempFile() { std::remove(g_path.c_str()); }

// Random bytes almost never carry a matching CRC, which would keep the fuzzer in front of
// the integrity check. So unless the low bit of header byte 28 (never interpreted) is set,
// the CRC is made to match the sectors the input holds, and the maps get fuzzed too.
void FixCrc(std::vector<uint8_t>& bytes) {
    if (bytes.size() < kSectorSize || (bytes[28] & 1)) return;
    const uint32_t claimed = (uint32_t{bytes[22]} << 24) | (uint32_t{bytes[23]} << 16) |
                             (uint32_t{bytes[24]} << 8) | bytes[25];
    const std::size_t held = bytes.size() / kSectorSize - 1;
    const std::size_t covered = std::min<std::size_t>(claimed, held);
    const uint16_t crc = Crc16(bytes.data() + kSectorSize, covered * kSectorSize);
    bytes[20] = static_cast<uint8_t>(crc >> 8);
    bytes[21] = static_cast<uint8_t>(crc);
}

bool WriteInput(const uint8_t* data, std::size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    FixCrc(bytes);
    std::FILE* file = std::fopen(g_path.c_str(), "wb");
    if (!file) return false;
    const bool ok = std::fwrite(bytes.data(), 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

// Extracts up to a bounded number of a section's sectors, and once with its full count so
// the buffer-size guard is exercised as well.
void Extract(TUpdateFile& file, uint32_t sector, uint32_t size) {
    static uint8_t buffer[kMaxExtractSectors * kSectorSize];
    const uint32_t count = size / kSectorSize + (size % kSectorSize != 0);
    (void)file.ExtractSectors(sector, std::min(count, kMaxExtractSectors), buffer);
    (void)file.ExtractSectors(sector, count, buffer);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_path = MakeTempPath();
    std::atexit(RemoveTempFile);
    // Narrate everything, so the formatting of every log line runs on hostile input too.
    SetLogThreshold(9);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (!WriteInput(data, size)) return 0;
    const char* path = g_path.c_str();
    // Only what the readers do with hostile bytes matters here, not what they conclude.
    (void)VerifyUpdateFile(path);
    (void)CheckUpdateFile(path);
    IMGDevice(path);
    UpdateFileOsSize(path);
    UpdateFileRamSize(path);
    // The same bytes as the engine holds them: read once, checked from memory.
    std::shared_ptr<const UpdateImage> image;
    if (UpdateImage::Load(path, image) == rc::Success) {
        (void)CheckUpdateImage(image);
        ImageOsSize(image);
        ImageRamSize(image);
    }

    TUpdateFile file;
    if (!file.Open(path)) return 0;
    DesktopHeader header;
    (void)file.ReadHeader(header);
    UpdateMap update;
    (void)file.ReadUpdateMap(update);
    OsMap os;
    if (file.ReadOsMap(os) == rc::Success)
        for (const OsSection& s : os.Sections()) Extract(file, s.sector, s.size);
    RamMap ram;
    if (file.ReadRamMap(ram) == rc::Success)
        for (const RamSection& s : ram.Sections()) Extract(file, s.sector, s.size);
    uint16_t flag;
    (void)file.ReadFinaliseFlag(flag);
    bool finalise;
    (void)file.ReadFinalisation(finalise);
    return 0;
}
