#include "base/Log.h"

#include <cstdarg>

namespace {

int g_threshold = -1;
std::FILE* g_file = nullptr;
unsigned char g_fileEnabled = 0;
bool g_writeFailed = false;
char g_buffer[4096];

}  // namespace

void PrintMessage(int level, const char* format, ...) {
    if (level > g_threshold) return;
    va_list args;
    va_start(args, format);
    std::vsnprintf(g_buffer, sizeof g_buffer, format, args);
    va_end(args);
    if (g_fileEnabled && g_file) {
        if (std::fprintf(g_file, "%s\n", g_buffer) < 0 || std::fflush(g_file) != 0)
            g_writeFailed = true;
    }
}

void CloseLog() {
    if (g_file && std::fclose(g_file) != 0) g_writeFailed = true;
    g_file = nullptr;
    g_fileEnabled = 0;
}

int LogThreshold() { return g_threshold; }

void SetLogThreshold(int threshold) { g_threshold = threshold; }

bool OpenLogFile(const char* path) {
    CloseLog();
    g_writeFailed = false;
    g_file = std::fopen(path, "a");
    g_fileEnabled = g_file ? 1 : 0;
    return g_file != nullptr;
}

const char* LastLogLine() { return g_buffer; }

bool LogWriteFailed() { return g_writeFailed; }
