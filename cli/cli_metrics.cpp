// watch's metrics in the Prometheus text format (see cli_metrics.h).
#include "cli/cli_metrics.h"

#include <cstdio>
#include <unordered_set>
#include <utility>
#include <vector>

#include "cli/cli_render.h"
#include "ops/audit.h"
#include "ops/text.h"

namespace scout::cli {
namespace {

using Labels = std::vector<std::pair<const char*, std::string>>;

// One metric family: its samples, each a label set and a value, written
// together behind its HELP and TYPE lines.
struct Family {
    const char* name;
    const char* type;
    const char* help;
    std::vector<std::pair<std::string, std::string>> samples;  // labels as written, value
    std::unordered_set<std::string> labelSets;                  // those of samples
};

std::string LabelText(const Labels& labels) {
    std::string out;
    for (const auto& [name, value] : labels) {
        if (value.empty())
            continue;  // an empty value is no label at all
        out += out.empty() ? "{" : ",";
        out += std::string(name) + "=\"" + MetricLabelValue(value) + "\"";
    }
    return out.empty() ? out : out + "}";
}

// A sample whose labels another already has is left out: two controllers
// whose texts read the same would otherwise make the file one the collector
// rejects.
void Add(Family& family, const Labels& labels, const std::string& value) {
    std::string text = LabelText(labels);
    if (family.labelSets.insert(text).second)
        family.samples.emplace_back(std::move(text), value);
}

std::string Number(std::uint64_t value) {
    return std::to_string(value);
}

std::string Seconds(std::uint32_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%u.%03u", ms / 1000, ms % 1000);
    return text;
}

void Write(std::string& out, const Family& family) {
    if (family.samples.empty())
        return;
    out += std::string("# HELP ") + family.name + " " + family.help + "\n# TYPE " + family.name + " " + family.type +
           "\n";
    for (const auto& [labels, value] : family.samples)
        out += family.name + labels + " " + value + "\n";
}

// An interface as node exporter's own families name one: interface (its
// name, or its address where it has none), and the address beside it, as
// one adapter may carry several.
Labels InterfaceLabels(const std::string& name, const std::string& address) {
    return {{"interface", name.empty() ? address : SafeText(name.c_str())}, {"interface_address", address}};
}

Labels InterfaceLabels(const InterfaceMetric& entry) {
    return InterfaceLabels(entry.name, entry.address);
}

// The design's name for a controller, where the expected list gives one.
std::string NameOf(const LineMetrics& metrics, const Reply& row) {
    if (metrics.expectedList == nullptr)
        return "";
    const ExpectedRow* expected = ExpectedFor(*metrics.expectedList, row);
    return expected != nullptr ? SafeText(expected->name.c_str()) : "";
}

// A controller's series are keyed by what stays (its interface, its address,
// the list's name), so that a firmware update does not end one and start
// another; what it says of itself is a series of its own beside it.
void Controllers(std::string& out, const LineMetrics& metrics) {
    Family up{"scout_controller_up", "gauge",
              "Whether a controller answers at the address (1), or the watch said it gone (0: no answer in two "
              "searches in a row); a controller seen once is kept until the watch starts again.",
              {}, {}};
    Family info{"scout_controller_info", "gauge",
                "What the controller at the address says of itself (its model, version and revision) and its "
                "MAC, as it last answered: 1 for each controller there.",
                {}, {}};
    for (const ControllerMetric& controller : metrics.controllers) {
        if (controller.rows.empty())
            continue;
        const Reply& first = controller.rows.front();
        Labels place = InterfaceLabels(first.interfaceName, first.interfaceAddress);
        place.emplace_back("address", DeviceText(first.address));
        Labels named = place;
        named.emplace_back("name", NameOf(metrics, first));
        Add(up, named, controller.up ? "1" : "0");
        for (const Reply& row : controller.rows) {
            Labels labels = place;
            labels.emplace_back("model", DeviceText(row.model));
            labels.emplace_back("version", DeviceText(row.version));
            labels.emplace_back("revision", DeviceText(row.revision));
            labels.emplace_back("mac", RowMacText(row));
            Add(info, labels, "1");
        }
    }
    Write(out, up);
    Write(out, info);
}

void Expected(std::string& out, const LineMetrics& metrics) {
    Family up{"scout_expected_controller_up", "gauge",
              "Whether a controller the expected list (--expect) names answered at its address in the last search "
              "(1) or is missing (0).",
              {}, {}};
    for (const ExpectedMetric& expected : metrics.expected) {
        Labels labels = {{"address", expected.row->addressText}, {"name", SafeText(expected.row->name.c_str())}};
        if (expected.interfacePosition >= 0)
            for (const auto& label : InterfaceLabels(metrics.interfaces[static_cast<std::size_t>(expected.interfacePosition)]))
                labels.push_back(label);
        Add(up, labels, expected.up ? "1" : "0");
    }
    Write(out, up);
}

// Each per-interface family: its name, type, help and value.
struct InterfaceFamily {
    const char* name;
    const char* type;
    const char* help;
    std::string (*value)(const InterfaceMetric& entry);
    bool afterSearch;  // only once a search of the interface went through
};

constexpr InterfaceFamily InterfaceFamilies[] = {
    {"scout_interface_controllers", "gauge", "Addresses controllers answered at in the interface's last search.",
     [](const InterfaceMetric& e) { return Number(static_cast<std::uint64_t>(e.controllers)); }, true},
    {"scout_interface_duplicate_addresses", "gauge",
     "Addresses more than one reply came from in the interface's last search.",
     [](const InterfaceMetric& e) { return Number(static_cast<std::uint64_t>(e.duplicates)); }, true},
    {"scout_interface_address_conflicts", "gauge",
     "Addresses that controllers with different MACs answered at in the interface's last search.",
     [](const InterfaceMetric& e) { return Number(static_cast<std::uint64_t>(e.conflicts)); }, true},
    {"scout_interface_address_conflict_events_total", "counter",
     "Address conflicts the watch reported (several MACs at one address, or another MAC at a known address).",
     [](const InterfaceMetric& e) { return Number(e.conflictEvents); }, false},
    {"scout_interface_present", "gauge",
     "1 while the workstation has the interface, 0 once it is gone (a watch follows interfaces that come and go).",
     [](const InterfaceMetric& e) { return Number(static_cast<std::uint64_t>(e.present ? 1 : 0)); }, false},
    {"scout_interface_replacements_readdressed_total", "counter",
     "Replacements the watch gave their design row's address, verified (--readdress-replacements).",
     [](const InterfaceMetric& e) { return Number(e.readdressed); }, false},
    {"scout_interface_replacements_not_readdressed_total", "counter",
     "Replacements the watch left where they were: a doubt said, or a readdressing not verified.",
     [](const InterfaceMetric& e) { return Number(e.notReaddressed); }, false},
    {"scout_interface_search_duration_seconds", "gauge", "How long the last search took.",
     [](const InterfaceMetric& e) { return Seconds(e.lastSearchMs); }, false},
    {"scout_interface_last_search_timestamp_seconds", "gauge", "When the last search ended (Unix time).",
     [](const InterfaceMetric& e) { return Number(static_cast<std::uint64_t>(e.lastSearchTime)); }, false},
    {"scout_interface_searches_failed_total", "counter",
     "Searches of the interface a failure cut short (its controllers were then not counted missing).",
     [](const InterfaceMetric& e) { return Number(e.failedSearches); }, false},
    {"scout_interface_replies_lost_total", "counter",
     "Replies lost because the interface's receive buffer was full.",
     [](const InterfaceMetric& e) { return Number(e.lostReplies); }, false},
};

void Interfaces(std::string& out, const LineMetrics& metrics) {
    for (const InterfaceFamily& definition : InterfaceFamilies) {
        Family family{definition.name, definition.type, definition.help, {}, {}};
        for (const InterfaceMetric& entry : metrics.interfaces)
            if (entry.searched || !definition.afterSearch)
                Add(family, InterfaceLabels(entry), definition.value(entry));
        Write(out, family);
    }
    if (metrics.expectedList == nullptr)
        return;
    Family missing{"scout_interface_expected_missing", "gauge",
                   "Controllers the expected list (--expect) names on the interface that did not answer in the "
                   "last search.",
                   {}, {}};
    for (const InterfaceMetric& entry : metrics.interfaces)
        Add(missing, InterfaceLabels(entry), Number(static_cast<std::uint64_t>(entry.expectedMissing)));
    Write(out, missing);
}

}  // namespace

std::string MetricLabelValue(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        default: out += c;
        }
    }
    return out;
}

std::string MetricsText(const LineMetrics& metrics, const char* version) {
    std::string out;
    Write(out, Family{"scout_info", "gauge", "The watch that writes these metrics: scout-cli and its version.",
                      {{LabelText({{"version", version}}), "1"}}, {}});
    Write(out, Family{"scout_searches_total", "counter", "Searches of the line since the watch started.",
                      {{"", Number(metrics.searches)}}, {}});
    if (metrics.searches == 0)
        return out;
    Controllers(out, metrics);
    Expected(out, metrics);
    Interfaces(out, metrics);
    Write(out, Family{"scout_replies_filtered_total", "counter",
                      "Packets the reverse-path filter dropped while the searches listened, on every interface "
                      "(replies from outside an interface's subnet among them).",
                      {{"", Number(metrics.filteredReplies)}}, {}});
    return out;
}

}  // namespace scout::cli
