#include "sim/PrintableText.h"

#include <cstdint>
#include <cstdio>

namespace {

constexpr std::string_view kCut = "...";

// The length of the valid UTF-8 sequence at the start of `text`, 0 when there is none; a C1
// control (U+0080 to U+009F) counts as none, since terminals obey it as they obey ESC.
size_t Utf8Length(std::string_view text) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t lead = byte(0);
    size_t length = 0;
    uint8_t low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        if (lead == 0xC2) low = 0xA0;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong form
        if (lead == 0xED) high = 0x9F;  // no surrogate
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (size_t i = 2; i < length; ++i)
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    return length;
}

}  // namespace

std::string Printable(std::string_view text, size_t most) {
    std::string shown;
    while (!text.empty()) {
        const auto first = static_cast<uint8_t>(text.front());
        std::string_view piece;
        char escaped[5];
        if (first >= 0x20 && first < 0x7F) {
            piece = text.substr(0, 1);
        } else if (const size_t length = first >= 0x80 ? Utf8Length(text) : 0; length != 0) {
            piece = text.substr(0, length);
        } else {
            std::snprintf(escaped, sizeof escaped, "\\x%02X", first);
            piece = escaped;
        }
        // A piece is never split, so a cut line holds no half an escape or character.
        if (shown.size() + piece.size() > most) {
            shown += kCut;
            return shown;
        }
        shown += piece;
        text.remove_prefix(piece.data() == escaped ? 1 : piece.size());
    }
    return shown;
}
