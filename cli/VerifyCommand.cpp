#include <cstdio>

#include "cli/Commands.h"
#include "image/UpdateFile.h"

int RunVerify(int argc, char** argv) {
    if (argc != 1 || argv[0][0] == '-') return UsageError("verify", "expected one FILE");
    const TResult code = VerifyUpdateFile(argv[0]);
    if (code == rc::Success) {
        std::printf("OK\n");
        return 0;
    }
    std::printf("error %d: %s\n", code, ErrorText(code));
    return 1;
}
