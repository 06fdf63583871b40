// Fuzz target of the conduit's settings archive: any bytes are either refused with a reason
// or read, and what is read is written and read again into the same settings.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "conduit/SMPrefs.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so a read past the end is caught.
    const std::vector<uint8_t> file(data, data + size);
    CSMPrefs prefs;
    std::string error;
    if (!ReadSMPrefs(file.data(), file.size(), prefs, error)) {
        if (error.empty()) __builtin_trap();
        return 0;
    }
    const std::vector<uint8_t> written = WriteSMPrefs(prefs);
    CSMPrefs again;
    again.wordA = ~prefs.wordA;  // nothing of the object read into may survive
    if (!ReadSMPrefs(written.data(), written.size(), again, error)) __builtin_trap();
    if (!(again == prefs)) __builtin_trap();
    if (WriteSMPrefs(again) != written) __builtin_trap();
    return 0;
}
