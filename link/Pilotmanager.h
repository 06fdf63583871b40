// The one object through which the wizard and the command line reach the handheld: it owns
// the serial port, the packet link, the ROM debugger link and the loader model, and offers
// the steps of an update.
#pragma once

#include <cstdint>
#include <memory>

#include "base/ResultCodes.h"
#include "link/Commands.h"
#include "link/SerialEdge.h"

class TCommPort;
class TSLK;
class TPalmDebugger;
class TLoader;
class GuiCallback;
class UpdateImage;

// What the engine reads of the wizard's settings.
struct LinkOptions {
    bool advancedMode = false;  // progress scale, and RAM data is installed
    bool highSpeed = false;     // 115200 bit/s once the loader answers
};

class TPilotManager {
public:
    enum State : uint8_t { Idle = 0, DebuggerAnswered = 1, LoaderConnected = 2 };

    explicit TPilotManager(GuiCallback* callback,
                           std::unique_ptr<SerialEdge> edge = MakeSerialEdge());
    ~TPilotManager();
    TPilotManager(const TPilotManager&) = delete;
    TPilotManager& operator=(const TPilotManager&) = delete;

    LinkOptions& Options() { return options_; }

    [[nodiscard]] TResult OpenPort(const char* portName);
    [[nodiscard]] TResult ConnectDebugger();
    [[nodiscard]] TResult UploadLoader(const uint8_t* image, uint32_t size, uint32_t bufferSize);
    [[nodiscard]] TResult StartLoader();
    [[nodiscard]] TResult SetBaudRate(uint32_t bitsPerSecond);
    [[nodiscard]] TResult CheckBattery();
    bool IsConnected() const { return state_ == LoaderConnected; }
    uint8_t DeviceType() const { return deviceType_; }
    [[nodiscard]] TResult FlashCapacity(uint32_t* bytes);
    [[nodiscard]] TResult EraseRamStore();
    [[nodiscard]] TResult FlashOsImage(const std::shared_ptr<const UpdateImage>& image);
    [[nodiscard]] TResult InstallRamImage(const std::shared_ptr<const UpdateImage>& image);
    // Tells the loader to leave and closes the port. While an update is unfinished (below)
    // the loader is not told to leave: the handheld would boot half an OS and could not be
    // reached again without its ROM debugger. It is put back to the speed a fresh loader
    // listens at instead, so that the next run finds it.
    [[nodiscard]] TResult Disconnect();

    // From the RAM-store erase until the OS (and in advanced mode the RAM data) is written
    // whole, the handheld holds no working OS.
    bool UpdateUnfinished() const { return unfinished_; }

    State CurrentState() const { return static_cast<State>(state_); }
    TCommPort* Port() const { return port_.get(); }
    TLoader* Loader() const { return loader_.get(); }

private:
    uint8_t state_ = Idle;
    bool unfinished_ = false;
    uint8_t deviceType_ = 0;
    std::unique_ptr<TCommPort> port_;
    std::unique_ptr<TSLK> slk_;
    std::unique_ptr<TPalmDebugger> debugger_;
    std::unique_ptr<TLoader> loader_;
    GuiCallback* callback_;
    LinkOptions options_;
};

// Reads a whole file into `buffer`; `size` holds the buffer's size on entry and the file's
// size on success. 0, -1000 (cannot open) or -1002 (cannot size or read, or too big).
[[nodiscard]] TResult UtlLoadFile(const char* path, uint8_t* buffer, uint32_t* size);
