// The plug-in loaded into HotSync Manager's process. What GetScanners hands out is checked
// before it is used: a plug-in is outside code, and a table it hands out broken must not take
// HotSync Manager down with it.
#include <windows.h>

#include "base/PeImage.h"
#include "base/VirusScannerApi.h"
#include "conduit/ScannerPlugin.h"

namespace {

// No plug-in has anywhere near this many; a larger count is a broken table.
constexpr int32_t kMostScanners = 256;

std::string Text(const char* text) { return text ? text : ""; }

class Win32Scanners : public LoadedScanners {
public:
    Win32Scanners(HMODULE module, const VirusScanner* table, size_t count, std::string version,
                  std::string list, std::string download)
        : module_(module),
          table_(table),
          count_(count),
          version_(std::move(version)),
          list_(std::move(list)),
          download_(std::move(download)) {}
    ~Win32Scanners() override { FreeLibrary(module_); }
    Win32Scanners(const Win32Scanners&) = delete;
    Win32Scanners& operator=(const Win32Scanners&) = delete;

    const std::string& Version() const override { return version_; }
    const std::string& UpdateListUrl() const override { return list_; }
    const std::string& DownloadUrl() const override { return download_; }
    size_t Count() const override { return count_; }
    std::string Name(size_t scanner) override {
        return table_[scanner].name ? Text(table_[scanner].name()) : std::string();
    }
    std::string ScannerVersion(size_t scanner) override {
        return table_[scanner].version ? Text(table_[scanner].version()) : std::string();
    }
    bool Scan(size_t scanner, const std::string& path, bool& infected) override {
        if (!table_[scanner].scan) return false;
        int32_t found = 0;
        if (table_[scanner].scan(path.c_str(), &found) != 0) return false;
        infected = found != 0;
        return true;
    }

private:
    HMODULE module_;
    const VirusScanner* table_;
    size_t count_;
    std::string version_, list_, download_;
};

class Win32Plugin : public ScannerPlugin {
public:
    explicit Win32Plugin(std::string path) : path_(std::move(path)) {}
    const std::string& Path() const override { return path_; }
    uint16_t Machine() const override {
#if defined(_WIN64)
        return pe::kMachineAmd64;
#else
        return pe::kMachineI386;
#endif
    }
    std::unique_ptr<LoadedScanners> Load() override {
        // A library the plug-in needs and cannot find must not put up a box inside HotSync
        // Manager; its own folder is searched for what it brings along.
        const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
        HMODULE module = LoadLibraryExA(path_.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        SetErrorMode(oldMode);
        if (!module) return nullptr;
        const auto get = reinterpret_cast<GetScannersCall>(
            reinterpret_cast<void*>(GetProcAddress(module, kGetScannersExport)));
        const VirusScanner* table = nullptr;
        int32_t count = 0;
        const char *version = nullptr, *list = nullptr, *download = nullptr;
        if (!get || get(&table, &count, &version, &list, &download) != 0 || count < 0 ||
            count > kMostScanners || (count > 0 && !table)) {
            FreeLibrary(module);
            return nullptr;
        }
        return std::make_unique<Win32Scanners>(module, table, static_cast<size_t>(count),
                                               Text(version), Text(list), Text(download));
    }

private:
    std::string path_;
};

}  // namespace

std::unique_ptr<ScannerPlugin> MakeScannerPlugin(const std::string& path) {
    return std::make_unique<Win32Plugin>(path);
}
