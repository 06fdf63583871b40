// A wizard page as a modeless dialog from the resources in force (the program's, or a
// language module's), bound to its logic: its buttons, close box, timers and entry message
// go to the logic, and the logic's requests become messages to the main window and states
// of the dialog's controls.
#include <windows.h>

#include <commdlg.h>

#include <exception>

#include "app/PageControls.h"
#include "app/PageDialog.h"
#include "app/WizardFlow.h"
#include "base/MessagePump.h"
#include "base/ResourceModuleEdge.h"
#include "base/Stringmgr.h"
#include "support/BitmapResourceEdge.h"
#include "support/Imagemanager.h"
#include "support/JpegImage.h"
#include "support/PaletteBitmap.h"
#include "support/PictureIds.h"
#include "support/XgaugeWindow.h"

namespace {

void ShowException(const char* text) {
    char title[256] = "Kestrelup";
    if (HWND main = FindWindowA("TBackgroundForm", nullptr))
        GetWindowTextA(main, title, sizeof title);
    MessageBoxA(GetActiveWindow(), text, title, MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}

INT_PTR CALLBACK DialogProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrA(window, GWLP_USERDATA, lParam);
    auto* page = reinterpret_cast<TPageDialog*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!page) return FALSE;
    // Nothing may unwind through the window manager: what a page raises is shown in the
    // program's exception box, and the page goes on.
    try {
        return page->Handle(window, message, wParam, lParam);
    } catch (const std::exception& e) {
        ShowException(e.what());
        return TRUE;
    }
}

HWND Hwnd(void* window) { return static_cast<HWND>(window); }

// Texts that stand out from the dialog's own: in bold, some of them blue.
struct TextStyle {
    int control;
    bool coloured;
    COLORREF colour;
};
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr TextStyle kBoldTexts[] = {
    {IDC_FINAL_PERFORM, true, kBlue},    {IDC_FINAL_WAITING, false, 0},
    {IDC_FINAL_CLICK_NEXT, true, kBlue}, {IDC_CONN_PASSED, true, kRed},
    {IDC_HS_STATUS_PRESS, true, kBlue},  {IDC_HS_STATUS_WAITING, false, 0},
    {IDC_HS_STATUS_RESET, true, kBlue},  {IDC_HS_STATUS_NEXT, false, 0},
};

// Groups of controls shown and hidden as one, under the id of their first control.
struct Panel {
    int id;
    int members[4];  // 0: none
};
constexpr Panel kPanels[] = {
    {IDC_HS_HOTSYNC_PANEL, {IDC_HS_HOTSYNC_STEP, IDC_HS_NOTE, IDC_HS_NOTE_ICON, IDC_HS_NOTE_TEXT}},
    {IDC_HS_RESET_PANEL, {IDC_HS_PICTURE, IDC_HS_RESET_WAIT, 0, 0}},
};

// Controls with the system's information icon.
constexpr int kInformationIcons[] = {IDC_FINAL_INFO, IDC_HS_NOTE_ICON, IDC_UPLOAD_INFO};

// Small pictures of the program placed once, with silver as their transparent colour.
struct Glyph {
    int control, picture;
};
constexpr Glyph kGlyphs[] = {
    {IDC_WELCOME_CHECK1, KESTREL_PICTURE_CHECK_MARK},
    {IDC_WELCOME_CHECK2, KESTREL_PICTURE_CHECK_MARK},
    {IDC_WELCOME_CHECK3, KESTREL_PICTURE_CHECK_MARK},
    {IDC_HS_STEP1_CHECK, KESTREL_PICTURE_CHECK_MARK},
    {IDC_HS_STEP2_CHECK, KESTREL_PICTURE_CHECK_MARK},
    {IDC_HS_STEP1_ARROW, KESTREL_PICTURE_STEP_ARROW},
    {IDC_HS_STEP2_ARROW, KESTREL_PICTURE_STEP_ARROW},
};

// The handheld with a blank display, on which a cursor blinks.
constexpr int kPaintBoxes[] = {IDC_CONN_PAINTBOX, IDC_RESET_PAINTBOX};
constexpr int kCursorSide = 5;
// The square's own colour is read this far inside the display, beside it.
constexpr int kCursorBackground = 6;

// Silver, the pictures' transparent colour, made the dialog's own face colour.
void OnButtonFace(TPaletteImage& image) {
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const TPaletteColor silver{192, 192, 192};
    for (TPaletteColor& colour : image.palette)
        if (colour == silver) colour = {GetRValue(face), GetGValue(face), GetBValue(face)};
}

// The index of `colour` in the picture's palette, added when missing and there is room.
int IndexOf(TPaletteImage& image, TPaletteColor colour) {
    for (size_t i = 0; i < image.palette.size(); ++i)
        if (image.palette[i] == colour) return static_cast<int>(i);
    if (image.palette.size() >= 256) return 0;
    image.palette.push_back(colour);
    return static_cast<int>(image.palette.size() - 1);
}

// A 24-bit bitmap of a decoded JPEG picture; nullptr when none can be made.
HBITMAP MakeRgbBitmap(const JpegImage& image) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap || !bits) return bitmap;
    const size_t stride = (static_cast<size_t>(image.width) * 3 + 3) & ~size_t{3};
    auto* rows = static_cast<uint8_t*>(bits);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* rgb = &image.rgb[(static_cast<size_t>(y) * image.width + x) * 3];
            uint8_t* bgr = rows + y * stride + static_cast<size_t>(x) * 3;
            bgr[0] = rgb[2];
            bgr[1] = rgb[1];
            bgr[2] = rgb[0];
        }
    return bitmap;
}

// Whether the screen shows 8 bits per pixel or fewer.
bool FewColours() {
    HDC screen = GetDC(nullptr);
    const int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
    ReleaseDC(nullptr, screen);
    return bits <= 8;
}

// Pages sized by the screen's resolution rather than by their dialog units: width and height
// at 96 pixels per inch, scaled.
struct PageSize {
    int page, width, height;
};
constexpr PageSize kPageSizes[] = {{1209, 475, 350}};

const TextStyle* StyleOf(HWND control) {
    const int id = GetDlgCtrlID(control);
    for (const TextStyle& style : kBoldTexts)
        if (style.control == id) return &style;
    return nullptr;
}

}  // namespace

TPageDialog::TPageDialog(int id, void* mainWindow) : id_(id), main_(mainWindow) {
    window_ = CreateDialogParamA(static_cast<HINSTANCE>(MakeResourceModuleEdge()->Current()),
                                 MAKEINTRESOURCEA(id), nullptr, DialogProcedure,
                                 reinterpret_cast<LPARAM>(this));
}

TPageDialog::~TPageDialog() {
    if (window_) DestroyWindow(Hwnd(window_));
    for (auto& [control, bitmap] : bitmaps_)
        if (bitmap) DeleteObject(static_cast<HBITMAP>(bitmap));
    if (boldFont_) DeleteObject(static_cast<HFONT>(boldFont_));
    if (gaugeFont_) DeleteObject(static_cast<HFONT>(gaugeFont_));
}

// Sizes the page in pixels for the screen's resolution and spreads its controls over the new
// client area in proportion, so that the layout holds whatever the dialog font's units are.
void TPageDialog::SizeByResolution(int width, int height) {
    HWND dialog = Hwnd(window_);
    RECT before{};
    GetClientRect(dialog, &before);
    HDC screen = GetDC(nullptr);
    const int ppi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    SetWindowPos(dialog, nullptr, 0, 0, ppi * width / 96, ppi * height / 96,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT after{};
    GetClientRect(dialog, &after);
    if (before.right <= 0 || before.bottom <= 0) return;
    const auto scaleX = [&](LONG x) { return MulDiv(x, after.right, before.right); };
    const auto scaleY = [&](LONG y) { return MulDiv(y, after.bottom, before.bottom); };
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT r{};
        GetWindowRect(child, &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        SetWindowPos(child, nullptr, scaleX(r.left), scaleY(r.top),
                     scaleX(r.right) - scaleX(r.left), scaleY(r.bottom) - scaleY(r.top),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void TPageDialog::ShowBitmap(int control, void* bitmap) {
    if (!bitmap) return;
    SendDlgItemMessageA(Hwnd(window_), control, STM_SETIMAGE, IMAGE_BITMAP,
                        reinterpret_cast<LPARAM>(bitmap));
    void*& held = bitmaps_[control];
    if (held) DeleteObject(static_cast<HBITMAP>(held));
    held = bitmap;
}

void TPageDialog::PlacePictures() {
    const auto resources = MakeBitmapResourceEdge();
    for (const Glyph& glyph : kGlyphs) {
        if (!GetDlgItem(Hwnd(window_), glyph.control)) continue;
        std::vector<uint8_t> bytes;
        TPaletteImage image;
        if (!resources->Load(glyph.picture, bytes) ||
            !ReadPackedDib(bytes.data(), bytes.size(), image))
            continue;
        OnButtonFace(image);
        ShowBitmap(glyph.control, MakePaletteBitmap(image));
    }
    // The blinking-cursor pictures are made once, with the device type then in force.
    for (int box : kPaintBoxes) {
        if (!GetDlgItem(Hwnd(window_), box)) continue;
        TPaletteImage& image = paintBoxes_[box];
        if (!ImageManager().LoadBlankScreenPicture(image)) continue;
        OnButtonFace(image);
        ShowBitmap(box, MakePaletteBitmap(image));
    }
    if (GetDlgItem(Hwnd(window_), IDC_WELCOME_LOGO)) PlaceLogo();
    // The upload gauge writes its percentage in bold, 15 pixels high.
    if (HWND gauge = GetDlgItem(Hwnd(window_), IDC_UPLOAD_GAUGE)) {
        gaugeFont_ = CreateFontA(-15, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET,
                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                 DEFAULT_PITCH, "MS Sans Serif");
        SendMessageA(gauge, WM_SETFONT, reinterpret_cast<WPARAM>(gaugeFont_), TRUE);
    }
}

// The welcome page's logo: the JPEG, or on a screen of 256 colours or fewer the bitmap made
// for it.
void TPageDialog::PlaceLogo() {
    if (FewColours()) {
        TPaletteImage image;
        std::vector<uint8_t> bytes;
        if (MakeBitmapResourceEdge()->Load(KESTREL_PICTURE_WELCOME_LOGO_8BIT, bytes) &&
            ReadPackedDib(bytes.data(), bytes.size(), image))
            ShowBitmap(IDC_WELCOME_LOGO, MakePaletteBitmap(image));
        return;
    }
    const HMODULE program = GetModuleHandleA(nullptr);
    HRSRC found = FindResourceA(program, MAKEINTRESOURCEA(KESTREL_PICTURE_WELCOME_LOGO_JPEG),
                                MAKEINTRESOURCEA(10));  // RCDATA
    HGLOBAL loaded = found ? LoadResource(program, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    JpegImage logo;
    if (data && DecodeJpeg(static_cast<const uint8_t*>(data), SizeofResource(program, found), logo))
        ShowBitmap(IDC_WELCOME_LOGO, MakeRgbBitmap(logo));
}

void TPageDialog::StyleTexts() {
    LOGFONTA font{};
    const auto dialogFont = reinterpret_cast<HFONT>(SendMessageA(Hwnd(window_), WM_GETFONT, 0, 0));
    if (!dialogFont || !GetObjectA(dialogFont, sizeof font, &font)) return;
    font.lfWeight = FW_BOLD;
    boldFont_ = CreateFontIndirectA(&font);
    for (const TextStyle& style : kBoldTexts)
        if (HWND control = GetDlgItem(Hwnd(window_), style.control))
            SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(boldFont_), FALSE);
    for (int id : kInformationIcons)
        if (HWND icon = GetDlgItem(Hwnd(window_), id))
            SendMessageA(icon, STM_SETICON,
                         reinterpret_cast<WPARAM>(LoadIconA(nullptr, MAKEINTRESOURCEA(32516))), 0);
    for (const PageSize& size : kPageSizes)
        if (size.page == id_) SizeByResolution(size.width, size.height);
}

intptr_t TPageDialog::Handle(void* window, unsigned message, uintptr_t wParam, intptr_t lParam) {
    switch (message) {
        case WM_INITDIALOG:
            window_ = window;
            // No help is offered anywhere.
            ShowWindow(GetDlgItem(Hwnd(window), IDC_PAGE_HELP), SW_HIDE);
            StyleTexts();
            PlacePictures();
            return TRUE;
        case WM_CTLCOLORSTATIC: {
            const TextStyle* style = StyleOf(reinterpret_cast<HWND>(lParam));
            if (!style || !style->coloured) return FALSE;
            const auto dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, style->colour);
            SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
            // A dialog answers this message with the brush itself.
            return reinterpret_cast<intptr_t>(GetSysColorBrush(COLOR_BTNFACE));
        }
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED && logic_) logic_->Command(LOWORD(wParam));
            return TRUE;
        case WM_CLOSE:
            if (logic_) logic_->CloseBox();
            return TRUE;
        case WM_TIMER:
            if (logic_) logic_->Timer(static_cast<int>(wParam));
            return TRUE;
        default:
            if (message == um::Activate && logic_) {
                logic_->Activate();
                return TRUE;
            }
            if ((message == um::StartUpload || message == um::Progress) && logic_) {
                logic_->Message(message, lParam);
                return TRUE;
            }
            return FALSE;
    }
}

void TPageDialog::SetLogic(std::unique_ptr<PageLogic> logic) {
    logic_ = std::move(logic);
    if (logic_ && window_) logic_->Create();
}

WizardPage::Point TPageDialog::Position() {
    RECT r{};
    GetWindowRect(Hwnd(window_), &r);
    return {r.left, r.top};
}

void TPageDialog::PlaceAt(Point at) {
    SetWindowPos(Hwnd(window_), nullptr, at.left, at.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TPageDialog::Show() {
    ShowWindow(Hwnd(window_), SW_SHOW);
    UpdateWindow(Hwnd(window_));
}

void TPageDialog::Hide() {
    ShowWindow(Hwnd(window_), SW_HIDE);
    if (logic_) logic_->Hidden();
}

void TPageDialog::Activate() { SendMessageA(Hwnd(window_), um::Activate, 0, 0); }

bool TPageDialog::CloseQuery() { return !logic_ || logic_->CloseQuery(); }

void TPageDialog::PostShowPage(int id) { PostMessageA(Hwnd(main_), um::ShowPage, id, 0); }
void TPageDialog::SendShowPage(int id) { SendMessageA(Hwnd(main_), um::ShowPage, id, 0); }
void TPageDialog::SendPrevPage() { SendMessageA(Hwnd(main_), um::PrevPage, 0, 0); }
void TPageDialog::PostPrevPage() { PostMessageA(Hwnd(main_), um::PrevPage, 0, 0); }
void TPageDialog::PostClose() { PostMessageA(Hwnd(main_), WM_CLOSE, 0, 0); }
void TPageDialog::PostStartUpload() { PostMessageA(Hwnd(window_), um::StartUpload, 0, 0); }
void TPageDialog::CloseMain() { SendMessageA(Hwnd(main_), WM_CLOSE, 0, 0); }

bool TPageDialog::HasPicture(int control) {
    const auto it = bitmaps_.find(control);
    return it != bitmaps_.end() && it->second;
}

void TPageDialog::SetPicture(int control, Picture picture) {
    TPaletteImage image;
    TImageManager& images = ImageManager();
    bool loaded = false;
    switch (picture) {
        case Picture::Device: loaded = images.LoadDevicePicture(image); break;
        case Picture::LoaderScreen: loaded = images.LoadLoaderScreenPicture(image); break;
        case Picture::ResetPrompt: loaded = images.LoadResetPromptPicture(image); break;
        case Picture::BlankScreen: loaded = images.LoadBlankScreenPicture(image); break;
        case Picture::ResetPromptScreen: loaded = images.LoadResetPromptScreen(image); break;
    }
    if (!loaded) return;
    OnButtonFace(image);
    ShowBitmap(control, MakePaletteBitmap(image));
}

int TPageDialog::Ask(int textId, int captionId, unsigned style) {
    return StringManager().MsgBox(textId, captionId, style);
}

int TPageDialog::AskFixed(const std::string& text, const std::string& caption, unsigned style) {
    return MessageBoxA(GetActiveWindow(), text.c_str(), caption.c_str(), style | MB_TASKMODAL);
}

void TPageDialog::SetDeviceType(uint8_t deviceType) { ImageManager().SetDeviceType(deviceType); }

int TPageDialog::AskText(const std::string& text, int captionId, unsigned style) {
    return StringManager().MsgBox(text.c_str(), captionId, style);
}

std::string TPageDialog::String(int id) {
    const char* text = StringManager().TryGetString(id);
    return text ? text : "";
}

void TPageDialog::Beep() { MessageBeep(MB_OK); }

void TPageDialog::BusyCursor(bool busy) {
    SetCursor(LoadCursorA(nullptr, MAKEINTRESOURCEA(busy ? 32514 : 32512)));  // wait, arrow
}

void TPageDialog::HideMain() { ShowWindow(Hwnd(main_), SW_HIDE); }

void TPageDialog::DrawCursor(int control, bool black) {
    const auto it = paintBoxes_.find(control);
    if (it == paintBoxes_.end() || it->second.Empty()) return;
    TPaletteImage& image = it->second;
    const TPoint at = ImageManager().ScreenOrigin();
    if (!image.Contains(at.x + kCursorBackground, at.y + kCursorBackground)) return;
    const int index = black ? IndexOf(image, {0, 0, 0})
                            : image.IndexAt(at.x + kCursorBackground, at.y + kCursorBackground);
    FillRect(image, TRect{at.x, at.y, at.x + kCursorSide, at.y + kCursorSide},
             static_cast<uint8_t>(index));
    ShowBitmap(control, MakePaletteBitmap(image));
}

void TPageDialog::SetGauge(int control, int position) {
    if (TXGauge* gauge = GaugeOfWindow(GetDlgItem(Hwnd(window_), control)))
        gauge->SetProgress(position);
}

void TPageDialog::SetGaugeRunning(int control, bool running) {
    TXGauge* gauge = GaugeOfWindow(GetDlgItem(Hwnd(window_), control));
    if (!gauge) return;
    gauge->SetShowText(running);
    gauge->SetBarBackColor(running ? clWindow : clBtnFace);
}

void* TPageDialog::Window() { return window_; }

std::string TPageDialog::GetText(int control) {
    HWND item = GetDlgItem(Hwnd(window_), control);
    std::string text(static_cast<size_t>(GetWindowTextLengthA(item)) + 1, '\0');
    text.resize(
        static_cast<size_t>(GetWindowTextA(item, text.data(), static_cast<int>(text.size()))));
    return text;
}

bool TPageDialog::OpenFile(const std::string& directory, const std::string& fileName,
                           const std::string& filter, std::string& chosen) {
    // "Description|pattern" pairs become the dialog's NUL-separated list.
    std::string pairs = filter;
    for (char& c : pairs)
        if (c == '|') c = '\0';
    pairs.append(2, '\0');
    char path[MAX_PATH] = {};
    fileName.copy(path, sizeof path - 1);
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = Hwnd(window_);
    dialog.lpstrFilter = pairs.c_str();
    dialog.lpstrFile = path;
    dialog.nMaxFile = sizeof path;
    dialog.lpstrInitialDir = directory.empty() ? nullptr : directory.c_str();
    dialog.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameA(&dialog)) return false;
    chosen = path;
    return true;
}

void TPageDialog::SetChecked(int control, bool checked) {
    CheckDlgButton(Hwnd(window_), control, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool TPageDialog::IsChecked(int control) {
    return IsDlgButtonChecked(Hwnd(window_), control) == BST_CHECKED;
}

void TPageDialog::MoveBy(int control, int dx) {
    HWND item = GetDlgItem(Hwnd(window_), control);
    RECT r{};
    GetWindowRect(item, &r);
    MapWindowPoints(nullptr, Hwnd(window_), reinterpret_cast<POINT*>(&r), 2);
    SetWindowPos(item, nullptr, r.left + dx, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void TPageDialog::Focus(int control) {
    PostMessageA(Hwnd(window_), WM_NEXTDLGCTL,
                 reinterpret_cast<WPARAM>(GetDlgItem(Hwnd(window_), control)), TRUE);
}

void TPageDialog::SetEnabled(int control, bool enabled) {
    EnableWindow(GetDlgItem(Hwnd(window_), control), enabled);
}

void TPageDialog::SetVisible(int control, bool visible) {
    ShowWindow(GetDlgItem(Hwnd(window_), control), visible ? SW_SHOW : SW_HIDE);
    for (const Panel& panel : kPanels)
        if (panel.id == control)
            for (int member : panel.members)
                if (member)
                    ShowWindow(GetDlgItem(Hwnd(window_), member), visible ? SW_SHOW : SW_HIDE);
}

void TPageDialog::SetBold(int control, bool bold) {
    HWND item = GetDlgItem(Hwnd(window_), control);
    const auto font =
        bold ? boldFont_ : reinterpret_cast<void*>(SendMessageA(Hwnd(window_), WM_GETFONT, 0, 0));
    SendMessageA(item, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void TPageDialog::SetText(int control, const std::string& text) {
    SetDlgItemTextA(Hwnd(window_), control, text.c_str());
}

void TPageDialog::StartTimer(int timer, unsigned ms) {
    SetTimer(Hwnd(window_), static_cast<UINT_PTR>(timer), ms, nullptr);
}

void TPageDialog::StopTimer(int timer) { KillTimer(Hwnd(window_), static_cast<UINT_PTR>(timer)); }

void TPageDialog::ProcessMessages() { ProcessWaitingMessages(window_); }
