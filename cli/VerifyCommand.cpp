#include <cstdio>

#include "cli/Commands.h"
#include "cli/Refusals.h"
#include "link/UpdateProcedure.h"

// The file judged as flash judges it before it opens the port: the same findings, without a
// handheld.
int RunVerify(const Arguments& arguments) {
    UpdateFacts facts;
    const UpdateOutcome outcome = JudgeUpdateFile(arguments.File().c_str(), facts);
    if (outcome.Done()) {
        std::printf("OK\n");
        return 0;
    }
    if (outcome.refused)
        std::printf("refused: %s\n", RefusalText(outcome.refusal, facts).c_str());
    else
        std::printf("error %d: %s\n", outcome.code, ErrorText(outcome.code));
    return 1;
}
