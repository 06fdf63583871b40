// The two exception kinds of the GUI layer. The engine itself never throws; these reach the
// program's general error handler, which shows their message in a box.
#pragma once

#include <stdexcept>
#include <string>

// The GUI library's invalid-operation error (a missing list, a missing library file, ...).
class EInvalidOperation : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An operating-system error raised with the platform's last error code.
class EOSError : public std::runtime_error {
public:
    explicit EOSError(unsigned long code);
    unsigned long ErrorCode() const { return code_; }

private:
    unsigned long code_;
};
