// The gauge's window class under Wine: a gauge placed in a window and by a dialog resource,
// its properties reachable from its window, and the pixels it really puts on the screen.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/XgaugeWindow.h"
#include "support/tests/GaugeDialog.h"

namespace {

void PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// A plain top-level window, on top of everything, for the gauges to sit in.
class Parent {
public:
    Parent() {
        static const bool registered = [] {
            WNDCLASSA c{};
            c.lpfnWndProc = DefWindowProcA;
            c.hInstance = GetModuleHandleA(nullptr);
            c.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
            c.lpszClassName = "KestrelGaugeTestParent";
            return RegisterClassA(&c) != 0;
        }();
        EXPECT_TRUE(registered);
        window = CreateWindowExA(WS_EX_TOPMOST, "KestrelGaugeTestParent", "Gauge test",
                                 WS_POPUP | WS_VISIBLE, 0, 0, 400, 100, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        PumpMessages();
    }
    ~Parent() {
        DestroyWindow(window);
        PumpMessages();
    }
    HWND window = nullptr;
};

HWND MakeGauge(HWND parent, const char* properties, int width, int height) {
    EXPECT_TRUE(RegisterGaugeClass());
    return CreateWindowA(kGaugeClassName, properties, WS_CHILD | WS_VISIBLE, 10, 10, width, height,
                         parent, nullptr, GetModuleHandleA(nullptr), nullptr);
}

// The upload page's font: "MS Sans Serif" bold, 15 pixels; plain pixels without smoothing,
// so that every pixel of the text is one of the two text colours.
HFONT UploadFont() {
    return CreateFontA(-15, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS,
                       "MS Sans Serif");
}

SIZE TextSize(HFONT font, const char* text) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32A(dc, text, static_cast<int>(strlen(text)), &size);
    SelectObject(dc, old);
    DeleteDC(dc);
    return size;
}

// The pixels of a window's client area, 32 bits each, read from the screen or painted into
// them by WM_PRINTCLIENT.
class Capture {
public:
    Capture(int width, int height) : width_(width), height_(height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<uint32_t*>(bits);
        dc_ = CreateCompatibleDC(nullptr);
        old_ = SelectObject(dc_, bitmap_);
    }
    ~Capture() {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
        DeleteObject(bitmap_);
    }

    void FromScreen(HWND window) {
        HDC screen = GetDC(window);
        BitBlt(dc_, 0, 0, width_, height_, screen, 0, 0, SRCCOPY);
        ReleaseDC(window, screen);
        GdiFlush();
    }
    void FromPrintClient(HWND window) {
        SendMessageA(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc_), PRF_CLIENT);
        GdiFlush();
    }

    COLORREF At(int x, int y) const {
        const uint32_t v = bits_[y * width_ + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }

private:
    int width_;
    int height_;
    HBITMAP bitmap_ = nullptr;
    uint32_t* bits_ = nullptr;
    HDC dc_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

std::string Hex(COLORREF c) {
    char text[16];
    snprintf(text, sizeof text, "%06lx", static_cast<unsigned long>(c));
    return text;
}

// The three rings of a deeply sunken border on a W x H gauge: per ring its top-left edges
// and its bottom-right sides.
void ExpectDeepSunkenBorder(const Capture& c, int w, int h) {
    const COLORREF light = GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF shadow = GetSysColor(COLOR_BTNSHADOW);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const COLORREF dark = GetSysColor(COLOR_3DDKSHADOW);
    const COLORREF rings[3][2] = {{shadow, light}, {shadow, face}, {dark, light}};
    for (int r = 0; r < 3; ++r) {
        const int right = w - 1 - r;
        const int bottom = h - 1 - r;
        for (int x = r; x <= right; ++x) {
            EXPECT_EQ(Hex(c.At(x, r)), Hex(rings[r][0])) << "top of ring " << r << " at " << x;
            if (x > r) {
                EXPECT_EQ(Hex(c.At(x, bottom)), Hex(rings[r][1]))
                    << "bottom of ring " << r << " at " << x;
            }
        }
        for (int y = r; y <= bottom; ++y) {
            EXPECT_EQ(Hex(c.At(r, y)), Hex(rings[r][0])) << "left of ring " << r << " at " << y;
            if (y > r) {
                EXPECT_EQ(Hex(c.At(right, y)), Hex(rings[r][1]))
                    << "right of ring " << r << " at " << y;
            }
        }
    }
}

// Inside the border: the bar colour left of `filled`, the back colour right of it, apart
// from the columns the text takes.
void ExpectBar(const Capture& c, int w, int h, int filled, int textLeft, int textRight,
               COLORREF bar, COLORREF back) {
    for (int y = 3; y < h - 3; ++y)
        for (int x = 3; x < w - 3; ++x) {
            if (x >= textLeft && x < textRight) continue;
            ASSERT_EQ(Hex(c.At(x, y)), Hex(x < filled ? bar : back)) << x << "," << y;
        }
}

TEST(GaugeWindow, AWindowOfTheClassHoldsAGauge) {
    ASSERT_TRUE(RegisterGaugeClass());
    ASSERT_TRUE(RegisterGaugeClass()) << "a second registration is no failure";
    Parent parent;
    HWND window = MakeGauge(parent.window, "Border=gbSingle Progress=40", 200, 20);
    ASSERT_NE(window, nullptr) << "CreateWindow: error " << GetLastError();
    TXGauge* gauge = GaugeOfWindow(window);
    ASSERT_NE(gauge, nullptr);
    EXPECT_EQ(gauge->Border(), gbSingle);
    EXPECT_EQ(gauge->Progress(), 40);
    EXPECT_EQ(gauge->ClientWidth(), 200);
    EXPECT_EQ(gauge->ClientHeight(), 20);
    EXPECT_EQ(GaugeOfWindow(parent.window), nullptr);
    EXPECT_EQ(GaugeOfWindow(nullptr), nullptr);

    MoveWindow(window, 10, 10, 150, 30, TRUE);
    EXPECT_EQ(gauge->ClientWidth(), 150);
    EXPECT_EQ(gauge->ClientHeight(), 30);

    HFONT font = UploadFont();
    SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0)), font);
    DestroyWindow(window);
    EXPECT_EQ(GaugeOfWindow(window), nullptr);
    DeleteObject(font);
}

TEST(GaugeWindow, TheUploadPagesGaugeAtAThirdOnScreen) {
    Parent parent;
    HWND window = MakeGauge(
        parent.window, "BarBackColor=clWhite TextBackColor=clWhite Border=gbDeepSunken", 304, 25);
    ASSERT_NE(window, nullptr);
    HFONT font = UploadFont();
    SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    TXGauge* gauge = GaugeOfWindow(window);
    gauge->SetProgress(33);
    PumpMessages();

    const SIZE text = TextSize(font, "33%");
    const int textLeft = (304 - text.cx) / 2;
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    const COLORREF white = RGB(255, 255, 255);
    ASSERT_NE(highlight, white);
    EXPECT_EQ(gauge->GetPixelValue(), 100);

    Capture screen(304, 25);
    screen.FromScreen(window);
    Capture printed(304, 25);
    printed.FromPrintClient(window);
    for (const Capture* c : {&screen, &printed}) {
        SCOPED_TRACE(c == &screen ? "on screen" : "printed");
        ExpectDeepSunkenBorder(*c, 304, 25);
        ExpectBar(*c, 304, 25, 100, textLeft, textLeft + text.cx, highlight, white);
        // "33%" lies wholly over the empty part: it is written in the highlight colour there.
        int textPixels = 0;
        for (int y = 3; y < 22; ++y)
            for (int x = textLeft; x < textLeft + text.cx; ++x) {
                const COLORREF p = c->At(x, y);
                ASSERT_TRUE(p == white || p == highlight) << x << "," << y << " " << Hex(p);
                textPixels += p == highlight;
            }
        EXPECT_GT(textPixels, 20);
    }
    DestroyWindow(window);
    DeleteObject(font);
}

TEST(GaugeWindow, TextInBothColoursWhereTheEdgeCrossesIt) {
    Parent parent;
    HWND window = MakeGauge(
        parent.window, "BarBackColor=clWhite TextBackColor=clWhite Border=gbDeepSunken", 304, 25);
    ASSERT_NE(window, nullptr);
    HFONT font = UploadFont();
    SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    PumpMessages();
    // SetProgress draws at once: no message is handled between it and the capture.
    GaugeOfWindow(window)->SetProgress(50);
    Capture screen(304, 25);
    screen.FromScreen(window);

    const SIZE text = TextSize(font, "50%");
    const int textLeft = (304 - text.cx) / 2;
    const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
    const COLORREF white = RGB(255, 255, 255);
    ExpectBar(screen, 304, 25, 152, textLeft, textLeft + text.cx, highlight, white);
    int whiteOnBar = 0, highlightOnEmpty = 0;
    for (int y = 3; y < 22; ++y)
        for (int x = textLeft; x < textLeft + text.cx; ++x) {
            const COLORREF p = screen.At(x, y);
            ASSERT_TRUE(p == white || p == highlight) << x << "," << y << " " << Hex(p);
            if (x < 152)
                whiteOnBar += p == white;
            else
                highlightOnEmpty += p == highlight;
        }
    EXPECT_GT(whiteOnBar, 10) << "text over the filled part, in the text back colour";
    EXPECT_GT(highlightOnEmpty, 10) << "text over the empty part, in the text fore colour";
    DestroyWindow(window);
    DeleteObject(font);
}

INT_PTR CALLBACK DialogProcedure(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

TEST(GaugeWindow, PlacedByADialogResource) {
    ASSERT_TRUE(RegisterGaugeClass());
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(GAUGE_TEST_DIALOG),
                                     nullptr, DialogProcedure, 0);
    ASSERT_NE(dialog, nullptr) << "CreateDialog: error " << GetLastError();
    HWND control = GetDlgItem(dialog, GAUGE_TEST_CONTROL);
    TXGauge* gauge = GaugeOfWindow(control);
    ASSERT_NE(gauge, nullptr);
    EXPECT_EQ(gauge->BarBackColor(), clWhite);
    EXPECT_EQ(gauge->TextBackColor(), clWhite);
    EXPECT_EQ(gauge->Border(), gbDeepSunken);
    EXPECT_NE(SendMessageA(control, WM_GETFONT, 0, 0), 0) << "the dialog's font";
    RECT client{};
    GetClientRect(control, &client);
    EXPECT_EQ(gauge->ClientWidth(), client.right);
    EXPECT_EQ(gauge->ClientHeight(), client.bottom);

    ShowWindow(dialog, SW_SHOW);
    gauge->SetProgress(100);
    PumpMessages();
    Capture printed(client.right, client.bottom);
    printed.FromPrintClient(control);
    ExpectDeepSunkenBorder(printed, client.right, client.bottom);
    DestroyWindow(dialog);
    PumpMessages();
}

}  // namespace
