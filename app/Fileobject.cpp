#include "app/Fileobject.h"

THotSyncManager& HotSyncManager() {
    static THotSyncManager manager;
    return manager;
}
