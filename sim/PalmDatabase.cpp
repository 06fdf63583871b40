#include "sim/PalmDatabase.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/ByteOrder.h"

namespace {

// The header's fields, big-endian.
namespace at {
constexpr size_t kName = 0;
constexpr size_t kAttributes = 32;
constexpr size_t kVersion = 34;
constexpr size_t kCreationDate = 36;
constexpr size_t kModificationDate = 40;
constexpr size_t kBackupDate = 44;
constexpr size_t kModificationNumber = 48;
constexpr size_t kAppInfo = 52;
constexpr size_t kSortInfo = 56;
constexpr size_t kType = 60;
constexpr size_t kCreator = 64;
constexpr size_t kUniqueIdSeed = 68;
constexpr size_t kNextRecordList = 72;
constexpr size_t kEntryCount = 76;
}  // namespace at

// A record entry: data offset, attribute byte, unique ID in three bytes.
namespace record_entry {
constexpr size_t kOffset = 0;
constexpr size_t kAttributes = 4;
constexpr size_t kUniqueId = 5;
}  // namespace record_entry

// A resource entry: type, ID, data offset.
namespace resource_entry {
constexpr size_t kType = 0;
constexpr size_t kId = 4;
constexpr size_t kOffset = 6;
}  // namespace resource_entry

constexpr size_t kMostEntries = 0xFFFF;

using byteorder::GetBE16;
using byteorder::GetBE32;

uint32_t GetBE24(const uint8_t* p) { return (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2]; }

std::string Number(uint64_t value) { return std::to_string(value); }

// A block of the file: where it starts, and what it is called in an error.
struct Block {
    uint32_t offset;
    std::string what;
};

std::vector<uint8_t> Slice(const uint8_t* data, size_t from, size_t to) {
    return std::vector<uint8_t>(data + from, data + to);
}

void Append(std::vector<uint8_t>& out, const std::vector<uint8_t>& bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

void AppendBE16(std::vector<uint8_t>& out, uint16_t value) {
    uint8_t bytes[2];
    byteorder::PutBE16(bytes, value);
    out.insert(out.end(), bytes, bytes + sizeof bytes);
}

void AppendBE32(std::vector<uint8_t>& out, uint32_t value) {
    uint8_t bytes[4];
    byteorder::PutBE32(bytes, value);
    out.insert(out.end(), bytes, bytes + sizeof bytes);
}

}  // namespace

namespace palmdb {

std::string FourCcText(uint32_t code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<uint8_t>(code >> shift);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            text += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            text += escaped;
        }
    }
    return text;
}

bool ParseFourCc(std::string_view text, uint32_t& code) {
    if (text.size() != 4) return false;
    code = 0;
    for (char c : text) code = (code << 8) | static_cast<uint8_t>(c);
    return true;
}

}  // namespace palmdb

std::string PalmDatabase::Name() const {
    const auto end = std::find(nameField.begin(), nameField.end(), uint8_t{0});
    return std::string(nameField.begin(), end);
}

bool PalmDatabase::SetName(std::string_view name) {
    if (name.size() > nameField.size() || name.find('\0') != std::string_view::npos) return false;
    nameField.fill(0);
    std::memcpy(nameField.data(), name.data(), name.size());
    return true;
}

bool ReadPalmDatabase(const uint8_t* data, size_t size, PalmDatabase& database, std::string& error,
                      std::vector<std::string>* notes) {
    if (size < palmdb::kHeaderSize) {
        error = "the file holds " + Number(size) + " bytes, less than the " +
                Number(palmdb::kHeaderSize) + "-byte header";
        return false;
    }
    if (size > palmdb::kMostFileBytes) {
        error = "the file holds " + Number(size) + " bytes, more than any handheld holds";
        return false;
    }
    PalmDatabase read;
    std::copy_n(data + at::kName, palmdb::kNameSize, read.nameField.begin());
    read.attributes = GetBE16(data + at::kAttributes);
    read.version = GetBE16(data + at::kVersion);
    read.creationDate = GetBE32(data + at::kCreationDate);
    read.modificationDate = GetBE32(data + at::kModificationDate);
    read.backupDate = GetBE32(data + at::kBackupDate);
    read.modificationNumber = GetBE32(data + at::kModificationNumber);
    const uint32_t appInfoOffset = GetBE32(data + at::kAppInfo);
    const uint32_t sortInfoOffset = GetBE32(data + at::kSortInfo);
    read.type = GetBE32(data + at::kType);
    read.creator = GetBE32(data + at::kCreator);
    read.uniqueIdSeed = GetBE32(data + at::kUniqueIdSeed);
    read.nextRecordList = GetBE32(data + at::kNextRecordList);
    const size_t count = GetBE16(data + at::kEntryCount);

    const bool resources = read.IsResourceDatabase();
    const size_t entrySize = resources ? palmdb::kResourceEntrySize : palmdb::kRecordEntrySize;
    const size_t listEnd = palmdb::kHeaderSize + count * entrySize;
    const char* kind = resources ? "resource" : "record";
    if (listEnd > size) {
        error = Number(count) + " " + kind + " entries of " + Number(entrySize) +
                " bytes do not fit a file of " + Number(size) + " bytes";
        return false;
    }

    // The blocks in the order the file must hold them; each runs to the next one's start.
    std::vector<Block> blocks;
    if (appInfoOffset != 0) blocks.push_back({appInfoOffset, "the AppInfo block"});
    if (sortInfoOffset != 0) blocks.push_back({sortInfoOffset, "the SortInfo block"});
    const uint8_t* entry = data + palmdb::kHeaderSize;
    for (size_t i = 0; i < count; ++i, entry += entrySize) {
        const std::string what = std::string(kind) + " " + Number(i);
        if (resources) {
            PalmResource resource;
            resource.type = GetBE32(entry + resource_entry::kType);
            resource.id = GetBE16(entry + resource_entry::kId);
            read.resources.push_back(std::move(resource));
            blocks.push_back({GetBE32(entry + resource_entry::kOffset), what});
        } else {
            PalmRecord record;
            record.attributes = entry[record_entry::kAttributes];
            record.uniqueId = GetBE24(entry + record_entry::kUniqueId);
            read.records.push_back(std::move(record));
            blocks.push_back({GetBE32(entry + record_entry::kOffset), what});
        }
    }
    for (size_t i = 0; i < blocks.size(); ++i) {
        const Block& block = blocks[i];
        if (block.offset < listEnd) {
            error = block.what + " starts at " + Number(block.offset) +
                    ", inside the header and entry list (" + Number(listEnd) + " bytes)";
            return false;
        }
        if (block.offset > size) {
            error = block.what + " starts at " + Number(block.offset) +
                    ", past the end of the file (" + Number(size) + " bytes)";
            return false;
        }
        if (i > 0 && block.offset < blocks[i - 1].offset) {
            error = block.what + " starts at " + Number(block.offset) + ", before " +
                    blocks[i - 1].what + " at " + Number(blocks[i - 1].offset);
            return false;
        }
    }

    const size_t firstBlock = blocks.empty() ? size : blocks.front().offset;
    read.gap = Slice(data, listEnd, firstBlock);
    auto end = [&](size_t i) { return i + 1 < blocks.size() ? blocks[i + 1].offset : size; };
    size_t next = 0;
    if (appInfoOffset != 0) {
        read.appInfo = Slice(data, blocks[next].offset, end(next));
        ++next;
    }
    if (sortInfoOffset != 0) {
        read.sortInfo = Slice(data, blocks[next].offset, end(next));
        ++next;
    }
    for (size_t i = 0; i < count; ++i, ++next) {
        std::vector<uint8_t> bytes = Slice(data, blocks[next].offset, end(next));
        if (resources)
            read.resources[i].data = std::move(bytes);
        else
            read.records[i].data = std::move(bytes);
    }

    if (notes) {
        if (std::find(read.nameField.begin(), read.nameField.end(), 0) == read.nameField.end())
            notes->push_back("the name fills all 32 bytes without a NUL");
        if (read.gap != std::vector<uint8_t>{0, 0})
            notes->push_back("the entry list is followed by " + Number(read.gap.size()) +
                             " bytes before the first block, not by two zero bytes");
        if (read.nextRecordList != 0)
            notes->push_back("the header names a further record list (" +
                             Number(read.nextRecordList) +
                             "), which a file cannot hold; its value is kept");
    }
    database = std::move(read);
    return true;
}

bool WritePalmDatabase(const PalmDatabase& database, std::vector<uint8_t>& out,
                       std::string& error) {
    const bool resources = database.IsResourceDatabase();
    if (resources && !database.records.empty()) {
        error = "a resource database cannot hold records";
        return false;
    }
    if (!resources && !database.resources.empty()) {
        error = "a record database cannot hold resources";
        return false;
    }
    const size_t count = database.EntryCount();
    if (count > kMostEntries) {
        error = Number(count) + " entries, more than the 65535 a database holds";
        return false;
    }
    for (const PalmRecord& record : database.records) {
        if (record.uniqueId > palmdb::kMostUniqueId) {
            error = "unique ID " + Number(record.uniqueId) + " does not fit 24 bits";
            return false;
        }
    }
    const size_t entrySize = resources ? palmdb::kResourceEntrySize : palmdb::kRecordEntrySize;
    uint64_t offset = palmdb::kHeaderSize + count * entrySize + database.gap.size();
    const uint64_t appInfoOffset = database.appInfo ? offset : 0;
    if (database.appInfo) offset += database.appInfo->size();
    const uint64_t sortInfoOffset = database.sortInfo ? offset : 0;
    if (database.sortInfo) offset += database.sortInfo->size();
    std::vector<uint64_t> offsets;
    for (size_t i = 0; i < count; ++i) {
        offsets.push_back(offset);
        offset += resources ? database.resources[i].data.size() : database.records[i].data.size();
    }
    // The reader takes no more, and every offset then fits its 32 bits.
    if (offset > palmdb::kMostFileBytes) {
        error =
            "the database would take " + Number(offset) + " bytes, more than any handheld holds";
        return false;
    }

    std::vector<uint8_t> bytes;
    bytes.reserve(static_cast<size_t>(offset));
    bytes.insert(bytes.end(), database.nameField.begin(), database.nameField.end());
    AppendBE16(bytes, database.attributes);
    AppendBE16(bytes, database.version);
    AppendBE32(bytes, database.creationDate);
    AppendBE32(bytes, database.modificationDate);
    AppendBE32(bytes, database.backupDate);
    AppendBE32(bytes, database.modificationNumber);
    AppendBE32(bytes, static_cast<uint32_t>(appInfoOffset));
    AppendBE32(bytes, static_cast<uint32_t>(sortInfoOffset));
    AppendBE32(bytes, database.type);
    AppendBE32(bytes, database.creator);
    AppendBE32(bytes, database.uniqueIdSeed);
    AppendBE32(bytes, database.nextRecordList);
    AppendBE16(bytes, static_cast<uint16_t>(count));
    for (size_t i = 0; i < count; ++i) {
        const auto at = static_cast<uint32_t>(offsets[i]);
        if (resources) {
            AppendBE32(bytes, database.resources[i].type);
            AppendBE16(bytes, database.resources[i].id);
            AppendBE32(bytes, at);
        } else {
            const PalmRecord& record = database.records[i];
            AppendBE32(bytes, at);
            bytes.push_back(record.attributes);
            bytes.push_back(static_cast<uint8_t>(record.uniqueId >> 16));
            bytes.push_back(static_cast<uint8_t>(record.uniqueId >> 8));
            bytes.push_back(static_cast<uint8_t>(record.uniqueId));
        }
    }
    Append(bytes, database.gap);
    if (database.appInfo) Append(bytes, *database.appInfo);
    if (database.sortInfo) Append(bytes, *database.sortInfo);
    for (const PalmResource& resource : database.resources) Append(bytes, resource.data);
    for (const PalmRecord& record : database.records) Append(bytes, record.data);
    out = std::move(bytes);
    return true;
}
