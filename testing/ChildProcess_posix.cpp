#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "testing/ChildProcess.h"

namespace {

constexpr int kStartupWaitMs = 10'000;

double Seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

}  // namespace

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) close(out_);
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         bool captureOutput) {
    int pipeEnds[2] = {-1, -1};
    if (captureOutput && pipe(pipeEnds) != 0) return false;
    pid_ = fork();
    if (pid_ < 0) return false;
    if (pid_ == 0) {
#if defined(__linux__)
        // Should the parent die without cleaning up, the child must not stay behind.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
        if (captureOutput) {
            dup2(pipeEnds[1], STDOUT_FILENO);
            close(pipeEnds[0]);
            close(pipeEnds[1]);
        }
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        std::fprintf(stderr, "cannot run %s: %s\n", program.c_str(), std::strerror(errno));
        _exit(127);
    }
    if (captureOutput) {
        close(pipeEnds[1]);
        out_ = pipeEnds[0];
    }
    return true;
}

std::string ChildProcess::FirstLine(int timeoutMs) {
    std::string line;
    if (out_ < 0) return line;
    pollfd fd{out_, POLLIN, 0};
    char c = 0;
    while (poll(&fd, 1, timeoutMs) > 0 && read(out_, &c, 1) == 1 && c != '\n') line += c;
    return line;
}

void ChildProcess::Signal(int signal) const {
    if (pid_ > 0) kill(pid_, signal);
}

int ChildProcess::Finish(int signal, int timeoutMs, double* cpuSeconds) {
    if (pid_ <= 0) return -1;
    if (signal) kill(pid_, signal);
    int status = 0;
    rusage own{};
    for (int waited = 0;; waited += 10) {
        const pid_t done = wait4(pid_, &status, WNOHANG, &own);
        if (done == pid_) break;
        if ((done < 0 && errno != EINTR) || waited >= timeoutMs) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
            pid_ = -1;
            return -1;
        }
        usleep(10'000);
    }
    pid_ = -1;
    if (cpuSeconds) *cpuSeconds = Seconds(own.ru_utime) + Seconds(own.ru_stime);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

PalmsimProcess::PalmsimProcess(const std::string& palmsim, const std::vector<std::string>& args) {
    // palmsim prints the device first and flushes it at once.
    if (process_.Start(palmsim, args, true)) device_ = process_.FirstLine(kStartupWaitMs);
}
