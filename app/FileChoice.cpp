#include "app/FileChoice.h"

#include "app/Settings.h"
#include "app/WizardFlow.h"
#include "base/Log.h"
#include "base/MessageBoxEdge.h"
#include "link/Pilotmanager.h"
#include "link/UpdateProcedure.h"
#include "support/Filelist.h"
#include "support/StringList.h"

namespace {

// Device type 6 handhelds had trouble with their files; each one looked at is logged.
constexpr int kTracedDevice = 6;

}  // namespace

void ChooseUpdateFile(PageUi& ui, win32_cfg_type& settings, TPilotManager& link,
                      const FileChoiceWorld& world) {
    const std::string pattern =
        settings.commandLineFile.empty() ? "*.UPD" : settings.commandLineFile;
    TFileList files(world.programDirectory, pattern, *world.search);
    TStringList listed;
    files.FillStringList(&listed, true);

    const int device = link.DeviceType();
    if (!IsSupportedDevice(static_cast<uint16_t>(device))) {
        ui.AskFixed(kIncompatibleDeviceText, kIncompatibleDeviceCaption, mb::Ok | mb::IconStop);
        ui.CloseMain();
        return;
    }
    std::vector<std::string> names;
    for (int i = 0; i < listed.Count(); ++i) {
        const std::string path = world.programDirectory + listed.Get(i) + ".upd";
        if (device == kTracedDevice) PrintMessage(2, "Checking file: %s", path.c_str());
        // A file that cannot be read gives no device code and is dropped like the others.
        if (ChosenWithoutAsking(static_cast<uint8_t>(device), world.deviceOf(path)))
            names.push_back(listed.Get(i));
    }

    const auto take = [&](const std::string& name) {
        settings.updateFile = world.programDirectory + name + ".upd";
        ui.PostShowPage(page::Upload);
    };
    if (names.empty()) {
        ui.PostShowPage(page::Browse);
    } else if (names.size() == 1) {
        take(names.front());
    } else {
        int selected = -1;
        switch (world.select->Choose(names, selected)) {
            case FileSelectUi::Answer::Ok:
                if (selected >= 0 && selected < static_cast<int>(names.size()))
                    take(names[static_cast<size_t>(selected)]);
                break;
            case FileSelectUi::Answer::Browse: ui.PostShowPage(page::Browse); break;
            case FileSelectUi::Answer::Cancel:
                (void)link.Disconnect();
                ui.PostClose();
                break;
        }
    }
}
