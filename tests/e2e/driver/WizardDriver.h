// Test equipment: works the wizard's windows from another process as a person would. It finds
// a window by its caption and a control in it by its text or id, presses buttons, types into
// edits, reads what the windows show, answers message boxes, and keeps pictures of windows
// as PNG files. Every wait ends at a time-out, and a failure says what was looked for and
// what was there instead. Windows only: scenario tests and wizdriver.exe build on it.
//
// Texts are bytes in the ANSI code page, as the wizard's windows hold them; captions and
// control texts are compared exactly, '&' mnemonics as written ("&Next >").
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "testing/PngWriter.h"

namespace wizard {

using Window = void*;  // a window handle
using Milliseconds = std::chrono::milliseconds;

// What a failed wait or action throws: the message names the window or control looked for
// and lists what was there instead.
class DriverError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Which control of a window: its exact text or its id, and, when given, its window class
// ("Button", "Edit", "Static"; compared without regard to case).
struct ControlRef {
    std::string text;
    std::optional<int> id;
    std::string className;

    static ControlRef Text(std::string text, std::string className = {}) {
        return {std::move(text), std::nullopt, std::move(className)};
    }
    static ControlRef Id(int id, std::string className = {}) {
        return {{}, id, std::move(className)};
    }
    // "&Next >", #1001, Edit #1001: as failure messages name it.
    std::string Describe() const {
        std::string described = className.empty() ? "" : className + " ";
        return described + (id ? "#" + std::to_string(*id) : "\"" + text + "\"");
    }
};

// A control as a person sees it at one moment.
struct ControlState {
    Window window = nullptr;
    std::string className;
    int id = 0;
    std::string text;
    // A person could use it: it and every window it lies in are enabled (a modal message
    // box disables the page below it).
    bool enabled = false;
    bool visible = false;  // it and every window it lies in are shown
    // For check boxes and radio buttons: 0 unchecked, 1 checked, 2 indeterminate; else -1.
    int checked = -1;
    int depth = 0;  // 1 for a child of the top window, 2 for a child of that, ...
    // Its place relative to the top-left corner of the top window, and its size.
    int left = 0, top = 0, width = 0, height = 0;
};

// A message box: a dialog whose children are its text, its icon and its buttons.
struct MessageBoxView {
    Window window = nullptr;
    std::string caption;
    std::string text;
    std::vector<std::string> buttons;  // shown ones, in their order
};

// A top-level window, for listings.
struct WindowInfo {
    Window window = nullptr;
    std::string caption;
    std::string className;
    uint32_t processId = 0;
};

class WizardDriver {
public:
    explicit WizardDriver(Milliseconds timeout = std::chrono::seconds(10));
    ~WizardDriver();  // leaves a program it started running; see EndProcess
    WizardDriver(const WizardDriver&) = delete;
    WizardDriver& operator=(const WizardDriver&) = delete;

    // How long every wait lasts.
    void SetTimeout(Milliseconds timeout) { timeout_ = timeout; }
    Milliseconds Timeout() const { return timeout_; }

    // Message boxes are looked for among this process's windows only (0: any process).
    // Windows found by caption may belong to any process, so that HotSync Manager's are
    // found beside the wizard's.
    void SetProcess(uint32_t processId) { processId_ = processId; }
    uint32_t Process() const { return processId_; }

    // Starts `commandLine` (the program and its arguments, quoted as on a command line) and
    // keeps to its message boxes from now on. Returns its process id.
    uint32_t StartProcess(const std::string& commandLine);
    // The started program's exit code once it has ended; nullopt when it still runs after
    // `timeout`. Throws when no program was started.
    std::optional<uint32_t> WaitExit(Milliseconds timeout) const;
    // Ends the started program if it still runs, and waits until it has.
    void EndProcess();
    // Message boxes of the process that shows the window with this caption, from now on.
    uint32_t AttachTo(const std::string& caption);

    // Top-level windows --------------------------------------------------------------------
    // A shown top-level window with exactly this caption (the topmost of several), or nullptr.
    Window FindTopWindow(const std::string& caption) const;
    Window WaitWindow(const std::string& caption) const;
    // Returns once no shown window has this caption.
    void WaitGone(const std::string& caption) const;
    std::vector<WindowInfo> VisibleWindows() const;
    std::string Caption(Window window) const;

    // Controls -------------------------------------------------------------------------------
    // A control anywhere inside `top` (children of children too). When several match, the
    // first shown one in the window's order wins, else the first hidden one, so that a page's
    // button is found even when hidden pages hold one with the same text.
    Window FindControl(Window top, const ControlRef& which) const;
    Window WaitControl(Window top, const ControlRef& which) const;
    Window WaitControl(const std::string& caption, const ControlRef& which) const;
    ControlState State(Window control) const;
    // What the control shows: an edit's text as typed, a button's or a static's caption.
    std::string Text(Window control) const;
    // Every control inside `top`, in the window's order, and the same as indented lines.
    std::vector<ControlState> List(Window top) const;
    std::string Describe(Window top) const;

    // Acting ---------------------------------------------------------------------------------
    // Presses a control once a person could (shown and enabled, up to the time-out). Buttons
    // get a click message, other controls a mouse click at their centre; both are posted, so
    // a handler that opens a modal message box never holds up the driver.
    void Press(Window control) const;
    void Press(const std::string& caption, const ControlRef& which) const;
    // Replaces the text of an edit as a person's typing would, its change handler included.
    void Type(Window control, const std::string& text) const;
    void Type(const std::string& caption, const ControlRef& which, const std::string& text) const;

    // Waiting --------------------------------------------------------------------------------
    // Returns once `condition` holds; throws `what` and `explain()` (when given) on time-out.
    void WaitUntil(const std::function<bool()>& condition, const std::string& what,
                   const std::function<std::string()>& explain = {}) const;
    void WaitText(Window control, const std::string& text) const;

    // Message boxes --------------------------------------------------------------------------
    // A shown message box with this caption (any caption when empty), or nullopt.
    std::optional<MessageBoxView> FindMessageBox(const std::string& caption = {}) const;
    MessageBoxView WaitMessageBox(const std::string& caption = {}) const;
    // Presses the box's button with exactly this text ("OK", "&Yes") and waits until the box
    // has gone.
    void Answer(const MessageBoxView& box, const std::string& button) const;
    // Waits for a box (with this caption, or any), answers it, and returns what it showed.
    MessageBoxView Answer(const std::string& button, const std::string& caption = {}) const;

    // Pictures -------------------------------------------------------------------------------
    // What the screen shows where the window is (windows above it included, as a person
    // would see it), clipped to the screen; nullptr for the whole screen. Taken once the
    // window has painted and the screen has stopped changing, or after two seconds.
    png::RgbImage Capture(Window window) const;
    // Captures and writes a PNG file; returns the picture written.
    png::RgbImage SaveShot(Window window, const std::string& path) const;

private:
    Milliseconds timeout_;
    uint32_t processId_ = 0;
    void* process_ = nullptr;  // the program StartProcess started
};

}  // namespace wizard
