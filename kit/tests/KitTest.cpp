// The kit as a user unpacks it (kit_unpack puts it in KESTREL_KIT_UNPACKED): exactly the files
// a user needs, and every program and library among them ready for a bare Windows with Palm
// Desktop: 32-bit, stripped, and binding only Windows' own libraries (the C++ runtime is
// linked in) and, for the notifiers and the conduit, the libraries HotSync Manager has loaded,
// by ordinal where they export no name. Read from the files' bytes alone, so that every
// machine checks the kit, also one that cannot run it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "base/PeImage.h"
#include "base/Text.h"
#include "sim/Bootlet.h"

namespace {

enum class Kind { Program, Library, Language, Loader, Text };

// What a program imports from a library outside Windows: "#N" by ordinal, or the name.
using Imports = std::map<std::string, std::set<std::string>>;

struct KitFile {
    const char* path;  // as the zip names it
    Kind kind;
    std::vector<std::string> exports;  // sorted
    // Libraries of Palm Desktop or HotSync Manager, there wherever HotSync Manager loads the
    // library: exactly these imports, by ordinal where they export no name.
    Imports outside;
};

const KitFile kKit[] = {
    {"Kestrelup.exe",
     Kind::Program,
     {"DBGClear", "DBGHide", "DBGOpen", "DBGOpenAs", "DBGPrint", "DBGSave", "DBGSaveAs", "DBGShow",
      "_DBGPrintf"},
     {}},
    {"Kestrelup.DEU", Kind::Language, {}, {}},
    {"Kestrelup.FRA", Kind::Language, {}, {}},
    {"kvrnotify.dll",
     Kind::Library,
     {"GetNotifierVersion", "HS_Notify"},
     {{"userdata.dll", {"#103"}}, {"instaide.dll", {"#103", "#300"}}}},
    {"stashkick.dll",
     Kind::Library,
     {"GetNotifierVersion", "HS_Notify"},
     {{"userdata.dll", {"#103"}}, {"instaide.dll", {"#300"}}}},
    {"stashmate.dll",
     Kind::Library,
     {"ConfigureConduit", "GetConduitInfo", "GetConduitName", "GetConduitVersion",
      "InstallStashmate", "OpenConduit", "UninstallStashmate"},
     {{"sync20.dll",
       {"#22", "#23", "#24", "#26", "#28", "#29", "#30", "#36", "#38", "SyncCloseDBEx",
        "SyncGetDBRecordCount", "SyncGetHHOSVersion", "SyncHHToHostDWord", "SyncHostToHHDWord",
        "SyncHostToHHWord", "SyncMaxRemoteRecSize", "SyncReadResRecordByIndex",
        "SyncReadSingleCardInfo", "SyncYieldCycles"}},
      {"hslog20.dll", {"#52", "LogAddFormattedEntry"}},
      {"condmgr.dll", {"#82"}},
      {"pdcmn21.dll", {"InitPdcmn5DLL"}}}},
    {"sys/Bootlet.prc", Kind::Loader, {}, {}},
    {"ReadMe.txt", Kind::Text, {}, {}},
};

// Windows' own libraries that the kit's programs bind, present on every Windows it runs on.
// A new one belongs here only when it is as sure to be there.
const char* const kWindowsLibraries[] = {"kernel32.dll", "user32.dll", "gdi32.dll",  "comdlg32.dll",
                                         "advapi32.dll", "msvcrt.dll", "wininet.dll"};

std::string Unpacked(const std::string& name) { return KESTREL_KIT_UNPACKED "/" + name; }

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

template <size_t N>
bool Among(const std::string& library, const char* const (&names)[N]) {
    return std::any_of(std::begin(names), std::end(names),
                       [&](const char* name) { return CompareTextIgnoreCase(library, name) == 0; });
}

TEST(Kit, HoldsExactlyTheFilesAUserNeeds) {
    std::ifstream listing(Unpacked("listing.txt"));
    ASSERT_TRUE(listing) << "kit_unpack did not run";
    std::vector<std::string> entries, expected;
    for (std::string line; std::getline(listing, line);) entries.push_back(line);
    for (const KitFile& file : kKit) expected.push_back(file.path);
    std::sort(entries.begin(), entries.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(entries, expected);
}

TEST(Kit, ProgramsAndLibrariesRunOnABareWindows) {
    for (const KitFile& file : kKit) {
        if (file.kind == Kind::Loader || file.kind == Kind::Text) continue;
        SCOPED_TRACE(file.path);
        std::string error;
        const auto image = pe::ReadFile(Unpacked(std::string("files/") + file.path), error);
        ASSERT_TRUE(image) << error;
        EXPECT_EQ(image->machine, 0x14C) << "HotSync Manager and the kit are 32-bit";
        EXPECT_FALSE(image->pe32Plus);
        EXPECT_EQ(image->symbols, 0u) << "not stripped";
        for (const std::string& section : image->sections)
            EXPECT_NE(section.rfind(".debug", 0), 0u) << "debug information left: " << section;

        if (file.kind == Kind::Language) {
            EXPECT_TRUE(image->imports.empty()) << "a language module is loaded as data only";
        }
        Imports outside;
        for (const pe::Import& import : image->imports) {
            if (Among(import.library, kWindowsLibraries)) continue;
            std::string library = import.library;
            for (char& c : library)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            outside[library].insert(import.byOrdinal ? "#" + std::to_string(import.ordinal)
                                                     : import.name);
        }
        EXPECT_EQ(outside, file.outside) << "binds a library a user's Windows lacks, or imports "
                                            "from one by name what it exports by ordinal only";

        std::vector<std::string> names;
        for (const pe::Export& e : image->exports) names.push_back(e.name);
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, file.exports) << "plain names, no decoration";
        EXPECT_EQ(image->exportedFunctions, file.exports.size()) << "nothing by ordinal only";
    }
}

TEST(Kit, LoaderIsTheOneTheProjectBuilds) {
    const std::vector<uint8_t> bytes = ReadBytes(Unpacked("files/sys/Bootlet.prc"));
    EXPECT_EQ(bytes, BuildBootletPrc());
    PalmDatabase database;
    std::string error;
    ASSERT_TRUE(ReadPalmDatabase(bytes.data(), bytes.size(), database, error)) << error;
    EXPECT_TRUE(IsBootlet(database));
}

TEST(Kit, TextReadsInNotepad) {
    const std::vector<uint8_t> text = ReadBytes(Unpacked("files/ReadMe.txt"));
    ASSERT_FALSE(text.empty());
    for (size_t i = 0; i < text.size(); ++i) {
        const uint8_t c = text[i];
        ASSERT_TRUE((c >= 0x20 && c < 0x7F) || c == '\r' || c == '\n')
            << "byte " << int{c} << " at " << i << " is not plain ASCII";
        if (c == '\n') {
            ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << "bare LF at " << i;
        }
        ASSERT_NE(c, '@') << "a placeholder left unfilled at " << i;
    }
}

}  // namespace
