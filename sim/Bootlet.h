// Bootlet.prc, the serial loader file as the kit ships it to a handheld: a Palm resource
// database ("Bootlet", type 'appl', creator 'KBlt') whose code resource carries the loader
// entry mark at an even file offset. The simulated handheld plays the loader itself; the code
// bytes only need to bring the mark to the place the desktop looks for it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/PalmDatabase.h"

// What makes a database the loader, for a handheld that finds it installed in RAM.
constexpr const char* kBootletName = "Bootlet";
constexpr uint32_t kBootletType = palmdb::FourCc("appl");
constexpr uint32_t kBootletCreator = palmdb::FourCc("KBlt");
bool IsBootlet(const PalmDatabase& database);

PalmDatabase BuildBootletDatabase();
std::vector<uint8_t> BuildBootletPrc();
// Writes the file, creating its directory if needed.
bool WriteBootletPrc(const std::string& path, std::string& error);
