// wizdriver.exe: the wizard driver for shell scripts and the demo. It reads commands one a
// line, from a file or standard input, works the windows as a person would, and prints one
// answer line per command (list and windows print one line per control or window). The first
// command that fails ends it: exit status 1, and on standard error the line number and what
// was looked for and what was there instead; 2 for a script it cannot read. Test and demo
// equipment, never in the kit.
//
//   wizdriver [--timeout SECONDS] [SCRIPT | -]        wizdriver --help
//
//   wait CAPTION [SECONDS]              window "CAPTION"
//   gone CAPTION [SECONDS]              gone "CAPTION"
//   press CAPTION CONTROL [SECONDS]     pressed "TEXT"        (waits until it can be pressed)
//   type CAPTION CONTROL TEXT           typed "TEXT"
//   text CAPTION CONTROL                "TEXT"
//   expect CAPTION CONTROL TEXT [SECONDS]   "TEXT"            (waits until the text is TEXT)
//   state CAPTION CONTROL               enabled|disabled visible|hidden [checked|unchecked|...]
//   list CAPTION                        one line per control
//   windows                             one line per shown top-level window
//   box [CAPTION|* [SECONDS]]           box "CAPTION" "TEXT" buttons "OK" ...
//   answer BUTTON [CAPTION|* [SECONDS]] answered "BUTTON" in "CAPTION"
//   shot CAPTION|* FILE.png             saved FILE.png WIDTHxHEIGHT   (* is the whole screen)
//   start PROGRAM [ARGUMENTS...]        started process ID
//   attach CAPTION                      attached to process ID
//   ended [SECONDS]                     exit code N
//   stop                                stopped process ID
//   timeout SECONDS                     timeout SECONDS s
//   sleep SECONDS                       slept SECONDS s
//
// Words are split as tests/e2e/driver/Script.h says (quotes, tabs, \xHH); CONTROL is a text,
// #ID, [CLASS]TEXT or [CLASS]#ID. Scripts and answers are UTF-8; the windows' texts are
// turned from and into the ANSI code page.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "tests/e2e/driver/Script.h"
#include "tests/e2e/driver/WizardDriver.h"

namespace {

using wizard::DriverError;
using wizard::Milliseconds;
using wizard::WizardDriver;
using wizard::script::Quote;
using Args = std::vector<std::string>;

constexpr const char* kHelp = R"(wizdriver: works the wizard's windows as a person would.

Usage: wizdriver [--timeout SECONDS] [SCRIPT | -]
       wizdriver --help

Commands are read one a line from SCRIPT, or from standard input without one (or with -).
Each prints one answer line; the first that fails ends wizdriver with exit status 1 and says
on standard error what was looked for and what was there instead. A line that cannot be
read (unknown command, wrong number of words, open quote) ends it with status 2. Every wait
lasts the time-out (default 10 s; --timeout, the timeout command, or SECONDS on a command).

  wait CAPTION [SECONDS]               a window with this caption is shown
  gone CAPTION [SECONDS]               no window with this caption is shown any more
  press CAPTION CONTROL [SECONDS]      press a control once it is shown and enabled
  type CAPTION CONTROL TEXT            put TEXT into an edit, as typing would
  text CAPTION CONTROL                 print a control's text
  expect CAPTION CONTROL TEXT [SECONDS]   wait until a control's text is TEXT
  state CAPTION CONTROL                enabled|disabled visible|hidden, and for check boxes
                                       and radio buttons checked|unchecked|indeterminate
  list CAPTION                         every control of a window, one a line
  windows                              every shown top-level window, one a line
  box [CAPTION|* [SECONDS]]            wait for a message box (any with * or none given);
                                       prints box "CAPTION" "TEXT" buttons "OK" ...
  answer BUTTON [CAPTION|* [SECONDS]]  press a message box's button ("OK", "&Yes") and wait
                                       until the box has gone
  shot CAPTION|* FILE.png              save a picture of a window, or with * of the screen
  start PROGRAM [ARGUMENTS...]         start a program; its message boxes are watched
  attach CAPTION                       watch the message boxes of the program showing CAPTION
  ended [SECONDS]                      wait until the started program ends; prints its exit code
  stop                                 end the started program
  timeout SECONDS                      the time-out of the commands that follow
  sleep SECONDS                        wait

Words are separated by spaces. Double quotes keep spaces: "HotSync Wizard". Inside quotes
\" \\ \n \t and \xHH (one byte of the ANSI code page, e.g. "Probl\xE8me") are escapes, any
other backslash stands for itself; outside quotes a backslash is a plain character. A line
holding a tab is split at tabs instead, every field taken as it stands. Lines starting with
# are comments.

CONTROL is the control's exact text with its '&' as written ("&Next >"), or #ID (decimal or
0x hex), either behind [CLASS] to name the window class too ([Edit]#1001, [Button]&OK);
=TEXT is the text TEXT even when it starts with #, [ or =.

Scripts and answers are UTF-8; texts are compared in the ANSI code page of the windows.
)";

std::string Convert(const std::string& text, UINT from, UINT to, bool strict) {
    if (text.empty()) return text;
    const int wide = MultiByteToWideChar(from, strict ? MB_ERR_INVALID_CHARS : 0, text.data(),
                                         static_cast<int>(text.size()), nullptr, 0);
    if (wide <= 0) return text;
    std::wstring utf16(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), utf16.data(), wide);
    const int bytes = WideCharToMultiByte(to, 0, utf16.data(), wide, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return text;
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(to, 0, utf16.data(), wide, out.data(), bytes, nullptr, nullptr);
    return out;
}

// A script line in UTF-8 becomes the windows' ANSI bytes; one that is not UTF-8 is taken as
// ANSI already.
std::string FromScript(const std::string& line) { return Convert(line, CP_UTF8, CP_ACP, true); }
std::string ToOutput(const std::string& text) { return Convert(text, CP_ACP, CP_UTF8, false); }

// One argument of a Windows command line, quoted so that the program reads it back whole.
std::string CommandLineWord(const std::string& word) {
    if (!word.empty() && word.find_first_of(" \t\"") == std::string::npos) return word;
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (const char c : word) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

class Session {
public:
    explicit Session(Milliseconds timeout) : driver_(timeout), timeout_(timeout) {}

    WizardDriver& Driver() { return driver_; }
    Milliseconds DefaultTimeout() const { return timeout_; }
    void SetDefaultTimeout(Milliseconds timeout) {
        timeout_ = timeout;
        driver_.SetTimeout(timeout);
    }
    // The time-out for this command: its own SECONDS word, when given, else the default.
    void UseTimeout(const Args& args, size_t at) {
        driver_.SetTimeout(timeout_);
        if (args.size() > at) driver_.SetTimeout(Seconds(args[at]));
    }
    static Milliseconds Seconds(const std::string& word) {
        const auto seconds = wizard::script::ParseSeconds(word);
        if (!seconds) throw std::invalid_argument("not a number of seconds: " + word);
        return *seconds;
    }

    std::optional<wizard::MessageBoxView> lastBox;

private:
    WizardDriver driver_;
    Milliseconds timeout_;
};

// An answer line: words, and texts quoted. (Built by appending: GCC 12 sees overlapping copies
// in "literal" + temporary that are not there.)
std::string Line(std::initializer_list<std::string> parts) {
    std::string line;
    for (const std::string& part : parts) line += part;
    return line;
}

std::string AnyCaption(const Args& args, size_t at) {
    return args.size() > at && args[at] != "*" ? args[at] : std::string();
}

std::string StateWords(const wizard::ControlState& state) {
    std::string words = state.enabled ? "enabled" : "disabled";
    words += state.visible ? " visible" : " hidden";
    if (state.checked == 0) words += " unchecked";
    if (state.checked == 1) words += " checked";
    if (state.checked == 2) words += " indeterminate";
    return words;
}

std::string SecondsText(Milliseconds ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", static_cast<double>(ms.count()) / 1000);
    return text;
}

struct Command {
    const char* usage;
    size_t least;  // words after the command's name
    size_t most;
    std::string (*run)(Session& session, const Args& args);
};

wizard::ControlRef ControlOf(const std::string& word) { return wizard::script::ParseControl(word); }

const std::map<std::string, Command>& Commands() {
    static const std::map<std::string, Command> commands = {
        {"wait",
         {"wait CAPTION [SECONDS]", 1, 2,
          [](Session& s, const Args& a) {
              s.UseTimeout(a, 1);
              s.Driver().WaitWindow(a[0]);
              return Line({"window ", Quote(a[0])});
          }}},
        {"gone",
         {"gone CAPTION [SECONDS]", 1, 2,
          [](Session& s, const Args& a) {
              s.UseTimeout(a, 1);
              s.Driver().WaitGone(a[0]);
              return Line({"gone ", Quote(a[0])});
          }}},
        {"press",
         {"press CAPTION CONTROL [SECONDS]", 2, 3,
          [](Session& s, const Args& a) {
              s.UseTimeout(a, 2);
              const wizard::Window control = s.Driver().WaitControl(a[0], ControlOf(a[1]));
              const std::string text = s.Driver().Text(control);
              s.Driver().Press(control);
              return Line({"pressed ", Quote(text)});
          }}},
        {"type",
         {"type CAPTION CONTROL TEXT", 3, 3,
          [](Session& s, const Args& a) {
              s.UseTimeout(a, 3);
              s.Driver().Type(a[0], ControlOf(a[1]), a[2]);
              return Line({"typed ", Quote(a[2])});
          }}},
        {"text",
         {"text CAPTION CONTROL", 2, 2,
          [](Session& s, const Args& a) {
              s.UseTimeout(a, 2);
              return Quote(s.Driver().Text(s.Driver().WaitControl(a[0], ControlOf(a[1]))));
          }}},
        {"expect",
         {"expect CAPTION CONTROL TEXT [SECONDS]", 3, 4,
          [](Session& s, const Args& a) {
              s.UseTimeout(a, 3);
              s.Driver().WaitText(s.Driver().WaitControl(a[0], ControlOf(a[1])), a[2]);
              return Quote(a[2]);
          }}},
        {"state",
         {"state CAPTION CONTROL", 2, 2,
          [](Session& s, const Args& a) {
              s.UseTimeout(a, 2);
              return StateWords(s.Driver().State(s.Driver().WaitControl(a[0], ControlOf(a[1]))));
          }}},
        {"list",
         {"list CAPTION", 1, 1,
          [](Session& s, const Args& a) {
              s.UseTimeout(a, 1);
              std::string text = s.Driver().Describe(s.Driver().WaitWindow(a[0]));
              if (!text.empty() && text.back() == '\n') text.pop_back();
              return text;
          }}},
        {"windows",
         {"windows", 0, 0,
          [](Session& s, const Args&) {
              std::string text;
              for (const wizard::WindowInfo& w : s.Driver().VisibleWindows())
                  text += Line({text.empty() ? "" : "\n", Quote(w.caption), " ", w.className,
                                " process ", std::to_string(w.processId)});
              return text.empty() ? std::string("no windows") : text;
          }}},
        {"box",
         {"box [CAPTION|* [SECONDS]]", 0, 2,
          [](Session& s, const Args& a) {
              s.UseTimeout(a, 1);
              s.lastBox = s.Driver().WaitMessageBox(AnyCaption(a, 0));
              std::string line = Line(
                  {"box ", Quote(s.lastBox->caption), " ", Quote(s.lastBox->text), " buttons"});
              for (const std::string& button : s.lastBox->buttons)
                  line += Line({" ", Quote(button)});
              return line;
          }}},
        {"answer",
         {"answer BUTTON [CAPTION|* [SECONDS]]", 1, 3,
          [](Session& s, const Args& a) {
              s.UseTimeout(a, 2);
              const std::string caption = AnyCaption(a, 1);
              // The box the script has just read is the one it answers, while it is up.
              wizard::MessageBoxView box;
              if (s.lastBox && IsWindow(static_cast<HWND>(s.lastBox->window)) &&
                  (caption.empty() || caption == s.lastBox->caption))
                  box = *s.lastBox;
              else
                  box = s.Driver().WaitMessageBox(caption);
              s.Driver().Answer(box, a[0]);
              s.lastBox.reset();
              return Line({"answered ", Quote(a[0]), " in ", Quote(box.caption)});
          }}},
        {"shot",
         {"shot CAPTION|* FILE.png", 2, 2,
          [](Session& s, const Args& a) {
              s.UseTimeout(a, 2);
              const wizard::Window window = a[0] == "*" ? nullptr : s.Driver().WaitWindow(a[0]);
              const png::RgbImage image = s.Driver().SaveShot(window, a[1]);
              return "saved " + a[1] + " " + std::to_string(image.width) + "x" +
                     std::to_string(image.height);
          }}},
        {"start",
         {"start PROGRAM [ARGUMENTS...]", 1, 64,
          [](Session& s, const Args& a) {
              std::string line;
              for (const std::string& word : a)
                  line += Line({line.empty() ? "" : " ", CommandLineWord(word)});
              return "started process " + std::to_string(s.Driver().StartProcess(line));
          }}},
        {"attach",
         {"attach CAPTION", 1, 1,
          [](Session& s, const Args& a) {
              s.UseTimeout(a, 1);
              return "attached to process " + std::to_string(s.Driver().AttachTo(a[0]));
          }}},
        {"ended",
         {"ended [SECONDS]", 0, 1,
          [](Session& s, const Args& a) {
              const Milliseconds timeout = a.empty() ? s.DefaultTimeout() : Session::Seconds(a[0]);
              const auto code = s.Driver().WaitExit(timeout);
              if (!code)
                  throw DriverError("the started program still runs after " + SecondsText(timeout));
              return "exit code " + std::to_string(*code);
          }}},
        {"stop",
         {"stop", 0, 0,
          [](Session& s, const Args&) {
              if (!s.Driver().WaitExit(Milliseconds(0)).has_value()) s.Driver().EndProcess();
              return "stopped process " + std::to_string(s.Driver().Process());
          }}},
        {"timeout",
         {"timeout SECONDS", 1, 1,
          [](Session& s, const Args& a) {
              s.SetDefaultTimeout(Session::Seconds(a[0]));
              return "timeout " + SecondsText(s.DefaultTimeout());
          }}},
        {"sleep",
         {"sleep SECONDS", 1, 1,
          [](Session&, const Args& a) {
              const Milliseconds ms = Session::Seconds(a[0]);
              Sleep(static_cast<DWORD>(ms.count()));
              return "slept " + SecondsText(ms);
          }}},
    };
    return commands;
}

void Print(const std::string& text) {
    const std::string out = ToOutput(text) + "\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

void Complain(const std::string& text) {
    const std::string out = "wizdriver: " + ToOutput(text) + "\n";
    std::fwrite(out.data(), 1, out.size(), stderr);
    std::fflush(stderr);
}

// Runs the script; the exit status.
int Run(std::istream& in, Milliseconds timeout) {
    Session session(timeout);
    std::string raw;
    for (int number = 1; std::getline(in, raw); ++number) {
        const std::string where = "line " + std::to_string(number) + ": ";
        const wizard::script::Words line = wizard::script::Split(FromScript(raw));
        if (!line.error.empty()) {
            Complain(where + line.error);
            return 2;
        }
        if (line.words.empty()) continue;
        const auto command = Commands().find(line.words[0]);
        if (command == Commands().end()) {
            Complain(
                Line({where, "unknown command ", Quote(line.words[0]), " (see wizdriver --help)"}));
            return 2;
        }
        const Args args(line.words.begin() + 1, line.words.end());
        if (args.size() < command->second.least || args.size() > command->second.most) {
            Complain(where + "usage: " + command->second.usage);
            return 2;
        }
        try {
            Print(command->second.run(session, args));
        } catch (const std::invalid_argument& e) {
            Complain(where + e.what());
            return 2;
        } catch (const std::exception& e) {
            Complain(where + line.words[0] + ": " + e.what());
            return 1;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    Milliseconds timeout = std::chrono::seconds(10);
    std::string script;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (argument == "--timeout" && i + 1 < argc) {
            const auto seconds = wizard::script::ParseSeconds(argv[++i]);
            if (!seconds) {
                Complain(std::string("not a number of seconds: ") + argv[i]);
                return 2;
            }
            timeout = *seconds;
        } else if (script.empty() && (argument == "-" || argument[0] != '-')) {
            script = argument;
        } else {
            Complain("usage: wizdriver [--timeout SECONDS] [SCRIPT | -]  (see --help)");
            return 2;
        }
    }
    if (script.empty() || script == "-") return Run(std::cin, timeout);
    std::ifstream file(script, std::ios::binary);
    if (!file) {
        Complain("cannot read " + script);
        return 2;
    }
    return Run(file, timeout);
}
