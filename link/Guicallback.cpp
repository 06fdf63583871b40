#include "link/Guicallback.h"

#include <utility>

GuiCallback::GuiCallback(std::unique_ptr<ProgressWindowEdge> edge) : edge_(std::move(edge)) {}

GuiCallback::~GuiCallback() = default;

void GuiCallback::Progress(int32_t value) {
    if (Window() && edge_) edge_->Send(Window(), Message(), value);
}
