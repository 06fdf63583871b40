// What the serial port needs of the platform: one device opened by name, its four owned
// line settings, its time-outs, byte I/O and the count of waiting input bytes. Each call
// maps to one operating-system call, so the port can tell its failures apart.
#pragma once

#include <cstdint>
#include <memory>

struct LineSettings {
    uint32_t baudRate = 9600;
    uint8_t byteSize = 8;
    uint8_t parity = 0;    // none
    uint8_t stopBits = 0;  // one
};

// Milliseconds, in the order of the platform's time-out record.
struct CommTimeouts {
    uint32_t readInterval = 15;
    uint32_t readTotalMultiplier = 1;
    uint32_t readTotalConstant = 250;
    uint32_t writeTotalMultiplier = 1;
    uint32_t writeTotalConstant = 250;
};

class SerialEdge {
public:
    virtual ~SerialEdge() = default;
    virtual bool Open(const char* name) = 0;
    // Reads the device's line settings; the edge keeps every other setting of the device
    // as it found it and puts back only these four on SetState.
    virtual bool GetState(LineSettings& settings) = 0;
    virtual bool SetState(const LineSettings& settings) = 0;
    virtual bool SetTimeouts(const CommTimeouts& timeouts) = 0;
    virtual bool Close() = 0;
    virtual bool Write(const uint8_t* data, uint32_t count) = 0;
    virtual bool ReadByte(uint8_t& byte) = 0;
    virtual uint32_t BytesWaiting() = 0;
    // Blocks until at least one byte is waiting, the line has dropped or `timeoutMs` have
    // passed; true in the first two cases, and 0 only looks. Every byte is still ReadByte's
    // to take and the port's own time-outs stay in force. Devices in simulated time move the
    // link's clock on by what they waited.
    virtual bool WaitForInput(uint32_t timeoutMs) = 0;
    virtual bool Flush() = 0;
    // Whether the far end has hung up (a cable pulled, a device gone): nothing will come any
    // more, however long one waits.
    virtual bool LineDropped() = 0;
};

// The platform's serial device (Win32 COM port, or a POSIX terminal device path). Open
// refuses a name that is no line (see PortKind) before it would make a device by opening it.
std::unique_ptr<SerialEdge> MakeSerialEdge();

// What a port name stands for. Only a serial line is a port: anything else would take the
// update's packets and answer nothing, or worse.
enum class PortKind : uint8_t {
    SerialLine,      // a serial device, or one that cannot be opened to tell (one in use)
    Missing,         // nothing by that name, or a link to nothing
    NotADevice,      // a regular file, a directory, a FIFO, a socket
    NotATerminal,    // a device that is no terminal (/dev/null, a disk)
    PtyMultiplexer,  // /dev/ptmx or a pseudo-terminal's master: opening it makes a new
                     // pseudo-terminal with nobody at its far end
    TerminalAlias,   // /dev/tty or /dev/console: a name for some other terminal
};

// What the wizard and kestrel-flash learn of ports before they open one.
class PortProbe {
public:
    virtual ~PortProbe() = default;
    // Whether COM port n exists and is free: 0 present and free, 1 held by another program,
    // 2 no such port.
    virtual int Probe(int n) = 0;
    // What `name` is; nothing on the device is configured, and nothing is opened that would
    // make a device by opening it.
    virtual PortKind Kind(const char* name) = 0;
};

std::unique_ptr<PortProbe> MakePortProbe();
