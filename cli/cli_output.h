// scout-cli's rows and their three renderings: an aligned table safe for a
// terminal, JSON and CSV (both with the device's texts decoded as Windows-1252).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "net/platform.h"
#include "net/query_datagram.h"

namespace scout::cli {

struct CliRow {
    char address[AddressTextCapacity] = {};
    char model[TextBufferCapacity] = {};
    char version[TextBufferCapacity] = {};
    char revision[TextBufferCapacity] = {};
    char interfaceAddress[AddressTextCapacity] = {};
    BroadcastInterface via{};  // the interface whose window read the reply
};

enum class OutputFormat { Table, Json, Csv };

// The search's front end over a vector of rows; showError goes to standard error.
struct CliList {
    std::vector<CliRow> rows;
};
SearchFrontEnd MakeCliFrontEnd(CliList* list);

// One report as one line: "scout-cli: " and the text with every run of line
// breaks folded into one space.
std::string FormatErrorLine(const char* text);

// A device's bytes as UTF-8, read as Windows-1252.
std::string DecodeWindows1252(const char* text);

std::string RenderRows(const std::vector<CliRow>& rows, OutputFormat format);
// The rows as one JSON array, its lines after the first indented by indent.
std::string JsonRows(const std::vector<CliRow>& rows, const char* indent);

// What a command did: sent or not, where, and (after the wait) the rows the
// search found and how many answered at a reconfigure's new address.
struct CommandResult {
    const char* command = "";
    const char* target = "";
    const char* interfaceAddress = "";
    bool sent = false;
    bool dryRun = false;
    std::string datagramHex;
    const std::vector<CliRow>* rows = nullptr;  // null: no search followed
    const char* newAddress = "";
    int answeringAtNewAddress = -1;             // -1: not a reconfigure, or no search followed
};
// --json: one object; the table and CSV: the rows (or, for a dry run, what would be sent).
std::string RenderCommandResult(const CommandResult& result, OutputFormat format);
std::string RenderInterfaces(const BroadcastInterface* entries, std::size_t count, OutputFormat format);

}  // namespace scout::cli
