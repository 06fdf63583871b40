// Test equipment: programs a test or benchmark starts and ends by their process ids (palmsim,
// mkupd), so that none outlives the one that started it.
#pragma once

#include <string>
#include <vector>

class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // A program still running is killed.
    ~ChildProcess();

    // Starts `program` with `args`; with captureOutput its standard output comes to FirstLine.
    bool Start(const std::string& program, const std::vector<std::string>& args,
               bool captureOutput);
    // The first line the program prints, or empty when none comes in `timeoutMs`.
    std::string FirstLine(int timeoutMs);
    void Signal(int signal) const;
    // Sends `signal` (none for 0) and waits for the end: the exit status, or -1 when the
    // program was killed by a signal or did not end in time (it is killed then). `cpuSeconds`
    // receives the program's own user and system time.
    int Finish(int signal, int timeoutMs, double* cpuSeconds = nullptr);

private:
    int pid_ = -1;
    int out_ = -1;
};

// palmsim, the simulated handheld, serving on its pseudo-terminal.
class PalmsimProcess {
public:
    // Starts palmsim; Device() is empty when it did not say where it listens in time.
    PalmsimProcess(const std::string& palmsim, const std::vector<std::string>& args);

    // The serial device to talk to it on (the first line palmsim prints).
    const std::string& Device() const { return device_; }
    void Signal(int signal) const { process_.Signal(signal); }
    // Sends `signal` (SIGTERM, SIGINT: palmsim saves its state and ends) and returns its
    // exit status; see ChildProcess::Finish.
    int Stop(int signal, int timeoutMs = 30'000, double* cpuSeconds = nullptr) {
        return process_.Finish(signal, timeoutMs, cpuSeconds);
    }

private:
    ChildProcess process_;
    std::string device_;
};
