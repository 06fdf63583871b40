#include "app/BrowseForm.h"

#include <string>

#include "app/ConnectionForm.h"
#include "app/PageControls.h"
#include "app/Settings.h"
#include "app/WizardFlow.h"
#include "base/MessageBoxEdge.h"
#include "base/ResultCodes.h"
#include "base/StringIds.h"
#include "image/UpdateFile.h"
#include "link/Pilotmanager.h"
#include "link/UpdateProcedure.h"

namespace {

// The box for what the integrity check found; the last row takes any other code. Filled
// texts get the code and its message.
struct FileErrorRow {
    TResult code;
    int text, caption;
    bool filled;
};
constexpr FileErrorRow kFileErrors[] = {
    {rc::UpdateOpenError, sid::FileNotFound, sid::FileErrorCaption, false},
    {rc::UpdateVersionError, sid::WrongVersion, sid::WrongVersionCaption, false},
    {rc::InvalidUpdateFile, sid::FileOpenFailed, sid::FileErrorCaption, true},
    {rc::UpdateCrcError, sid::FileOpenFailed, sid::FileErrorCaption, true},
    {rc::UpdateReadError, sid::FileOpenFailed, sid::FileErrorCaption, true},
    {0, sid::FileReadFailed, sid::RomErrorCaption, true},
};

// The judgement of a named file as this page's boxes.
class ChoiceUi final : public UpdateUi {
public:
    explicit ChoiceUi(PageUi& ui) : ui_(ui) {}
    void Progress(UpdateStage) override {}
    bool Ask(UpdateQuestion, const UpdateFacts&) override {
        return ui_.Ask(sid::DeviceMismatch, sid::DeviceMismatchCaption,
                       mb::OkCancel | mb::IconExclamation) == mb::IdOk;
    }
    void Refuse(UpdateRefusal refusal, const UpdateFacts&) override {
        // A file for another model that the user declined: the question said it all.
        if (refusal == UpdateRefusal::FileNotForHalvex)
            ui_.Ask(sid::FileNotForHalvex, sid::FileNotForHalvexCaption, mb::Ok | mb::IconStop);
    }
    void ReportHandheld(const UpdateFacts&) override {}
    bool KeepWaiting(UpdateStage) override { return false; }
    bool StopRequested() override { return false; }

private:
    PageUi& ui_;
};

// Whether the name's last part carries an extension.
bool HasExtension(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    const auto dot = path.find_last_of('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash);
}

}  // namespace

void TBrowseForm::Activate() {
    if (!ui_.HasPicture(IDC_BROWSE_PICTURE))
        ui_.SetPicture(IDC_BROWSE_PICTURE, PageUi::Picture::LoaderScreen);
    ui_.SetVisible(IDC_BROWSE_PICTURE, true);
    ui_.SetText(IDC_BROWSE_EDIT, settings_.updateFile);
    ui_.Focus(IDC_BROWSE_BUTTON);
}

void TBrowseForm::Command(int control) {
    switch (control) {
        case IDC_BROWSE_BUTTON: Browse(); break;
        case IDC_PAGE_NEXT: Next(); break;
        case IDC_PAGE_BACK: ui_.SendPrevPage(); break;
        case IDC_PAGE_CANCEL: Cancel(); break;
        default: break;
    }
}

void TBrowseForm::CloseBox() { Cancel(); }

void TBrowseForm::Cancel() {
    (void)link_.Disconnect();
    ui_.CloseMain();
}

void TBrowseForm::Browse() {
    const std::string text = ui_.GetText(IDC_BROWSE_EDIT);
    // A file name opens the dialog on that file; anything else is taken for a directory.
    const bool file = HasExtension(text);
    std::string chosen;
    if (ui_.OpenFile(file ? std::string() : text, file ? text : std::string(),
                     ui_.String(sid::UpdateFileFilter), chosen))
        ui_.SetText(IDC_BROWSE_EDIT, chosen);
}

void TBrowseForm::Next() {
    const std::string path = ui_.GetText(IDC_BROWSE_EDIT);
    ChoiceUi choiceUi(ui_);
    const UpdateOutcome judged =
        JudgeChosenFile(path.c_str(), settings_.advancedMode, link_.DeviceType(), choiceUi);
    if (judged.Done()) {
        settings_.updateFile = path;
        ui_.SendShowPage(page::Upload);
        return;
    }
    if (judged.refused) return;
    const TResult code = judged.code;
    for (const FileErrorRow& row : kFileErrors) {
        if (row.code != code && row.code != 0) continue;
        if (row.filled)
            ui_.AskText(FillCode(ui_.String(row.text), code, ErrorText(code)), row.caption,
                        mb::Ok | mb::IconStop);
        else
            ui_.Ask(row.text, row.caption, mb::Ok | mb::IconStop);
        return;
    }
}
