// Writes a few databases with this project's writer for an outside reader to check
// (palm_database_check.pl, with Palm::PDB). The values here are the ones the check expects.
// Usage: palm_database_samples DIR
#include <cstdio>
#include <filesystem>
#include <string>

#include "sim/HandheldStore.h"
#include "sim/PalmDatabase.h"

namespace {

constexpr uint32_t k2003 = palmdb::kSeconds1904To1970 + 1041379200;  // 2003-01-01 00:00 UTC

PalmDatabase Memos() {
    PalmDatabase database;
    database.SetName("Kestrel Memos");
    database.attributes = 0x0008;  // backup
    database.version = 2;
    database.creationDate = k2003;
    database.modificationDate = k2003 + 86400;
    database.backupDate = k2003 + 2 * 86400;
    database.modificationNumber = 5;
    database.type = palmdb::FourCc("DATA");
    database.creator = palmdb::FourCc("memo");
    database.uniqueIdSeed = 0x1234;
    database.appInfo = std::vector<uint8_t>{'a', 'p', 'p', 'i', 'n', 'f', 'o'};
    database.records = {{0x40 | 3, 0x000101, {'f', 'i', 'r', 's', 't'}},
                        {0x10 | 1, 0x000102, {'s', 'e', 'c', 'o', 'n', 'd'}},
                        {0x00, 0x000103, {'t', 'h', 'i', 'r', 'd', '!', '!'}}};
    return database;
}

PalmDatabase Plain() {
    PalmDatabase database;
    database.SetName("Plain Records");
    database.version = 1;
    database.type = palmdb::FourCc("DATA");
    database.creator = palmdb::FourCc("KPln");
    database.records = {{0x00, 0x000201, {'o', 'n', 'l', 'y'}}, {0x00, 0x000202, {'t', 'w', 'o'}}};
    return database;
}

PalmDatabase Application() {
    PalmDatabase database;
    database.SetName("Kestrel App");
    database.attributes = palmdb::kResourceDatabase;
    database.version = 3;
    database.creationDate = k2003;
    database.type = palmdb::FourCc("appl");
    database.creator = palmdb::FourCc("KApp");
    database.resources = {{palmdb::FourCc("code"), 0, {0, 0, 0, 8}},
                          {palmdb::FourCc("code"), 1, {0x4E, 0x75}},
                          {palmdb::FourCc("tSTR"), 1000, {'K', 'e', 's', 't', 'r', 'e', 'l', 0}}};
    return database;
}

PalmDatabase Empty() {
    PalmDatabase database;
    database.SetName("Empty Resources");
    database.attributes = palmdb::kResourceDatabase;
    database.type = palmdb::FourCc("rsrc");
    database.creator = palmdb::FourCc("KEmp");
    return database;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: palm_database_samples DIR\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    const std::pair<const char*, PalmDatabase> samples[] = {
        {"memos.pdb", Memos()},
        {"plain.pdb", Plain()},
        {"app.prc", Application()},
        {"empty.prc", Empty()},
    };
    for (const auto& [file, database] : samples) {
        std::vector<uint8_t> bytes;
        std::string error;
        if (!WritePalmDatabase(database, bytes, error) || !ReplaceFile(dir / file, bytes, error)) {
            std::fprintf(stderr, "palm_database_samples: %s: %s\n", file, error.c_str());
            return 1;
        }
    }
    return 0;
}
