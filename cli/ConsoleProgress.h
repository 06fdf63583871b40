// How `kestrel-flash flash` shows its work on standard error: the step that runs and, for the
// steps the engine measures, a bar redrawn in place on a terminal, or a line every 5 % when
// the output goes to a log. It is the engine's progress channel too, and that is where a
// Ctrl-C becomes the engine's abort request.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>

#include "link/Guicallback.h"

class ConsoleProgress final : public GuiCallback {
public:
    // `interrupted` tells whether the user asked to stop (Ctrl-C).
    ConsoleProgress(std::FILE* out, bool terminal, std::function<bool()> interrupted);

    // A step whose progress is not shown (waits, short steps).
    void Step(const char* what);
    // A step whose progress the engine reports from here on.
    void MeasuredStep(const char* what);
    // Ends a bar's line, so that a message can follow on a line of its own.
    void EndLine();

    void Progress(int32_t value) override;

    // Passes a Ctrl-C on to the engine; true once the user asked to stop.
    bool CheckInterrupt();

private:
    void Draw(int32_t percent);

    std::FILE* out_;
    bool terminal_;
    std::function<bool()> interrupted_;
    const char* step_ = "";
    bool measured_ = false;
    bool barShown_ = false;  // a bar line waits for its end
    int32_t shown_ = -1;     // the percent on screen, or the last 5 % mark logged
};
