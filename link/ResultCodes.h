// Result codes of the update engine: signed 16-bit, 0 for success, negative for failures.
// A 16-bit status word from the handheld's loader is a code of the same space.
#pragma once

#include <cstdint>
#include <span>

using TResult = int16_t;

namespace rc {
constexpr TResult Success = 0;

// Serial port
constexpr TResult BadSerialPort = -602;
constexpr TResult InvalidBaudRate = -603;
constexpr TResult PortOpenWhileNaming = -604;
constexpr TResult InvalidCommPort = -605;
constexpr TResult CloseError = -606;
constexpr TResult PortInUse = -607;
constexpr TResult GetStateError = -608;
constexpr TResult SetDcbError = -609;
constexpr TResult SetTimeoutsError = -610;
constexpr TResult PacketWriteError = -615;
constexpr TResult FlushClosedPort = -616;
constexpr TResult FlushError = -617;

// Packet receiver status
constexpr TResult NoPacket = -700;
constexpr TResult ReceivingPacket = 700;

// Files on the desktop
constexpr TResult FileOpenError = -1000;
constexpr TResult FileReadError = -1002;

// ROM debugger and loader link
constexpr TResult ExecuteError = -404;
constexpr TResult DebuggerTimeout = -405;
constexpr TResult NotInDebugger = -406;
constexpr TResult LoaderUploadAborted = -407;
constexpr TResult ConnectionLost = -1200;
constexpr TResult NoEngine = -1201;
constexpr TResult NoRomVault = -1300;

// Loader status words
constexpr TResult FlashEraseError = -100;
constexpr TResult FlashWriteError = -101;
constexpr TResult InvalidFlashId = -104;

constexpr TResult UserAbort = -1101;

// Update file
constexpr TResult UpdateReadError = -301;
constexpr TResult UpdateCrcError = -303;
constexpr TResult InvalidUpdateFile = -304;
constexpr TResult UpdateVersionError = -305;
constexpr TResult UpdateOutOfMemory = -306;
constexpr TResult FlashAborted = -307;
constexpr TResult UpdateOpenError = -308;

// Flash model
constexpr TResult FlashStoreNotBlank = -1;
constexpr TResult PartialSector = -4000;
constexpr TResult PastEndOfFlash = -4001;
constexpr TResult ChipNotRecognised = -4002;

// Update procedure
constexpr TResult BadLoaderVersion = -900;
constexpr TResult CommError = -901;
constexpr TResult CommTimeout = -902;
constexpr TResult BatteryLow = -903;
constexpr TResult NotConnected = -904;
}  // namespace rc

// One row of the message table: a code and the string id of its message.
struct TResultCodeRow {
    TResult code;
    int stringId;
};

// The message table, searched from the top: the first row with a code gives its message.
std::span<const TResultCodeRow> ResultCodeTable();

// The message of a code in the language in force. The text lives in one static buffer of
// 256 bytes that the next call overwrites.
const char* ErrorText(TResult code);

// The string id that ErrorText uses for a code, or the fallback id 2000 ("Error : %d").
int ErrorStringId(TResult code);
