#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "link/LineSpeed_posix.h"
#include "link/SerialEdge.h"

namespace {

// The rates the handheld's cradle can run; anything else is refused as the Win32 driver would.
constexpr uint32_t kCradleRates[] = {9600, 19200, 38400, 57600, 115200};

bool ToConstant(uint32_t rate, speed_t& out) {
    for (uint32_t cradle : kCradleRates)
        if (cradle == rate) return TermiosSpeedCode(rate, out);
    return false;
}

// Linux's device numbers: major 5 holds /dev/tty, /dev/console and /dev/ptmx (also reached as
// /dev/pts/ptmx), major 2 the masters of the old BSD pseudo-terminals.
constexpr unsigned kTtyAuxMajor = 5;
constexpr unsigned kTtyMinor = 0, kConsoleMinor = 1, kPtmxMinor = 2;
constexpr unsigned kBsdPtyMasterMajor = 2;

// What a character device is by its number alone, before anything opens it: opening the
// multiplexer would make a new pseudo-terminal.
PortKind KindByNumber(dev_t device) {
    const unsigned kind = major(device), number = minor(device);
    if (kind == kBsdPtyMasterMajor || (kind == kTtyAuxMajor && number == kPtmxMinor))
        return PortKind::PtyMultiplexer;
    if (kind == kTtyAuxMajor && (number == kTtyMinor || number == kConsoleMinor))
        return PortKind::TerminalAlias;
    return PortKind::SerialLine;
}

// A pseudo-terminal's master end answers for its number; its slave, the line, does not.
bool IsPtyMaster(int fd) {
    unsigned number = 0;
    return ::ioctl(fd, TIOCGPTN, &number) == 0;
}

// What stands at `name`, the device opened to tell only when its number cannot.
PortKind KindOf(const char* name) {
    struct stat info {};
    if (::stat(name, &info) != 0) return PortKind::Missing;
    if (!S_ISCHR(info.st_mode)) return PortKind::NotADevice;
    if (const PortKind kind = KindByNumber(info.st_rdev); kind != PortKind::SerialLine) return kind;
    const int fd = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return PortKind::SerialLine;  // in use, or not ours: the port's open tells
    const PortKind kind = !::isatty(fd)     ? PortKind::NotATerminal
                          : IsPtyMaster(fd) ? PortKind::PtyMultiplexer
                                            : PortKind::SerialLine;
    ::close(fd);
    return kind;
}

// Line-setting codes shared with the Win32 record.
constexpr uint8_t kNoParity = 0, kOddParity = 1, kEvenParity = 2;
constexpr uint8_t kOneStopBit = 0, kTwoStopBits = 2;

class PosixSerialEdge final : public SerialEdge {
public:
    ~PosixSerialEdge() override {
        if (fd_ >= 0) ::close(fd_);
    }

    bool Open(const char* name) override {
        struct stat info {};
        if (::stat(name, &info) == 0 && S_ISCHR(info.st_mode) &&
            KindByNumber(info.st_rdev) != PortKind::SerialLine)
            return false;
        // Non-blocking: neither the open (waiting for a carrier) nor a read may ever wait.
        fd_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0) return false;
        if (!::isatty(fd_) || IsPtyMaster(fd_)) {
            ::close(fd_);
            fd_ = -1;
            return false;
        }
        // Keep other programs off the line while we talk to the handheld; not every device
        // supports it, which is no reason to fail.
        (void)::ioctl(fd_, TIOCEXCL);
        return true;
    }

    bool GetState(LineSettings& settings) override {
        if (::tcgetattr(fd_, &tio_) != 0) return false;
        settings.baudRate = TermiosBitsPerSecond(::cfgetospeed(&tio_));
        switch (tio_.c_cflag & CSIZE) {
            case CS5: settings.byteSize = 5; break;
            case CS6: settings.byteSize = 6; break;
            case CS7: settings.byteSize = 7; break;
            default: settings.byteSize = 8; break;
        }
        settings.parity = !(tio_.c_cflag & PARENB)  ? kNoParity
                          : (tio_.c_cflag & PARODD) ? kOddParity
                                                    : kEvenParity;
        settings.stopBits = (tio_.c_cflag & CSTOPB) ? kTwoStopBits : kOneStopBit;
        return true;
    }

    bool SetState(const LineSettings& settings) override {
        termios t = tio_;
        ::cfmakeraw(&t);
        speed_t speed;
        if (!ToConstant(settings.baudRate, speed)) return false;
        t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
        t.c_cflag |= CLOCAL | CREAD;
        switch (settings.byteSize) {
            case 5: t.c_cflag |= CS5; break;
            case 6: t.c_cflag |= CS6; break;
            case 7: t.c_cflag |= CS7; break;
            case 8: t.c_cflag |= CS8; break;
            default: return false;
        }
        switch (settings.parity) {
            case kNoParity: break;
            case kOddParity: t.c_cflag |= PARENB | PARODD; break;
            case kEvenParity: t.c_cflag |= PARENB; break;
            default: return false;
        }
        switch (settings.stopBits) {
            case kOneStopBit: break;
            case kTwoStopBits: t.c_cflag |= CSTOPB; break;
            default: return false;
        }
        t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        t.c_cc[VMIN] = 0;
        t.c_cc[VTIME] = 0;
        if (::cfsetispeed(&t, speed) != 0 || ::cfsetospeed(&t, speed) != 0) return false;
        if (::tcsetattr(fd_, TCSANOW, &t) != 0) return false;
        tio_ = t;
        return true;
    }

    bool SetTimeouts(const CommTimeouts& timeouts) override {
        // Reads never wait here (the link only reads what is waiting); the write time-out
        // bounds how long a stalled line can hold us.
        timeouts_ = timeouts;
        return fd_ >= 0;
    }

    bool Close() override {
        const int fd = fd_;
        fd_ = -1;  // even a failed close releases the descriptor on this platform
        return ::close(fd) == 0;
    }

    bool Write(const uint8_t* data, uint32_t count) override {
        // The device's real time, not the link's clock: this bounds a wait in the kernel.
        using namespace std::chrono;
        const auto limit = milliseconds(timeouts_.writeTotalConstant +
                                        uint64_t{timeouts_.writeTotalMultiplier} * count);
        const auto start = steady_clock::now();
        uint32_t done = 0;
        while (done < count) {
            const ssize_t n = ::write(fd_, data + done, count - done);
            if (n > 0) {
                done += static_cast<uint32_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
            const auto elapsed = duration_cast<milliseconds>(steady_clock::now() - start);
            if (elapsed >= limit) return false;
            pollfd p{fd_, POLLOUT, 0};
            (void)::poll(&p, 1, static_cast<int>((limit - elapsed).count()));
        }
        return true;
    }

    bool ReadByte(uint8_t& byte) override { return ::read(fd_, &byte, 1) == 1; }

    uint32_t BytesWaiting() override {
        int n = 0;
        if (::ioctl(fd_, FIONREAD, &n) != 0 || n < 0) return 0;
        return static_cast<uint32_t>(n);
    }

    bool WaitForInput(uint32_t timeoutMs) override {
        using namespace std::chrono;
        const auto limit = milliseconds(timeoutMs);
        const auto start = steady_clock::now();
        for (;;) {
            const auto elapsed = duration_cast<milliseconds>(steady_clock::now() - start);
            const auto left = elapsed < limit ? limit - elapsed : milliseconds(0);
            pollfd p{fd_, POLLIN, 0};
            const int ready =
                ::poll(&p, 1, static_cast<int>(std::min<int64_t>(left.count(), INT32_MAX)));
            if (ready > 0) return true;  // a byte, or a hang-up that LineDropped will tell
            if (ready == 0 || errno != EINTR) return false;
        }
    }

    bool LineDropped() override {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 0) < 0) return false;
        return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    }

    bool Flush() override {
        // tcdrain waits for the line to be idle, which is what the Win32 driver's
        // FlushFileBuffers promises too.
        while (::tcdrain(fd_) != 0)
            if (errno != EINTR) return false;
        return true;
    }

private:
    int fd_ = -1;
    termios tio_{};
    CommTimeouts timeouts_;
};

}  // namespace

std::unique_ptr<SerialEdge> MakeSerialEdge() { return std::make_unique<PosixSerialEdge>(); }

namespace {

class PosixPortProbe final : public PortProbe {
public:
    int Probe(int n) override {
        if (n < 1) return 2;
        const std::string path = "/dev/ttyS" + std::to_string(n - 1);
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd >= 0) {
            // A legacy ttyS node without a UART behind it opens but cannot be configured.
            termios t;
            const bool real = ::tcgetattr(fd, &t) == 0;
            ::close(fd);
            return real ? 0 : 2;
        }
        // Held exclusively by another program, or not ours to open: present but not usable.
        return (errno == EBUSY || errno == EACCES) ? 1 : 2;
    }

    PortKind Kind(const char* name) override { return KindOf(name); }
};

}  // namespace

std::unique_ptr<PortProbe> MakePortProbe() { return std::make_unique<PosixPortProbe>(); }
