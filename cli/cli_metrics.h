// watch --metrics FILE: what the watch keeps of the line (ops/line_metrics)
// in the Prometheus text exposition format, for the textfile collector of the
// node exporter (Linux) or of windows_exporter (Windows).
#pragma once

#include <string>

#include "cli/cli_render.h"
#include "ops/line_metrics.h"

namespace scout::cli {

// A label's value as the format quotes it: a backslash, a double quote and a
// line feed escaped (the text itself already valid UTF-8).
std::string MetricLabelValue(const std::string& text);

// The whole file: scout_info with version, then, once a search is recorded,
// each metric family once with its HELP and TYPE lines; every series' labels
// unique, so that the collector never rejects the file.
std::string MetricsText(const LineMetrics& metrics, const char* version);

}  // namespace scout::cli
