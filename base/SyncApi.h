// The calls of HotSync Manager's conduit libraries as the backup conduit imports them and as
// the HotSync world's stand-ins export them: sync20.dll (the Sync Manager), hslog20.dll (the
// HotSync log), condmgr.dll (the conduit manager) and pdcmn21.dll (the common library). One
// declaration for both sides, so that they cannot disagree. Every call is __stdcall and
// exported under its plain name, or by ordinal only where the table says so; a call with a
// variable argument list can only be __cdecl. Results are 0 or a code of syncerr
// (base/SyncLayouts.h).
//
// The records below hold pointers, so they are laid out as the machine's own structures, not
// as byte formats: a 32-bit HotSync Manager and its libraries see them as the sizes asserted
// here, and a 64-bit build of both sides agrees with itself.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define KESTREL_STDCALL __stdcall
#else
#define KESTREL_STDCALL
#endif

// A record read by index: the caller fills handle, index, buffer and bufferSize; the call
// fills size (the record's whole size, which may exceed the buffer: then the data was cut
// there and the caller must not use it), uniqueId (24 bits), attributes and category.
struct SyncRecordRead {
    uint8_t handle;
    uint8_t reserved;
    uint16_t index;
    uint8_t* buffer;
    uint32_t bufferSize;
    uint32_t size;
    uint32_t uniqueId;
    uint8_t attributes;
    uint8_t category;
    uint16_t reserved2;
};

// A resource read by index: as a record, with its type and ID instead.
struct SyncResourceRead {
    uint8_t handle;
    uint8_t reserved;
    uint16_t index;
    uint8_t* buffer;
    uint32_t bufferSize;
    uint32_t size;
    uint32_t type;
    uint16_t id;
    uint16_t reserved2;
};

// A database's AppInfo block: buffer and bufferSize in, size out (as for a record).
struct SyncBlockRead {
    uint8_t* buffer;
    uint32_t bufferSize;
    uint32_t size;
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(SyncRecordRead) == 24 && offsetof(SyncRecordRead, buffer) == 4);
static_assert(sizeof(SyncResourceRead) == 24 && offsetof(SyncResourceRead, type) == 16);
static_assert(sizeof(SyncBlockRead) == 12);
#endif

// Open modes of SyncOpenDB.
namespace syncopen {
constexpr uint8_t kRead = 0x80;
constexpr uint8_t kShowSecret = 0x10;  // private records too
}  // namespace syncopen
// SyncCloseDBEx's option: the handheld keeps the database's backup date.
constexpr uint8_t kSyncCloseUpdateBackupDate = 0x80;

extern "C" {

// sync20.dll. Ordinal-only entries carry their ordinal in the comment.
int32_t KESTREL_STDCALL SyncRegisterConduit(int32_t* handle);   // @22
int32_t KESTREL_STDCALL SyncUnRegisterConduit(int32_t handle);  // @23
int32_t KESTREL_STDCALL SyncReadUserID(uint8_t* userInfo);      // @24, userinfo::kSize
int32_t KESTREL_STDCALL SyncOpenDB(const char* name, int32_t card, uint8_t* handle,
                                   uint8_t mode);                      // @26
int32_t KESTREL_STDCALL SyncCloseDB(uint8_t handle);                   // @28
int32_t KESTREL_STDCALL SyncDeleteDB(const char* name, int32_t card);  // @29
// `entries` holds `*count` entries of dbentry::kSize bytes; *count becomes how many were
// filled. ramFlag: 1 the RAM's databases, 0 the flash ROM's.
int32_t KESTREL_STDCALL SyncReadDBList(uint8_t card, uint16_t start, uint16_t ramFlag,
                                       uint8_t* entries, uint16_t* count);             // @30
int32_t KESTREL_STDCALL SyncReadRecordByIndex(SyncRecordRead* record);                 // @36
int32_t KESTREL_STDCALL SyncReadDBAppInfoBlock(uint8_t handle, SyncBlockRead* block);  // @38
int32_t KESTREL_STDCALL SyncReadSingleCardInfo(uint8_t* card);  // cardinfo::kSize, card 0 in
// The handheld's OS version: the major number in the low 16 bits, the minor one above.
int32_t KESTREL_STDCALL SyncGetHHOSVersion(int32_t reserved);
int32_t KESTREL_STDCALL SyncMaxRemoteRecSize(uint32_t* size);
int32_t KESTREL_STDCALL SyncGetDBRecordCount(uint8_t handle, uint16_t* count);
int32_t KESTREL_STDCALL SyncReadResRecordByIndex(SyncResourceRead* resource);
int32_t KESTREL_STDCALL SyncCloseDBEx(uint8_t handle, uint8_t options);
uint16_t KESTREL_STDCALL SyncHostToHHWord(uint16_t value);
uint32_t KESTREL_STDCALL SyncHostToHHDWord(uint32_t value);
uint32_t KESTREL_STDCALL SyncHHToHostDWord(uint32_t value);
int32_t KESTREL_STDCALL SyncYieldCycles(uint16_t maxMilliseconds);

// hslog20.dll.
int32_t KESTREL_STDCALL LogAddEntry(const char* text, int32_t activity, int32_t timestamp);  // @52
int32_t LogAddFormattedEntry(int32_t activity, int32_t timestamp, const char* format, ...);

// condmgr.dll: names the library HotSync Manager runs as its backup conduit.
int32_t KESTREL_STDCALL CmSetBackupConduit(const char* path);  // @82

// pdcmn21.dll: called once when a conduit is loaded.
int32_t KESTREL_STDCALL InitPdcmn5DLL();

}  // extern "C"
