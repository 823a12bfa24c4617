// scout-cli doctor's lines (ops/doctor) as a table, or --json (an array of objects).
#pragma once

#include <string>
#include <vector>

#include "cli/cli_render.h"
#include "ops/doctor.h"

namespace scout::cli {

std::string RenderChecks(const std::vector<CheckLine>& lines, bool json);

}  // namespace scout::cli
