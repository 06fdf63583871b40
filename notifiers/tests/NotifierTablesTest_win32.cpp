// The notifier libraries as files: HotSync Manager finds their entries by plain name, and
// Windows must bind Palm Desktop's libraries by ordinal, since those export no names.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/PeImage.h"
#include "base/Text.h"

namespace {

std::string Beside(const std::string& name) {
    char self[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path = self;
    return path.substr(0, path.rfind('\\') + 1) + name;
}

bool Is(const std::string& a, const char* b) { return CompareTextIgnoreCase(a, b) == 0; }

TEST(NotifierTables, ExportAndImportAsHotSyncManagerNeeds) {
    struct Row {
        const char* library;
        std::vector<uint16_t> instaide;  // ordinals, in any order
    };
    const Row rows[] = {
        {"kvrnotify.dll", {103, 300}}, {"stashkick.dll", {300}},  // it queues nothing
    };
    for (const Row& r : rows) {
        std::string error;
        const auto image = pe::ReadFile(Beside(r.library), error);
        ASSERT_TRUE(image) << r.library << ": " << error;
        // The kit's own are checked to be 32-bit (kit_tests); these are this build's.
        EXPECT_EQ(image->machine, sizeof(void*) == 4 ? 0x14C : 0x8664) << r.library;

        std::vector<std::string> names;
        for (const pe::Export& e : image->exports) names.push_back(e.name);
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"GetNotifierVersion", "HS_Notify"}))
            << r.library << ": plain names, no @N decoration";
        EXPECT_EQ(image->exportedFunctions, 2u) << r.library << ": nothing by ordinal only";

        std::vector<uint16_t> userdata, instaide;
        for (const pe::Import& i : image->imports) {
            // Only the system's libraries and Palm Desktop's: the runtime is linked in.
            EXPECT_TRUE(Is(i.library, "kernel32.dll") || Is(i.library, "msvcrt.dll") ||
                        Is(i.library, "advapi32.dll") || Is(i.library, "userdata.dll") ||
                        Is(i.library, "instaide.dll"))
                << r.library << " imports from " << i.library;
            if (!Is(i.library, "userdata.dll") && !Is(i.library, "instaide.dll")) continue;
            EXPECT_TRUE(i.byOrdinal) << r.library << " imports " << i.name << " by name";
            (Is(i.library, "userdata.dll") ? userdata : instaide).push_back(i.ordinal);
        }
        std::sort(instaide.begin(), instaide.end());
        EXPECT_EQ(userdata, std::vector<uint16_t>{103}) << r.library;
        EXPECT_EQ(instaide, r.instaide) << r.library;
    }
}

}  // namespace
