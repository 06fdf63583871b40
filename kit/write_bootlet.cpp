// write_bootlet: writes Bootlet.prc, the serial loader file the kit ships in sys/. The Windows
// build compiles it for the build machine, so that the kit gets the same bytes the simulated
// handheld and kestrel-flash use without running a Windows program while building.
#include <cstdio>
#include <string>

#include "sim/Bootlet.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_bootlet PATH\n");
        return 2;
    }
    std::string error;
    if (!WriteBootletPrc(argv[1], error)) {
        std::fprintf(stderr, "write_bootlet: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
