#include "cli/Refusals.h"

#include <cstdio>

#include "base/StringIds.h"
#include "base/Stringmgr.h"

namespace {

// A text of the string table with its question cut off ("...\n\nAre you sure...?").
std::string Statement(int id) {
    const char* text = StringManager().TryGetString(id);
    std::string s = text ? text : "";
    if (const size_t cut = s.find("\n\n"); cut != std::string::npos) s.resize(cut);
    return s;
}

std::string Format(const char* format, unsigned a, unsigned b = 0) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

}  // namespace

std::string RefusalText(UpdateRefusal refusal, const UpdateFacts& facts) {
    switch (refusal) {
        case UpdateRefusal::FileNotForHalvex:
            return Statement(sid::FileNotForHalvex) +
                   Format(" (the file is for device %u)", facts.fileDevice);
        case UpdateRefusal::UnsupportedHandheld:
            return Statement(sid::UnsupportedHandheld) +
                   Format(" (the handheld reports device type %u)", facts.handheldDevice);
        case UpdateRefusal::DeviceMismatch:
            return Statement(sid::DeviceMismatch) +
                   Format(" (the file is for device %u, the handheld is device %u)",
                          facts.fileDevice, facts.handheldDevice) +
                   " Give --yes to flash it anyway; the loader keeps running for that.";
        case UpdateRefusal::ImageTooBig:
            return Statement(sid::ImageTooBig) +
                   Format(" (the OS needs %u bytes, the flash holds %u:", facts.osSize,
                          facts.flashCapacity) +
                   " " + facts.flashChips + ")";
    }
    return {};
}
