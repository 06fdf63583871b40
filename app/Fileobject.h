// The program's one HotSync environment. It is made when the program starts, before any
// window, by the first call, and destroyed when the program ends, whatever page the wizard was
// on: its destruction gives HotSync Manager back its configuration.
#pragma once

#include "hotsync/HotSyncManager.h"

THotSyncManager& HotSyncManager();
