#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <thread>

#include "tests/e2e/driver/Script.h"
#include "tests/e2e/driver/WizardDriver.h"

namespace wizard {

namespace {

using script::Quote;

// A window that does not answer a question about itself within this long is busy in a
// handler; its text is then read from what the system keeps of it.
constexpr UINT kAnswerMs = 2000;
constexpr Milliseconds kPoll{25};
constexpr DWORD kEndWaitMs = 5000;
constexpr const char* kDialogClass = "#32770";
// A message box's text is the static with this id; its buttons have the ids of the answers
// (IDOK ... IDCONTINUE, IDHELP among them).
constexpr int kMessageTextId = 0xFFFF;
constexpr int kFirstAnswerId = IDOK;
constexpr int kLastAnswerId = 11;  // IDCONTINUE

HWND H(Window window) { return static_cast<HWND>(window); }

// Window class names are ASCII.
bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

std::string ClassOf(HWND window) {
    char name[256] = {};
    const int length = GetClassNameA(window, name, sizeof name);
    return std::string(name, length > 0 ? static_cast<size_t>(length) : 0);
}

// The text the system keeps of a window: a caption, or the text a button or a static was
// given. Read without a message, so it never waits on a program that is busy.
std::string KeptText(HWND window) {
    for (size_t size = 1024;; size *= 2) {
        std::string text(size, '\0');
        const int length = GetWindowTextA(window, text.data(), static_cast<int>(size));
        if (length <= 0) return {};
        if (static_cast<size_t>(length) < size - 1 || size >= 65536) {
            text.resize(static_cast<size_t>(length));
            return text;
        }
    }
}

// Controls that hold their text themselves (what was typed into an edit); the system's copy
// is not theirs.
bool HoldsOwnText(HWND window) {
    const std::string name = ClassOf(window);
    return SameIgnoringCase(name, "Edit") || SameIgnoringCase(name, "ComboBox") ||
           SameIgnoringCase(name.substr(0, 8), "RichEdit");
}

// What the control shows now: asked of the control when it holds its own text (falling back
// on the system's copy when the program does not answer), else the system's copy.
std::string ShownText(HWND window) {
    if (!HoldsOwnText(window)) return KeptText(window);
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kAnswerMs, &length))
        return KeptText(window);
    // The length may count characters where the ANSI text needs two bytes for some.
    std::string text(length * 2 + 2, '\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, kAnswerMs, &copied))
        return KeptText(window);
    text.resize(strnlen(text.c_str(), text.size()));
    return text;
}

// Usable by a person: the window and every window it lies in are enabled.
bool EnabledAllTheWay(HWND window) {
    for (HWND w = window; w && w != GetDesktopWindow(); w = GetAncestor(w, GA_PARENT))
        if (!IsWindowEnabled(w)) return false;
    return true;
}

int ControlId(HWND window) { return GetDlgCtrlID(window) & 0xFFFF; }

bool IsCheckable(HWND window) {
    if (!SameIgnoringCase(ClassOf(window), "Button")) return false;
    switch (GetWindowLongA(window, GWL_STYLE) & BS_TYPEMASK) {
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_RADIOBUTTON:
        case BS_3STATE:
        case BS_AUTO3STATE:
        case BS_AUTORADIOBUTTON: return true;
        default: return false;
    }
}

BOOL CALLBACK Collect(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

// Every window inside `top`: each child, then the windows inside it, in the window's order.
std::vector<HWND> Descendants(HWND top) {
    std::vector<HWND> found;
    EnumChildWindows(top, Collect, reinterpret_cast<LPARAM>(&found));
    return found;
}

// Every top-level window, from the top of the screen down.
std::vector<HWND> TopWindows() {
    std::vector<HWND> found;
    EnumWindows(Collect, reinterpret_cast<LPARAM>(&found));
    return found;
}

uint32_t ProcessOf(HWND window) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    return id;
}

std::string Seconds(Milliseconds ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", static_cast<double>(ms.count()) / 1000);
    return text;
}

// The static that holds a message box's text, or nullptr.
HWND MessageText(HWND box) {
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (ControlId(child) == kMessageTextId && SameIgnoringCase(ClassOf(child), "Static"))
            return child;
    return nullptr;
}

// A shown dialog whose shown children are its text, maybe an icon, and answer buttons. A page
// of the wizard is a dialog too, but holds other controls or buttons of its own ids.
bool IsMessageBox(HWND window) {
    if (!IsWindowVisible(window) || ClassOf(window) != kDialogClass || !MessageText(window))
        return false;
    bool answers = false;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child)) continue;
        const std::string name = ClassOf(child);
        if (SameIgnoringCase(name, "Static")) continue;
        const int id = ControlId(child);
        if (!SameIgnoringCase(name, "Button") || id < kFirstAnswerId || id > kLastAnswerId)
            return false;
        answers = true;
    }
    return answers;
}

std::vector<HWND> ShownButtons(HWND box) {
    std::vector<HWND> buttons;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (IsWindowVisible(child) && SameIgnoringCase(ClassOf(child), "Button"))
            buttons.push_back(child);
    return buttons;
}

MessageBoxView ViewOf(HWND box) {
    MessageBoxView view;
    view.window = box;
    view.caption = KeptText(box);
    if (HWND text = MessageText(box)) view.text = ShownText(text);
    for (HWND button : ShownButtons(box)) view.buttons.push_back(ShownText(button));
    return view;
}

std::string QuotedList(const std::vector<std::string>& texts) {
    std::string list;
    for (const std::string& text : texts) list += (list.empty() ? "" : ", ") + Quote(text);
    return list.empty() ? "none" : list;
}

// How failure messages name a control: its class, id and text, and the window it is in.
std::string Named(HWND control) {
    if (!IsWindow(control)) return "a control that no longer exists";
    return ClassOf(control) + " #" + std::to_string(ControlId(control)) + " " +
           Quote(ShownText(control)) + " in " + Quote(KeptText(GetAncestor(control, GA_ROOT)));
}

// Why a person could not use the control now, or "" when they could.
std::string WhyUnusable(HWND control) {
    if (!IsWindow(control)) return "it no longer exists";
    if (!IsWindowVisible(control)) return "it is hidden";
    if (!IsWindowEnabled(control)) return "it is disabled";
    if (!EnabledAllTheWay(control)) return "the window it is in is disabled (is a message box up?)";
    return "";
}

std::vector<WindowInfo> ShownWindows() {
    std::vector<WindowInfo> windows;
    for (HWND window : TopWindows())
        if (IsWindowVisible(window))
            windows.push_back({window, KeptText(window), ClassOf(window), ProcessOf(window)});
    return windows;
}

// What was on the screen instead, and whether the program has ended, for the failure
// messages of waits.
std::string ShownInstead(HANDLE process) {
    std::string text = "; shown windows: ";
    bool any = false;
    for (const WindowInfo& info : ShownWindows()) {
        if (info.caption.empty()) continue;
        text += (any ? ", " : "") + Quote(info.caption) + " (" + info.className + ", process " +
                std::to_string(info.processId) + ")";
        any = true;
    }
    if (!any) text += "none";
    DWORD code = 0;
    if (process && WaitForSingleObject(process, 0) == WAIT_OBJECT_0 &&
        GetExitCodeProcess(process, &code))
        text += "; the program ended with exit code " + std::to_string(code);
    return text;
}

}  // namespace

WizardDriver::WizardDriver(Milliseconds timeout) : timeout_(timeout) {}

WizardDriver::~WizardDriver() {
    if (process_) CloseHandle(process_);
}

// The program ---------------------------------------------------------------------------------

uint32_t WizardDriver::StartProcess(const std::string& commandLine) {
    std::string line = commandLine;  // the platform may write into it
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    // No handles are inherited: a program that outlives the driver must not hold the pipes
    // whoever runs the driver reads its answers from.
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        throw DriverError("cannot start " + commandLine + " (error " +
                          std::to_string(GetLastError()) + ")");
    CloseHandle(info.hThread);
    if (process_) CloseHandle(process_);
    process_ = info.hProcess;
    processId_ = info.dwProcessId;
    return processId_;
}

std::optional<uint32_t> WizardDriver::WaitExit(Milliseconds timeout) const {
    if (!process_) throw DriverError("no program was started");
    if (WaitForSingleObject(process_, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return code;
}

void WizardDriver::EndProcess() {
    if (!process_) return;
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, kEndWaitMs);
    }
}

uint32_t WizardDriver::AttachTo(const std::string& caption) {
    processId_ = ProcessOf(H(WaitWindow(caption)));
    return processId_;
}

// Top-level windows ---------------------------------------------------------------------------

Window WizardDriver::FindTopWindow(const std::string& caption) const {
    for (HWND window : TopWindows())
        if (IsWindowVisible(window) && KeptText(window) == caption) return window;
    return nullptr;
}

std::vector<WindowInfo> WizardDriver::VisibleWindows() const { return ShownWindows(); }

std::string WizardDriver::Caption(Window window) const { return KeptText(H(window)); }

Window WizardDriver::WaitWindow(const std::string& caption) const {
    Window found = nullptr;
    WaitUntil([&] { return (found = FindTopWindow(caption)) != nullptr; },
              "no window " + Quote(caption) + " was shown",
              [&] {
                  std::string hidden;
                  for (HWND window : TopWindows())
                      if (!IsWindowVisible(window) && KeptText(window) == caption)
                          hidden = "; a hidden one exists";
                  return hidden + ShownInstead(process_);
              });
    return found;
}

void WizardDriver::WaitGone(const std::string& caption) const {
    WaitUntil([&] { return FindTopWindow(caption) == nullptr; },
              "the window " + Quote(caption) + " was still shown");
}

// Controls ------------------------------------------------------------------------------------

Window WizardDriver::FindControl(Window top, const ControlRef& which) const {
    if (!IsWindow(H(top))) return nullptr;
    HWND hidden = nullptr;
    for (HWND control : Descendants(H(top))) {
        if (!which.className.empty() && !SameIgnoringCase(ClassOf(control), which.className))
            continue;
        if (which.id ? ControlId(control) != (*which.id & 0xFFFF)
                     : ShownText(control) != which.text)
            continue;
        if (IsWindowVisible(control)) return control;
        if (!hidden) hidden = control;
    }
    return hidden;
}

Window WizardDriver::WaitControl(Window top, const ControlRef& which) const {
    Window found = nullptr;
    const std::string caption = KeptText(H(top));
    WaitUntil(
        [&] {
            if (!IsWindow(H(top)))
                throw DriverError("the window " + Quote(caption) + " no longer exists");
            return (found = FindControl(top, which)) != nullptr;
        },
        "no control " + which.Describe() + " in the window " + Quote(caption),
        [&] { return IsWindow(H(top)) ? "; it holds:\n" + Describe(top) : std::string(); });
    return found;
}

Window WizardDriver::WaitControl(const std::string& caption, const ControlRef& which) const {
    return WaitControl(WaitWindow(caption), which);
}

ControlState WizardDriver::State(Window control) const {
    HWND window = H(control);
    if (!IsWindow(window)) throw DriverError("the control no longer exists");
    ControlState state;
    state.window = control;
    state.className = ClassOf(window);
    state.id = ControlId(window);
    state.text = ShownText(window);
    state.enabled = EnabledAllTheWay(window);
    state.visible = IsWindowVisible(window) != FALSE;
    if (IsCheckable(window)) {
        DWORD_PTR checked = 0;
        if (SendMessageTimeoutA(window, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, kAnswerMs, &checked))
            state.checked = static_cast<int>(checked);
    }
    HWND top = GetAncestor(window, GA_ROOT);
    for (HWND w = window; w && w != top; w = GetAncestor(w, GA_PARENT)) ++state.depth;
    RECT place{};
    RECT topPlace{};
    GetWindowRect(window, &place);
    GetWindowRect(top, &topPlace);
    state.left = place.left - topPlace.left;
    state.top = place.top - topPlace.top;
    state.width = place.right - place.left;
    state.height = place.bottom - place.top;
    return state;
}

std::string WizardDriver::Text(Window control) const {
    if (!IsWindow(H(control))) throw DriverError("the control no longer exists");
    return ShownText(H(control));
}

std::vector<ControlState> WizardDriver::List(Window top) const {
    if (!IsWindow(H(top))) throw DriverError("the window no longer exists");
    std::vector<ControlState> states;
    for (HWND control : Descendants(H(top))) {
        if (IsWindow(control)) states.push_back(State(control));
    }
    return states;
}

std::string WizardDriver::Describe(Window top) const {
    std::string text;
    for (const ControlState& c : List(top)) {
        text += std::string(static_cast<size_t>(c.depth) * 2, ' ') + c.className + " #" +
                std::to_string(c.id) + " " + Quote(c.text) +
                (c.enabled ? " enabled" : " disabled") + (c.visible ? " visible" : " hidden");
        if (c.checked == 0) text += " unchecked";
        if (c.checked == 1) text += " checked";
        if (c.checked == 2) text += " indeterminate";
        text += " at " + std::to_string(c.left) + "," + std::to_string(c.top) + " " +
                std::to_string(c.width) + "x" + std::to_string(c.height) + "\n";
    }
    return text.empty() ? "  (no controls)\n" : text;
}

// Acting --------------------------------------------------------------------------------------

void WizardDriver::Press(Window control) const {
    HWND window = H(control);
    const std::string named = Named(window);
    WaitUntil(
        [&] {
            if (!IsWindow(window)) throw DriverError("cannot press " + named + ": it is gone");
            return WhyUnusable(window).empty();
        },
        "could not press " + named, [&] { return ": " + WhyUnusable(window); });
    if (SameIgnoringCase(ClassOf(window), "Button")) {
        PostMessageA(window, BM_CLICK, 0, 0);
        return;
    }
    RECT client{};
    GetClientRect(window, &client);
    const LPARAM centre = MAKELPARAM(client.right / 2, client.bottom / 2);
    PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, centre);
    PostMessageA(window, WM_LBUTTONUP, 0, centre);
}

void WizardDriver::Press(const std::string& caption, const ControlRef& which) const {
    Press(WaitControl(caption, which));
}

void WizardDriver::Type(Window control, const std::string& text) const {
    HWND window = H(control);
    const std::string named = Named(window);
    WaitUntil(
        [&] {
            if (!IsWindow(window)) throw DriverError("cannot type into " + named + ": it is gone");
            return WhyUnusable(window).empty();
        },
        "could not type into " + named, [&] { return ": " + WhyUnusable(window); });
    // A change handler that opens a modal box keeps this message from returning; the text
    // has arrived by then all the same.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                        SMTO_ABORTIFHUNG, kAnswerMs, &ignored);
}

void WizardDriver::Type(const std::string& caption, const ControlRef& which,
                        const std::string& text) const {
    Type(WaitControl(caption, which), text);
}

// Waiting -------------------------------------------------------------------------------------

void WizardDriver::WaitUntil(const std::function<bool()>& condition, const std::string& what,
                             const std::function<std::string()>& explain) const {
    const auto end = std::chrono::steady_clock::now() + timeout_;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) {
            // One last look, so that a slow poll never reports what has just come true.
            if (condition()) return;
            throw DriverError(what + " within " + Seconds(timeout_) + (explain ? explain() : ""));
        }
        std::this_thread::sleep_for(kPoll);
    }
}

void WizardDriver::WaitText(Window control, const std::string& text) const {
    WaitUntil([&] { return Text(control) == text; },
              "the text of " + Named(H(control)) + " did not become " + Quote(text),
              [&] { return IsWindow(H(control)) ? "; it is " + Quote(Text(control)) : ""; });
}

// Message boxes -------------------------------------------------------------------------------

std::optional<MessageBoxView> WizardDriver::FindMessageBox(const std::string& caption) const {
    for (HWND window : TopWindows()) {
        if (processId_ && ProcessOf(window) != processId_) continue;
        if (!IsMessageBox(window)) continue;
        if (!caption.empty() && KeptText(window) != caption) continue;
        return ViewOf(window);
    }
    return std::nullopt;
}

MessageBoxView WizardDriver::WaitMessageBox(const std::string& caption) const {
    std::optional<MessageBoxView> box;
    const std::string which =
        caption.empty() ? "no message box" : "no message box " + Quote(caption);
    const std::string whose =
        processId_ ? " of process " + std::to_string(processId_) + " was shown" : " was shown";
    WaitUntil([&] { return (box = FindMessageBox(caption)).has_value(); }, which + whose,
              [&] {
                  std::string boxes;
                  for (HWND window : TopWindows())
                      if (IsMessageBox(window)) {
                          const MessageBoxView view = ViewOf(window);
                          boxes += (boxes.empty() ? "" : ", ") + Quote(view.caption) + " " +
                                   Quote(view.text) + " (process " +
                                   std::to_string(ProcessOf(window)) + ")";
                      }
                  return "; message boxes shown: " + (boxes.empty() ? "none" : boxes) +
                         ShownInstead(process_);
              });
    return *box;
}

void WizardDriver::Answer(const MessageBoxView& box, const std::string& button) const {
    HWND window = H(box.window);
    if (!IsWindow(window))
        throw DriverError("the message box " + Quote(box.caption) + " has gone already");
    HWND pressed = nullptr;
    for (HWND candidate : ShownButtons(window))
        if (ShownText(candidate) == button) pressed = candidate;
    if (!pressed)
        throw DriverError("the message box " + Quote(box.caption) + " has no button " +
                          Quote(button) + "; its buttons: " + QuotedList(ViewOf(window).buttons));
    Press(pressed);
    WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); },
              "the message box " + Quote(box.caption) + " was still shown after pressing " +
                  Quote(button));
}

MessageBoxView WizardDriver::Answer(const std::string& button, const std::string& caption) const {
    MessageBoxView box = WaitMessageBox(caption);
    Answer(box, button);
    return box;
}

// Pictures ------------------------------------------------------------------------------------

namespace {

// How long a picture waits for the windows to settle: a window just shown may not have
// painted yet, and what it painted reaches the screen a moment later.
constexpr Milliseconds kSettleMost{2000};
constexpr Milliseconds kSettleStep{60};

// Whether the window and everything inside it have painted what they were asked to.
bool Painted(HWND window) {
    if (GetUpdateRect(window, nullptr, FALSE)) return false;
    for (HWND child : Descendants(window))
        if (IsWindowVisible(child) && GetUpdateRect(child, nullptr, FALSE)) return false;
    return true;
}

// What the screen shows in `area` now, or an image without pixels when it cannot be copied.
png::RgbImage CopyScreen(const RECT& area) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    HDC screenDc = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screenDc);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // rows from the top
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screenDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool copied = false;
    if (memory && dib && bits) {
        HGDIOBJ old = SelectObject(memory, dib);
        copied = BitBlt(memory, 0, 0, width, height, screenDc, area.left, area.top,
                        SRCCOPY | CAPTUREBLT) != FALSE;
        GdiFlush();
        SelectObject(memory, old);
    }
    png::RgbImage image{static_cast<uint32_t>(width), static_cast<uint32_t>(height), {}};
    if (copied) {
        // DIB rows are padded to 4 bytes and hold blue, green, red.
        const size_t stride = (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
        image.pixels.resize(static_cast<size_t>(width) * height * 3);
        for (int y = 0; y < height; ++y) {
            const auto* row = static_cast<const uint8_t*>(bits) + y * stride;
            uint8_t* out = image.pixels.data() + static_cast<size_t>(y) * width * 3;
            for (int x = 0; x < width; ++x) {
                out[x * 3] = row[x * 3 + 2];
                out[x * 3 + 1] = row[x * 3 + 1];
                out[x * 3 + 2] = row[x * 3];
            }
        }
    }
    if (dib) DeleteObject(dib);
    if (memory) DeleteDC(memory);
    ReleaseDC(nullptr, screenDc);
    return image;
}

}  // namespace

png::RgbImage WizardDriver::Capture(Window window) const {
    RECT screen{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN), 0, 0};
    screen.right = screen.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
    screen.bottom = screen.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
    RECT area = screen;
    if (window) {
        if (!IsWindow(H(window)))
            throw DriverError("cannot capture a window that no longer exists");
        if (!IsWindowVisible(H(window)))
            throw DriverError("cannot capture " + Quote(KeptText(H(window))) + ": it is hidden");
        RECT place{};
        GetWindowRect(H(window), &place);
        if (!IntersectRect(&area, &place, &screen))
            throw DriverError("cannot capture " + Quote(KeptText(H(window))) +
                              ": it lies off the screen");
    }
    // A person looks once the window has painted and the screen has stopped changing; a
    // window that keeps changing (a blinking caret, a busy program) is taken as it is then.
    const auto end = std::chrono::steady_clock::now() + kSettleMost;
    while (window && IsWindow(H(window)) && !Painted(H(window)) &&
           std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(kSettleStep);
    png::RgbImage image = CopyScreen(area);
    while (!image.pixels.empty() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(kSettleStep);
        png::RgbImage again = CopyScreen(area);
        const bool settled = again.pixels == image.pixels;
        image = std::move(again);
        if (settled) break;
    }
    if (image.pixels.empty()) throw DriverError("the screen could not be copied");
    return image;
}

png::RgbImage WizardDriver::SaveShot(Window window, const std::string& path) const {
    png::RgbImage image = Capture(window);
    std::string error;
    if (!png::WriteFile(path, image, error)) throw DriverError(error);
    return image;
}

}  // namespace wizard
