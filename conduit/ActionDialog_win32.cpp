// "Change Hotsync Action", a modal dialog of this module's resources (Stashmate.rc), over the
// window HotSync Manager has active when it asks for the conduit's settings.
#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "conduit/ConduitEntries.h"
#include "conduit/OwnModule.h"
#include "conduit/StashmateResources.h"

namespace {

struct Choice {
    SyncAction action;
    int radio;
    int picture;
    int bitmap;
};
// In the dialog's order; the first is also what an action of no known kind selects.
constexpr Choice kChoices[] = {
    {SyncAction::HandheldOverwrites, IDC_ACTION_HANDHELD, IDC_ACTION_PICTURE_HANDHELD,
     IDB_ACTION_HANDHELD},
    {SyncAction::DoNothing, IDC_ACTION_NOTHING, IDC_ACTION_PICTURE_NOTHING, IDB_ACTION_NOTHING},
    {SyncAction::DesktopOverwrites, IDC_ACTION_DESKTOP, IDC_ACTION_PICTURE_DESKTOP,
     IDB_ACTION_DESKTOP},
};

// A palette picture of this module with its silver background turned into the dialog's face
// colour, so it sits on the dialog whatever the colour scheme; nullptr when it cannot be made.
HBITMAP LoadOnFace(int id) {
    const HINSTANCE module = OwnModule();
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(2));  // BITMAP
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const auto* bytes = static_cast<const uint8_t*>(loaded ? LockResource(loaded) : nullptr);
    const size_t size = found ? SizeofResource(module, found) : 0;
    BITMAPINFOHEADER header{};
    if (!bytes || size < sizeof header) return nullptr;
    std::memcpy(&header, bytes, sizeof header);
    if (header.biSize < sizeof header || header.biBitCount > 8 || header.biCompression != BI_RGB)
        return nullptr;
    const size_t colours = header.biClrUsed ? header.biClrUsed : size_t{1} << header.biBitCount;
    const size_t bitsAt = header.biSize + colours * sizeof(RGBQUAD);
    const size_t stride = ((static_cast<size_t>(header.biWidth) * header.biBitCount + 31) / 32) * 4;
    const size_t rows =
        static_cast<size_t>(header.biHeight < 0 ? -header.biHeight : header.biHeight);
    if (header.biWidth <= 0 || bitsAt > size || stride * rows > size - bitsAt) return nullptr;

    std::vector<uint8_t> dib(bytes, bytes + size);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    for (size_t i = 0; i < colours; ++i) {
        RGBQUAD colour;
        std::memcpy(&colour, dib.data() + header.biSize + i * sizeof colour, sizeof colour);
        if (colour.rgbRed != 192 || colour.rgbGreen != 192 || colour.rgbBlue != 192) continue;
        colour = {GetBValue(face), GetGValue(face), GetRValue(face), 0};
        std::memcpy(dib.data() + header.biSize + i * sizeof colour, &colour, sizeof colour);
    }
    const auto* info = reinterpret_cast<const BITMAPINFO*>(dib.data());
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateDIBitmap(screen, &info->bmiHeader, CBM_INIT, dib.data() + bitsAt, info,
                                    DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return bitmap;
}

struct Answer {
    SyncAction action;
    bool setAsDefault = false;
    std::vector<HBITMAP> pictures;  // the dialog's statics show them; deleted after it ends
};

void Select(HWND dialog, const Choice& choice) {
    CheckRadioButton(dialog, IDC_ACTION_HANDHELD, IDC_ACTION_DESKTOP, choice.radio);
    SetFocus(GetDlgItem(dialog, choice.radio));
}

const Choice& ChoiceOf(SyncAction action) {
    for (const Choice& choice : kChoices)
        if (choice.action == action) return choice;
    return kChoices[0];
}

INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
    auto* answer = reinterpret_cast<Answer*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
    if (!answer) return FALSE;
    switch (message) {
        case WM_INITDIALOG:
            for (const Choice& choice : kChoices) {
                HBITMAP picture = LoadOnFace(choice.bitmap);
                if (!picture) continue;
                answer->pictures.push_back(picture);
                SendDlgItemMessageA(dialog, choice.picture, STM_SETIMAGE, IMAGE_BITMAP,
                                    reinterpret_cast<LPARAM>(picture));
            }
            CheckDlgButton(dialog, IDC_ACTION_DEFAULT, BST_UNCHECKED);
            Select(dialog, ChoiceOf(answer->action));
            return FALSE;  // the focus is set: on the selected choice
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (id == IDOK) {
                for (const Choice& choice : kChoices)
                    if (IsDlgButtonChecked(dialog, choice.radio) == BST_CHECKED)
                        answer->action = choice.action;
                answer->setAsDefault =
                    IsDlgButtonChecked(dialog, IDC_ACTION_DEFAULT) == BST_CHECKED;
                EndDialog(dialog, IDOK);
            } else if (id == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
            } else if (HIWORD(wParam) == STN_CLICKED) {
                // A picture picks its choice, as its radio button's text does.
                for (const Choice& choice : kChoices)
                    if (choice.picture == id) Select(dialog, choice);
            }
            return TRUE;
        }
        default: return FALSE;
    }
}

class Win32SyncActionDialog final : public SyncActionDialog {
public:
    bool Ask(SyncAction& action, bool& setAsDefault) override {
        Answer answer{action, false, {}};
        const INT_PTR result =
            DialogBoxParamA(OwnModule(), MAKEINTRESOURCEA(IDD_SYNC_ACTION), GetActiveWindow(),
                            Procedure, reinterpret_cast<LPARAM>(&answer));
        for (HBITMAP picture : answer.pictures) DeleteObject(picture);
        // A dialog that could not be shown changes nothing, as Cancel does.
        if (result != IDOK) return false;
        action = answer.action;
        setAsDefault = answer.setAsDefault;
        return true;
    }
};

}  // namespace

std::unique_ptr<SyncActionDialog> MakeSyncActionDialog() {
    return std::make_unique<Win32SyncActionDialog>();
}
