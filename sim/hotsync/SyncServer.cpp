#include "sim/hotsync/SyncServer.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <fstream>
#include <system_error>

#include "base/SyncRecords.h"
#include "sim/DatabaseEntry.h"
#include "sim/HandheldConfig.h"
#include "sim/hotsync/HotSyncSession.h"

namespace fs = std::filesystem;
using namespace syncanswer;

namespace {

// A record's archived flag as the Sync Manager hands it over.
constexpr uint8_t kArchived = 0x08;
// The private bit of a record's attribute byte, above its category.
constexpr uint8_t kSecret = 0x10;
constexpr const char* kFillerName = "disk-filler.bin";
constexpr const char* kConfigFile = "handheld.conf";

uint32_t ClockNow() { return static_cast<uint32_t>(std::time(nullptr)); }

// handheld.conf as palmsim keeps it, for the card's sizes; a file that cannot be read gives
// the defaults, as for a handheld palmsim never saved.
HandheldConfig ReadConfig(const fs::path& stateDir) {
    HandheldConfig config;
    std::ifstream in(stateDir / kConfigFile, std::ios::binary);
    std::string text(64 * 1024, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(in.gcount()));
    std::string error;
    HandheldConfig read = config;
    if (ReadConfigText(text, read, error)) config = read;
    return config;
}

}  // namespace

fs::path DiskFillerPath(const fs::path& backupFolder) {
    return backupFolder / hotsync_session::kScratchFolder / kFillerName;
}

bool FillDisk(const fs::path& backupFolder, std::string& error) {
    std::error_code failure;
    const fs::path filler = DiskFillerPath(backupFolder);
    fs::create_directories(filler.parent_path(), failure);
    if (failure) {
        error = "cannot make " + filler.parent_path().string() + ": " + failure.message();
        return false;
    }
    const fs::space_info space = fs::space(filler.parent_path(), failure);
    if (failure) {
        error = "cannot tell the free space at " + backupFolder.string() + ": " + failure.message();
        return false;
    }
    if (space.available > kMostDiskFill) {
        error = backupFolder.string() + " has " + std::to_string(space.available >> 20) +
                " MiB free: too much to fill, it is no test's small file system";
        return false;
    }
    std::FILE* out = std::fopen(filler.string().c_str(), "ab");
    if (!out) {
        error = "cannot write " + filler.string();
        return false;
    }
    std::setvbuf(out, nullptr, _IONBF, 0);
    // Large pieces first, then ever smaller ones, so that not even a block's tail is left.
    const std::vector<char> piece(1 << 20, '\xFF');
    for (size_t size = piece.size(); size > 0; size /= 2)
        while (std::fwrite(piece.data(), 1, size, out) == size) continue;
    std::fclose(out);
    return true;
}

SyncServer::SyncServer(HandheldStore& store, SyncFaults faults, std::function<uint32_t()> now)
    : store_(store), faults_(std::move(faults)), now_(now ? std::move(now) : ClockNow) {}

int32_t SyncServer::Gate() {
    if (lost_) return syncerr::kTransient;
    // A busy moment: each of the first calls is turned away once, then answered.
    if (busyCalls_ < faults_.transient) {
        if (!turnedAway_) {
            turnedAway_ = true;
            return syncerr::kTransient;
        }
        turnedAway_ = false;
        ++busyCalls_;
    }
    return syncerr::kOk;
}

bool SyncServer::LoadLists() {
    if (listsLoaded_) return true;
    std::vector<Listed> ram, rom;
    const auto add = [this](StoreFolder folder, bool inRam, std::vector<Listed>& list) {
        std::vector<StoredDatabase> stored;
        std::vector<DamagedFile> damaged;
        std::string error;
        if (!store_.List(folder, stored, damaged, error)) {
            Problem(error);
            return false;
        }
        for (const DamagedFile& file : damaged)
            Problem(std::string(FolderName(folder)) + "/" + file.fileName + ": " + file.error);
        for (StoredDatabase& s : stored) {
            const std::string name = s.database.Name();
            if (std::any_of(list.begin(), list.end(),
                            [&](const Listed& l) { return l.database.Name() == name; }))
                continue;
            list.push_back({inRam, std::move(s.database), s.fileSize, s.fileName});
        }
        return true;
    };
    if (!add(StoreFolder::Ram, true, ram) || !add(StoreFolder::Rom, false, rom) ||
        !add(StoreFolder::RomAdded, false, rom))
        return false;
    // The lists' indexes are 16-bit, as are the card's counts.
    if (ram.size() > 0xFFFF || rom.size() > 0xFFFF) {
        Problem("more databases than a card can count");
        return false;
    }
    for (const auto* list : {&ram, &rom})
        for (const Listed& l : *list) {
            const PalmDatabase& db = l.database;
            auto fit = [this](const std::vector<uint8_t>& data) {
                largestBlock_ = std::max(largestBlock_, static_cast<uint32_t>(data.size()));
            };
            for (const PalmRecord& r : db.records) fit(r.data);
            for (const PalmResource& r : db.resources) fit(r.data);
            if (db.appInfo) fit(*db.appInfo);
        }
    ram_ = std::move(ram);
    rom_ = std::move(rom);
    listsLoaded_ = true;
    return true;
}

const std::vector<SyncServer::Listed>* SyncServer::List(bool ram) {
    if (!LoadLists()) return nullptr;
    return ram ? &ram_ : &rom_;
}

SyncServer::OpenDb* SyncServer::Opened(uint8_t handle) {
    const auto it = open_.find(handle);
    return it == open_.end() ? nullptr : &it->second;
}

int32_t SyncServer::ReadUserInfo(uint8_t* userInfo) {
    if (const int32_t gate = Gate()) return gate;
    if (!userInfo) return kBadArgument;
    std::string user, error;
    if (!store_.ReadUser(user, error)) {
        Problem(error);
        return kHandheldFailed;
    }
    SyncUserInfo info;
    info.name = user;
    info.nameLength = static_cast<uint32_t>(user.size());
    const auto bytes = PackUserInfo(info);
    std::memcpy(userInfo, bytes.data(), bytes.size());
    return syncerr::kOk;
}

int32_t SyncServer::ReadCardInfo(uint8_t* card) {
    if (const int32_t gate = Gate()) return gate;
    if (!card) return kBadArgument;
    if (card[cardinfo::kCardNumber] != 0) return kNotFound;
    const auto* ram = List(true);
    const auto* rom = List(false);
    if (!ram || !rom) return kHandheldFailed;
    const HandheldConfig config = ReadConfig(store_.Dir());
    uint64_t ramUsed = 0;
    for (const Listed& l : *ram) ramUsed += l.fileSize;
    SyncCardInfo info;
    info.version = 1;
    info.romSize = FlashTotal(config);
    info.ramSize = config.ramSize;
    info.freeRam = static_cast<uint32_t>(config.ramSize > ramUsed ? config.ramSize - ramUsed : 0);
    info.name = "Internal";
    info.manufacturer = "Halvex";
    info.romDatabases = static_cast<uint16_t>(rom->size());
    info.ramDatabases = static_cast<uint16_t>(ram->size());
    const auto bytes = PackCardInfo(info);
    std::memcpy(card, bytes.data(), bytes.size());
    return syncerr::kOk;
}

int32_t SyncServer::ReadDatabaseList(uint8_t card, uint16_t start, uint16_t ramFlag,
                                     uint8_t* entries, uint16_t* count) {
    if (const int32_t gate = Gate()) return gate;
    if (!count || (*count > 0 && !entries)) return kBadArgument;
    const uint16_t capacity = *count;
    *count = 0;
    if (card != 0) return kNotFound;
    const auto* list = List(ramFlag != 0);
    if (!list) return kHandheldFailed;
    if (start >= list->size()) return kNotFound;
    const size_t filled = std::min<size_t>(capacity, list->size() - start);
    for (size_t i = 0; i < filled; ++i) {
        const auto index = static_cast<uint16_t>(start + i);
        const auto bytes = PackDatabaseEntry(EntryOf((*list)[index].database, index));
        std::memcpy(entries + i * dbentry::kSize, bytes.data(), bytes.size());
    }
    *count = static_cast<uint16_t>(filled);
    return syncerr::kOk;
}

int32_t SyncServer::HandheldOsVersion() {
    OsVersion version;
    std::string error;
    if (!store_.ReadOsVersion(version, error)) {
        Problem(error);
        return 0;
    }
    return static_cast<int32_t>(uint32_t{version.major} | uint32_t{version.minor} << 16);
}

int32_t SyncServer::OpenDatabase(const char* name, int32_t card, uint8_t* handle, uint8_t mode) {
    if (const int32_t gate = Gate()) return gate;
    if (!name || !handle || !(mode & syncopen::kRead)) return kBadArgument;
    if (!faults_.lostAt.empty() && name == faults_.lostAt) {
        lost_ = true;
        return syncerr::kTransient;
    }
    if (!faults_.diskFullAt.empty() && name == faults_.diskFullAt && !diskFilled_) {
        diskFilled_ = true;
        std::string error;
        if (!FillDisk(faults_.backupFolder, error)) Problem("the disk was not filled: " + error);
    }
    if (card != 0) return kNotFound;
    const Listed* found = nullptr;
    for (bool ram : {true, false}) {
        const auto* list = List(ram);
        if (!list) return kHandheldFailed;
        for (const Listed& l : *list)
            if (!found && l.database.Name() == name) found = &l;
    }
    if (!found) return kNotFound;
    if (open_.size() >= kMostOpen) return kTooManyOpen;
    uint8_t next = 1;
    while (open_.count(next)) ++next;
    OpenDb db{found->ram, found->database, found->fileName, {}};
    const bool secrets = (mode & syncopen::kShowSecret) != 0;
    if (db.database.IsResourceDatabase()) {
        for (size_t i = 0; i < db.database.resources.size(); ++i)
            db.visible.push_back(static_cast<uint16_t>(i));
    } else {
        for (size_t i = 0; i < db.database.records.size(); ++i)
            if (secrets || !(db.database.records[i].attributes & kSecret))
                db.visible.push_back(static_cast<uint16_t>(i));
    }
    open_.emplace(next, std::move(db));
    *handle = next;
    return syncerr::kOk;
}

int32_t SyncServer::MaxRecordSize(uint32_t* size) {
    if (const int32_t gate = Gate()) return gate;
    if (!size) return kBadArgument;
    if (!LoadLists()) return kHandheldFailed;
    *size = std::max(kMostRecordSize, largestBlock_);
    return syncerr::kOk;
}

int32_t SyncServer::RecordCount(uint8_t handle, uint16_t* count) {
    if (const int32_t gate = Gate()) return gate;
    const OpenDb* db = Opened(handle);
    if (!db) return kBadHandle;
    if (!count) return kBadArgument;
    *count = static_cast<uint16_t>(db->visible.size());
    return syncerr::kOk;
}

int32_t SyncServer::ReadBlock(const std::vector<uint8_t>& data, uint8_t* buffer,
                              uint32_t bufferSize, uint32_t& size) {
    size = static_cast<uint32_t>(data.size());
    if (!buffer && bufferSize > 0) return kBadArgument;
    const uint32_t copied = std::min(bufferSize, size);
    if (copied > 0) std::memcpy(buffer, data.data(), copied);
    if (copied < size) return kBufferTooSmall;
    ++blocksRead_;
    return syncerr::kOk;
}

int32_t SyncServer::ReadAppInfo(uint8_t handle, SyncBlockRead* block) {
    if (const int32_t gate = Gate()) return gate;
    const OpenDb* db = Opened(handle);
    if (!db) return kBadHandle;
    if (!block) return kBadArgument;
    block->size = 0;
    if (!db->database.appInfo) return kNotFound;
    return ReadBlock(*db->database.appInfo, block->buffer, block->bufferSize, block->size);
}

int32_t SyncServer::ReadRecord(SyncRecordRead* record) {
    if (const int32_t gate = Gate()) return gate;
    if (!record) return kBadArgument;
    const OpenDb* db = Opened(record->handle);
    if (!db) return kBadHandle;
    if (db->database.IsResourceDatabase()) return kBadArgument;
    if (record->index >= db->visible.size()) return kNotFound;
    if (db->database.Name() == faults_.badRecord && record->index == faults_.badRecordIndex)
        return kUnreadable;
    const PalmRecord& r = db->database.records[db->visible[record->index]];
    record->uniqueId = r.uniqueId & palmdb::kMostUniqueId;
    // A deleted or busy record's low bits are no category: their 0x08 marks it archived,
    // which the Sync Manager hands over as a flag of its own.
    const bool archived = (r.attributes & 0xA0) && (r.attributes & kArchived);
    record->attributes =
        static_cast<uint8_t>((r.attributes & ~palmdb::kCategoryMask) | (archived ? kArchived : 0));
    record->category =
        static_cast<uint8_t>(r.attributes & (archived ? 0x07 : palmdb::kCategoryMask));
    return ReadBlock(r.data, record->buffer, record->bufferSize, record->size);
}

int32_t SyncServer::ReadResource(SyncResourceRead* resource) {
    if (const int32_t gate = Gate()) return gate;
    if (!resource) return kBadArgument;
    const OpenDb* db = Opened(resource->handle);
    if (!db) return kBadHandle;
    if (!db->database.IsResourceDatabase()) return kBadArgument;
    if (resource->index >= db->visible.size()) return kNotFound;
    if (db->database.Name() == faults_.badRecord && resource->index == faults_.badRecordIndex)
        return kUnreadable;
    const PalmResource& r = db->database.resources[db->visible[resource->index]];
    resource->type = r.type;
    resource->id = r.id;
    return ReadBlock(r.data, resource->buffer, resource->bufferSize, resource->size);
}

int32_t SyncServer::Close(uint8_t handle, uint8_t options) {
    if (const int32_t gate = Gate()) return gate;
    const auto it = open_.find(handle);
    if (it == open_.end()) return kBadHandle;
    OpenDb db = std::move(it->second);
    open_.erase(it);
    // The flash ROM keeps no dates the handheld could change.
    if (!(options & kSyncCloseUpdateBackupDate) || !db.ram) return syncerr::kOk;
    db.database.backupDate = now_() + palmdb::kSeconds1904To1970;
    // Into the very file the list found it in: a handheld answers at once, and a search of
    // the whole folder for the name would not.
    std::string error;
    std::vector<uint8_t> bytes;
    if (!WritePalmDatabase(db.database, bytes, error) ||
        !ReplaceFile(store_.FolderPath(StoreFolder::Ram) / db.fileName, bytes, error)) {
        Problem(error);
        return kHandheldFailed;
    }
    for (Listed& l : ram_)
        if (l.database.Name() == db.database.Name()) l.database.backupDate = db.database.backupDate;
    return syncerr::kOk;
}

int32_t SyncServer::DeleteDatabase(const char* name, int32_t card) {
    if (const int32_t gate = Gate()) return gate;
    if (!name) return kBadArgument;
    if (card != 0) return kNotFound;
    const auto* ram = List(true);
    const auto* rom = List(false);
    if (!ram || !rom) return kHandheldFailed;
    const auto named = [name](const Listed& l) { return l.database.Name() == name; };
    const auto it = std::find_if(ram_.begin(), ram_.end(), named);
    if (it == ram_.end())
        return std::any_of(rom_.begin(), rom_.end(), named) ? kReadOnly : kNotFound;
    for (const auto& [handle, db] : open_)
        if (db.ram && db.database.Name() == name) return kInUse;
    std::string error;
    if (store_.Remove(StoreFolder::Ram, name, error) == StoreStatus::Failed) {
        Problem(error);
        return kHandheldFailed;
    }
    ram_.erase(it);
    return syncerr::kOk;
}

int32_t SyncServer::KeepAlive() { return lost_ ? syncerr::kTransient : syncerr::kOk; }
