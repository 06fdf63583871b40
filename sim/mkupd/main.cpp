// mkupd: builds update files (*.UPD) for tests and demos, valid or broken on purpose.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "sim/mkupd/Description.h"
#include "sim/mkupd/UpdWriter.h"

namespace {

void PrintHelp() {
    std::printf(
        "Usage: mkupd DESCRIPTION OUT.UPD [--break KIND]\n"
        "       mkupd --sample OUT.UPD [--break KIND]\n"
        "       mkupd --list-breaks\n"
        "       mkupd --help\n\n"
        "Builds an update file from a text description, or the sample file (the description\n"
        "at the end of this text: a small OS for device 11 whose flash store gets finalised,\n"
        "and one RAM section). With --break the file is spoiled in one way; everything else\n"
        "about it stays valid, CRC included unless the kind is about the CRC.\n\n"
        "Kinds of --break:\n");
    for (std::size_t i = 0; i < kUpdBreakCount; ++i)
        std::printf("  %-24s %s\n", kUpdBreaks[i].name, kUpdBreaks[i].summary);
    std::printf("\n%s\nThe sample (--sample), for a handheld with its flash at 0x10C00000:\n\n%s",
                kDescriptionHelp, kSampleDescription);
}

int Usage(const char* why) {
    std::fprintf(stderr, "mkupd: %s\nTry 'mkupd --help'.\n", why);
    return 2;
}

bool FindBreak(const std::string& name, UpdBreak& kind) {
    for (std::size_t i = 0; i < kUpdBreakCount; ++i) {
        if (name == kUpdBreaks[i].name) {
            kind = kUpdBreaks[i].kind;
            return true;
        }
    }
    return false;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> positional;
    bool sample = false;
    UpdBreak spoil = UpdBreak::None;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            PrintHelp();
            return 0;
        } else if (arg == "--list-breaks") {
            // One kind a line, for scripts that make a file of every kind.
            for (std::size_t k = 1; k < kUpdBreakCount; ++k)
                std::printf("%s\n", kUpdBreaks[k].name);
            return 0;
        } else if (arg == "--sample") {
            sample = true;
        } else if (arg == "--break" || arg.rfind("--break=", 0) == 0) {
            std::string kind;
            if (arg == "--break") {
                if (++i == argc) return Usage("--break needs a kind");
                kind = argv[i];
            } else {
                kind = arg.substr(std::strlen("--break="));
            }
            if (!FindBreak(kind, spoil))
                return Usage(("unknown --break kind '" + kind + "'").c_str());
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Usage(("unknown option '" + arg + "'").c_str());
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != (sample ? 1u : 2u))
        return Usage(sample ? "--sample takes one output file" : "expected DESCRIPTION OUT.UPD");

    UpdDescription description;
    if (sample) {
        description = SampleDescription();
    } else {
        const std::string& path = positional[0];
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "mkupd: cannot read %s\n", path.c_str());
            return 1;
        }
        std::stringstream text;
        text << in.rdbuf();
        std::string error;
        const std::string base = std::filesystem::path(path).parent_path().string();
        if (!ParseDescription(text.str(), base, description, error)) {
            std::fprintf(stderr, "mkupd: %s: %s\n", path.c_str(), error.c_str());
            return 1;
        }
    }

    std::vector<uint8_t> bytes;
    std::string error;
    if (!BuildUpdateFile(description, spoil, bytes, error)) {
        std::fprintf(stderr, "mkupd: %s\n", error.c_str());
        return 1;
    }
    const std::string& out = positional.back();
    if (!WriteFile(out, bytes)) {
        std::fprintf(stderr, "mkupd: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}
