#include "support/Xgauge.h"

#include <array>
#include <cctype>
#include <charconv>
#include <string_view>
#include <utility>

TXGauge::TXGauge(std::function<void()> repaint) : repaint_(std::move(repaint)) {}

void TXGauge::Repaint() const {
    if (repaint_) repaint_();
}

template <typename T>
void TXGauge::Store(T& field, T value) {
    if (field == value) return;
    field = value;
    Repaint();
}

void TXGauge::SetMinValue(int32_t value) {
    if (value > maxValue_) value = maxValue_;
    if (value == minValue_) return;
    minValue_ = value;
    if (progress_ < minValue_) progress_ = minValue_;
    Repaint();
}

void TXGauge::SetMaxValue(int32_t value) {
    if (value < minValue_) value = minValue_;
    if (value == maxValue_) return;
    maxValue_ = value;
    if (progress_ > maxValue_) progress_ = maxValue_;
    Repaint();
}

void TXGauge::SetProgress(int32_t value) {
    if (value < minValue_) value = minValue_;
    if (value > maxValue_) value = maxValue_;
    progress_ = value;
    Repaint();
}

void TXGauge::SetShowText(bool value) { Store(showText_, value); }
void TXGauge::SetBarForeColor(TColor value) { Store(barForeColor_, value); }
void TXGauge::SetBarBackColor(TColor value) { Store(barBackColor_, value); }
void TXGauge::SetTextForeColor(TColor value) { Store(textForeColor_, value); }
void TXGauge::SetTextBackColor(TColor value) { Store(textBackColor_, value); }
void TXGauge::SetBorderStyle(TGaugeBorders value) { Store(border_, value); }

void TXGauge::SetClientSize(int width, int height) {
    width_ = width < 0 ? 0 : width;
    height_ = height < 0 ? 0 : height;
}

float TXGauge::GetPercentDone() const {
    if (maxValue_ == minValue_) return 100.0f;
    // The differences of two 32-bit values need 33 bits; the quotient is taken in double and
    // only the result is single precision, so that n of 0..100 reads exactly n.
    const double done = static_cast<double>(int64_t{progress_} - minValue_);
    const double range = static_cast<double>(int64_t{maxValue_} - minValue_);
    return static_cast<float>(done / range * 100.0);
}

int TXGauge::GetPixelValue() const {
    return static_cast<int>(width_ * static_cast<double>(GetPercentDone()) * 0.01);
}

namespace {

std::string TextOf(float percent) { return std::to_string(static_cast<int>(percent)) + "%"; }

}  // namespace

std::string TXGauge::PercentText() const { return TextOf(GetPercentDone()); }

void TXGauge::Paint(GaugeCanvas& canvas) const {
    const float percent = GetPercentDone();
    const int pixels = GetPixelValue();
    const TRect filled{0, 0, pixels, height_};
    const TRect empty{pixels, 0, width_, height_};
    PaintBar(canvas, filled, empty);
    if (showText_) PaintText(canvas, filled, empty, percent);
    PaintBorder(canvas);
}

void TXGauge::PaintBar(GaugeCanvas& canvas, const TRect& filled, const TRect& empty) const {
    canvas.FillRect(filled, barForeColor_);
    canvas.FillRect(empty, barBackColor_);
}

void TXGauge::PaintText(GaugeCanvas& canvas, const TRect& filled, const TRect& empty,
                        float percent) const {
    const std::string text = TextOf(percent);
    const TSize size = canvas.TextExtent(text);
    // Integer halves, rounding toward zero, as the division of the GUI library does.
    const int x = (width_ - size.cx) / 2;
    const int y = (height_ - size.cy) / 2;
    // Over the filled part in the colour of the empty one and the other way round.
    canvas.ClippedText(x, y, text, textBackColor_, filled);
    canvas.ClippedText(x, y, text, textForeColor_, empty);
}

namespace {

// A one-pixel frame of `rect` in `frame`, then its left and top edges (from the bottom-left
// corner up to the top-left corner and on to the top-right corner) in `edges`. A gauge too
// small to hold the rectangle gets nothing of it.
void Bevel(GaugeCanvas& canvas, const TRect& rect, TColor frame, TColor edges) {
    if (rect.IsEmpty()) return;
    canvas.FrameRect(rect, frame);
    canvas.Line({rect.left, rect.bottom - 1}, {rect.left, rect.top}, edges);
    canvas.Line({rect.left, rect.top}, {rect.right - 1, rect.top}, edges);
}

}  // namespace

void TXGauge::PaintBorder(GaugeCanvas& canvas) const {
    const int w = width_;
    const int h = height_;
    switch (border_) {
        case gbNone: break;
        case gbSingle:
            if (w > 0 && h > 0) canvas.FrameRect({0, 0, w, h}, clWindowFrame);
            break;
        case gbSunken: Bevel(canvas, {0, 0, w, h}, clBtnHighlight, clBtnShadow); break;
        case gbRaised: Bevel(canvas, {0, 0, w, h}, clBtnShadow, clBtnHighlight); break;
        case gbDeepSunken:
            Bevel(canvas, {0, 0, w, h}, clBtnHighlight, clBtnShadow);
            Bevel(canvas, {1, 1, w - 1, h - 1}, clBtnFace, clBtnShadow);
            Bevel(canvas, {2, 2, w - 2, h - 2}, clBtnHighlight, cl3DDkShadow);
            break;
    }
}

// ---- properties from a dialog resource's text

namespace {

struct NamedColor {
    std::string_view name;
    TColor color;
};

constexpr std::array<NamedColor, 10> kColorNames{{
    {"clBlack", clBlack},
    {"clWhite", clWhite},
    {"clSilver", clSilver},
    {"clWindow", clWindow},
    {"clWindowFrame", clWindowFrame},
    {"clHighlight", clHighlight},
    {"clBtnFace", clBtnFace},
    {"clBtnShadow", clBtnShadow},
    {"clBtnHighlight", clBtnHighlight},
    {"cl3DDkShadow", cl3DDkShadow},
}};

constexpr std::array<std::string_view, 5> kBorderNames{"gbNone", "gbSingle", "gbSunken",
                                                       "gbDeepSunken", "gbRaised"};

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

template <typename T>
bool ParseNumber(std::string_view text, T& value, int base = 10) {
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return error == std::errc{} && end == text.data() + text.size();
}

bool ParseColor(std::string_view text, TColor& color) {
    for (const NamedColor& named : kColorNames)
        if (SameName(text, named.name)) {
            color = named.color;
            return true;
        }
    if (!text.empty() && text.front() == '$') return ParseNumber(text.substr(1), color, 16);
    return ParseNumber(text, color);
}

bool ParseBool(std::string_view text, bool& value) {
    if (SameName(text, "True"))
        value = true;
    else if (SameName(text, "False"))
        value = false;
    else
        return false;
    return true;
}

bool ApplyOne(TXGauge& gauge, std::string_view name, std::string_view value) {
    int32_t number = 0;
    TColor color = 0;
    bool flag = false;
    if (SameName(name, "MinValue") && ParseNumber(value, number))
        gauge.SetMinValue(number);
    else if (SameName(name, "MaxValue") && ParseNumber(value, number))
        gauge.SetMaxValue(number);
    else if (SameName(name, "Progress") && ParseNumber(value, number))
        gauge.SetProgress(number);
    else if (SameName(name, "ShowText") && ParseBool(value, flag))
        gauge.SetShowText(flag);
    else if (SameName(name, "BarForeColor") && ParseColor(value, color))
        gauge.SetBarForeColor(color);
    else if (SameName(name, "BarBackColor") && ParseColor(value, color))
        gauge.SetBarBackColor(color);
    else if (SameName(name, "TextForeColor") && ParseColor(value, color))
        gauge.SetTextForeColor(color);
    else if (SameName(name, "TextBackColor") && ParseColor(value, color))
        gauge.SetTextBackColor(color);
    else if (SameName(name, "Border")) {
        for (size_t i = 0; i < kBorderNames.size(); ++i)
            if (SameName(value, kBorderNames[i])) {
                gauge.SetBorderStyle(static_cast<TGaugeBorders>(i));
                return true;
            }
        return false;
    } else
        return false;
    return true;
}

}  // namespace

bool ApplyGaugeProperties(TXGauge& gauge, const std::string& text) {
    bool understood = true;
    const std::string_view all(text);
    size_t start = 0;
    while (start < all.size()) {
        const size_t end = all.find_first_of("; \t\r\n", start);
        const std::string_view entry =
            all.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        start = end == std::string_view::npos ? all.size() : end + 1;
        if (entry.empty()) continue;
        const size_t equals = entry.find('=');
        if (equals == std::string_view::npos ||
            !ApplyOne(gauge, entry.substr(0, equals), entry.substr(equals + 1)))
            understood = false;
    }
    return understood;
}
