// The metrics file as the textfile collectors read it: the format's lines for
// a small line, every family once, labels a controller's bytes cannot break,
// and no two series with one label set.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "cli/cli_metrics.h"
#include "tests/fakes/rows.h"

namespace scout::cli {
namespace {

using test::If2;

Reply Row(const char* address, const char* version) {
    Reply row = test::Row(address, If2);
    std::snprintf(row.version, sizeof row.version, "%s", version);
    std::snprintf(row.interfaceAddress, sizeof row.interfaceAddress, "10.1.0.1");
    std::snprintf(row.interfaceName, sizeof row.interfaceName, "ws0");
    return row;
}

LineMetrics OneInterface() {
    InterfaceMetric ws0;
    ws0.via = If2;
    ws0.address = "10.1.0.1";
    ws0.name = "ws0";
    LineMetrics metrics;
    StartLineMetrics(metrics, {ws0}, nullptr);
    return metrics;
}

void Searched(LineMetrics& metrics, WatchState& state, const std::vector<Reply>& rows) {
    const std::vector<Change> changes = CompareSearch(state, rows, {});
    SearchSeen seen;
    seen.rows = &rows;
    seen.changes = &changes;
    seen.state = &state;
    seen.cutShort = {false};
    seen.lost = {5};
    seen.searchMs = 1012;
    seen.endTime = 1765360000;
    RecordSearch(metrics, seen);
}

// Each sample line (no comment), and each family named by a TYPE line.
std::vector<std::string> Samples(const std::string& text, std::vector<std::string>* families) {
    std::vector<std::string> samples;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        if (line.rfind("# TYPE ", 0) == 0)
            families->push_back(line.substr(7, line.find(' ', 7) - 7));
        else if (line[0] != '#')
            samples.push_back(line);
    }
    return samples;
}

TEST(WatchMetrics, BeforeTheFirstSearchOnlyWhatIsKnown) {
    EXPECT_EQ(MetricsText(OneInterface(), "1.1.0"),
              "# HELP scout_info The watch that writes these metrics: scout-cli and its version.\n"
              "# TYPE scout_info gauge\n"
              "scout_info{version=\"1.1.0\"} 1\n"
              "# HELP scout_searches_total Searches of the line since the watch started.\n"
              "# TYPE scout_searches_total counter\n"
              "scout_searches_total 0\n");
}

TEST(WatchMetrics, EachFamilyOnceWithItsSamples) {
    LineMetrics metrics = OneInterface();
    WatchState state;
    Searched(metrics, state, {Row("10.1.0.5", "2.14"), Row("10.1.0.6", "1.9")});
    std::vector<std::string> families;
    const std::vector<std::string> samples = Samples(MetricsText(metrics, "1.1.0"), &families);
    EXPECT_EQ(std::set<std::string>(families.begin(), families.end()).size(), families.size());
    // Keyed by what stays; what a controller says of itself beside it.
    for (const char* wanted :
         {"scout_controller_up{interface=\"ws0\",interface_address=\"10.1.0.1\",address=\"10.1.0.5\"} 1",
          "scout_controller_info{interface=\"ws0\",interface_address=\"10.1.0.1\",address=\"10.1.0.5\","
          "model=\"KRV-ETH1A2B\",version=\"2.14\",revision=\"C\"} 1",
          "scout_interface_controllers{interface=\"ws0\",interface_address=\"10.1.0.1\"} 2",
          "scout_interface_duplicate_addresses{interface=\"ws0\",interface_address=\"10.1.0.1\"} 0",
          "scout_interface_search_duration_seconds{interface=\"ws0\",interface_address=\"10.1.0.1\"} 1.012",
          "scout_interface_last_search_timestamp_seconds{interface=\"ws0\",interface_address=\"10.1.0.1\"} "
          "1765360000",
          "scout_interface_replies_lost_total{interface=\"ws0\",interface_address=\"10.1.0.1\"} 5",
          "scout_searches_total 1", "scout_replies_filtered_total 0"})
        EXPECT_NE(std::find(samples.begin(), samples.end(), wanted), samples.end()) << wanted;
    for (const std::string& family : families)
        EXPECT_EQ(family.find("expected"), std::string::npos) << "no expected list, no such family: " << family;
}

// A firmware update changes what a controller says of itself, not its series.
TEST(WatchMetrics, AFirmwareUpdateKeepsTheSeries) {
    LineMetrics metrics = OneInterface();
    WatchState state;
    Searched(metrics, state, {Row("10.1.0.5", "2.14")});
    Searched(metrics, state, {Row("10.1.0.5", "2.20")});
    std::vector<std::string> families;
    const std::vector<std::string> samples = Samples(MetricsText(metrics, "1.1.0"), &families);
    std::vector<std::string> up, info;
    for (const std::string& sample : samples) {
        if (sample.rfind("scout_controller_up{", 0) == 0)
            up.push_back(sample);
        if (sample.rfind("scout_controller_info{", 0) == 0)
            info.push_back(sample);
    }
    EXPECT_EQ(up, (std::vector<std::string>{
                      "scout_controller_up{interface=\"ws0\",interface_address=\"10.1.0.1\",address=\"10.1.0.5\"} 1"}));
    ASSERT_EQ(info.size(), 1u);
    EXPECT_NE(info[0].find("version=\"2.20\""), std::string::npos) << info[0];
}

TEST(WatchMetrics, AControllersBytesCannotBreakALabel) {
    LineMetrics metrics = OneInterface();
    WatchState state;
    // A quote, a backslash and a line feed; and two texts that read the same once shown.
    Searched(metrics, state, {Row("10.1.0.5", "a\"b\\c\nd"), Row("10.1.0.6", "\x01"), Row("10.1.0.6", "\\x01")});
    std::vector<std::string> families;
    const std::vector<std::string> samples = Samples(MetricsText(metrics, "1.1.0"), &families);
    EXPECT_NE(std::find(samples.begin(), samples.end(),
                        "scout_controller_info{interface=\"ws0\",interface_address=\"10.1.0.1\",address=\"10.1.0.5\","
                        "model=\"KRV-ETH1A2B\",version=\"a\\\"b\\\\c\\\\x0Ad\",revision=\"C\"} 1"),
              samples.end());
    std::set<std::string> series;
    for (const std::string& sample : samples)
        EXPECT_TRUE(series.insert(sample.substr(0, sample.rfind(' '))).second) << "twice: " << sample;
    EXPECT_EQ(MetricLabelValue("\\\"\n"), "\\\\\\\"\\n");
}

}  // namespace
}  // namespace scout::cli
