#include "base/Dbgapi.h"

extern "C" {
void DBGOpen(const char*) {}
void DBGOpenAs() {}
void DBGSave(const char*) {}
void DBGSaveAs() {}
void DBGPrint(const char*) {}
void _DBGPrintf() {}
void DBGShow() {}
void DBGHide() {}
void DBGClear() {}
}
