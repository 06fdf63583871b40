#include <windows.h>

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
        return SetCommTimeouts(handle_, &t) != 0;
    }

    bool Close() override {
        if (!CloseHandle(handle_)) return false;
        handle_ = INVALID_HANDLE_VALUE;
        return true;
    }

    bool Write(const uint8_t* data, uint32_t count) override {
        DWORD written = 0;
        return WriteFile(handle_, data, count, &written, nullptr) != 0;
    }

    bool ReadByte(uint8_t& byte) override {
        DWORD got = 0;
        // A read that times out succeeds with nothing; that is no byte.
        return ReadFile(handle_, &byte, 1, &got, nullptr) != 0 && got == 1;
    }

    uint32_t BytesWaiting() override {
        DWORD errors = 0;
        COMSTAT status{};
        if (!ClearCommError(handle_, &errors, &status)) return 0;
        return status.cbInQue;
    }

    bool Flush() override { return FlushFileBuffers(handle_) != 0; }

    // A device that is gone no longer answers for its state.
    bool LineDropped() override {
        DWORD errors = 0;
        COMSTAT status{};
        return !ClearCommError(handle_, &errors, &status);
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    DCB dcb_{};
};

}  // namespace

std::unique_ptr<SerialEdge> MakeSerialEdge() { return std::make_unique<Win32SerialEdge>(); }

int ProbePort(int n) {
    char path[32];
    std::snprintf(path, sizeof path, "\\\\.\\COM%d", n);
    HANDLE h = CreateFileA(path, 0, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return 0;
    }
    return GetLastError() == ERROR_ACCESS_DENIED ? 1 : 2;
}
