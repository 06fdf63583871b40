#include "link/Guicallback.h"

#include "link/Guicallback_edge.h"

void GuiCallback::Progress(int32_t value) {
    if (Window()) guicallback_edge::SendProgress(Window(), Message(), value);
}
