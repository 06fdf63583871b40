// The upload page against the simulated handheld: the whole upload in both modes, what it
// refuses before anything is erased, the RAM question, the loader loop and its abort, an
// abort during flashing, progress and the close requests while it runs.
#include "app/UploadForm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/PageControls.h"
#include "app/WizardFlow.h"
#include "app/tests/PageWorld.h"
#include "base/StringIds.h"
#include "sim/Bootlet.h"
#include "testing/TestUpdateFile.h"

namespace {

using Q = FakePageUi::Question;
using State = TUploadForm::State;
using testupd::BuildUpd;
using testupd::Pattern;
using testupd::TempFile;
using testupd::UpdPlan;

UpdPlan SmallOs(bool ramData = false) {
    UpdPlan plan;
    plan.minor = 2;  // no flash store to finalise
    plan.os = {{0, Pattern(5000, 1), {}}, {0x10000, Pattern(4096, 2), {}}};
    if (ramData) plan.ram = {{0x20000, Pattern(1000, 3)}};
    return plan;
}

class UploadFormTest : public PageWorld {
protected:
    explicit UploadFormTest(HandheldMode mode = HandheldMode::Loader,
                            const UpdPlan& plan = SmallOs())
        : PageWorld(mode), file(BuildUpd(plan)), plan_(plan) {
        settings.updateFile = file.Path();
        std::fill(handheld.Memory().Ram().begin(), handheld.Memory().Ram().end(), uint8_t{0x5A});
        ramBefore = handheld.Memory().Ram();
        flashBefore = handheld.Memory().Flash();
        page = std::make_unique<TUploadForm>(ui, settings, *link, callback);
        callback.to = [this](int32_t value) {
            reports.push_back(value);
            page->Progress(value);
        };
    }
    // Normal mode: the HotSync page left the loader connected.
    void ConnectLoader() {
        ASSERT_EQ(link->OpenPort("COM1"), rc::Success);
        ASSERT_EQ(link->StartLoader(), rc::Success);
    }
    void Upload() {
        page->Activate();
        ASSERT_EQ(ui.events.back(), "post start upload");
        page->Message(um::StartUpload, 0);
    }
    bool FlashHoldsTheFile() {
        for (const auto& part : plan_.os)
            if (!std::equal(part.data.begin(), part.data.end(),
                            handheld.Memory().Flash().begin() + part.offset))
                return false;
        return true;
    }
    bool Untouched() {
        return handheld.Memory().Ram() == ramBefore && handheld.Memory().Flash() == flashBefore;
    }

    TempFile file;
    UpdPlan plan_;
    std::vector<uint8_t> ramBefore, flashBefore;
    std::unique_ptr<TUploadForm> page;
    std::vector<int32_t> reports;
};

TEST_F(UploadFormTest, NormalModeWritesTheOsAndCompletes) {
    ConnectLoader();
    Upload();
    EXPECT_EQ(page->Current(), State::Complete);
    EXPECT_FALSE(page->Uploading());
    EXPECT_TRUE(FlashHoldsTheFile());
    EXPECT_TRUE(ui.asked.empty() && ui.told.empty());
    EXPECT_EQ(ui.texts[IDC_UPLOAD_GROUP], "Upload Complete !!! ");
    EXPECT_TRUE(ui.bolds.count(IDC_UPLOAD_GROUP));
    EXPECT_EQ(ui.gauges[IDC_UPLOAD_GAUGE], 100);
    EXPECT_FALSE(ui.disabled.count(IDC_PAGE_NEXT));
    EXPECT_TRUE(ui.disabled.count(IDC_PAGE_BACK));
    EXPECT_FALSE(link->IsConnected()) << "the loader was told to leave";
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), 100);
    page->Command(IDC_PAGE_NEXT);
    EXPECT_EQ(ui.events.back(), "send show " + std::to_string(page::FinalHotSync));
}

TEST_F(UploadFormTest, ProgressAboveAHundredIsTheRamPart) {
    ConnectLoader();
    page->Activate();
    page->Progress(40);
    EXPECT_NE(ui.gauges[IDC_UPLOAD_GAUGE], 40) << "not uploading: ignored";
    ui.onMessages = [this] {
        if (ui.messageRounds != 3) return;
        page->Progress(150);
        EXPECT_EQ(ui.texts[IDC_UPLOAD_GROUP], "Uploading RAM Image ");
        EXPECT_EQ(ui.gauges[IDC_UPLOAD_GAUGE], 50);
    };
    page->Message(um::StartUpload, 0);
    EXPECT_GE(ui.messageRounds, 3);
}

TEST_F(UploadFormTest, AClosedWindowDuringTheUploadIsAnAbortRequestAndStaysOpen) {
    ConnectLoader();
    bool asked = false;
    ui.onMessages = [&] {
        if (!page->Uploading() || asked || reports.empty()) return;
        asked = true;
        EXPECT_FALSE(page->CloseQuery());
        EXPECT_TRUE(callback.Aborted());
    };
    Upload();
    EXPECT_TRUE(asked);
    EXPECT_EQ(page->Current(), State::Ready);
    ASSERT_EQ(ui.told.size(), 1u) << "the engine's own abort code in the unknown-error box";
    EXPECT_NE(ui.told[0].find("Critical Error: An unknown error has occurred."), std::string::npos);
    EXPECT_NE(
        ui.told[0].find(std::to_string(rc::FlashAborted) + "=: " + ErrorText(rc::FlashAborted)),
        std::string::npos);
    EXPECT_TRUE(page->CloseQuery()) << "nothing runs any more";
}

TEST_F(UploadFormTest, TheAbortButtonAsksFirst) {
    ConnectLoader();
    int round = 0;
    ui.onMessages = [&] {
        if (reports.empty() || ++round != 2) return;
        ui.answers = {mb::IdNo, mb::IdYes};
        page->Command(IDC_UPLOAD_ABORT);
        EXPECT_FALSE(callback.Aborted()) << "No keeps it going";
        page->Command(IDC_UPLOAD_ABORT);
        EXPECT_TRUE(callback.Aborted());
    };
    Upload();
    EXPECT_EQ(ui.asked.front(), (Q{sid::AbortQuestion, sid::AbortQuestionCaption,
                                   mb::YesNo | mb::IconExclamation | mb::DefaultButton2}));
    EXPECT_EQ(page->Current(), State::Ready);
    EXPECT_EQ(ui.told.size(), 1u);
}

// An abort confirmed while the file is still being judged stops the upload before the RAM
// store is erased.
TEST_F(UploadFormTest, AnAbortBeforeTheEraseLeavesTheHandheldUntouched) {
    ConnectLoader();
    ui.onMessages = [&] {
        if (!page->Uploading() || callback.Aborted()) return;
        ui.answers = {mb::IdYes};
        page->Command(IDC_UPLOAD_ABORT);
    };
    Upload();
    EXPECT_TRUE(Untouched());
    EXPECT_EQ(ui.asked.back(),
              (Q{sid::UploadAborted, sid::UploadAbortedCaption, mb::Ok | mb::IconExclamation}));
    EXPECT_EQ(page->Current(), State::Ready);
    EXPECT_EQ(std::count(ui.events.begin(), ui.events.end(), "post close"), 0);
}

class DamagedFile : public UploadFormTest {
protected:
    static UpdPlan Damaged() {
        UpdPlan plan = SmallOs();
        plan.os[0].crc = 0x1234;  // the map's checksum is not the data's
        return plan;
    }
    DamagedFile() : UploadFormTest(HandheldMode::Loader, Damaged()) {}
};

TEST_F(DamagedFile, IsReportedAsAFileErrorBeforeAnythingIsErased) {
    ConnectLoader();
    Upload();
    EXPECT_TRUE(Untouched());
    ASSERT_EQ(ui.told.size(), 1u);
    EXPECT_EQ(ui.told[0].rfind("File Error: A file error has occurred.", 0), 0u) << ui.told[0];
    EXPECT_EQ(page->Current(), State::Ready);
}

class TooBig : public UploadFormTest {
protected:
    static UpdPlan Plan(uint32_t end) {
        UpdPlan plan = SmallOs();
        // The last 64 KiB of the flash, and one byte more or not.
        plan.os.push_back({0x3F0000, Pattern(end - 0x3F0000, 4), {}});
        return plan;
    }
    explicit TooBig(uint32_t end = 0x400001) : UploadFormTest(HandheldMode::Loader, Plan(end)) {}
};

TEST_F(TooBig, OneByteMoreThanTheFlashIsRefusedAndCancelEndsTheProgram) {
    ConnectLoader();
    Upload();
    EXPECT_EQ(ui.asked,
              (std::vector<Q>{{sid::ImageTooBig, sid::ImageTooBigCaption, mb::Ok | mb::IconStop}}));
    EXPECT_EQ(ui.texts[IDC_UPLOAD_GROUP], "Upload Failed ");
    EXPECT_TRUE(Untouched());
    EXPECT_FALSE(cable->IsOpen());
    page->Command(IDC_PAGE_CANCEL);
    EXPECT_EQ(ui.events.back(), "post close");
}

class ExactlyTheFlash : public TooBig {
protected:
    ExactlyTheFlash() : TooBig(0x400000) {}
};

TEST_F(ExactlyTheFlash, IsAccepted) {
    ConnectLoader();
    Upload();
    EXPECT_EQ(page->Current(), State::Complete)
        << (ui.told.empty() ? "" : ui.told[0]) << (ui.asked.empty() ? 0 : ui.asked[0].text);
    EXPECT_TRUE(FlashHoldsTheFile());
}

class WithRamData : public UploadFormTest {
protected:
    WithRamData() : UploadFormTest(HandheldMode::Loader, SmallOs(true)) {}
};

TEST_F(WithRamData, NormalModeAsksAndOkWritesTheFlashAlone) {
    ConnectLoader();
    ui.answers = {mb::IdOk};
    Upload();
    ASSERT_EQ(ui.told.size(), 1u);
    EXPECT_EQ(ui.told[0].rfind(kRamNotSupportedCaption, 0), 0u);
    EXPECT_EQ(page->Current(), State::Complete);
    EXPECT_TRUE(FlashHoldsTheFile());
    EXPECT_NE(handheld.Memory().Ram()[0x20000], Pattern(1000, 3)[0]) << "no RAM data";
}

TEST_F(WithRamData, NormalModeCancelEndsTheProgramWithNothingWritten) {
    ConnectLoader();
    ui.answers = {mb::IdCancel};
    Upload();
    EXPECT_TRUE(Untouched());
    EXPECT_EQ(ui.events.back(), "post close");
    EXPECT_FALSE(page->Uploading());
    EXPECT_FALSE(cable->IsOpen());
}

class AdvancedMode : public UploadFormTest {
protected:
    explicit AdvancedMode(HandheldMode mode = HandheldMode::RomDebugger)
        : UploadFormTest(mode, SmallOs(true)) {
        settings.advancedMode = true;
        loader = (std::filesystem::temp_directory_path() / "kestrel-upload-Bootlet.prc").string();
        std::string error;
        EXPECT_TRUE(WriteBootletPrc(loader, error)) << error;
        settings.loaderPath = loader;
        // The connection page left the ROM debugger answering.
        EXPECT_EQ(link->OpenPort("COM1"), rc::Success);
        if (mode == HandheldMode::RomDebugger) {
            EXPECT_EQ(link->ConnectDebugger(), rc::Success);
        }
    }
    ~AdvancedMode() override { std::filesystem::remove(loader); }
    std::string loader;
};

TEST_F(AdvancedMode, SendsTheLoaderThenWritesOsAndRam) {
    Upload();
    EXPECT_EQ(page->Current(), State::Complete) << (ui.told.empty() ? "" : ui.told[0]);
    EXPECT_TRUE(FlashHoldsTheFile());
    const auto ram = Pattern(1000, 3);
    EXPECT_TRUE(std::equal(ram.begin(), ram.end(), handheld.Memory().Ram().begin() + 0x20000));
    EXPECT_LE(reports.front(), 4) << "the loader's own progress first";
    page->Command(IDC_PAGE_NEXT);
    EXPECT_EQ(ui.events.back(), "send show " + std::to_string(page::Finish));
}

class NotInItsRom : public AdvancedMode {
protected:
    NotInItsRom() : AdvancedMode(HandheldMode::Os) {}
};

TEST_F(NotInItsRom, TheLoaderIsOfferedUntilTheUserGivesUp) {
    ui.onMessages = [this] {
        if (ui.messageRounds < 6 || !page->Uploading()) return;
        ui.answers = {mb::IdYes};
        page->Command(IDC_UPLOAD_ABORT);
    };
    Upload();
    EXPECT_EQ(ui.asked.back(),
              (Q{sid::UploadAborted, sid::UploadAbortedCaption, mb::Ok | mb::IconExclamation}));
    EXPECT_EQ(ui.texts[IDC_UPLOAD_GROUP], "Upload Failed ");
    EXPECT_TRUE(Untouched());
}

// Back closes the link the connection page opened, so the next visit cannot reach the ROM: it
// says the loader failed at once instead of offering it to a closed port until the user gives
// up.
TEST_F(AdvancedMode, AfterBackTheClosedLinkIsALoaderFailureNotAWait) {
    page->Command(IDC_PAGE_BACK);
    Upload();
    EXPECT_EQ(ui.asked.back(),
              (Q{sid::LoaderUploadFailed, sid::LoaderUploadFailedCaption, mb::Ok | mb::IconStop}));
    EXPECT_EQ(ui.texts[IDC_UPLOAD_GROUP], "Upload Failed ");
    EXPECT_TRUE(Untouched());
}

}  // namespace
