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
std::string RenderInterfaces(const BroadcastInterface* entries, std::size_t count, OutputFormat format);

}  // namespace scout::cli
