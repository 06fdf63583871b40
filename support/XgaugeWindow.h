// The progress gauge as a window class of the platform, for Windows builds: class "TXGauge",
// registered for every module of the program by RegisterGaugeClass(), so that a dialog
// resource (of the program or of a language module) places it as a custom control, e.g. the
// upload page's
//
//   CONTROL "BarBackColor=clWhite TextBackColor=clWhite Border=gbDeepSunken",
//           IDC_PROGRESSGAUGE, "TXGauge", WS_CHILD | WS_VISIBLE, 8, 16, 203, 15
//
// The window text gives properties (ApplyGaugeProperties, support/Xgauge.h); WM_SETFONT the
// font of the percentage (the dialog's own unless the page sends another). The gauge paints
// into an off-screen bitmap and copies it, so it does not flicker; system colours are read
// when it paints. WM_PRINTCLIENT paints it into a given device context.
#pragma once

#include "support/Xgauge.h"

inline constexpr const char* kGaugeClassName = "TXGauge";

// Registers the class once; true when it is registered (by this or an earlier call).
bool RegisterGaugeClass();

// The gauge of a window (HWND) of that class, whose properties its owner sets; nullptr for
// any other window. It lives as long as its window.
TXGauge* GaugeOfWindow(void* window);
