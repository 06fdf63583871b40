// What the conduit reads of what the web hands it when it updates its virus scanners: the
// update list, and the downloaded plug-in, judged from its bytes (its machine and its export
// table) before anything of it runs. Neither reader may crash or read past the bytes.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/PeImage.h"
#include "conduit/VirusScan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const virusscan::ListedPlugin listed = virusscan::ReadUpdateList(text);
    if (listed.version.size() > size) __builtin_trap();

    const std::vector<uint8_t> bytes(data, data + size);
    std::string error;
    const auto image = pe::Read(bytes, error);
    if (!image && error.empty()) __builtin_trap();
    if (image)
        for (const pe::Export& e : image->exports)
            if (e.name.size() > size) __builtin_trap();
    return 0;
}
