#include "app/Pages.h"

#include "app/BrowseForm.h"
#include "app/ConnectionForm.h"
#include "app/FileChoice.h"
#include "app/FileSelectForm.h"
#include "app/Fileobject.h"
#include "app/FinalHotsyncForm.h"
#include "app/FinishForm.h"
#include "app/ResetForm.h"
#include "app/UploadForm.h"
#include "app/WelcomeForm.h"
#include "app/Wizard.h"
#include "app/WizardFlow.h"
#include "app/WizardForm.h"
#include "image/UpdateFile.h"
#include "link/SerialEdge.h"
#include "support/ProgramFileEdge.h"

// The update file choice of the HotSync page's Next: the files beside the program.
void ChooseFile(PageUi& ui) {
    static const auto select = MakeFileSelectForm();
    FileChoiceWorld world;
    world.programDirectory = ProgramDirectory(MakeProgramFileEdge()->FileName());
    world.search = MakeFileSearchEdge();
    world.deviceOf = [](const std::string& path) { return IMGDevice(path.c_str()); };
    world.select = select.get();
    ChooseUpdateFile(ui, Settings(), PilotManager(), world);
}

std::unique_ptr<PageLogic> MakePageLogic(int id, PageUi& ui) {
    switch (id) {
        case page::HotSync:
            return std::make_unique<TWizardForm>(ui, Settings(), HotSyncManager(), PilotManager(),
                                                 Callback(), [&ui] { ChooseFile(ui); });
        case page::Welcome: return std::make_unique<TWelcomeForm>(ui, Settings(), HotSyncManager());
        case page::Reset: return std::make_unique<TResetForm>(ui);
        case page::Connection:
            return std::make_unique<TConnectionForm>(
                ui, Settings(), PilotManager(), HotSyncManager(),
                [](int n) { return MakePortProbe()->Probe(n); });
        case page::Browse: return std::make_unique<TBrowseForm>(ui, Settings(), PilotManager());
        case page::Upload:
            return std::make_unique<TUploadForm>(ui, Settings(), PilotManager(), Callback());
        case page::FinalHotSync:
            return std::make_unique<TFinalHotsyncForm>(ui, HotSyncManager(), PilotManager());
        case page::Finish: return std::make_unique<TFinishForm>(ui, Settings(), PilotManager());
        default: return nullptr;
    }
}
