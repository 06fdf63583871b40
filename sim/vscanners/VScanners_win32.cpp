// VScanners.dll, the test virus-scanner plug-in (conventions in sim/vscanners/TestPlugin.h).
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <type_traits>

#include "base/VirusScannerApi.h"
#include "sim/vscanners/TestPlugin.h"

#ifndef KESTREL_VSCANNERS_VERSION
#error "the build names the plug-in's version"
#endif

namespace {

// What GetScanners hands out must outlive the call: kept here until the next call.
std::string g_list, g_download;

std::string OwnFolder() {
    HMODULE self = nullptr;
    GetModuleHandleExA(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCSTR>(&OwnFolder), &self);
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
    const std::string own(path, length);
    return own.substr(0, own.find_last_of("\\/") + 1);
}

void ReadAddresses() {
    g_list.clear();
    g_download.clear();
    std::ifstream in(OwnFolder() + testplugin::kAddressFile);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        for (auto [key, value] : {std::pair{testplugin::kListKey, &g_list},
                                  std::pair{testplugin::kDownloadKey, &g_download}})
            if (line.rfind(key, 0) == 0) *value = line.substr(std::string(key).size());
    }
}

// 0 when the file was read (up to its first `most` bytes); *infected says whether that part
// holds the marker. Read in pieces, the end of each kept for a marker that straddles two.
int32_t ScanFile(const char* path, size_t most, int32_t* infected) {
    if (!path || !infected) return 1;
    std::ifstream in(path, std::ios::binary);
    if (!in) return 1;
    const std::string marker = testplugin::kMarker;
    std::string window;
    char piece[65536];
    for (size_t read = 0; read < most && in;) {
        const size_t want = std::min(sizeof piece, most - read);
        in.read(piece, static_cast<std::streamsize>(want));
        const auto got = static_cast<size_t>(in.gcount());
        read += got;
        window.append(piece, got);
        if (window.find(marker) != std::string::npos) {
            *infected = 1;
            return 0;
        }
        if (window.size() >= marker.size()) window.erase(0, window.size() - marker.size() + 1);
    }
    if (in.bad()) return 1;
    *infected = 0;
    return 0;
}

const char* KESTREL_STDCALL MarkerName() { return testplugin::kMarkerScanner; }
const char* KESTREL_STDCALL HeadName() { return testplugin::kHeadScanner; }
const char* KESTREL_STDCALL Version() { return KESTREL_VSCANNERS_VERSION; }
int32_t KESTREL_STDCALL ScanWhole(const char* path, int32_t* infected) {
    return ScanFile(path, SIZE_MAX, infected);
}
int32_t KESTREL_STDCALL ScanHead(const char* path, int32_t* infected) {
    return ScanFile(path, testplugin::kHeadSize, infected);
}

const VirusScanner kScanners[] = {{MarkerName, Version, ScanWhole, nullptr},
                                  {HeadName, Version, ScanHead, nullptr}};

}  // namespace

extern "C" int32_t KESTREL_STDCALL GetScanners(const VirusScanner** table, int32_t* count,
                                               const char** version, const char** updateListUrl,
                                               const char** downloadUrl) {
    if (!table || !count || !version || !updateListUrl || !downloadUrl) return 1;
    ReadAddresses();
    *table = kScanners;
    *count = static_cast<int32_t>(std::size(kScanners));
    *version = KESTREL_VSCANNERS_VERSION;
    *updateListUrl = g_list.c_str();
    *downloadUrl = g_download.c_str();
    return 0;
}
static_assert(std::is_same_v<decltype(&GetScanners), GetScannersCall>);
