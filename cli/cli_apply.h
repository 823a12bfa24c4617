// scout-cli apply PLAN: a plan of commands checked as a whole against one
// search of every interface, then sent together and verified together.
#pragma once

#include "cli/cli_session.h"

namespace scout::cli {

int RunApply(Session& session);

}  // namespace scout::cli
