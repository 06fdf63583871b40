#include "conduit/BackupFile.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "base/ByteOrder.h"
#include "base/SyncApi.h"
#include "base/Text.h"
#include "conduit/BackupNames.h"
#include "conduit/BackupWindows.h"
#include "conduit/DesktopFiles.h"
#include "conduit/SyncCalls.h"

using namespace backupfile;

namespace {

constexpr uint32_t kTypeApplication = 0x6170706C;  // 'appl'
constexpr uint32_t kCreatorDwHM = 0x6477484D;      // 'dwHM'
// Writes go out in pieces of this size, so a database is written in one pass without a second
// copy of it in memory.
constexpr size_t kWriteChunk = 64 * 1024;

struct Record {
    std::vector<uint8_t> data;
    uint32_t uniqueId = 0;
    uint8_t attributes = 0;
    uint32_t type = 0;  // a resource's
    uint16_t id = 0;
};

// The file's bytes, gathered and handed to the disk a chunk at a time. Numbers go through
// the Sync Manager's byte order, as the handheld keeps them.
class FileOut {
public:
    FileOut(DesktopFileWriter& writer, SyncManager& sync) : writer_(writer), sync_(sync) {}

    void U8(uint8_t value) { Bytes(&value, 1); }
    void U16(uint16_t value) {
        uint8_t bytes[2];
        byteorder::PutLE16(bytes, sync_.HostToHandheld16(value));
        Bytes(bytes, 2);
    }
    void U32(uint32_t value) {
        uint8_t bytes[4];
        byteorder::PutLE32(bytes, sync_.HostToHandheld32(value));
        Bytes(bytes, 4);
    }
    void Bytes(const uint8_t* data, size_t size) {
        while (size > 0 && error_ == 0) {
            const size_t take = std::min(size, kWriteChunk - buffer_.size());
            buffer_.insert(buffer_.end(), data, data + take);
            data += take;
            size -= take;
            if (buffer_.size() == kWriteChunk) Flush();
        }
    }
    // 0, or the first error of any write and of the close.
    int32_t Finish() {
        Flush();
        const int32_t closed = writer_.Close();
        return error_ != 0 ? error_ : closed;
    }

private:
    void Flush() {
        if (error_ == 0 && !buffer_.empty()) error_ = writer_.Write(buffer_.data(), buffer_.size());
        buffer_.clear();
    }

    DesktopFileWriter& writer_;
    SyncManager& sync_;
    std::vector<uint8_t> buffer_;
    int32_t error_ = 0;
};

uint16_t HeaderAttributes(const DatabaseEntry& entry, BackupKind kind) {
    uint16_t attributes = entry.flags;
    if (kind == BackupKind::FlashRom) attributes &= static_cast<uint16_t>(~kReadOnly);
    if (entry.name == "Net Prefs" || entry.name.find("Graffiti ShortCuts") != std::string::npos)
        attributes |= kOkToInstallNewer;
    if (entry.type == kTypeApplication && entry.creator == kCreatorDwHM)
        attributes |= kResetAfterInstall;
    return static_cast<uint16_t>(attributes & ~kOpen);
}

// A record's attribute byte in the file: its category in the low four bits; an archived
// record is kept as a deleted one.
uint8_t RecordByte(uint8_t attributes, uint8_t category) {
    if (attributes & kRecordArchived)
        attributes = static_cast<uint8_t>((attributes & ~kRecordArchived) | kRecordDeleted);
    return static_cast<uint8_t>((attributes & 0xF0) | (category & 0x0F));
}

uint32_t FileDate(uint32_t unixDate) { return unixDate == 0 ? 0 : unixDate + kSeconds1904To1970; }

class Writer {
public:
    Writer(BackupWrite& w, const DatabaseEntry& entry, BackupKind kind, const std::string& path)
        : w_(w), sync_(w.calls.Sync()), entry_(entry), kind_(kind), path_(path) {}

    int32_t Run() {
        const char* name = entry_.name.c_str();
        const uint8_t mode = entry_.IsResourceDatabase()
                                 ? syncopen::kRead
                                 : static_cast<uint8_t>(syncopen::kRead | syncopen::kShowSecret);
        int32_t result =
            w_.calls.Retry([&] { return sync_.OpenDatabase(entry_.name, mode, handle_); });
        if (result != 0) {
            Warn(FormatText("WARNING: Unable to open remote file: %s (%ld).  Skipping.", name,
                            static_cast<long>(result)));
            return result;
        }
        try {
            result = ReadAndWrite();
        } catch (const std::bad_alloc&) {
            records_.clear();
            appInfo_.clear();
            Warn(FormatText("WARNING: Insufficient memory on desktop PC to backup %s", name));
            result = syncerr::kDesktopOutOfMemory;
        }
        records_ = {};
        appInfo_ = {};
        Close(result == 0);
        return result;
    }

private:
    void Warn(const std::string& text) { w_.log.Add(logactivity::kWarning, false, text); }

    int32_t ReadAndWrite() {
        const char* name = entry_.name.c_str();
        uint32_t largest = 0;
        int32_t result = w_.calls.Retry([&] { return sync_.MaxRecordSize(largest); });
        if (result != 0) {
            Warn(FormatText("WARNING: Unable to read data from handheld while backing up %s.",
                            name));
            return result;
        }
        uint16_t count = 0;
        result = w_.calls.Retry([&] { return sync_.RecordCount(handle_, count); });
        if (result != 0) {
            Warn(FormatText("WARNING: Unable to read record count while backing up %s.", name));
            return result;
        }
        if (!entry_.IsResourceDatabase() && (result = ReadAppInfo(largest)) != 0) return result;

        records_.resize(count);
        w_.windows.StartItem("Saving", entry_.name, count);
        for (uint16_t index = 0; index < count; ++index) {
            w_.windows.StepItem();
            if ((result = ReadRecord(index, largest)) != 0) {
                Warn(
                    FormatText("WARNING: Unable to fully read handheld file: %s (%ld).  It was "
                               "NOT backed up.",
                               name, static_cast<long>(result)));
                return result;
            }
        }
        return WriteFile();
    }

    int32_t ReadAppInfo(uint32_t largest) {
        std::vector<uint8_t> buffer(largest);
        uint32_t size = 0;
        int32_t result = w_.calls.Retry(
            [&] { return sync_.ReadAppInfo(handle_, buffer.data(), largest, size); });
        if (result == syncerr::kNotFound) return 0;  // no AppInfo block
        if (result == 0 && size > largest) result = syncerr::kBadAnswer;
        if (result != 0) {
            Warn(FormatText("WARNING: Unable to read AppInfo block while backing up %s.",
                            entry_.name.c_str()));
            return result;
        }
        buffer.resize(size);
        buffer.shrink_to_fit();
        appInfo_ = std::move(buffer);
        return 0;
    }

    int32_t ReadRecord(uint16_t index, uint32_t largest) {
        Record& record = records_[index];
        record.data.resize(largest);
        SyncRecordInfo info;
        const bool resource = entry_.IsResourceDatabase();
        int32_t result = w_.calls.Retry([&] {
            return resource ? sync_.ReadResource(handle_, index, record.data.data(), largest, info)
                            : sync_.ReadRecord(handle_, index, record.data.data(), largest, info);
        });
        // A size past the buffer is an answer the conduit cannot take: the data was cut.
        if (result == 0 && info.size > largest) result = syncerr::kBadAnswer;
        if (result != 0) return result;
        record.data.resize(info.size);
        record.data.shrink_to_fit();
        record.uniqueId = info.uniqueId & 0xFFFFFF;
        record.attributes = RecordByte(info.attributes, info.category);
        record.type = info.type;
        record.id = info.id;
        return 0;
    }

    int32_t WriteFile() {
        const std::string temporary = path_ + backup::kTemporarySuffix;
        int32_t error = 0;
        auto writer = w_.files.Create(temporary, error);
        if (!writer) {
            Warn(FormatText("WARNING: Unable to open local file: %s.  Skipping", path_.c_str()));
            return 1;
        }
        FileOut out(*writer, sync_);
        WriteContents(out);
        error = out.Finish();
        writer.reset();
        if (error == 0) error = w_.files.Replace(temporary, path_);
        if (error != 0) {
            w_.files.Delete(temporary);
            Warn(
                FormatText("WARNING: Unable to write local file: %s (%ld).  The previous backup "
                           "was kept.",
                           path_.c_str(), static_cast<long>(error)));
            return 1;
        }
        return 0;
    }

    void WriteContents(FileOut& out) {
        const bool resource = entry_.IsResourceDatabase();
        const auto count = static_cast<uint32_t>(records_.size());
        const uint32_t entries =
            static_cast<uint32_t>(resource ? kResourceEntrySize : kRecordEntrySize) * count;
        const uint32_t first = static_cast<uint32_t>(kHeaderSize + kGapSize) + entries;

        uint8_t name[kNameSize] = {};
        std::memcpy(name, entry_.name.data(), std::min(entry_.name.size(), kNameSize));
        out.Bytes(name, kNameSize);
        out.U16(HeaderAttributes(entry_, kind_));
        out.U16(entry_.version);
        out.U32(entry_.creationDate == 0 ? FileDate(w_.now) : FileDate(entry_.creationDate));
        out.U32(FileDate(entry_.modificationDate));
        out.U32(FileDate(entry_.backupDate));
        out.U32(entry_.modificationNumber);
        out.U32(resource || appInfo_.empty() ? 0 : first);
        out.U32(0);  // SortInfo
        out.U32(entry_.type);
        out.U32(entry_.creator);
        out.U32(0);  // unique ID seed
        out.U32(0);  // next record list
        out.U16(static_cast<uint16_t>(count));

        uint32_t offset = first + static_cast<uint32_t>(appInfo_.size());
        for (const Record& record : records_) {
            if (resource) {
                out.U32(record.type);
                out.U16(record.id);
                out.U32(offset);
            } else {
                out.U32(offset);
                out.U8(record.attributes);
                const uint8_t id[3] = {static_cast<uint8_t>(record.uniqueId >> 16),
                                       static_cast<uint8_t>(record.uniqueId >> 8),
                                       static_cast<uint8_t>(record.uniqueId)};
                out.Bytes(id, 3);
            }
            offset += static_cast<uint32_t>(record.data.size());
        }
        const uint8_t gap[kGapSize] = {};
        out.Bytes(gap, kGapSize);
        out.Bytes(appInfo_.data(), appInfo_.size());
        for (const Record& record : records_) out.Bytes(record.data.data(), record.data.size());
    }

    // A flash-ROM database, any on a handheld before OS 3, and one whose backup failed are
    // closed plainly; otherwise the handheld notes the backup.
    void Close(bool backedUp) {
        const bool plain = kind_ == BackupKind::FlashRom || w_.osMajorVersion < 3 || !backedUp;
        w_.calls.Retry([&] {
            return plain ? sync_.CloseDatabase(handle_)
                         : sync_.CloseDatabaseUpdatingBackupDate(handle_);
        });
    }

    BackupWrite& w_;
    SyncManager& sync_;
    const DatabaseEntry& entry_;
    BackupKind kind_;
    const std::string& path_;
    uint8_t handle_ = 0;
    std::vector<uint8_t> appInfo_;
    std::vector<Record> records_;
};

}  // namespace

int32_t WriteBackupFile(BackupWrite& write, const DatabaseEntry& entry, BackupKind kind,
                        const std::string& path) {
    return Writer(write, entry, kind, path).Run();
}

std::optional<BackupDates> ReadBackupDates(DesktopFiles& files, SyncCalls& calls,
                                           const std::string& path) {
    std::vector<uint8_t> head;
    if (files.ReadHead(path, kHeaderSize, head) != 0 || head.size() < kHeaderSize)
        return std::nullopt;
    SyncManager& sync = calls.Sync();
    return BackupDates{sync.HandheldToHost32(byteorder::GetLE32(&head[kCreationDate])),
                       sync.HandheldToHost32(byteorder::GetLE32(&head[kModificationDate]))};
}

std::optional<std::string> ReadBackupName(DesktopFiles& files, const std::string& path) {
    std::vector<uint8_t> head;
    if (files.ReadHead(path, kNameHeadSize, head) != 0 || head.size() < kNameHeadSize)
        return std::nullopt;
    const auto end = std::find(head.begin(), head.begin() + kNameSize, uint8_t{0});
    return std::string(head.begin(), end);
}

int CopyState(DesktopFiles& files, SyncCalls& calls, const std::string& path,
              const DatabaseEntry& entry) {
    const auto dates = ReadBackupDates(files, calls, path);
    if (!dates) return 1;
    int state = 0;
    if (entry.modificationDate != 0 && dates->modification != FileDate(entry.modificationDate))
        state += 2;
    if (entry.creationDate != 0 && dates->creation != FileDate(entry.creationDate)) state += 8;
    return state;
}
