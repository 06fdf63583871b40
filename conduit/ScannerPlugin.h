// The virus-scanner plug-in "VScanners.dll" as the conduit uses it: loaded from its place,
// asked once for its scanners (GetScanners, base/VirusScannerApi.h), its scanners called,
// unloaded. The Win32 binding loads the library for real; natively there is no Windows
// library to load, and tests hand in a plug-in of their own.
//
// The conduit never lets the library's code run before it has judged the file from its bytes
// (conduit/VirusScan.h), so this edge only loads what was judged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// The plug-in's file, in the folder of the conduit's own file.
constexpr const char* kScannerPluginFile = "VScanners.dll";

// One loaded plug-in; destroying it unloads the library.
class LoadedScanners {
public:
    virtual ~LoadedScanners() = default;

    // What GetScanners handed out, copied when it was called.
    virtual const std::string& Version() const = 0;
    virtual const std::string& UpdateListUrl() const = 0;
    virtual const std::string& DownloadUrl() const = 0;

    virtual size_t Count() const = 0;
    virtual std::string Name(size_t scanner) = 0;
    virtual std::string ScannerVersion(size_t scanner) = 0;
    // False when the scanner could not scan the file; `infected` otherwise says what it found.
    virtual bool Scan(size_t scanner, const std::string& path, bool& infected) = 0;
};

class ScannerPlugin {
public:
    virtual ~ScannerPlugin() = default;

    // Where the plug-in lives (a desktop path, as DesktopFiles takes it).
    virtual const std::string& Path() const = 0;
    // The machine type (base/PeImage.h) of the libraries this process can load.
    virtual uint16_t Machine() const = 0;
    // Loads the library at Path() and calls GetScanners; nullptr when the library does not
    // load, lacks the export, or hands out no usable table.
    virtual std::unique_ptr<LoadedScanners> Load() = 0;
};

// The plug-in at `path`.
std::unique_ptr<ScannerPlugin> MakeScannerPlugin(const std::string& path);
