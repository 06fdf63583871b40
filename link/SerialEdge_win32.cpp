#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "link/SerialEdge.h"

namespace {

class Win32SerialEdge final : public SerialEdge {
public:
    ~Win32SerialEdge() override {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }

    bool Open(const char* name) override {
        handle_ =
            CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        held_ = false;
        gone_ = false;
        return handle_ != INVALID_HANDLE_VALUE;
    }

    bool GetState(LineSettings& settings) override {
        // Everything but our four fields stays as the driver has it, so keep the whole
        // record for SetState.
        dcb_ = DCB{};
        dcb_.DCBlength = sizeof dcb_;
        if (!GetCommState(handle_, &dcb_)) return false;
        settings.baudRate = dcb_.BaudRate;
        settings.byteSize = dcb_.ByteSize;
        settings.parity = dcb_.Parity;
        settings.stopBits = dcb_.StopBits;
        return true;
    }

    bool SetState(const LineSettings& settings) override {
        dcb_.BaudRate = settings.baudRate;
        dcb_.ByteSize = settings.byteSize;
        dcb_.Parity = settings.parity;
        dcb_.StopBits = settings.stopBits;
        return SetCommState(handle_, &dcb_) != 0;
    }

    bool SetTimeouts(const CommTimeouts& timeouts) override {
        COMMTIMEOUTS t{};
        t.ReadIntervalTimeout = timeouts.readInterval;
        t.ReadTotalTimeoutMultiplier = timeouts.readTotalMultiplier;
        t.ReadTotalTimeoutConstant = timeouts.readTotalConstant;
        t.WriteTotalTimeoutMultiplier = timeouts.writeTotalMultiplier;
        t.WriteTotalTimeoutConstant = timeouts.writeTotalConstant;
        if (!SetCommTimeouts(handle_, &t)) return false;
        timeouts_ = t;
        return true;
    }

    bool Close() override {
        if (!CloseHandle(handle_)) return false;
        handle_ = INVALID_HANDLE_VALUE;
        held_ = false;
        return true;
    }

    bool Write(const uint8_t* data, uint32_t count) override {
        DWORD written = 0;
        return WriteFile(handle_, data, count, &written, nullptr) != 0;
    }

    bool ReadByte(uint8_t& byte) override {
        if (held_) {
            byte = heldByte_;
            held_ = false;
            return true;
        }
        DWORD got = 0;
        // A read that times out succeeds with nothing; that is no byte.
        return ReadFile(handle_, &byte, 1, &got, nullptr) != 0 && got == 1;
    }

    uint32_t BytesWaiting() override {
        DWORD errors = 0;
        COMSTAT status{};
        if (!ClearCommError(handle_, &errors, &status)) return held_ ? 1 : 0;
        return status.cbInQue + (held_ ? 1 : 0);
    }

    // The handle is synchronous, and a comm event cannot be waited for with a time limit on
    // such a handle; a one-byte read can, with a total time-out of the wait's own. The byte
    // it brings is held for the next ReadByte, and the port's time-outs go back at once, so
    // reads and writes behave as they always did. A line that hangs up does not end such a
    // read (it comes back empty when its time is up), so the wait looks at the device again
    // every kLineCheckMs.
    bool WaitForInput(uint32_t timeoutMs) override {
        const DWORD start = GetTickCount();
        for (;;) {
            if (held_) return true;
            DWORD errors = 0;
            COMSTAT status{};
            if (!ClearCommError(handle_, &errors, &status)) return true;  // gone: LineDropped
            if (status.cbInQue > 0) return true;
            const DWORD elapsed = GetTickCount() - start;
            if (elapsed >= timeoutMs) return false;
            if (ReadOneWithin(std::min<DWORD>(timeoutMs - elapsed, kLineCheckMs))) return true;
        }
    }

    bool Flush() override { return FlushFileBuffers(handle_) != 0; }

    // A device that is gone no longer answers for its state, or fails the reads that wait.
    bool LineDropped() override {
        DWORD errors = 0;
        COMSTAT status{};
        return gone_ || !ClearCommError(handle_, &errors, &status);
    }

private:
    static constexpr DWORD kLineCheckMs = 50;
    static constexpr DWORD kFallbackPauseMs = 1;

    // Waits up to `ms` (more than 0: 0 would wait for ever) for one byte and holds it; true
    // when a byte came or the device went away.
    bool ReadOneWithin(DWORD ms) {
        COMMTIMEOUTS wait = timeouts_;
        wait.ReadIntervalTimeout = 0;
        wait.ReadTotalTimeoutMultiplier = 0;
        wait.ReadTotalTimeoutConstant = ms;
        if (!SetCommTimeouts(handle_, &wait)) {
            // Without a wait of our own, a plain pause keeps the caller from spinning.
            Sleep(std::min<DWORD>(ms, kFallbackPauseMs));
            return false;
        }
        DWORD got = 0;
        const BOOL read = ReadFile(handle_, &heldByte_, 1, &got, nullptr);
        const DWORD error = read ? ERROR_SUCCESS : GetLastError();
        SetCommTimeouts(handle_, &timeouts_);
        if (read) {
            held_ = got == 1;
            return held_;
        }
        // A line error aborts reads until it is cleared, which the next look does; anything
        // else means the device is no longer there.
        if (error != ERROR_OPERATION_ABORTED) gone_ = true;
        return gone_;
    }

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    DCB dcb_{};
    COMMTIMEOUTS timeouts_{};
    bool held_ = false;  // heldByte_ came in a wait and is the oldest byte waiting
    uint8_t heldByte_ = 0;
    bool gone_ = false;  // a waiting read failed: the device went away
};

}  // namespace

std::unique_ptr<SerialEdge> MakeSerialEdge() { return std::make_unique<Win32SerialEdge>(); }

namespace {

class Win32PortProbe final : public PortProbe {
public:
    int Probe(int n) override {
        char path[32];
        std::snprintf(path, sizeof path, "\\\\.\\COM%d", n);
        HANDLE h = CreateFileA(path, 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            CloseHandle(h);
            return 0;
        }
        return GetLastError() == ERROR_ACCESS_DENIED ? 1 : 2;
    }

    // Opened as the port opens it; a device that another program holds is a line in use.
    PortKind Kind(const char* name) override {
        HANDLE h =
            CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                       ? PortKind::Missing
                       : PortKind::SerialLine;
        }
        PortKind kind = PortKind::SerialLine;
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        if (GetFileType(h) != FILE_TYPE_CHAR)
            kind = PortKind::NotADevice;
        else if (!GetCommState(h, &dcb))
            kind = PortKind::NotATerminal;
        CloseHandle(h);
        return kind;
    }
};

}  // namespace

std::unique_ptr<PortProbe> MakePortProbe() { return std::make_unique<Win32PortProbe>(); }
