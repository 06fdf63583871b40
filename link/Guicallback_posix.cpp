#include "link/Guicallback_edge.h"

namespace guicallback_edge {

// There are no windows here; the command line and tests override Progress instead.
void SendProgress(void*, uint32_t, int32_t) {}

}  // namespace guicallback_edge
