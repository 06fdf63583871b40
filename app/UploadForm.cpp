#include "app/UploadForm.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/PageControls.h"
#include "app/Settings.h"
#include "app/WizardFlow.h"
#include "base/MessageBoxEdge.h"
#include "base/StringIds.h"
#include "link/CommPort.h"
#include "link/Guicallback.h"
#include "link/Pilotmanager.h"
#include "link/UpdateProcedure.h"

namespace {

// What each display state shows.
struct StateRow {
    TUploadForm::State state;
    int caption;
    bool bold;
    bool abortEnabled, nextEnabled, backEnabled, uploadEnabled, cancelEnabled;
    int focus;
};
constexpr StateRow kStates[] = {
    {TUploadForm::State::Ready, sid::ReadyToUpload, false, false, false, true, true, true,
     IDC_UPLOAD_START},
    {TUploadForm::State::Uploading, sid::UploadingFlash, false, true, false, false, false, false,
     IDC_UPLOAD_ABORT},
    {TUploadForm::State::Complete, sid::UploadComplete, true, false, true, false, false, true,
     IDC_PAGE_NEXT},
};

// The error box of a failed upload: a lost line says what to do about it; any other code gets
// the lead of its kind of box (the box column of base/ResultCodes.def), then the code and its
// message.
constexpr const char* kConnectionLostText =
    "Connection lost to PalmOS device. Check the PalmOS device\nscreen to verify that it "
    "matches the picture and\nthen hit Upload to try again.";
constexpr const char* kComErrorCaption = "COM Error";
struct ErrorBoxRow {
    ErrorBox box;
    const char* lead;
    const char* caption;
};
constexpr ErrorBoxRow kErrorBoxes[] = {
    {ErrorBox::File,
     "A file error has occurred.\nContact tech support with\nthe following error message.\n\n",
     "File Error"},
    {ErrorBox::Line,
     "A COM port error has occurred.\nContact tech support with\nthe following error "
     "message.\n\n",
     kComErrorCaption},
    {ErrorBox::Other,
     "An unknown error has occurred.\nContact tech support with\nthe following error "
     "message.\n\n",
     "Critical Error"},
};

// The update procedure's questions and refusals as this page's boxes.
class PageUpdateUi final : public UpdateUi {
public:
    PageUpdateUi(PageUi& ui, const GuiCallback& callback) : ui_(ui), callback_(callback) {}
    void Progress(UpdateStage stage) override { stage_ = stage; }
    bool Ask(UpdateQuestion question, const UpdateFacts&) override {
        // A file for another model was agreed to where it was chosen.
        if (question == UpdateQuestion::FlashOtherDevice) return true;
        return ui_.AskFixed(kRamNotSupportedText, kRamNotSupportedCaption,
                            mb::OkCancel | mb::IconExclamation) == mb::IdOk;
    }
    void Refuse(UpdateRefusal refusal, const UpdateFacts&) override {
        struct Box {
            UpdateRefusal refusal;
            int text, caption;
        };
        static constexpr Box kBoxes[] = {
            {UpdateRefusal::ImageTooBig, sid::ImageTooBig, sid::ImageTooBigCaption},
            {UpdateRefusal::UnsupportedHandheld, sid::UnsupportedHandheld,
             sid::UnsupportedHandheldCaption},
            {UpdateRefusal::FileNotForHalvex, sid::FileNotForHalvex, sid::FileNotForHalvexCaption},
            {UpdateRefusal::DeviceMismatch, sid::DeviceMismatch, sid::DeviceMismatchCaption},
        };
        for (const Box& box : kBoxes)
            if (box.refusal == refusal) ui_.Ask(box.text, box.caption, mb::Ok | mb::IconStop);
    }
    void ReportHandheld(const UpdateFacts&) override {}
    // The loader is offered until the handheld's ROM takes it or the user gives up; every
    // other wait is one attempt here.
    bool KeepWaiting(UpdateStage stage) override {
        if (stage != UpdateStage::SendingLoader) return false;
        ui_.ProcessMessages();
        return !callback_.Aborted();
    }
    // An abort the user confirmed while the file was judged stops it before the erase.
    bool StopRequested() override { return callback_.Aborted(); }

    // The stage the procedure was at last.
    UpdateStage Stage() const { return stage_; }

private:
    PageUi& ui_;
    const GuiCallback& callback_;
    UpdateStage stage_ = UpdateStage::OpeningPort;
};

}  // namespace

void TUploadForm::Activate() {
    if (!ui_.HasPicture(IDC_UPLOAD_PICTURE))
        ui_.SetPicture(IDC_UPLOAD_PICTURE, PageUi::Picture::LoaderScreen);
    uploading_ = false;
    ui_.SetVisible(IDC_UPLOAD_PICTURE, true);
    Enter(State::Ready);
    // Each visit starts the upload by itself, once the page before has gone.
    ui_.PostStartUpload();
}

void TUploadForm::Enter(State state) {
    state_ = state;
    for (const StateRow& row : kStates) {
        if (row.state != state) continue;
        ui_.SetText(IDC_UPLOAD_GROUP, ui_.String(row.caption));
        ui_.SetBold(IDC_UPLOAD_GROUP, row.bold);
        ui_.SetEnabled(IDC_UPLOAD_ABORT, row.abortEnabled);
        ui_.SetEnabled(IDC_PAGE_NEXT, row.nextEnabled);
        ui_.SetEnabled(IDC_PAGE_BACK, row.backEnabled);
        ui_.SetEnabled(IDC_UPLOAD_START, row.uploadEnabled);
        ui_.SetEnabled(IDC_PAGE_CANCEL, row.cancelEnabled);
        ui_.Focus(row.focus);
    }
    if (state == State::Ready) {
        ui_.SetGauge(IDC_UPLOAD_GAUGE, 0);
        ui_.SetGaugeRunning(IDC_UPLOAD_GAUGE, false);
    } else if (state == State::Uploading) {
        ui_.SetGauge(IDC_UPLOAD_GAUGE, 0);
        ui_.SetGaugeRunning(IDC_UPLOAD_GAUGE, true);
    } else {
        ui_.SetGauge(IDC_UPLOAD_GAUGE, 100);
    }
    ui_.ProcessMessages();
}

void TUploadForm::Failed() {
    Enter(State::Ready);
    ui_.SetText(IDC_UPLOAD_GROUP, ui_.String(sid::UploadFailed));
}

void TUploadForm::Message(uint32_t message, intptr_t value) {
    if (message == um::StartUpload) StartUpload();
    if (message == um::Progress) Progress(static_cast<int32_t>(value));
}

void TUploadForm::StartUpload() {
    Upload();
    uploading_ = false;
}

void TUploadForm::Upload() {
    // The page answers while the engine waits on the line, not only at its progress points.
    const ScopedIdleHook pump(callback_, [this] { ui_.ProcessMessages(); });
    uploading_ = true;
    callback_.ClearAbort();
    Enter(State::Uploading);
    callback_.SetWindow(ui_.Window());
    callback_.SetMessage(um::Progress);
    ui_.SetText(IDC_UPLOAD_GROUP, "");
    ui_.ProcessMessages();

    const bool advanced = settings_.advancedMode;
    // The engine scales its progress and chooses the RAM part by the mode.
    link_.Options().advancedMode = advanced;
    PageUpdateUi updateUi(ui_, callback_);
    UpdateProcedure procedure(link_, updateUi, settings_.updateFile);
    UpdateOutcome outcome;
    if (advanced) {
        ui_.SetText(IDC_UPLOAD_GROUP, ui_.String(sid::UploadingLoader));
        ui_.ProcessMessages();
        outcome = SendLoader(procedure);
        const bool sending = updateUi.Stage() != UpdateStage::WaitingForLoader;
        if (outcome.code == rc::UserAbort && sending) {
            // The user gave up waiting for the handheld's ROM: that is what is said.
            ui_.Ask(sid::UploadAborted, sid::UploadAbortedCaption, mb::Ok | mb::IconExclamation);
            Failed();
            return;
        }
        if (!outcome.Done() && sending) {
            ui_.Ask(sid::LoaderUploadFailed, sid::LoaderUploadFailedCaption, mb::Ok | mb::IconStop);
            Failed();
            return;
        }
        if (!outcome.Done() && outcome.code != rc::UserAbort) {
            // A loader that did not come up leaves no device type either; that is what is said.
            ui_.Ask(sid::UnsupportedHandheld, sid::UnsupportedHandheldCaption,
                    mb::Ok | mb::IconStop);
            (void)link_.Disconnect();
            Failed();
            return;
        }
    } else {
        outcome = procedure.TakeConnectedLoader();
    }

    // The whole file, the flash it needs and the RAM data, judged before anything on the
    // handheld is erased. An abort while the loader was awaited comes out below too.
    if (outcome.Done()) outcome = procedure.CheckHandheld();
    if (outcome.refused) {
        (void)link_.Disconnect();
        Failed();
        return;
    }
    if (outcome.code == rc::UserAbort && callback_.Aborted()) {
        // Aborted before anything was erased: the handheld is as it was, and the user may
        // start again.
        ui_.Ask(sid::UploadAborted, sid::UploadAbortedCaption, mb::Ok | mb::IconExclamation);
        Enter(State::Ready);
        return;
    }
    if (outcome.code == rc::UserAbort) {
        // The user would rather not have the flash alone: the program ends.
        callback_.RequestAbort();
        uploading_ = false;
        (void)link_.Disconnect();
        Cancel();
        return;
    }
    TResult result = outcome.code;

    ui_.SetText(IDC_UPLOAD_GROUP, ui_.String(sid::UploadingFlash));
    ui_.ProcessMessages();
    if (result == rc::Success) {
        // After a failure here the link stays open: Back and Cancel close it. A lost line is
        // closed at once: the next attempt reaches the loader again, where the line left it.
        result = procedure.Write().code;
        if (result == rc::Success || (result == rc::ConnectionLost && !advanced))
            (void)link_.Disconnect();
    }
    ui_.ProcessMessages();
    uploading_ = false;

    if (result == rc::UserAbort) {
        ui_.Ask(sid::UploadAborted, sid::UploadAbortedCaption, mb::Ok | mb::IconExclamation);
        Enter(State::Ready);
    } else if (result == rc::Success) {
        ui_.Beep();
        Enter(State::Complete);
    } else {
        ShowError(result);
        Enter(State::Ready);
    }
}

UpdateOutcome TUploadForm::SendLoader(UpdateProcedure& procedure) {
    std::vector<uint8_t> buffer;
    try {
        buffer.resize(kLoaderBufferSize);
    } catch (const std::bad_alloc&) {
        return UpdateOutcome::Code(rc::OutOfMemory);
    }
    uint32_t size = kLoaderBufferSize;
    if (const TResult r = UtlLoadFile(settings_.loaderPath.c_str(), buffer.data(), &size))
        return UpdateOutcome::Code(r);
    // The handheld must be waiting in its ROM's serial mode; until it is, the user is the one
    // who decides to stop. The link the connection page opened is gone once the user went
    // back from here: that is the loader failing, and the user is sent to test the link again.
    return procedure.SendLoader(buffer.data(), size, kLoaderBufferSize);
}

void TUploadForm::Progress(int32_t value) {
    if (!uploading_) return;
    if (value > 100) {
        ui_.SetText(IDC_UPLOAD_GROUP, ui_.String(sid::UploadingRam));
        ui_.SetGauge(IDC_UPLOAD_GAUGE, value - 100);
    } else {
        ui_.SetGauge(IDC_UPLOAD_GAUGE, value);
    }
    ui_.ProcessMessages();
}

void TUploadForm::ShowError(TResult code) {
    if (code == rc::Success) return;
    if (code == rc::ConnectionLost) {
        ui_.AskFixed(kConnectionLostText, kComErrorCaption, mb::Ok | mb::IconStop);
        return;
    }
    const ErrorBox box = ErrorBoxOf(code);
    for (const ErrorBoxRow& row : kErrorBoxes) {
        if (row.box != box) continue;
        const std::string text = row.lead + std::to_string(code) + "=: " + ErrorText(code);
        ui_.AskFixed(text, row.caption, mb::Ok | mb::IconStop);
        return;
    }
}

void TUploadForm::Abort() {
    if (ui_.Ask(sid::AbortQuestion, sid::AbortQuestionCaption,
                mb::YesNo | mb::IconExclamation | mb::DefaultButton2) != mb::IdYes)
        return;
    callback_.RequestAbort();
    uploading_ = false;
}

void TUploadForm::Cancel() {
    (void)link_.Disconnect();
    ui_.PostClose();
}

void TUploadForm::Command(int control) {
    switch (control) {
        case IDC_UPLOAD_START: StartUpload(); break;
        case IDC_UPLOAD_ABORT: Abort(); break;
        case IDC_PAGE_NEXT:
            ui_.SetVisible(IDC_UPLOAD_PICTURE, false);
            ui_.SendShowPage(settings_.advancedMode ? page::Finish : page::FinalHotSync);
            break;
        case IDC_PAGE_BACK:
            (void)link_.Disconnect();
            ui_.SetVisible(IDC_UPLOAD_PICTURE, false);
            ui_.SendPrevPage();
            break;
        case IDC_PAGE_CANCEL: Cancel(); break;
        default: break;
    }
}

bool TUploadForm::CloseQuery() {
    if (!uploading_) return true;
    callback_.RequestAbort();
    uploading_ = false;
    return false;
}

void TUploadForm::CloseBox() {
    if (uploading_) {
        callback_.RequestAbort();
        uploading_ = false;
        return;
    }
    Cancel();
}
