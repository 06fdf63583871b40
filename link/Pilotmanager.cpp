#include "link/Pilotmanager.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#include "base/Log.h"
#include "link/CommPort.h"
#include "link/Guicallback.h"
#include "link/Loader.h"
#include "link/PalmDebugger.h"
#include "link/SLK.h"
#include "link/UpdateJob.h"

namespace {

// Where a running loader is looked for, in order. A freshly started one listens at the
// connecting speed; one that a cut-short run left at the high speed (its line died, the
// program was killed) listens there still, and a brief look there finds it.
struct LoaderSpeed {
    uint32_t rate;
    int attempts;
};
constexpr LoaderSpeed kLoaderSpeeds[] = {{kConnectLineSpeed, TCmd::kAttempts}, {kHighLineSpeed, 1}};
constexpr uint32_t kLoaderSettleMs = 500;  // the loader needs a moment after it was started
constexpr uint16_t kMinLoaderVersion = 30;
constexpr int kBaudRateQueries = 5;
constexpr uint8_t kLowBatteryPercent = 19;  // this much or less is too little to flash

// The RAM store is wiped by overwriting its start: one block of 0xFF here, written three times.
constexpr uint32_t kRamStoreOffset = 0x40000;
constexpr uint32_t kRamStoreBlock = 4096;
constexpr int kRamStoreWrites = 3;

}  // namespace

TPilotManager::TPilotManager(GuiCallback* callback, std::unique_ptr<SerialEdge> edge)
    : callback_(callback) {
    // Parts that could not be made stay absent; every operation then answers -1201 or -904
    // instead of the wizard failing at start-up.
    port_.reset(new (std::nothrow) TCommPort(std::move(edge)));
    // The page that shows the progress stays alive while the port waits on the line.
    if (port_) port_->SetIdle(callback_);
    if (port_) slk_.reset(new (std::nothrow) TSLK(port_.get()));
    if (slk_) {
        debugger_.reset(new (std::nothrow) TPalmDebugger(slk_.get(), callback_));
        loader_.reset(new (std::nothrow) TLoader(slk_.get()));
    }
}

TPilotManager::~TPilotManager() {
    debugger_.reset();
    loader_.reset();
    slk_.reset();
    // Nobody is left to tell of a port that would not close.
    if (port_) (void)port_->Close();
    port_.reset();
}

TResult TPilotManager::OpenPort(const char* portName) {
    if (!port_) return rc::NoEngine;
    if (const TResult r = port_->SetPortName(portName)) return r;
    if (const TResult r = port_->SetBaudRate(kConnectLineSpeed)) return r;
    return port_->Open();
}

TResult TPilotManager::ConnectDebugger() {
    if (!port_ || !slk_ || !debugger_) return rc::NoEngine;
    if (const TResult r = port_->SetBaudRate(kConnectLineSpeed)) return r;
    if (const TResult r = debugger_->QueryState()) return r;
    state_ = DebuggerAnswered;
    return rc::Success;
}

TResult TPilotManager::UploadLoader(const uint8_t* image, uint32_t size, uint32_t bufferSize) {
    if (!port_ || !slk_ || !debugger_) return rc::NoEngine;
    return debugger_->UploadLoader(image, size, bufferSize);
}

TResult TPilotManager::StartLoader() {
    if (!port_ || !slk_ || !loader_ || !loader_->Cmd()) return rc::NoEngine;
    port_->Pause(kLoaderSettleMs);
    // A loader not answering yet is worth another try; a line that is gone is not.
    bool answered = false;
    for (const LoaderSpeed& speed : kLoaderSpeeds) {
        if (port_->BaudRate() != speed.rate) (void)port_->SetBaudRate(speed.rate);
        if (loader_->Handshake(speed.attempts) == rc::Success) {
            answered = true;
            break;
        }
        if (port_->LineDropped()) return rc::ConnectionLost;
    }
    if (!answered) {
        (void)port_->SetBaudRate(kConnectLineSpeed);
        return rc::CommTimeout;
    }
    if (loader_->LoaderVersion() < kMinLoaderVersion) return rc::BadLoaderVersion;
    // A chip the loader cannot program is named as such: it is no fault of the line.
    if (const TResult r = loader_->BuildChipTable())
        return r == rc::ChipNotRecognised ? r : rc::CommError;
    // A loader that answered its version and chip list knows the hardware-id query: silence
    // now is a line that died, not a handheld of another kind (which reports its own type).
    if (const TResult r = loader_->QueryDeviceType(&deviceType_)) return r;
    // The loader goes to the speed asked for; should the switch fail, the next command finds
    // out, as a lost connection.
    const uint32_t wanted = options_.highSpeed ? kHighLineSpeed : kConnectLineSpeed;
    if (port_->BaudRate() != wanted) (void)SetBaudRate(wanted);
    state_ = LoaderConnected;
    return rc::Success;
}

TResult TPilotManager::SetBaudRate(uint32_t bitsPerSecond) {
    if (!loader_ || !loader_->Cmd() || !port_) return rc::NotConnected;
    if (const TResult r = loader_->Cmd()->SetLineSpeed(bitsPerSecond)) return r;
    // The loader has moved on; a port that cannot follow shows in the version queries below.
    (void)port_->SetBaudRate(bitsPerSecond);
    TResult result = rc::Success;
    for (int i = 0; i < kBaudRateQueries; ++i) {
        result = loader_->Handshake();
        if (result == rc::Success) break;
    }
    return result;
}

TResult TPilotManager::CheckBattery() {
    if (!loader_ || !loader_->Cmd()) return rc::NotConnected;
    uint8_t percent = 0;
    if (loader_->Cmd()->BatteryPercent(&percent) != rc::Success) return rc::CommError;
    return percent > kLowBatteryPercent ? rc::Success : rc::BatteryLow;
}

TResult TPilotManager::FlashCapacity(uint32_t* bytes) {
    if (!loader_) return rc::NotConnected;
    if (bytes) *bytes = loader_->FlashCapacity();
    return rc::Success;
}

TResult TPilotManager::EraseRamStore() {
    if (!loader_) return rc::NoEngine;
    unfinished_ = true;
    uint32_t base = 0;
    if (const TResult r = loader_->RamBase(&base)) return r;
    const uint32_t address = base + kRamStoreOffset;  // wraps, as the handheld's bus does
    std::unique_ptr<uint8_t[]> fill(new (std::nothrow) uint8_t[kRamStoreBlock]);
    if (!fill) return rc::NoEngine;
    std::memset(fill.get(), 0xFF, kRamStoreBlock);
    TResult result = rc::Success;
    for (int i = 0; i < kRamStoreWrites && result == rc::Success; ++i)
        result = loader_->WriteRAM(address, fill.get(), kRamStoreBlock);
    return result;
}

TResult TPilotManager::FlashOsImage(const std::shared_ptr<const UpdateImage>& image) {
    if (!loader_) return rc::NotConnected;
    UpdateJob job(callback_, loader_.get(), options_.advancedMode);
    const TResult result = job.FlashOsImage(image);
    // Advanced mode is finished by its RAM data.
    if (result == rc::Success && !options_.advancedMode) unfinished_ = false;
    return result;
}

TResult TPilotManager::InstallRamImage(const std::shared_ptr<const UpdateImage>& image) {
    if (!loader_) return rc::NotConnected;
    UpdateJob job(callback_, loader_.get(), options_.advancedMode);
    const TResult result = job.InstallRamImage(image);
    if (result == rc::Success) unfinished_ = false;
    return result;
}

TResult TPilotManager::Disconnect() {
    if (state_ == LoaderConnected && loader_ && loader_->Cmd()) {
        if (!unfinished_) {
            // The loader leaves whether or not its goodbye is answered; the port closes
            // either way.
            (void)loader_->Cmd()->Leave();
        } else if (port_ && port_->BaudRate() != kConnectLineSpeed) {
            // A loader that does not follow is found out by the next run's silence.
            (void)SetBaudRate(kConnectLineSpeed);
        }
    }
    state_ = Idle;
    if (!port_) return rc::Success;
    return port_->Close();
}

TResult UtlLoadFile(const char* path, uint8_t* buffer, uint32_t* size) {
    std::error_code error;
    const std::uintmax_t fileSize =
        path ? std::filesystem::file_size(std::filesystem::path(path), error) : 0;
    if (!path || error) {
        PrintMessage(2, "Unable to stat file %s\n", path ? path : "");
        return rc::FileReadError;
    }
    if (!size || fileSize > *size || (fileSize != 0 && !buffer)) {
        PrintMessage(2, "UtlLoadFile: File size bigger than given buffer!\n");
        return rc::FileReadError;
    }
    const auto length = static_cast<uint32_t>(fileSize);  // fits: it is within *size
    *size = length;
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        PrintMessage(2, "Unable to open file %s\n", path);
        return rc::FileOpenError;
    }
    const std::size_t got = length ? std::fread(buffer, 1, length, file) : 0;
    std::fclose(file);
    if (got < length) {
        PrintMessage(2, "Unable to read file %s\n", path);
        return rc::FileReadError;
    }
    return rc::Success;
}
