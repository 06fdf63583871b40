// What the progress gauge needs of a surface to paint on: filled rectangles, rectangle
// outlines and straight lines in a colour, text in the control's font clipped to a rectangle,
// and the size of a text. Colours may be system colour references (support/Colors.h); the
// canvas resolves them when it draws.
#pragma once

#include <string>

#include "support/Colors.h"
#include "support/Geometry.h"

class GaugeCanvas {
public:
    virtual ~GaugeCanvas() = default;

    // Every pixel of `rect`.
    virtual void FillRect(const TRect& rect, TColor color) = 0;
    // A one-pixel outline along the rectangle's own pixels (left..right-1, top..bottom-1),
    // inside left untouched.
    virtual void FrameRect(const TRect& rect, TColor color) = 0;
    // A horizontal or vertical line of one pixel, both ends drawn.
    virtual void Line(TPoint from, TPoint to, TColor color) = 0;
    // `text` with its top-left corner at (x, y), background left as it is, only the part
    // inside `clip` drawn.
    virtual void ClippedText(int x, int y, const std::string& text, TColor color,
                             const TRect& clip) = 0;
    // Width and height of `text` in the font in force.
    virtual TSize TextExtent(const std::string& text) = 0;
};
