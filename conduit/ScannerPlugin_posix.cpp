// Natively there is no Windows library to load: the plug-in never loads, and a run that asks
// for scanning says the scanners could not be loaded.
#include "conduit/ScannerPlugin.h"

namespace {

class NoPlugin : public ScannerPlugin {
public:
    explicit NoPlugin(std::string path) : path_(std::move(path)) {}
    const std::string& Path() const override { return path_; }
    uint16_t Machine() const override { return 0; }
    std::unique_ptr<LoadedScanners> Load() override { return nullptr; }

private:
    std::string path_;
};

}  // namespace

std::unique_ptr<ScannerPlugin> MakeScannerPlugin(const std::string& path) {
    return std::make_unique<NoPlugin>(path);
}
