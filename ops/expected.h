// What a line should be, its design: a CSV file of the controllers it should
// hold (RFC 4180, UTF-8, a header; columns by name, in any order: address or
// IP ADDR, model, version, revision, interface or Interface (a name or an
// address), Interface Name, mac, name, mask, gateway; any other column is kept
// for the report). An empty cell means any; a version or revision may be a
// minimum, ">=2.14"; a MAC names the very controller, in any usual spelling.
// Mask and gateway are what commission gives a controller of the row. The
// output of `search --csv` is such a file as it stands. Audit, watch and
// commission read it alike.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "net/platform.h"
#include "ops/csv.h"

namespace scout::ops {

constexpr std::size_t MaxExpectedBytes = 4 * 1024 * 1024;
constexpr std::size_t MaxExpectedLineBytes = 1024;
constexpr std::size_t MaxExpectedRows = 10000;

// Column names kept for what later versions check (the switch port, what
// kind of device a row is): a user's own column of such a name is read as
// the user's, and said once, so that a later version's judging it comes as
// no surprise.
constexpr const char* ReservedColumns[] = {"port", "kind"};

// A version or revision the line should have: that text, or at least it
// (dotted numbers compared as numbers, what follows them as text).
struct ExpectedText {
    std::string text;  // "" for any
    bool minimum = false;
};

struct ExpectedRow {
    int line = 0;
    NetAddress address = 0;
    std::string addressText;
    std::string model;            // "" for any; compared ignoring case
    ExpectedText version, revision;
    std::string interfaceChoice;  // a name or an address ("" for any)
    std::string interfaceName;    // from an "Interface Name" column ("" for any)
    bool macGiven = false;
    MacAddress mac{};
    bool maskGiven = false, gatewayGiven = false;  // what a controller of the row is given
    NetAddress mask = 0, gateway = 0;
    std::string name;             // the design's label ("Axis 3")
    // The interface it names, as this workstation knows it (where
    // ResolveInterfaces looked it up): resolved to via, or naming none of this
    // workstation's.
    bool lookedUp = false;
    bool resolved = false;
    BroadcastInterface via{};
    std::vector<std::string> cells;  // every cell as written, in the header's order
    // The cells of the columns the audit does not read ("Cabinet", "A1"), where
    // not empty: the design's own facts, shown beside what it expects.
    std::vector<std::pair<std::string, std::string>> others;
};

struct ExpectedList {
    std::vector<std::string> headers;  // as written
    std::vector<std::string> reserved;  // the headers of ReservedColumns, as written
    std::vector<ExpectedRow> rows;
    // The rows of each address, by their place in rows (ReadExpected makes it).
    std::map<NetAddress, std::vector<std::size_t>> byAddress;
};

// What is wrong with a list: a fault of the file as CSV, or of what a line
// says; each front end words it (the address and the cells as written).
enum class ListFaultKind {
    Csv,                  // csv: the file as CSV
    TwoColumns,           // line 1 names column twice: cell and other as written
    NoAddressColumn,      // the header names no address column
    NoAddress,            // the address cell is empty
    NotAnAddress,         // cell is no IPv4 address
    NoControllerAddress,  // cell is no address a controller can hold (0.0.0.0/8, loopback, multicast, reserved)
    NotAMinimum,          // column's cell begins with ">=" and no number
    NotAMac,              // cell is no MAC
    NotAMask,             // cell is no subnet mask
    NotAGateway,          // cell is no IPv4 address
    Settings,             // the row's address, mask and gateway (cell the address) refused as reconfigure
                          // refuses them: other says why
    SameMac,              // cell (a MAC) names the controller of otherLine too
    SameRow,              // the same cells as otherLine
    SecondRow,            // cell (the address) again, on other (the interface as written, "" for any), as otherLine
    NamedOtherwise,       // cell again on other (the interface's name, or its address), otherLine naming it otherwise
    OwnAddress,           // cell is an address of this workstation
};
struct ListFault {
    ListFaultKind kind = ListFaultKind::Csv;
    int line = 0;  // 0: the file as a whole
    CsvFault csv;
    std::string column, cell, other;
    int otherLine = 0;
};

// A MAC as printed on labels and by tools: 02:00:5e:10:00:01, 02-00-5E-10-00-01,
// 0200.5e10.0001 or 02005e100001, either case.
bool ParseMacText(const std::string& text, MacAddress* mac);

// The row as said and recorded: "Axis 3 (line 4)", or "line 4" where it has
// no name.
std::string RowLabel(const ExpectedRow& row);

// Whether the row names an interface (by the interface column, or Interface Name).
bool NamesInterface(const ExpectedRow& row);

// An interface of this workstation as a list may name it.
struct KnownInterface {
    BroadcastInterface via;
    std::string name;  // "" where it has none
    int prefix = -1;
};
// Each row's interface as this workstation knows it, by its address or by
// its name (the case ignored where no name matches as written): one
// interface however the list names it. A row that names none of these keeps
// resolved false. Two rows for one address on one interface, named in two
// ways, are a fault each (NamedOtherwise).
std::vector<ListFault> ResolveInterfaces(ExpectedList& list, const std::vector<KnownInterface>& interfaces);

// The list in a file's text (read by ReadCsv), with every fault in the order
// of its lines (the rows that repeat another after them). Where there is any,
// the list is not to be used.
ExpectedList ReadExpected(const std::string& text, std::vector<ListFault>* faults);

// Rows at an address of this workstation's own (own): no controller holds
// one; each a fault of its line (OwnAddress).
std::vector<ListFault> OwnAddressFaults(const ExpectedList& list, const std::vector<NetAddress>& own);

// Whether found is at least minimum: the dotted numbers each begins with
// compared as numbers, one by one (a missing one is 0), then what follows
// them as text. A found text that begins with no number is below every minimum.
bool AtLeast(const std::string& found, const std::string& minimum);

}  // namespace scout::ops
