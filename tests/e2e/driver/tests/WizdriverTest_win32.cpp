// wizdriver.exe as a shell script uses it: a script on standard input works the test wizard
// and every command answers one line; the first failure ends it with status 1 and says what
// was there instead; a script it cannot read ends it with status 2.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>

namespace {

std::string ProgramFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string program = path;
    return program.substr(0, program.find_last_of('\\'));
}

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

struct Outcome {
    DWORD status = 0;
    std::string out;
    std::string err;
};

HANDLE Inheritable(const std::string& path, bool write) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileA(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ,
                       &inherit, write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

// Runs wizdriver with `arguments` and `script` on its standard input.
Outcome Wizdriver(const std::string& script, const std::string& arguments = {}) {
    const std::string base = ProgramFolder() + "\\wizdriver_test_" +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::ofstream(base + ".in", std::ios::binary) << script;
    HANDLE in = Inheritable(base + ".in", false);
    HANDLE out = Inheritable(base + ".out", true);
    HANDLE err = Inheritable(base + ".err", true);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION info{};
    std::string line = ProgramFolder() + "\\wizdriver.exe";
    line.insert(line.begin(), '"');
    line += "\" " + arguments;
    Outcome run;
    if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &info)) {
        if (WaitForSingleObject(info.hProcess, 120000) != WAIT_OBJECT_0)
            TerminateProcess(info.hProcess, 99);
        GetExitCodeProcess(info.hProcess, &run.status);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    } else {
        run.status = 98;
    }
    CloseHandle(in);
    CloseHandle(out);
    CloseHandle(err);
    run.out = ReadFile(base + ".out");
    run.err = ReadFile(base + ".err");
    for (const char* ending : {".in", ".out", ".err"}) DeleteFileA((base + ending).c_str());
    return run;
}

// Ends a test wizard that a failed script left running, so that the tests after it find only
// their own. Known by its window, not by a process id that may have been given out again.
void EndStrayTestWizards() {
    for (int tries = 0; tries < 5; ++tries) {
        HWND window = FindWindowA(nullptr, "Driver Test Wizard");
        if (!window) return;
        DWORD id = 0;
        GetWindowThreadProcessId(window, &id);
        if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id)) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 5000);
            CloseHandle(process);
        }
    }
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

TEST(Wizdriver, AScriptWorksTheWizardAndEveryCommandAnswersALine) {
    const std::string shot = ProgramFolder() + "\\wizdriver_shot.png";
    // The box's caption in UTF-8, as a script file would hold it; tabs split the type line.
    const std::string script =
        "# works the test wizard\n"
        "start " +
        ProgramFolder() +
        "\\driver_test_wizard.exe\n"
        "wait \"Driver Test Wizard\"\n"
        "state \"Driver Test Wizard\" \"< &Back\"\n"
        "press \"Driver Test Wizard\" \"&Next >\"\n"
        "expect \"Driver Test Wizard\" #1020 \"Next pressed 1\" 5\n"
        "state \"Driver Test Wizard\" \"< &Back\"\n"
        "type\tDriver Test Wizard\t[Edit]#1001\tBob Smith\n"
        "text \"Driver Test Wizard\" #1020\n"
        "press \"Driver Test Wizard\" &Ask\n"
        "box Probl\xC3\xA8me\n"
        "answer &Yes\n"
        "expect \"Driver Test Wizard\" #1020 \"Answer: Yes\"\n"
        "press \"Driver Test Wizard\" &Fail\n"
        "answer OK *\n"
        "shot \"Driver Test Wizard\" " +
        shot +
        "\n"
        "press \"Driver Test Wizard\" &Cancel\n"
        "ended 10\n";
    const Outcome run = Wizdriver(script);
    EXPECT_EQ(run.status, 0u) << run.err;
    const std::vector<std::string> lines = Lines(run.out);
    EndStrayTestWizards();
    const std::vector<std::string> expected = {
        "",  // the process id, checked below
        "window \"Driver Test Wizard\"",
        "disabled visible",
        "pressed \"&Next >\"",
        "\"Next pressed 1\"",
        "enabled visible",
        "typed \"Bob Smith\"",
        "\"Name: Bob Smith\"",
        "pressed \"&Ask\"",
        "box \"Probl\xC3\xA8me\" \"Continue with \\\"Ann\\\"?\\nSecond line\" buttons \"&Yes\" "
        "\"&No\"",
        "answered \"&Yes\" in \"Probl\xC3\xA8me\"",
        "\"Answer: Yes\"",
        "pressed \"&Fail\"",
        "answered \"OK\" in \"Critical Error\"",
        "",  // the picture's size, checked below
        "pressed \"&Cancel\"",
        "exit code 0",
    };
    ASSERT_EQ(lines.size(), expected.size()) << run.out << run.err;
    EXPECT_TRUE(std::regex_match(lines[0], std::regex("started process [0-9]+"))) << lines[0];
    EXPECT_TRUE(
        std::regex_match(lines[14], std::regex("saved .*wizdriver_shot\\.png [0-9]+x[0-9]+")))
        << lines[14];
    for (size_t i = 0; i < lines.size(); ++i)
        if (!expected[i].empty()) {
            EXPECT_EQ(lines[i], expected[i]);
        }
    EXPECT_EQ(ReadFile(shot).substr(1, 3), "PNG");
    DeleteFileA(shot.c_str());
}

TEST(Wizdriver, TheFirstFailureEndsTheScriptAndSaysWhatWasThere) {
    const Outcome run = Wizdriver("timeout 0.5\nwindows\nwait \"No Such Window\"\nwindows\n");
    EXPECT_EQ(run.status, 1u);
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "timeout 0.5 s");
    EXPECT_EQ(run.err.find("wizdriver: line 3: wait: no window \"No Such Window\" was shown "
                           "within 0.5 s; shown windows: "),
              0u)
        << run.err;
}

TEST(Wizdriver, AScriptItCannotReadEndsItWithStatusTwo) {
    const struct {
        const char* script;
        const char* complaint;
    } cases[] = {
        {"frobnicate x\n", "wizdriver: line 1: unknown command \"frobnicate\""},
        {"\n# fine\npress OnlyOne\n", "wizdriver: line 3: usage: press CAPTION CONTROL [SECONDS]"},
        {"wait \"open\n", "wizdriver: line 1: the quote opened at column 6 is not closed"},
        {"wait Welcome soon\n", "wizdriver: line 1: not a number of seconds: soon"},
    };
    for (const auto& c : cases) {
        const Outcome run = Wizdriver(c.script);
        EXPECT_EQ(run.status, 2u) << c.script;
        EXPECT_EQ(run.err.find(c.complaint), 0u) << run.err;
    }
    const Outcome help = Wizdriver("", "--help");
    EXPECT_EQ(help.status, 0u);
    EXPECT_NE(help.out.find("wait CAPTION [SECONDS]"), std::string::npos);
    EXPECT_EQ(Wizdriver("", "--timeout never").status, 2u);
}

}  // namespace
