// Fuzz target of the Palm database file reader: any bytes are either refused with a reason
// or read, and a file that is read is written back byte for byte (everything it holds is
// kept), and its database entry can be made.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/DatabaseEntry.h"
#include "sim/HandheldStore.h"
#include "sim/PalmDatabase.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so a read past the end is caught.
    const std::vector<uint8_t> file(data, data + size);
    PalmDatabase database;
    std::vector<std::string> notes;
    std::string error;
    if (!ReadPalmDatabase(file.data(), file.size(), database, error, &notes)) {
        if (error.empty()) __builtin_trap();
        return 0;
    }
    std::vector<uint8_t> written;
    if (!WritePalmDatabase(database, written, error)) __builtin_trap();
    if (written != file) __builtin_trap();
    // The entry carries the whole name, 32 characters included, and gives it back.
    const auto entry = PackDatabaseEntry(EntryOf(database, 0));
    if (UnpackDatabaseEntry(entry.data()).name != database.Name()) __builtin_trap();
    const std::string name = DatabaseFileName(database);
    if (name.find('/') != std::string::npos || name.find('\\') != std::string::npos)
        __builtin_trap();
    return 0;
}
