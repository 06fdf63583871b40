#include "link/ResultCodes.h"

#include <cstdio>
#include <cstring>

#include "support/Stringmgr.h"

namespace {

// Searched from the top: the first row with the code wins (0 appears twice on purpose; the
// second row, "Packet received", is never reached).
constexpr TResultCodeRow kCodeTable[] = {
    {0, 1000},      {-602, 1101},   {-603, 1102},   {-604, 1103},   {-605, 1104},
    {-606, 1105},   {-607, 1106},   {-608, 1107},   {-609, 1108},   {-610, 1109},
    {-611, 1201},   {-612, 1202},   {-613, 1203},   {-614, 1204},   {-700, 1301},
    {700, 1302},    {0, 1303},      {1000, 1401},   {1001, 1402},   {-1000, 1403},
    {-1001, 1404},  {-1002, 1405},  {-1003, 1406},  {-1004, 1407},  {-401, 1408},
    {-402, 1409},   {-403, 1410},   {-404, 1411},   {-405, 1412},   {-1200, 1501},
    {-1300, 1502},  {-100, 1503},   {-101, 1504},   {-104, 1505},   {-1101, 1601},
    {-1100, 1602},  {-1102, 1603},  {-1105, 1604},  {-301, 1701},   {-303, 1702},
    {-304, 1703},   {-305, 1704},   {-306, 1705},   {-307, 1706},   {-308, 1707},
    {-309, 1708},   {-6002, 1801},  {-6080, 1802},  {-6081, 1803},  {-6082, 1804},
    {-6083, 1805},  {-6084, 1901},  {-2050, 1902},  {-4000, 1903},  {-4001, 1904},
    {-4002, 1905},  {-900, 1906},   {-901, 1907},   {-902, 1908},   {-903, 1909},
    {-904, 1910},
};
static_assert(sizeof kCodeTable / sizeof kCodeTable[0] == 61);

constexpr int kFallbackId = 2000;

char g_errorText[256];

}  // namespace

std::span<const TResultCodeRow> ResultCodeTable() { return kCodeTable; }

int ErrorStringId(TResult code) {
    for (const TResultCodeRow& row : kCodeTable)
        if (row.code == code) return row.stringId;
    return kFallbackId;
}

const char* ErrorText(TResult code) {
    const int id = ErrorStringId(code);
    const char* text = StringManager().TryGetString(id);
    if (!text) text = "";
    if (id == kFallbackId) {
        // The fallback is a format with the code in signed decimal; it comes from the
        // string table (and may be translated), so it is used as a format only when it has
        // exactly one conversion and that one is %d.
        const char* conv = std::strchr(text, '%');
        const bool safe = conv && conv[1] == 'd' && !std::strchr(conv + 2, '%');
        if (safe)
            std::snprintf(g_errorText, sizeof g_errorText, text, static_cast<int>(code));
        else
            std::snprintf(g_errorText, sizeof g_errorText, "%s", text);
    } else {
        std::snprintf(g_errorText, sizeof g_errorText, "%s", text);
    }
    return g_errorText;
}
