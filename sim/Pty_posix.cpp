#include "sim/Pty.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "link/LineSpeed_posix.h"

namespace {

std::string SystemError(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

std::unique_ptr<Pty> Pty::Create(std::string& error) {
    std::unique_ptr<Pty> pty(new Pty);
    pty->master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (pty->master_ < 0) {
        error = SystemError("posix_openpt");
        return nullptr;
    }
    if (grantpt(pty->master_) != 0 || unlockpt(pty->master_) != 0) {
        error = SystemError("grantpt/unlockpt");
        return nullptr;
    }
    char name[128];
    if (ptsname_r(pty->master_, name, sizeof name) != 0) {
        error = SystemError("ptsname");
        return nullptr;
    }
    pty->slavePath_ = name;
    pty->slave_ = open(name, O_RDWR | O_NOCTTY);
    if (pty->slave_ < 0) {
        error = SystemError("open slave");
        return nullptr;
    }
    // A cable carries bytes: no echo, no line editing, no newline translation, at the
    // speed the handheld starts at.
    termios settings{};
    if (tcgetattr(pty->slave_, &settings) != 0) {
        error = SystemError("tcgetattr");
        return nullptr;
    }
    cfmakeraw(&settings);
    cfsetispeed(&settings, B57600);
    cfsetospeed(&settings, B57600);
    if (tcsetattr(pty->slave_, TCSANOW, &settings) != 0) {
        error = SystemError("tcsetattr");
        return nullptr;
    }
    const int flags = fcntl(pty->master_, F_GETFL);
    if (flags < 0 || fcntl(pty->master_, F_SETFL, flags | O_NONBLOCK) != 0) {
        error = SystemError("fcntl");
        return nullptr;
    }
    return pty;
}

Pty::~Pty() {
    if (slave_ >= 0) close(slave_);
    if (master_ >= 0) close(master_);
}

uint32_t Pty::DesktopSpeed() const {
    termios settings{};
    if (tcgetattr(slave_, &settings) != 0) return 0;
    return TermiosBitsPerSecond(cfgetospeed(&settings));
}

void Pty::ReleaseExclusive() const { (void)ioctl(slave_, TIOCNXCL); }
