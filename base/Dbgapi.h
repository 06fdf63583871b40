// The debug-output entry points the wizard exports for outside tools. They are kept for
// callers that look them up by name and deliberately do nothing.
#pragma once

extern "C" {
void DBGOpen(const char* name);
void DBGOpenAs();
void DBGSave(const char* name);
void DBGSaveAs();
void DBGPrint(const char* text);
void _DBGPrintf();
void DBGShow();
void DBGHide();
void DBGClear();
}
