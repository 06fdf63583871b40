#include "sim/Bootlet.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "base/ByteOrder.h"

namespace {

// 2003-01-01 in seconds from 1904: fixed, so the build makes the same file every time.
constexpr uint32_t kDate = 3124224000u;

constexpr uint8_t kEntryMark[] = {0xFA, 0xAB, 0xF0, 0x0D};

std::vector<uint8_t> Bytes(std::initializer_list<uint16_t> words) {
    std::vector<uint8_t> out(2 * words.size());
    uint8_t* at = out.data();
    for (uint16_t word : words) {
        byteorder::PutBE16(at, word);
        at += 2;
    }
    return out;
}

std::vector<uint8_t> Text(const char* text) {
    std::vector<uint8_t> out(text, text + std::strlen(text));
    out.push_back(0);
    return out;
}

// The application's code resource: a start-up stub that returns at once (the desktop never
// runs it, it jumps past the mark), the entry mark, then the loader's entry. 68000 words.
std::vector<uint8_t> LoaderCode() {
    std::vector<uint8_t> code = Bytes({0x7000, 0x4E75});  // moveq #0,d0; rts
    code.insert(code.end(), kEntryMark, kEntryMark + sizeof kEntryMark);
    // Entry: disable interrupts, then wait in a loop for the link to be served.
    const std::vector<uint8_t> entry = Bytes({0x46FC, 0x2700, 0x4E71, 0x60FC});
    code.insert(code.end(), entry.begin(), entry.end());
    const std::vector<uint8_t> banner = Text("Bootlet serial loader");
    code.insert(code.end(), banner.begin(), banner.end());
    if (code.size() % 2) code.push_back(0);
    return code;
}

}  // namespace

bool IsBootlet(const PalmDatabase& database) {
    return database.Name() == kBootletName && database.type == kBootletType &&
           database.creator == kBootletCreator;
}

PalmDatabase BuildBootletDatabase() {
    PalmDatabase database;
    database.SetName(kBootletName);
    database.attributes = palmdb::kResourceDatabase;
    database.version = 1;
    database.creationDate = kDate;
    database.modificationDate = kDate;
    database.type = kBootletType;
    database.creator = kBootletCreator;
    database.resources = {
        {palmdb::FourCc("code"), 0, Bytes({0, 0, 0, 0, 0, 8, 0, 0x20})},  // A5 world, jump table
        {palmdb::FourCc("code"), 1, LoaderCode()},
        {palmdb::FourCc("pref"), 0, Bytes({30, 0, 0x1000, 0, 0x1000})},  // priority, stack, heap
        {palmdb::FourCc("tAIN"), 1000, Text("Bootlet")},
        {palmdb::FourCc("tver"), 1, Text("2.3")},
    };
    return database;
}

std::vector<uint8_t> BuildBootletPrc() {
    std::vector<uint8_t> out;
    std::string error;
    // Five small resources always fit the format.
    WritePalmDatabase(BuildBootletDatabase(), out, error);
    return out;
}

bool WriteBootletPrc(const std::string& path, std::string& error) {
    const std::vector<uint8_t> image = BuildBootletPrc();
    const std::filesystem::path target(path);
    std::error_code failure;
    if (target.has_parent_path())
        std::filesystem::create_directories(target.parent_path(), failure);
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()),
              static_cast<std::streamsize>(image.size()));
    out.close();
    if (!out) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}
