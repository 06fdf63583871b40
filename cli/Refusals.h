// The update procedure's refusals as kestrel-flash words them: the wizard's own text (its
// question left off) and what was found, in one line.
#pragma once

#include <string>

#include "link/UpdateProcedure.h"

std::string RefusalText(UpdateRefusal refusal, const UpdateFacts& facts);
