#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "sim/Bootlet.h"
#include "sim/hotsync/World.h"
#include "sim/hotsync/tests/HotSyncTestData.h"
#include "tests/e2e/wizard/WizardWorld.h"

namespace e2e {

namespace {

constexpr const char* kUser = "Ann Smith";
constexpr DWORD kReplyWaitMs = 60000;

std::string ProgramFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\'));
}

void Copy(const std::string& from, const std::string& to) {
    if (!CopyFileA(from.c_str(), to.c_str(), FALSE))
        ADD_FAILURE() << "copying " << from << " to " << to << ": error " << GetLastError();
}

std::vector<uint8_t> Text(const std::string& text) {
    std::vector<uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    return data;
}

HWND HotSyncMainWindow() { return FindWindowA(nullptr, kHotSyncManager); }

bool WaitFor(const std::function<bool()>& condition, DWORD ms) {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < ms; Sleep(20))
        if (condition()) return true;
    return condition();
}

}  // namespace

std::string Linux::Work(const std::string& relative) {
    const char* work = std::getenv("KESTREL_E2E_WORK");
    if (!work) throw std::runtime_error("KESTREL_E2E_WORK is not set: run under wizard_world.sh");
    std::string path = std::string("Z:") + work;
    if (!relative.empty()) path += "/" + relative;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::string Linux::Ask(const std::string& request) {
    const std::string requestPath = Work("request"), replyPath = Work("reply");
    const std::string temporary = requestPath + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary);
        out << request << "\n";
    }
    DeleteFileA(replyPath.c_str());
    if (!MoveFileExA(temporary.c_str(), requestPath.c_str(), MOVEFILE_REPLACE_EXISTING))
        throw std::runtime_error("cannot hand over the request " + request);
    if (!WaitFor([&] { return GetFileAttributesA(replyPath.c_str()) != INVALID_FILE_ATTRIBUTES; },
                 kReplyWaitMs))
        throw std::runtime_error("the Linux half did not answer " + request);
    std::ifstream in(replyPath, std::ios::binary);
    std::string reply;
    std::getline(in, reply);
    in.close();
    DeleteFileA(replyPath.c_str());
    if (reply.rfind("ok", 0) == 0) return reply.size() > 3 ? reply.substr(3) : std::string();
    ADD_FAILURE() << request << ": " << reply;
    return {};
}

Desk::Desk(const std::string& stateName, int databases)
    : world(kUser), state(Linux::Work(stateName)), store(state) {
    palm = world.Root() + "\\Palm";
    kit = world.Root() + "\\Kit";
    CreateDirectoryA(palm.c_str(), nullptr);
    CreateDirectoryA(kit.c_str(), nullptr);
    const std::string here = ProgramFolder();
    for (const char* file : {"HotSync.exe", "hsapi.dll", "instaide.dll", "userdata.dll",
                             "sync20.dll", "hslog20.dll", "condmgr.dll", "pdcmn21.dll"})
        Copy(here + "\\" + file, palm + "\\" + file);
    for (const char* file : {"Kestrelup.exe", "Kestrelup.DEU", "Kestrelup.FRA", "kvrnotify.dll",
                             "stashkick.dll", "stashmate.dll"})
        Copy(here + "\\" + file, kit + "\\" + file);
    std::string error;
    if (!WriteBootletPrc(kit + "\\sys\\Bootlet.prc", error)) ADD_FAILURE() << error;

    world.SetHotSyncPath(palm + "\\HotSync.exe");
    world.SetSetting(hsworld::kHandheld, state);
    desktopName_ = stateName + "-desktop";
    CreateDirectoryA(Linux::Work(desktopName_).c_str(), nullptr);
    world.SetSetting(hsworld::kDesktop, Linux::Work(desktopName_));
    // The user's own set-up: a notifier of another program, a backup conduit of a type
    // HotSync Manager also reads, the cradle on COM3, and a value of HotSync Manager's own.
    world.SetHotSyncText("Notifier0", palm + "\\other.dll");
    world.SetHotSyncValue("BackupConduit", REG_EXPAND_SZ, Text("bakcn20.dll"));
    world.SetHotSyncText("DirectComPort", "com3");
    world.SetHotSyncValue("Window", REG_BINARY, {1, 2, 3, 4, 5});

    if (!store.WriteUser(kUser, error)) ADD_FAILURE() << error;
    for (int i = 0; i < databases; ++i) {
        const PalmDatabase db = TestDatabase("Database " + std::to_string(i), i % 5, i % 3 == 0,
                                             static_cast<uint8_t>(i + 1));
        if (!store.Write(StoreFolder::Ram, db, error)) ADD_FAILURE() << error;
    }
    if (!store.Write(StoreFolder::RomAdded, TestDatabase("Added to flash", 2, true, 99), error))
        ADD_FAILURE() << error;
}

Desk::~Desk() {
    driver.EndProcess();
    EndHotSyncManagers();
    Linux::Ask("stop");
}

void Desk::PutUpdate(const std::string& name) {
    Copy(Linux::Work("files/" + name + ".upd"), kit + "\\" + name + ".upd");
}

void Desk::StartHandheld(const std::string& options) {
    std::string name = state.substr(state.find_last_of('\\') + 1);
    Linux::Ask("start " + name + (options.empty() ? "" : " " + options));
}

void Desk::StopHandheld() { Linux::Ask("stop"); }

void Desk::Press(const std::string& button) { Linux::Ask("press " + button); }

void Desk::ExpectFlash(const std::string& mode, const std::string& file) {
    StopHandheld();
    std::string name = state.substr(state.find_last_of('\\') + 1);
    Linux::Ask("expect " + name + " " + mode + (file.empty() ? "" : " " + file + ".upd"));
}

std::string Desk::UserFolder() const { return Linux::Work(desktopName_) + "\\" + kUser; }

void Desk::Snapshot(const std::string& name) {
    Linux::Ask("snapshot " + state.substr(state.find_last_of('\\') + 1) + " " + name);
}

void Desk::CheckBackups(const std::string& snapshot, bool lagging) {
    Linux::Ask("backup-check " + snapshot + " " + desktopName_ + (lagging ? " lagging" : ""));
}

void Desk::StartWizard(const std::string& arguments) {
    std::string command = "\"" + kit + "\\Kestrelup.exe\"";
    if (!arguments.empty()) command += " " + arguments;
    driver.StartProcess(command);
}

void Desk::WaitWizardEnd() {
    const auto code = driver.WaitExit(std::chrono::seconds(20));
    EXPECT_TRUE(code.has_value()) << "the wizard did not end";
    if (!code) driver.EndProcess();
}

std::map<std::string, std::vector<uint8_t>> Desk::RamFiles() const {
    return FilesOf(store.FolderPath(StoreFolder::Ram));
}

bool Desk::HotSyncManagerRunning() const { return HotSyncMainWindow() != nullptr; }

void Desk::StartHotSyncManagerFirst() {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::string command = palm + "\\HotSync.exe";
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               palm.c_str(), &startup, &info));
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    firstHotSync_ = info.dwProcessId;
    ASSERT_TRUE(WaitFor([] { return HotSyncMainWindow() != nullptr; }, 15000));
}

void Desk::PressHotSync() {
    wizard::Window window = nullptr;
    driver.WaitUntil(
        [&] {
            for (const wizard::WindowInfo& info : driver.VisibleWindows())
                if (info.caption == kHotSyncManager && info.processId != firstHotSync_)
                    window = info.window;
            return window != nullptr;
        },
        "a HotSync Manager started by the wizard");
    driver.Press(driver.WaitControl(window, wizard::ControlRef::Text("HotSync")));
}

void Desk::Shot(const std::string& caption, const std::string& language, const std::string& name) {
    const std::string folder = Linux::Work("shots\\" + language);
    CreateDirectoryA(Linux::Work("shots").c_str(), nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string path = folder + "\\" + name + ".png";
    driver.SaveShot(driver.WaitWindow(caption), path);
    std::printf("screenshot %s\n", path.c_str());
}

void EndHotSyncManagers() {
    constexpr UINT kExitMessage = 0xBEC5;
    while (HWND window = HotSyncMainWindow()) {
        DWORD id = 0;
        GetWindowThreadProcessId(window, &id);
        HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id);
        SendMessageTimeoutA(window, kExitMessage, 1, 0, SMTO_ABORTIFHUNG, 2000, nullptr);
        if (process) {
            if (WaitForSingleObject(process, 5000) != WAIT_OBJECT_0) TerminateProcess(process, 1);
            WaitForSingleObject(process, 5000);
            CloseHandle(process);
        }
        if (HotSyncMainWindow() == window) break;
    }
}

}  // namespace e2e
