// Test canvases for the gauge: one that records every call, and one that keeps the pixels
// (colours as the gauge names them, unresolved) so that the end result of a paint is seen.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "support/GaugeCanvas.h"

// Text is drawn in a font whose every character is 7 pixels wide and 13 high.
constexpr int kCharWidth = 7;
constexpr int kCharHeight = 13;

inline std::string Describe(const TRect& r) {
    std::ostringstream out;
    out << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    return out.str();
}

inline std::string ColorName(TColor color) {
    switch (color) {
        case clHighlight: return "highlight";
        case clBtnFace: return "face";
        case clWindow: return "window";
        case clWindowFrame: return "frame";
        case clBtnShadow: return "shadow";
        case clBtnHighlight: return "light";
        case cl3DDkShadow: return "dark";
        case clWhite: return "white";
        case clBlack: return "black";
        default: {
            std::ostringstream out;
            out << "#" << std::hex << color;
            return out.str();
        }
    }
}

class RecordingCanvas final : public GaugeCanvas {
public:
    void FillRect(const TRect& rect, TColor color) override {
        calls.push_back("fill " + Describe(rect) + " " + ColorName(color));
    }
    void FrameRect(const TRect& rect, TColor color) override {
        calls.push_back("frame " + Describe(rect) + " " + ColorName(color));
    }
    void Line(TPoint from, TPoint to, TColor color) override {
        std::ostringstream out;
        out << "line " << from.x << "," << from.y << "-" << to.x << "," << to.y << " "
            << ColorName(color);
        calls.push_back(out.str());
    }
    void ClippedText(int x, int y, const std::string& text, TColor color,
                     const TRect& clip) override {
        std::ostringstream out;
        out << "text " << x << "," << y << " \"" << text << "\" " << ColorName(color) << " in "
            << Describe(clip);
        calls.push_back(out.str());
    }
    TSize TextExtent(const std::string& text) override {
        ++extents;
        return {static_cast<int>(text.size()) * kCharWidth, kCharHeight};
    }

    std::vector<std::string> calls;
    int extents = 0;
};

// Pixels of a surface of a given size; text is drawn as a solid block of its extent, which is
// enough to see where and in which colour it lands.
class PixelCanvas final : public GaugeCanvas {
public:
    PixelCanvas(int width, int height)
        : width_(width), height_(height), pixels_(static_cast<size_t>(width * height), 0xDEADu) {}

    TColor At(int x, int y) const { return pixels_[static_cast<size_t>(y * width_ + x)]; }

    void FillRect(const TRect& rect, TColor color) override {
        for (int y = rect.top; y < rect.bottom; ++y)
            for (int x = rect.left; x < rect.right; ++x) Put(x, y, color);
    }
    void FrameRect(const TRect& rect, TColor color) override {
        for (int x = rect.left; x < rect.right; ++x) {
            Put(x, rect.top, color);
            Put(x, rect.bottom - 1, color);
        }
        for (int y = rect.top; y < rect.bottom; ++y) {
            Put(rect.left, y, color);
            Put(rect.right - 1, y, color);
        }
    }
    void Line(TPoint from, TPoint to, TColor color) override {
        const int dx = (to.x > from.x) - (to.x < from.x);
        const int dy = (to.y > from.y) - (to.y < from.y);
        for (TPoint p = from;; p.x += dx, p.y += dy) {
            Put(p.x, p.y, color);
            if (p == to) break;
        }
    }
    void ClippedText(int x, int y, const std::string& text, TColor color,
                     const TRect& clip) override {
        const TSize size = TextExtent(text);
        for (int py = y; py < y + size.cy; ++py)
            for (int px = x; px < x + size.cx; ++px)
                if (px >= clip.left && px < clip.right && py >= clip.top && py < clip.bottom)
                    Put(px, py, color);
    }
    TSize TextExtent(const std::string& text) override {
        return {static_cast<int>(text.size()) * kCharWidth, kCharHeight};
    }

    // One letter a pixel, for comparing small pictures row by row.
    std::vector<std::string> Rows(const std::string& letters, const std::vector<TColor>& colors) {
        std::vector<std::string> rows;
        for (int y = 0; y < height_; ++y) {
            std::string row;
            for (int x = 0; x < width_; ++x) {
                char c = '?';
                for (size_t i = 0; i < colors.size(); ++i)
                    if (At(x, y) == colors[i]) c = letters[i];
                row += c;
            }
            rows.push_back(row);
        }
        return rows;
    }

private:
    void Put(int x, int y, TColor color) {
        if (x >= 0 && y >= 0 && x < width_ && y < height_)
            pixels_[static_cast<size_t>(y * width_ + x)] = color;
    }

    int width_;
    int height_;
    std::vector<TColor> pixels_;
};
