// The upload page's progress gauge (TXGauge): a horizontal bar filled to the progress, with
// the percentage written across it in two colours, one over the filled part and one over the
// empty part, so that it stays readable where the bar's edge crosses it. This is the control's
// logic: its properties, their setters and the paint sequence, drawn on a GaugeCanvas. The
// window that shows it on Windows is support/XgaugeWindow.h.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "support/Colors.h"
#include "support/GaugeCanvas.h"
#include "support/Geometry.h"

enum TGaugeBorders { gbNone, gbSingle, gbSunken, gbDeepSunken, gbRaised };

class TXGauge {
public:
    static constexpr int kDefaultWidth = 150;
    static constexpr int kDefaultHeight = 20;

    // `repaint` redraws the control at once; a gauge that is on no screen needs none.
    explicit TXGauge(std::function<void()> repaint = {});

    int32_t MinValue() const { return minValue_; }
    int32_t MaxValue() const { return maxValue_; }
    int32_t Progress() const { return progress_; }
    bool ShowText() const { return showText_; }
    TColor BarForeColor() const { return barForeColor_; }
    TColor BarBackColor() const { return barBackColor_; }
    TColor TextForeColor() const { return textForeColor_; }
    TColor TextBackColor() const { return textBackColor_; }
    TGaugeBorders Border() const { return border_; }

    // Each setter repaints only when the value changed, except SetProgress, which always
    // does (the upload page calls it for every report and relies on seeing it drawn).
    // A minimum above MaxValue is lowered to it; Progress follows a minimum raised past it.
    void SetMinValue(int32_t value);
    // A maximum below MinValue is raised to it; Progress follows a maximum lowered past it.
    void SetMaxValue(int32_t value);
    // Clamped into MinValue .. MaxValue.
    void SetProgress(int32_t value);
    void SetShowText(bool value);
    void SetBarForeColor(TColor value);
    void SetBarBackColor(TColor value);
    void SetTextForeColor(TColor value);
    void SetTextBackColor(TColor value);
    void SetBorderStyle(TGaugeBorders value);

    // The client area the gauge paints, 150 x 20 for a new gauge. Its owner sets it when the
    // control is sized (the new size is painted by the owner's own repaint of it).
    int ClientWidth() const { return width_; }
    int ClientHeight() const { return height_; }
    void SetClientSize(int width, int height);

    // How far the bar is filled, in per cent, single precision: 100 when MaxValue equals
    // MinValue.
    float GetPercentDone() const;
    // The width of the filled part: client width x percentage x 0.01, truncated.
    int GetPixelValue() const;
    // The percentage text: the percentage truncated, in decimal, and "%".
    std::string PercentText() const;

    // Paints the whole client area (the gauge is opaque) on a canvas of the client size, the
    // off-screen bitmap that the owner then copies to the screen: bar, text, border.
    void Paint(GaugeCanvas& canvas) const;

private:
    void PaintBar(GaugeCanvas& canvas, const TRect& filled, const TRect& empty) const;
    void PaintText(GaugeCanvas& canvas, const TRect& filled, const TRect& empty,
                   float percent) const;
    void PaintBorder(GaugeCanvas& canvas) const;
    template <typename T>
    void Store(T& field, T value);
    void Repaint() const;

    std::function<void()> repaint_;
    int32_t minValue_ = 0;
    int32_t maxValue_ = 100;
    int32_t progress_ = 0;
    bool showText_ = true;
    TColor barForeColor_ = clHighlight;
    TColor barBackColor_ = clBtnFace;
    TColor textForeColor_ = clHighlight;
    TColor textBackColor_ = clBtnFace;
    TGaugeBorders border_ = gbSunken;
    int width_ = kDefaultWidth;
    int height_ = kDefaultHeight;
};

// Sets properties of a gauge from the text a dialog resource gives the control: entries
// "Name=value" separated by ';' or white space, applied in order through the setters. Names
// are the published properties (MinValue, MaxValue, Progress, ShowText, BarForeColor,
// BarBackColor, TextForeColor, TextBackColor, Border); values are decimal numbers, True or
// False, the colour names of support/Colors.h ("clWhite") or "$00BBGGRR", and the border
// names ("gbDeepSunken"). Returns false when an entry was not understood; the others are
// still applied.
bool ApplyGaugeProperties(TXGauge& gauge, const std::string& text);
