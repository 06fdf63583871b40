// There is no registry here: one held in memory for the whole process stands in for it, so
// that the code that uses the registry builds and runs natively.
#include "base/MemoryRegistry.h"
#include "base/RegistryEdge.h"

std::unique_ptr<RegistryEdge> MakeRegistryEdge() {
    static MemoryRegistry registry;
    return registry.Edge();
}
