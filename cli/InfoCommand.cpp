#include <cinttypes>
#include <cstdio>
#include <string>

#include "cli/Commands.h"
#include "image/UpdateFile.h"
#include "link/UpdateProcedure.h"

namespace {

// Everything `info` reports, gathered once and then printed as text or JSON.
struct FileInfo {
    TResult verify = rc::Success;
    TResult check = rc::Success;  // the whole-file check flash makes before the first write
    uint16_t device = 0;
    bool headerRead = false;
    DesktopHeader header{};
    bool finalise = false;
    uint32_t osSize = 0;
    uint32_t ramSize = 0;
    TResult osMapCode = rc::Success;
    OsMap os{};
    TResult ramMapCode = rc::Success;
    RamMap ram{};
};

void Gather(const char* path, FileInfo& info) {
    info.verify = VerifyUpdateFile(path);
    info.check = CheckUpdateFile(path);
    info.device = IMGDevice(path);
    info.osSize = UpdateFileOsSize(path);
    info.ramSize = UpdateFileRamSize(path);
    TUpdateFile file;
    if (!file.Open(path)) {
        info.osMapCode = info.ramMapCode = rc::UpdateOpenError;
        return;
    }
    info.headerRead = file.ReadHeader(info.header) == rc::Success;
    // A finalise flag that cannot be read means nothing would be finalised.
    if (file.ReadFinalisation(info.finalise) != rc::Success) info.finalise = false;
    info.osMapCode = file.ReadOsMap(info.os);
    info.ramMapCode = file.ReadRamMap(info.ram);
}

void PrintText(const char* path, const FileInfo& info) {
    std::printf("file:         %s\n", path);
    std::printf("verify:       %d (%s)\n", info.verify, ErrorText(info.verify));
    std::printf("check:        %d (%s)\n", info.check, ErrorText(info.check));
    std::printf("device:       %u (%s)\n", info.device,
                IsSupportedDevice(info.device) ? "Halvex" : "not for a Halvex handheld");
    if (info.headerRead) {
        std::printf("version:      %u.%u\n", info.header.versionMajor, info.header.versionMinor);
        std::printf("sectors:      %" PRIu32 "\n", info.header.sectors);
    } else {
        std::printf("version:      -\nsectors:      -\n");
    }
    std::printf("finalise:     %s\n", info.finalise ? "yes" : "no");
    std::printf("os size:      0x%08" PRIx32 " (%" PRIu32 " bytes)\n", info.osSize, info.osSize);
    std::printf("ram size:     0x%08" PRIx32 " (%" PRIu32 " bytes)\n", info.ramSize, info.ramSize);
    if (info.osMapCode != rc::Success) {
        std::printf("os sections:  error %d: %s\n", info.osMapCode, ErrorText(info.osMapCode));
    } else {
        std::printf("os sections:  %u\n", info.os.count);
        for (const OsSection& s : info.os.Sections())
            std::printf("  crc 0x%04x  sector %-8" PRIu32 " size 0x%08" PRIx32
                        "  offset 0x%08" PRIx32 "\n",
                        s.crc, s.sector, s.size, s.offset);
    }
    if (info.ramMapCode != rc::Success) {
        std::printf("ram sections: error %d: %s\n", info.ramMapCode, ErrorText(info.ramMapCode));
    } else {
        std::printf("ram sections: %u\n", info.ram.count);
        for (const RamSection& s : info.ram.Sections())
            std::printf("  sector %-8" PRIu32 " size 0x%08" PRIx32 "  address 0x%08" PRIx32 "\n",
                        s.sector, s.size, s.address);
    }
}

// Only numbers, booleans and null go into this JSON, so no text needs escaping.
void PrintJson(const FileInfo& info) {
    std::string out = "{";
    auto key = [&](const char* name) {
        if (out.size() > 1) out += ", ";
        out += '"';
        out += name;
        out += "\": ";
    };
    auto number = [&](const char* name, long long value) {
        key(name);
        out += std::to_string(value);
    };
    auto headerNumber = [&](const char* name, long long value) {
        if (info.headerRead) return number(name, value);
        key(name);
        out += "null";
    };
    number("verify", info.verify);
    number("check", info.check);
    number("device", info.device);
    key("halvex");
    out += IsSupportedDevice(info.device) ? "true" : "false";
    headerNumber("version_major", info.header.versionMajor);
    headerNumber("version_minor", info.header.versionMinor);
    headerNumber("sectors", info.header.sectors);
    key("finalise");
    out += info.finalise ? "true" : "false";
    number("os_size", info.osSize);
    number("ram_size", info.ramSize);
    key("os_sections");
    if (info.osMapCode != rc::Success) {
        out += "null";
    } else {
        out += '[';
        for (const OsSection& s : info.os.Sections()) {
            if (out.back() != '[') out += ", ";
            out += "{\"crc\": " + std::to_string(s.crc) +
                   ", \"sector\": " + std::to_string(s.sector) +
                   ", \"size\": " + std::to_string(s.size) +
                   ", \"offset\": " + std::to_string(s.offset) + "}";
        }
        out += ']';
    }
    key("ram_sections");
    if (info.ramMapCode != rc::Success) {
        out += "null";
    } else {
        out += '[';
        for (const RamSection& s : info.ram.Sections()) {
            if (out.back() != '[') out += ", ";
            out += "{\"sector\": " + std::to_string(s.sector) +
                   ", \"size\": " + std::to_string(s.size) +
                   ", \"address\": " + std::to_string(s.address) + "}";
        }
        out += ']';
    }
    if (info.osMapCode != rc::Success) number("os_map_error", info.osMapCode);
    if (info.ramMapCode != rc::Success) number("ram_map_error", info.ramMapCode);
    out += "}\n";
    std::fputs(out.c_str(), stdout);
}

}  // namespace

int RunInfo(const Arguments& arguments) {
    const char* path = arguments.File().c_str();
    FileInfo info;
    Gather(path, info);
    if (arguments.Given("--json"))
        PrintJson(info);
    else
        PrintText(path, info);
    return 0;
}
