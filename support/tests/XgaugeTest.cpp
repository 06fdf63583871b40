#include "support/Xgauge.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "support/tests/GaugeCanvases.h"

namespace {

using Calls = std::vector<std::string>;

// The upload page's gauge: 304 x 25, white bar and text background, deeply sunken.
TXGauge UploadGauge(std::function<void()> repaint = {}) {
    TXGauge gauge(std::move(repaint));
    gauge.SetClientSize(304, 25);
    gauge.SetBarBackColor(clWhite);
    gauge.SetTextBackColor(clWhite);
    gauge.SetBorderStyle(gbDeepSunken);
    return gauge;
}

TEST(Xgauge, ANewGaugeHasThePublishedDefaults) {
    const TXGauge gauge;
    EXPECT_EQ(gauge.MinValue(), 0);
    EXPECT_EQ(gauge.MaxValue(), 100);
    EXPECT_EQ(gauge.Progress(), 0);
    EXPECT_TRUE(gauge.ShowText());
    EXPECT_EQ(gauge.BarForeColor(), clHighlight);
    EXPECT_EQ(gauge.BarBackColor(), clBtnFace);
    EXPECT_EQ(gauge.TextForeColor(), clHighlight);
    EXPECT_EQ(gauge.TextBackColor(), clBtnFace);
    EXPECT_EQ(gauge.Border(), gbSunken);
    EXPECT_EQ(gauge.ClientWidth(), 150);
    EXPECT_EQ(gauge.ClientHeight(), 20);
}

struct FillCase {
    int32_t min, max, progress;
    int width;
    float percent;
    int pixels;
    const char* text;
};

TEST(Xgauge, PercentPixelsAndText) {
    constexpr int32_t lo = std::numeric_limits<int32_t>::min();
    constexpr int32_t hi = std::numeric_limits<int32_t>::max();
    const FillCase cases[] = {
        {0, 100, 33, 304, 33.0f, 100, "33%"},     // a third, rounded down
        {7, 7, 7, 304, 100.0f, 304, "100%"},      // an empty range is a full bar
        {0, 100, 0, 304, 0.0f, 0, "0%"},          //
        {0, 100, 100, 304, 100.0f, 304, "100%"},  //
        {0, 100, 99, 150, 99.0f, 148, "99%"},     // 148.5 truncated
        {0, 3, 1, 300, 100.0f / 3, 99, "33%"},    // 99.99... truncated
        {-50, 50, 0, 200, 50.0f, 100, "50%"},     //
        {lo, hi, 0, 1000, 50.0f, 500, "50%"},     // a range wider than 32 bits
        {lo, hi, hi, 1000, 100.0f, 1000, "100%"},
    };
    for (const FillCase& c : cases) {
        TXGauge gauge;
        gauge.SetMaxValue(c.max);
        gauge.SetMinValue(c.min);
        gauge.SetProgress(c.progress);
        gauge.SetClientSize(c.width, 25);
        SCOPED_TRACE(std::to_string(c.min) + ".." + std::to_string(c.max) + " at " +
                     std::to_string(c.progress));
        EXPECT_FLOAT_EQ(gauge.GetPercentDone(), c.percent);
        EXPECT_EQ(gauge.GetPixelValue(), c.pixels);
        EXPECT_EQ(gauge.PercentText(), c.text);
    }
}

TEST(Xgauge, EveryProgressOfAHundredReadsItself) {
    // Single precision must not turn 29 into "28%" on the way.
    TXGauge gauge;
    gauge.SetClientSize(100, 20);
    for (int32_t n = 0; n <= 100; ++n) {
        gauge.SetProgress(n);
        EXPECT_EQ(gauge.PercentText(), std::to_string(n) + "%");
        EXPECT_EQ(gauge.GetPixelValue(), n);
    }
}

TEST(Xgauge, SettersClampIntoTheRange) {
    TXGauge gauge;
    gauge.SetProgress(150);
    EXPECT_EQ(gauge.Progress(), 100);
    gauge.SetProgress(-5);
    EXPECT_EQ(gauge.Progress(), 0);

    gauge.SetMinValue(20);
    gauge.SetMaxValue(10);  // below the minimum
    EXPECT_EQ(gauge.MaxValue(), 20);
    gauge.SetMaxValue(100);
    gauge.SetMinValue(500);  // above the maximum
    EXPECT_EQ(gauge.MinValue(), 100);
    EXPECT_EQ(gauge.Progress(), 100) << "raised with the minimum";

    gauge.SetMinValue(0);
    gauge.SetProgress(80);
    gauge.SetMaxValue(50);
    EXPECT_EQ(gauge.Progress(), 50) << "lowered with the maximum";
    gauge.SetMinValue(-10);
    EXPECT_EQ(gauge.Progress(), 50) << "a lower minimum leaves it";
}

TEST(Xgauge, RepaintsOnlyOnChangeExceptProgress) {
    int repaints = 0;
    TXGauge gauge([&] { ++repaints; });
    auto counts = [&](auto&& set) {
        const int before = repaints;
        set();
        return repaints - before;
    };
    EXPECT_EQ(counts([&] { gauge.SetMinValue(0); }), 0);
    EXPECT_EQ(counts([&] { gauge.SetMinValue(10); }), 1);
    EXPECT_EQ(counts([&] { gauge.SetMaxValue(100); }), 0);
    EXPECT_EQ(counts([&] { gauge.SetMaxValue(90); }), 1);
    EXPECT_EQ(counts([&] { gauge.SetMaxValue(90); }), 0);
    EXPECT_EQ(counts([&] { gauge.SetShowText(true); }), 0);
    EXPECT_EQ(counts([&] { gauge.SetShowText(false); }), 1);
    EXPECT_EQ(counts([&] { gauge.SetBarForeColor(clHighlight); }), 0);
    EXPECT_EQ(counts([&] { gauge.SetBarForeColor(clBlack); }), 1);
    EXPECT_EQ(counts([&] { gauge.SetBarBackColor(clBtnFace); }), 0);
    EXPECT_EQ(counts([&] { gauge.SetBarBackColor(clWindow); }), 1);
    EXPECT_EQ(counts([&] { gauge.SetTextForeColor(clHighlight); }), 0);
    EXPECT_EQ(counts([&] { gauge.SetTextForeColor(clWhite); }), 1);
    EXPECT_EQ(counts([&] { gauge.SetTextBackColor(clBtnFace); }), 0);
    EXPECT_EQ(counts([&] { gauge.SetTextBackColor(clWhite); }), 1);
    EXPECT_EQ(counts([&] { gauge.SetBorderStyle(gbSunken); }), 0);
    EXPECT_EQ(counts([&] { gauge.SetBorderStyle(gbRaised); }), 1);
    // Progress repaints even when it stays where it is.
    EXPECT_EQ(counts([&] { gauge.SetProgress(10); }), 1);
    EXPECT_EQ(counts([&] { gauge.SetProgress(10); }), 1);
    EXPECT_EQ(counts([&] { gauge.SetProgress(500); }), 1);
    // A value clamped to the one in force is no change.
    gauge.SetMaxValue(10);
    EXPECT_EQ(counts([&] { gauge.SetMaxValue(-5); }), 0);
    EXPECT_EQ(counts([&] { gauge.SetMinValue(50); }), 0);
}

TEST(Xgauge, PaintsTheUploadPagesGaugeAtAThird) {
    TXGauge gauge = UploadGauge();
    gauge.SetProgress(33);
    RecordingCanvas canvas;
    gauge.Paint(canvas);
    // "33%" is 21 x 13: x = (304 - 21) / 2, y = (25 - 13) / 2.
    EXPECT_EQ(canvas.calls, (Calls{
                                "fill 0,0,100,25 highlight",
                                "fill 100,0,304,25 white",
                                "text 141,6 \"33%\" white in 0,0,100,25",
                                "text 141,6 \"33%\" highlight in 100,0,304,25",
                                "frame 0,0,304,25 light",
                                "line 0,24-0,0 shadow",
                                "line 0,0-303,0 shadow",
                                "frame 1,1,303,24 face",
                                "line 1,23-1,1 shadow",
                                "line 1,1-302,1 shadow",
                                "frame 2,2,302,23 light",
                                "line 2,22-2,2 dark",
                                "line 2,2-301,2 dark",
                            }));
}

TEST(Xgauge, AnEmptyRangePaintsAFullBar) {
    TXGauge gauge;
    gauge.SetMaxValue(0);
    gauge.SetBorderStyle(gbNone);
    RecordingCanvas canvas;
    gauge.Paint(canvas);
    EXPECT_EQ(canvas.calls, (Calls{
                                "fill 0,0,150,20 highlight",
                                "fill 150,0,150,20 face",
                                "text 61,3 \"100%\" face in 0,0,150,20",
                                "text 61,3 \"100%\" highlight in 150,0,150,20",
                            }));
}

TEST(Xgauge, TextIsLeftOutWhenHidden) {
    TXGauge gauge;
    gauge.SetShowText(false);
    gauge.SetBorderStyle(gbNone);
    RecordingCanvas canvas;
    gauge.Paint(canvas);
    EXPECT_EQ(canvas.calls, (Calls{"fill 0,0,0,20 highlight", "fill 0,0,150,20 face"}));
    EXPECT_EQ(canvas.extents, 0);
}

TEST(Xgauge, TextWiderThanTheGaugeIsCentredTowardZero) {
    TXGauge gauge;
    gauge.SetClientSize(10, 5);
    gauge.SetBorderStyle(gbNone);
    RecordingCanvas canvas;
    gauge.Paint(canvas);
    // "0%" is 14 x 13: (10 - 14) / 2 = -2 and (5 - 13) / 2 = -4, not -3 and -5.
    ASSERT_EQ(canvas.calls.size(), 4u);
    EXPECT_EQ(canvas.calls[2], "text -2,-4 \"0%\" face in 0,0,0,5");
}

TEST(Xgauge, BorderPlans) {
    struct Case {
        TGaugeBorders border;
        Calls calls;
    };
    const Case cases[] = {
        {gbNone, {}},
        {gbSingle, {"frame 0,0,30,10 frame"}},
        {gbSunken, {"frame 0,0,30,10 light", "line 0,9-0,0 shadow", "line 0,0-29,0 shadow"}},
        {gbRaised, {"frame 0,0,30,10 shadow", "line 0,9-0,0 light", "line 0,0-29,0 light"}},
    };
    for (const Case& c : cases) {
        TXGauge gauge;
        gauge.SetShowText(false);
        gauge.SetClientSize(30, 10);
        gauge.SetBorderStyle(c.border);
        RecordingCanvas canvas;
        gauge.Paint(canvas);
        const Calls border(canvas.calls.begin() + 2, canvas.calls.end());
        EXPECT_EQ(border, c.calls) << "border " << c.border;
    }
}

TEST(Xgauge, SunkenBordersPixelByPixel) {
    // L light, S shadow, F face, D dark shadow, . the empty bar.
    const std::string letters = "LSFD.";
    const std::vector<TColor> colors{clBtnHighlight, clBtnShadow, clBtnFace, cl3DDkShadow,
                                     clWindow};
    auto paint = [&](TGaugeBorders border, int width, int height) {
        TXGauge gauge;
        gauge.SetShowText(false);
        gauge.SetBarBackColor(clWindow);
        gauge.SetBorderStyle(border);
        gauge.SetClientSize(width, height);
        PixelCanvas canvas(width, height);
        gauge.Paint(canvas);
        return canvas.Rows(letters, colors);
    };
    EXPECT_EQ(paint(gbSunken, 6, 4), (Calls{
                                         "SSSSSS",
                                         "S....L",
                                         "S....L",
                                         "SLLLLL",
                                     }));
    EXPECT_EQ(paint(gbRaised, 6, 4), (Calls{
                                         "LLLLLL",
                                         "L....S",
                                         "L....S",
                                         "LSSSSS",
                                     }));
    EXPECT_EQ(paint(gbDeepSunken, 9, 8), (Calls{
                                             "SSSSSSSSS",
                                             "SSSSSSSSL",
                                             "SSDDDDDFL",
                                             "SSD...LFL",
                                             "SSD...LFL",
                                             "SSDLLLLFL",
                                             "SSFFFFFFL",
                                             "SLLLLLLLL",
                                         }));
}

TEST(Xgauge, TextLandsInBothColoursAcrossTheEdge) {
    TXGauge gauge = UploadGauge();
    gauge.SetProgress(50);  // the edge at 152, through the middle of "50%" (141..161)
    PixelCanvas canvas(304, 25);
    gauge.Paint(canvas);
    EXPECT_EQ(canvas.At(145, 12), clWhite) << "text over the filled part";
    EXPECT_EQ(canvas.At(155, 12), clHighlight) << "text over the empty part";
    EXPECT_EQ(canvas.At(100, 12), clHighlight) << "bar";
    EXPECT_EQ(canvas.At(200, 12), clWhite) << "empty bar";
}

TEST(Xgauge, PropertiesFromADialogResource) {
    TXGauge gauge;
    EXPECT_TRUE(ApplyGaugeProperties(
        gauge, "BarBackColor=clWhite TextBackColor=clWhite;Border=gbDeepSunken"));
    EXPECT_EQ(gauge.BarBackColor(), clWhite);
    EXPECT_EQ(gauge.TextBackColor(), clWhite);
    EXPECT_EQ(gauge.Border(), gbDeepSunken);

    EXPECT_TRUE(
        ApplyGaugeProperties(gauge,
                             "maxvalue=10 Progress=150\tShowText=false BarForeColor=$000000FF "
                             "TextForeColor=65280 MinValue=-4 border=GBRAISED\n"));
    EXPECT_EQ(gauge.MaxValue(), 10);
    EXPECT_EQ(gauge.Progress(), 10) << "through the setter, clamped";
    EXPECT_FALSE(gauge.ShowText());
    EXPECT_EQ(gauge.BarForeColor(), RGBColor(255, 0, 0));
    EXPECT_EQ(gauge.TextForeColor(), RGBColor(0, 255, 0));
    EXPECT_EQ(gauge.MinValue(), -4);
    EXPECT_EQ(gauge.Border(), gbRaised);

    // What is not understood is reported; the rest still counts.
    EXPECT_FALSE(ApplyGaugeProperties(gauge, "Colour=clWhite Progress=7 Border=gbDeep"));
    EXPECT_EQ(gauge.Progress(), 7);
    EXPECT_EQ(gauge.Border(), gbRaised);
    EXPECT_FALSE(ApplyGaugeProperties(gauge, "MaxValue=1e3 ShowText=yes Progress"));
    EXPECT_EQ(gauge.MaxValue(), 10);
    EXPECT_TRUE(ApplyGaugeProperties(gauge, ""));
}

}  // namespace
