// The wizard's process-wide objects, made before the main window in this order: the progress
// and abort channel with the handheld link bound to it, the settings from the command line,
// then the HotSync environment (app/Fileobject.h). They live until the program ends; the
// HotSync environment goes first and gives HotSync Manager back its configuration, the link
// closes the serial port.
#pragma once

#include "app/Settings.h"
#include "link/Guicallback.h"
#include "link/Pilotmanager.h"

GuiCallback& Callback();
TPilotManager& PilotManager();
win32_cfg_type& Settings();

// Makes all of them, in their order.
void MakeProcessObjects();
