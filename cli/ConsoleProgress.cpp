#include "cli/ConsoleProgress.h"

#include <algorithm>
#include <utility>

namespace {

constexpr int kBarWidth = 32;
constexpr int32_t kLogStep = 5;

}  // namespace

ConsoleProgress::ConsoleProgress(std::FILE* out, bool terminal, std::function<bool()> interrupted)
    : out_(out), terminal_(terminal), interrupted_(std::move(interrupted)) {}

void ConsoleProgress::Step(const char* what) {
    EndLine();
    step_ = what;
    measured_ = false;
    std::fprintf(out_, "%s\n", what);
    std::fflush(out_);
}

void ConsoleProgress::MeasuredStep(const char* what) {
    EndLine();
    step_ = what;
    measured_ = true;
    shown_ = -1;
    Draw(0);
}

void ConsoleProgress::EndLine() {
    if (barShown_) std::fputc('\n', out_);
    barShown_ = false;
    std::fflush(out_);
}

void ConsoleProgress::Progress(int32_t value) {
    CheckInterrupt();
    if (measured_) Draw(std::clamp<int32_t>(value, 0, 100));
}

bool ConsoleProgress::CheckInterrupt() {
    if (interrupted_ && interrupted_()) RequestAbort();
    return Aborted();
}

void ConsoleProgress::Draw(int32_t percent) {
    if (terminal_) {
        if (percent == shown_ && barShown_) return;
        shown_ = percent;
        char bar[kBarWidth + 1];
        const int filled = percent * kBarWidth / 100;
        for (int i = 0; i < kBarWidth; ++i) bar[i] = i < filled ? '#' : '.';
        bar[kBarWidth] = '\0';
        std::fprintf(out_, "\r%-20s [%s] %3d%%", step_, bar, static_cast<int>(percent));
        barShown_ = true;
    } else {
        // A log gets a line at each 5 % mark passed, and always the end.
        const int32_t mark = percent / kLogStep * kLogStep;
        if (mark <= shown_) return;
        shown_ = mark;
        std::fprintf(out_, "%s: %d%%\n", step_, static_cast<int>(percent));
    }
    std::fflush(out_);
}
