// The serial loader's and the ROM debugger's commands by name, with their request sizes,
// reply limits and time-outs, all from link/Commands.def.
#pragma once

#include <cstdint>

namespace loader {
enum : uint8_t {
#define KESTREL_LOADER_COMMAND(name, code, request, reply, timeoutMs) name = code,
#include "link/Commands.def"
};
// A reply's packet type is the command's code with this bit set.
constexpr uint8_t kReplyBit = 0x80;
// The most chips the loader reports that the desktop keeps.
constexpr int kMaxChips = 8;
}  // namespace loader

// The speed the ROM debugger and a freshly started loader listen at, and the one the loader
// is moved to on request.
inline constexpr uint32_t kConnectLineSpeed = 57600;
inline constexpr uint32_t kHighLineSpeed = 115200;
// The most a loader file may hold: the buffer it is read into and offered from.
inline constexpr uint32_t kLoaderBufferSize = 32768;

namespace debugger {
enum : uint8_t {
#define KESTREL_DEBUGGER_COMMAND(name, code, request, timeoutMs, attempts) name = code,
#include "link/Commands.def"
};
// Every debugger packet has this type; its body starts with the command and a filler byte.
constexpr uint8_t kPacketType = 0;
constexpr uint16_t kReplyMax = 300;
}  // namespace debugger

struct LoaderCommandInfo {
    const char* name;
    uint8_t code;
    uint16_t request;  // body bytes besides the data the command carries
    uint16_t reply;    // the most body bytes of the reply
    uint32_t timeoutMs;
};

struct DebuggerCommandInfo {
    const char* name;
    uint8_t code;
    uint16_t request;  // body bytes besides the data, command and filler byte included
    uint32_t timeoutMs;
    int attempts;
};

inline constexpr LoaderCommandInfo kLoaderCommands[] = {
#define KESTREL_LOADER_COMMAND(name, code, request, reply, timeoutMs) \
    {#name, code, request, reply, timeoutMs},
#include "link/Commands.def"
};

inline constexpr DebuggerCommandInfo kDebuggerCommands[] = {
#define KESTREL_DEBUGGER_COMMAND(name, code, request, timeoutMs, attempts) \
    {#name, code, request, timeoutMs, attempts},
#include "link/Commands.def"
};

// The row of a loader command, or nullptr for a code that is none.
constexpr const LoaderCommandInfo* FindLoaderCommand(uint8_t code) {
    for (const LoaderCommandInfo& c : kLoaderCommands)
        if (c.code == code) return &c;
    return nullptr;
}

// The row of a command this program sends (the code must be one of them).
constexpr const LoaderCommandInfo& LoaderCommand(uint8_t code) { return *FindLoaderCommand(code); }

constexpr const DebuggerCommandInfo& DebuggerCommand(uint8_t code) {
    for (const DebuggerCommandInfo& c : kDebuggerCommands)
        if (c.code == code) return c;
    return kDebuggerCommands[0];
}
