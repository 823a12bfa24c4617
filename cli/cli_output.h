// scout-cli's rows and their renderings: an aligned table safe for a terminal
// (or one with fixed columns, row by row as the replies arrive), JSON and CSV
// (the device's texts decoded as Windows-1252; no control character raw).
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
    char interfaceName[InterfaceNameCapacity] = {};  // "" where the platform has none
    BroadcastInterface via{};                        // the interface whose window read the reply
};

enum class OutputFormat { Table, Json, Csv };

struct RenderOptions {
    bool header = true;          // false: --no-header, for the table and CSV
    const char* lineEnd = "\n";  // of CSV records: CR LF on Windows
};

// The names of the interfaces, asked of the platform once per interface.
struct InterfaceNames {
    const NetPlatform* platform = nullptr;  // null: no names
    std::vector<std::pair<BroadcastInterface, std::string>> known;
};

// The name of an interface as the platform gives it ("" where it has none).
std::string InterfaceNameOf(InterfaceNames& names, const BroadcastInterface& entry);

// The search's front end over a vector of rows: each row's interface named
// (where names is set), and, where the caller wants them, a call as each row
// is complete and as each interface's window opens. showError goes to
// standard error.
struct CliList {
    std::vector<CliRow> rows;
    InterfaceNames* names = nullptr;
    void* observer = nullptr;
    void (*rowComplete)(void* observer, const CliRow& row) = nullptr;
    void (*interfaceBegins)(void* observer, const BroadcastInterface& entry, std::size_t position,
                            std::size_t count) = nullptr;
};
SearchFrontEnd MakeCliFrontEnd(CliList* list);

// One report as one line: "scout-cli: " and the text with every run of line
// breaks folded into one space.
std::string FormatErrorLine(const char* text);

// A device's bytes as UTF-8, read as Windows-1252.
std::string DecodeWindows1252(const char* text);

// A text of this machine or of its user (an interface's name, an operand)
// fit for a terminal: UTF-8 kept, every control character and stray byte as
// \xNN; cut after maxCharacters characters, marked with "...".
std::string SafeText(const char* text, std::size_t maxCharacters = static_cast<std::size_t>(-1));

// "ws0 10.1.0.1", or the address alone.
std::string InterfaceLabel(const char* name, const char* address);

std::string RenderRows(const std::vector<CliRow>& rows, OutputFormat format, const RenderOptions& options);
// The rows as one JSON array, its lines after the first indented by indent.
std::string JsonRows(const std::vector<CliRow>& rows, const char* indent);

// The table row by row as the replies arrive: columns of a fixed width, wide
// enough for every row whose texts are printable, so that no row that comes
// later changes the layout.
std::string StreamHeader();
std::string StreamRow(const CliRow& row);

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
    const std::vector<CliRow>* rows = nullptr;  // null: no search followed
    const char* newAddress = "";
    int answeringAtNewAddress = -1;             // -1: not a reconfigure, or no search followed
};
// --json: one object; the table and CSV: the rows (or, for a dry run, what would be sent).
std::string RenderCommandResult(const CommandResult& result, OutputFormat format, const RenderOptions& options);

}  // namespace scout::cli
