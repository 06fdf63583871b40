#include "sim/Bootlet.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "sim/HandheldFraming.h"

namespace {

// Palm database header: name[32], attributes, version, three dates, modification number,
// app-info and sort-info offsets, type, creator, unique-id seed, next list id, entry count.
constexpr size_t kHeaderSize = 78;
constexpr size_t kNameSize = 32;
constexpr size_t kResourceEntrySize = 10;  // type[4], id u16, offset u32
constexpr size_t kGapAfterList = 2;        // the customary two zero bytes before the data
constexpr uint16_t kResourceDatabase = 0x0001;
// 2003-01-01 in seconds from 1904: fixed, so the build makes the same file every time.
constexpr uint32_t kDate = 3124224000u;

constexpr uint8_t kEntryMark[] = {0xFA, 0xAB, 0xF0, 0x0D};

struct Resource {
    const char* type;
    uint16_t id;
    std::vector<uint8_t> data;
};

void PutText(std::vector<uint8_t>& out, const char* text, size_t width) {
    const size_t length = std::strlen(text);
    for (size_t i = 0; i < width; ++i)
        out.push_back(i < length ? static_cast<uint8_t>(text[i]) : 0);
}

std::vector<uint8_t> Bytes(std::initializer_list<uint16_t> words) {
    std::vector<uint8_t> out;
    for (uint16_t word : words) PutBe16(out, word);
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

std::vector<uint8_t> BuildBootletPrc() {
    const std::vector<Resource> resources = {
        {"code", 0, Bytes({0, 0, 0, 0, 0, 8, 0, 0x20})},  // A5 world sizes, jump table
        {"code", 1, LoaderCode()},
        {"pref", 0, Bytes({30, 0, 0x1000, 0, 0x1000})},  // priority, stack, heap
        {"tAIN", 1000, Text("Bootlet")},
        {"tver", 1, Text("2.3")},
    };
    std::vector<uint8_t> out;
    PutText(out, "Bootlet", kNameSize);
    PutBe16(out, kResourceDatabase);
    PutBe16(out, 1);  // version
    PutBe32(out, kDate);
    PutBe32(out, kDate);
    PutBe32(out, 0);  // never backed up
    PutBe32(out, 0);  // modification number
    PutBe32(out, 0);  // no app info
    PutBe32(out, 0);  // no sort info
    PutText(out, "appl", 4);
    PutText(out, "KBlt", 4);
    PutBe32(out, 0);  // unique-id seed
    PutBe32(out, 0);  // next record list
    PutBe16(out, static_cast<uint16_t>(resources.size()));

    size_t offset = kHeaderSize + resources.size() * kResourceEntrySize + kGapAfterList;
    for (const Resource& resource : resources) {
        PutText(out, resource.type, 4);
        PutBe16(out, resource.id);
        PutBe32(out, static_cast<uint32_t>(offset));
        offset += resource.data.size();
    }
    out.push_back(0);
    out.push_back(0);
    for (const Resource& resource : resources)
        out.insert(out.end(), resource.data.begin(), resource.data.end());
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
