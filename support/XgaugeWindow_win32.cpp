#include <windows.h>

#include <cstring>
#include <string>

#include "support/GaugeCanvas.h"
#include "support/XgaugeWindow.h"

namespace {

COLORREF Resolve(TColor color) {
    return IsSystemColor(color) ? GetSysColor(SystemColorIndex(color)) : (color & 0xFFFFFFu);
}

// The canvas of a device context: GDI objects are made for each call and put back at once.
class GdiCanvas final : public GaugeCanvas {
public:
    explicit GdiCanvas(HDC dc) : dc_(dc) {}

    void FillRect(const TRect& rect, TColor color) override {
        if (rect.IsEmpty()) return;
        const RECT r{rect.left, rect.top, rect.right, rect.bottom};
        HBRUSH brush = CreateSolidBrush(Resolve(color));
        ::FillRect(dc_, &r, brush);
        DeleteObject(brush);
    }

    void FrameRect(const TRect& rect, TColor color) override {
        if (rect.IsEmpty()) return;
        HPEN pen = CreatePen(PS_SOLID, 1, Resolve(color));
        HGDIOBJ oldPen = SelectObject(dc_, pen);
        HGDIOBJ oldBrush = SelectObject(dc_, GetStockObject(NULL_BRUSH));
        Rectangle(dc_, rect.left, rect.top, rect.right, rect.bottom);
        SelectObject(dc_, oldBrush);
        SelectObject(dc_, oldPen);
        DeleteObject(pen);
    }

    void Line(TPoint from, TPoint to, TColor color) override {
        const COLORREF rgb = Resolve(color);
        HPEN pen = CreatePen(PS_SOLID, 1, rgb);
        HGDIOBJ oldPen = SelectObject(dc_, pen);
        MoveToEx(dc_, from.x, from.y, nullptr);
        LineTo(dc_, to.x, to.y);  // leaves out its end point, which the canvas draws
        SelectObject(dc_, oldPen);
        DeleteObject(pen);
        SetPixelV(dc_, to.x, to.y, rgb);
    }

    void ClippedText(int x, int y, const std::string& text, TColor color,
                     const TRect& clip) override {
        if (clip.IsEmpty()) return;
        const RECT r{clip.left, clip.top, clip.right, clip.bottom};
        SetBkMode(dc_, TRANSPARENT);
        SetTextAlign(dc_, TA_LEFT | TA_TOP | TA_NOUPDATECP);
        SetTextColor(dc_, Resolve(color));
        ExtTextOutA(dc_, x, y, ETO_CLIPPED, &r, text.c_str(), static_cast<UINT>(text.size()),
                    nullptr);
    }

    TSize TextExtent(const std::string& text) override {
        SIZE size{};
        GetTextExtentPoint32A(dc_, text.c_str(), static_cast<int>(text.size()), &size);
        return {size.cx, size.cy};
    }

private:
    HDC dc_;
};

// What a gauge window holds, in its extra window bytes.
struct GaugeWindow {
    explicit GaugeWindow(HWND window)
        : gauge([window] {
              // At once, as the upload page expects while it is busy flashing.
              InvalidateRect(window, nullptr, FALSE);
              UpdateWindow(window);
          }) {}
    TXGauge gauge;
    HFONT font = nullptr;  // the font given by WM_SETFONT; not ours to delete
};

constexpr int kGaugeSlot = 0;

GaugeWindow* Of(HWND window) {
    return reinterpret_cast<GaugeWindow*>(GetWindowLongPtrA(window, kGaugeSlot));
}

// Bar, text and border into a bitmap of the client size, then the bitmap onto `target`.
void PaintInto(HWND window, GaugeWindow& state, HDC target) {
    RECT client{};
    GetClientRect(window, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width <= 0 || height <= 0) return;
    state.gauge.SetClientSize(width, height);
    HDC memory = CreateCompatibleDC(target);
    HBITMAP bitmap = CreateCompatibleBitmap(target, width, height);
    if (!memory || !bitmap) {
        if (bitmap) DeleteObject(bitmap);
        if (memory) DeleteDC(memory);
        return;
    }
    HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
    HGDIOBJ oldFont = SelectObject(
        memory, state.font ? static_cast<HGDIOBJ>(state.font) : GetStockObject(DEFAULT_GUI_FONT));
    GdiCanvas canvas(memory);
    state.gauge.Paint(canvas);
    BitBlt(target, 0, 0, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, oldFont);
    SelectObject(memory, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(memory);
}

LRESULT CALLBACK GaugeProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    GaugeWindow* state = Of(window);
    switch (message) {
        case WM_NCCREATE:
            SetWindowLongPtrA(window, kGaugeSlot,
                              reinterpret_cast<LONG_PTR>(new GaugeWindow(window)));
            break;
        case WM_CREATE: {
            if (!state) return -1;
            const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
            state->gauge.SetClientSize(create->cx, create->cy);
            if (create->lpszName) ApplyGaugeProperties(state->gauge, create->lpszName);
            return 0;
        }
        case WM_NCDESTROY:
            SetWindowLongPtrA(window, kGaugeSlot, 0);
            delete state;
            break;
        case WM_SIZE:
            if (state) state->gauge.SetClientSize(LOWORD(lParam), HIWORD(lParam));
            return 0;
        case WM_ERASEBKGND: return 1;  // the gauge paints every pixel itself
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            if (state && dc) PaintInto(window, *state, dc);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_PRINTCLIENT:
            if (state) PaintInto(window, *state, reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_SETFONT:
            if (!state) return 0;
            state->font = reinterpret_cast<HFONT>(wParam);
            if (LOWORD(lParam)) {
                InvalidateRect(window, nullptr, FALSE);
                UpdateWindow(window);
            }
            return 0;
        case WM_GETFONT: return state ? reinterpret_cast<LRESULT>(state->font) : 0;
        default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

bool RegisterGaugeClass() {
    WNDCLASSA c{};
    // Global, so that the dialogs of a language module, created for its module, find it too.
    c.style = CS_GLOBALCLASS | CS_HREDRAW | CS_VREDRAW;
    c.lpfnWndProc = GaugeProcedure;
    c.cbWndExtra = sizeof(GaugeWindow*);
    c.hInstance = GetModuleHandleA(nullptr);
    c.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // the arrow
    c.lpszClassName = kGaugeClassName;
    return RegisterClassA(&c) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

TXGauge* GaugeOfWindow(void* window) {
    const auto hwnd = static_cast<HWND>(window);
    char name[16] = {};
    if (!hwnd || !GetClassNameA(hwnd, name, sizeof name) || std::strcmp(name, kGaugeClassName) != 0)
        return nullptr;
    GaugeWindow* state = Of(hwnd);
    return state ? &state->gauge : nullptr;
}
