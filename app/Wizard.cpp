#include "app/Wizard.h"

#include "app/Fileobject.h"

GuiCallback& Callback() {
    static GuiCallback callback;
    return callback;
}

TPilotManager& PilotManager() {
    static TPilotManager manager(&Callback());
    return manager;
}

win32_cfg_type& Settings() {
    static win32_cfg_type settings = [] {
        const auto program = MakeProgramFileEdge();
        return win32_cfg_type::FromProgram(*program);
    }();
    return settings;
}

void MakeProcessObjects() {
    // Statics end in the reverse order of their making: the HotSync environment first.
    PilotManager();
    Settings();
    PilotManager().Options().highSpeed = Settings().highSpeed;
    HotSyncManager();
}
