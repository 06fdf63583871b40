#include <windows.h>

#include "app/FileSelectForm.h"
#include "app/PageControls.h"
#include "base/MessageBoxEdge.h"
#include "base/ResourceModuleEdge.h"
#include "base/StringIds.h"
#include "base/Stringmgr.h"

namespace {

struct Session {
    const std::vector<std::string>* names;
    int selected = -1;
};

INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrA(dialog, GWLP_USERDATA, lParam);
        const auto* session = reinterpret_cast<Session*>(lParam);
        for (const std::string& name : *session->names)
            SendDlgItemMessageA(dialog, IDC_SELECT_LIST, LB_ADDSTRING, 0,
                                reinterpret_cast<LPARAM>(name.c_str()));
        return TRUE;
    }
    auto* session = reinterpret_cast<Session*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
    if (message == WM_CLOSE) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    if (message != WM_COMMAND || !session) return FALSE;
    const int control = LOWORD(wParam);
    const bool ok = (control == IDOK && HIWORD(wParam) == BN_CLICKED) ||
                    (control == IDC_SELECT_LIST && HIWORD(wParam) == LBN_DBLCLK);
    if (ok) {
        const auto index =
            static_cast<int>(SendDlgItemMessageA(dialog, IDC_SELECT_LIST, LB_GETCURSEL, 0, 0));
        if (index == LB_ERR) {
            // It stays open until the user picks a name, browses or gives up.
            StringManager().MsgBox(sid::NothingSelected, sid::NothingSelectedCaption,
                                   mb::Ok | mb::IconExclamation);
            return TRUE;
        }
        session->selected = index;
        EndDialog(dialog, IDOK);
    } else if (control == IDC_SELECT_BROWSE || control == IDCANCEL) {
        EndDialog(dialog, control);
    }
    return TRUE;
}

class Win32FileSelectForm final : public FileSelectUi {
public:
    Answer Choose(const std::vector<std::string>& names, int& selected) override {
        Session session{&names};
        const INT_PTR result = DialogBoxParamA(static_cast<HINSTANCE>(modules_->Current()),
                                               MAKEINTRESOURCEA(IDD_FILE_SELECT), GetActiveWindow(),
                                               Procedure, reinterpret_cast<LPARAM>(&session));
        selected = session.selected;
        if (result == IDOK) return Answer::Ok;
        if (result == IDC_SELECT_BROWSE) return Answer::Browse;
        return Answer::Cancel;
    }

private:
    // The dialog comes from the resources in force, in the user's language.
    const std::unique_ptr<ResourceModuleEdge> modules_ = MakeResourceModuleEdge();
};

}  // namespace

std::unique_ptr<FileSelectUi> MakeFileSelectForm() {
    return std::make_unique<Win32FileSelectForm>();
}
