#include <windows.h>

#include "conduit/tests/UserView.h"
#include "testing/PngWriter.h"

namespace view {

namespace {

struct Search {
    std::string caption;
    HWND found = nullptr;
};

BOOL CALLBACK Match(HWND window, LPARAM lParam) {
    auto& search = *reinterpret_cast<Search*>(lParam);
    if (!IsWindowVisible(window) || Text(window) != search.caption) return TRUE;
    search.found = window;
    return FALSE;
}

}  // namespace

Window ThreadWindow(uint32_t threadId, const std::string& caption, int milliseconds) {
    for (int waited = 0;; waited += 5) {
        Search search{caption};
        EnumThreadWindows(threadId, Match, reinterpret_cast<LPARAM>(&search));
        if (search.found || waited >= milliseconds) return search.found;
        Sleep(5);
    }
}

std::string Text(Window window) {
    char text[512] = {};
    GetWindowTextA(static_cast<HWND>(window), text, sizeof text);
    return text;
}

bool SaveShot(Window window, const std::string& name) {
    RECT r{};
    GetWindowRect(static_cast<HWND>(window), &r);
    Sleep(100);  // what the window's thread has yet to paint
    png::RgbImage image{
        static_cast<uint32_t>(r.right - r.left), static_cast<uint32_t>(r.bottom - r.top), {}};
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, r.right - r.left, r.bottom - r.top);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, r.right - r.left, r.bottom - r.top, screen, r.left, r.top, SRCCOPY);
    for (LONG y = 0; y < r.bottom - r.top; ++y)
        for (LONG x = 0; x < r.right - r.left; ++x) {
            const COLORREF c = GetPixel(memory, x, y);
            image.pixels.insert(image.pixels.end(), {GetRValue(c), GetGValue(c), GetBValue(c)});
        }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, sizeof program);
    std::string folder(program);
    folder = folder.substr(0, folder.find_last_of('\\') + 1) + "shots";
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string error;
    return png::WriteFile(folder + "\\" + name, image, error);
}

}  // namespace view
