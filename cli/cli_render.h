// Rendering of rows, interfaces and command results for scout-cli: an aligned
// table safe for a terminal (or one with fixed columns, row by row as the
// replies arrive), JSON and CSV (the device's texts decoded as Windows-1252; no
// control character raw).
#pragma once

#include <string>
#include <vector>

#include "ops/names.h"
#include "ops/reply.h"
#include "net/platform.h"

namespace scout::cli {

using namespace scout::ops;  // the rules' facts and texts, as every part of scout-cli words and shows them

enum class OutputFormat { Table, Json, Csv };

struct RenderOptions {
    bool header = true;          // false: --no-header, for the table and CSV
    const char* lineEnd = "\n";  // of CSV records: CR LF on Windows
};



// "KRV-ETH1A2B 2.14 C": a controller's texts, fit for a terminal.
std::string DeviceTexts(const Reply& row);


// Plain texts (of this machine) as an aligned table or CSV, safe for a terminal.
// A table too long to hold, printed in two passes over its rows: every row
// measured first, then each aligned as RenderStrings aligns it.
struct ColumnWidths {
    std::vector<std::size_t> widths;
};
void MeasureStrings(ColumnWidths& columns, const std::vector<std::string>& cells);
void MeasureHeaders(ColumnWidths& columns, const char* const* headers, int count);
std::string AlignedStrings(const ColumnWidths& columns, const std::vector<std::string>& cells);
std::string AlignedHeaders(const ColumnWidths& columns, const char* const* headers, int count);
// One CSV record of the texts given (each made safe for a terminal).
std::string CsvStrings(const std::vector<std::string>& cells, const char* lineEnd);

std::string RenderStrings(const char* const* headers, int count, const std::vector<std::vector<std::string>>& rows,
                          OutputFormat format, const RenderOptions& options);

std::string RenderRows(const std::vector<Reply>& rows, OutputFormat format, const RenderOptions& options);
// The rows as one JSON array, its lines after the first indented by indent.
std::string JsonRows(const std::vector<Reply>& rows, const char* indent);
// One row's keys and values as in that array, without the braces.
std::string JsonRowKeys(const Reply& row);
// The row's MAC as shown ("02:00:5e:10:00:01"), "" where it is not known.
std::string RowMacText(const Reply& row);
// One row's CSV fields and their headers, as search --csv writes them; a
// record of fields (each quoted as RFC 4180 needs) with its line end.
std::vector<std::string> CsvRowHeaders();
std::vector<std::string> CsvRowFields(const Reply& row);
void AppendCsvFields(std::string& out, const std::vector<std::string>& fields, const char* lineEnd);

// The table row by row as the replies arrive: columns of a fixed width, wide
// enough for every row whose texts are printable, so that no row that comes
// later changes the layout.
std::string StreamHeader();
std::string StreamRow(const Reply& row);

// One line of `scout-cli interfaces`.
struct InterfaceLine {
    BroadcastInterface entry;
    InterfaceDetails details;
    const char* skipped = nullptr;  // why the search leaves it out; null: searched
};
std::string RenderInterfaces(const std::vector<InterfaceLine>& lines, OutputFormat format,
                             const RenderOptions& options);

// What a command did: sent or not, where, and (after the wait) the rows the
// search found and how many answered at a reconfigure's new address.
struct CommandResult {
    const char* command = "";
    const char* target = "";
    const char* interfaceAddress = "";
    const char* interfaceName = "";
    bool sent = false;
    bool dryRun = false;
    bool checked = true;  // false: sent with --no-search, nothing looked at first
    std::string datagramHex;
    const std::vector<Reply>* rows = nullptr;  // null: no search followed
    const char* newAddress = "";
    int answeringAtNewAddress = -1;             // -1: not a reconfigure, or no search followed
    const char* outcome = "";                   // of the wait after it: "back", "answers", "gone", ...; "": none
    double seconds = 0;                         // how long that wait took
};
// --json: one object; the table and CSV: the rows (or, for a dry run, what would be sent).
std::string RenderCommandResult(const CommandResult& result, OutputFormat format, const RenderOptions& options);

}  // namespace scout::cli
