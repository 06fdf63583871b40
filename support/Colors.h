// Colours as the GUI library stores them in properties: either an RGB colour (0x00BBGGRR) or
// a reference to one of the system's colours (0x80000000 | the system's colour index), which
// is looked up only when something is drawn, so that a control follows the user's scheme.
#pragma once

#include <cstdint>

using TColor = uint32_t;

constexpr TColor kSystemColorFlag = 0x80000000u;

constexpr TColor RGBColor(uint8_t red, uint8_t green, uint8_t blue) {
    return TColor{red} | TColor{green} << 8 | TColor{blue} << 16;
}
constexpr bool IsSystemColor(TColor color) { return (color & kSystemColorFlag) != 0; }
// The system's colour index of a system colour reference.
constexpr int SystemColorIndex(TColor color) { return static_cast<int>(color & 0xFFu); }

constexpr TColor clBlack = RGBColor(0, 0, 0);
constexpr TColor clWhite = RGBColor(255, 255, 255);
constexpr TColor clSilver = RGBColor(192, 192, 192);

// The system colours the gauge and its users name; the indices are the platform's.
constexpr TColor clWindow = kSystemColorFlag | 5;
constexpr TColor clWindowFrame = kSystemColorFlag | 6;
constexpr TColor clHighlight = kSystemColorFlag | 13;
constexpr TColor clBtnFace = kSystemColorFlag | 15;
constexpr TColor clBtnShadow = kSystemColorFlag | 16;
constexpr TColor clBtnHighlight = kSystemColorFlag | 20;
constexpr TColor cl3DDkShadow = kSystemColorFlag | 21;
