// The test virus-scanner plug-in VScanners.dll (sim/vscanners/), test and demo equipment that
// stands in for a real scanner vendor's plug-in; never in the kit. Its conventions, for the
// tests and the demo that use it:
//
// - Two scanners, "Kestrel Marker Scanner" (the whole file) and "Kestrel Head Scanner" (the
//   file's first kHeadSize bytes), each reporting a file as infected when it holds kMarker.
//   A file that cannot be opened is one they cannot scan.
// - Its version (the plug-in's and each scanner's) is set when it is built: the build makes a
//   "1.0" and a newer "2.0" (sim/vscanners/CMakeLists.txt).
// - The addresses of its update list and of the newer plug-in come from the text file
//   kAddressFile beside the DLL, read at each GetScanners: lines "list=URL" and
//   "download=URL". Without the file, or a line, the address is empty (no update can work).
#pragma once

#include <cstddef>

namespace testplugin {

constexpr const char* kMarker = "KESTREL-TEST-VIRUS";
constexpr size_t kHeadSize = 4096;
constexpr const char* kMarkerScanner = "Kestrel Marker Scanner";
constexpr const char* kHeadScanner = "Kestrel Head Scanner";
constexpr const char* kAddressFile = "VScanners.txt";
constexpr const char* kListKey = "list=";
constexpr const char* kDownloadKey = "download=";

}  // namespace testplugin
