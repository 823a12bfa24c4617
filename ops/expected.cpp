// What a line should be (see expected.h).
#include "ops/expected.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <utility>

#include "net/error_report.h"
#include "ops/csv.h"
#include "ops/hosts.h"
#include "ops/names.h"
#include "ops/text.h"

namespace scout::ops {
namespace {

enum class Column {
    Address, Model, Version, Revision, Interface, InterfaceName, Mac, Name, Mask, Gateway, Reserved, Other
};

struct ColumnName {
    const char* name;
    Column column;
};
constexpr ColumnName ColumnNames[] = {
    {"address", Column::Address},     {"ip addr", Column::Address},  {"model", Column::Model},
    {"version", Column::Version},     {"revision", Column::Revision}, {"interface", Column::Interface},
    {"interface name", Column::InterfaceName}, {"mac", Column::Mac}, {"name", Column::Name},
    {"mask", Column::Mask},           {"gateway", Column::Gateway},
};

std::string Lower(const std::string& text) {
    std::string lower = text;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

Column ColumnOf(const std::string& header) {
    const std::string lower = Lower(header);
    for (const ColumnName& entry : ColumnNames)
        if (lower == entry.name)
            return entry.column;
    for (const char* reserved : ReservedColumns)
        if (lower == reserved)
            return Column::Reserved;
    return Column::Other;
}

const char* ColumnTitle(Column column) {
    switch (column) {
    case Column::Address: return "address";
    case Column::Model: return "model";
    case Column::Version: return "version";
    case Column::Revision: return "revision";
    case Column::Interface: return "interface";
    case Column::InterfaceName: return "Interface Name";
    case Column::Mac: return "mac";
    case Column::Name: return "name";
    case Column::Mask: return "mask";
    case Column::Gateway: return "gateway";
    case Column::Reserved:
    case Column::Other: break;
    }
    return "";
}

ListFault Fault(ListFaultKind kind, int line, const std::string& cell = "", const std::string& other = "",
                int otherLine = 0) {
    ListFault fault;
    fault.kind = kind;
    fault.line = line;
    fault.cell = cell;
    fault.other = other;
    fault.otherLine = otherLine;
    return fault;
}

// A version or revision cell: a text, or ">=" and one that begins with a number.
bool ReadExpectedText(const std::string& cell, ExpectedText* text) {
    *text = ExpectedText{};
    if (cell.compare(0, 2, ">=") != 0) {
        text->text = cell;
        return true;
    }
    text->text = cell.substr(2);
    text->minimum = true;
    return !text->text.empty() && std::isdigit(static_cast<unsigned char>(text->text[0]));
}

// The header: each column it names, once; an address column is needed.
bool ReadHeader(const std::vector<std::string>& header, ExpectedList* list, std::vector<Column>* columns,
                std::vector<ListFault>* faults) {
    list->headers = header;
    bool address = false;
    for (std::size_t c = 0; c < list->headers.size(); ++c) {
        const Column column = ColumnOf(list->headers[c]);
        for (std::size_t earlier = 0; column != Column::Other && column != Column::Reserved && earlier < c;
             ++earlier) {
            if ((*columns)[earlier] == column) {
                ListFault fault = Fault(ListFaultKind::TwoColumns, 1, list->headers[earlier], list->headers[c]);
                fault.column = ColumnTitle(column);
                faults->push_back(fault);
                return false;
            }
        }
        columns->push_back(column);
        address = address || column == Column::Address;
        if (column == Column::Reserved)
            list->reserved.push_back(list->headers[c]);
    }
    if (!address) {
        faults->push_back(Fault(ListFaultKind::NoAddressColumn, 1));
        return false;
    }
    return true;
}

// One row's cells as what it expects; false with the fault.
bool ReadRow(const ExpectedList& list, const std::vector<Column>& columns, const std::vector<std::string>& cells,
             ExpectedRow* row, ListFault* fault) {
    for (std::size_t c = 0; c < cells.size(); ++c) {
        const std::string& cell = cells[c];
        switch (columns[c]) {
        case Column::Address:
            row->addressText = cell;
            if (!ParseDottedAddress(cell.c_str(), &row->address)) {
                *fault = Fault(cell.empty() ? ListFaultKind::NoAddress : ListFaultKind::NotAnAddress, row->line, cell);
                return false;
            }
            if (!ControllerCanHold(row->address)) {
                *fault = Fault(ListFaultKind::NoControllerAddress, row->line, cell);
                return false;
            }
            break;
        case Column::Model: row->model = cell; break;
        case Column::Version:
        case Column::Revision:
            if (!ReadExpectedText(cell, columns[c] == Column::Version ? &row->version : &row->revision)) {
                *fault = Fault(ListFaultKind::NotAMinimum, row->line, cell);
                fault->column = ColumnTitle(columns[c]);
                return false;
            }
            break;
        case Column::Interface: row->interfaceChoice = cell; break;
        case Column::InterfaceName: row->interfaceName = cell; break;
        case Column::Mac:
            row->macGiven = !cell.empty();
            if (row->macGiven && !ParseMacText(cell, &row->mac)) {
                *fault = Fault(ListFaultKind::NotAMac, row->line, cell);
                return false;
            }
            break;
        case Column::Name: row->name = cell; break;
        case Column::Mask:
        case Column::Gateway: {
            const bool mask = columns[c] == Column::Mask;
            NetAddress value = 0;
            if (cell.empty())
                break;
            if (!ParseDottedAddress(cell.c_str(), &value) || (mask && PrefixLengthOf(value) < 0)) {
                *fault = Fault(mask ? ListFaultKind::NotAMask : ListFaultKind::NotAGateway, row->line, cell);
                return false;
            }
            (mask ? row->maskGiven : row->gatewayGiven) = true;
            (mask ? row->mask : row->gateway) = value;
            break;
        }
        case Column::Reserved:
        case Column::Other:
            if (!cell.empty())
                row->others.emplace_back(list.headers[c], cell);
            break;
        }
    }
    // The settings a controller of the row gets, held as reconfigure holds them.
    if (row->maskGiven) {
        char message[MessageCapacity];
        ReconfigureValues values;
        const std::string mask = AddressString(row->mask);
        const std::string gateway = AddressString(row->gatewayGiven ? row->gateway : 0);
        if (!CheckReconfigureFields(row->addressText.c_str(), mask.c_str(), gateway.c_str(), &values, message,
                                    sizeof message)) {
            *fault = Fault(ListFaultKind::Settings, row->line, row->addressText, message);
            return false;
        }
    }
    return true;
}

// Two rows that could claim one controller: the same address, and interfaces
// that are the same or either any.
bool Overlap(const ExpectedRow& a, const ExpectedRow& b) {
    const auto same = [](const std::string& x, const std::string& y) {
        return x.empty() || y.empty() || Lower(x) == Lower(y);
    };
    return a.address == b.address && same(a.interfaceChoice, b.interfaceChoice) &&
           same(a.interfaceName, b.interfaceName);
}

void SayRepeat(const ExpectedRow& row, const ExpectedRow& other, bool same, std::vector<ListFault>* faults) {
    if (same)
        faults->push_back(Fault(ListFaultKind::SameRow, row.line, "", "", other.line));
    else
        faults->push_back(Fault(ListFaultKind::SecondRow, row.line, row.addressText, row.interfaceChoice, other.line));
}

// A row that repeats another, or claims the same controller: each row is
// held only against the earlier rows of its address that could overlap it
// (those with the same interface, by the column it gives, and those that
// leave that column open), so that a list of thousands costs no more than
// its length.
void CheckRepeats(const ExpectedList& list, std::vector<ListFault>* faults) {
    using Bucket = std::vector<const ExpectedRow*>;  // in line order
    std::map<std::vector<std::string>, const ExpectedRow*> seenCells;
    std::map<std::pair<NetAddress, std::string>, Bucket> byChoice, byName;
    std::map<NetAddress, const ExpectedRow*> firstOf;
    for (const ExpectedRow& row : list.rows) {
        const ExpectedRow* earlier = nullptr;
        bool same = false;
        if (const auto found = seenCells.find(row.cells); found != seenCells.end()) {
            earlier = found->second;
            same = true;
        }
        // The first row of a bucket that overlaps this one: the earliest of that bucket.
        const auto first = [&](const Bucket& bucket) {
            for (const ExpectedRow* candidate : bucket) {
                if (earlier != nullptr && candidate->line > earlier->line)
                    return;
                if (Overlap(row, *candidate)) {
                    earlier = candidate;
                    return;
                }
            }
        };
        const std::string choice = Lower(row.interfaceChoice);
        const std::string name = Lower(row.interfaceName);
        if (!same && !choice.empty()) {
            first(byChoice[{row.address, choice}]);
            first(byChoice[{row.address, ""}]);
        } else if (!same && !name.empty()) {
            first(byName[{row.address, name}]);
            first(byName[{row.address, ""}]);
        } else if (!same && firstOf.count(row.address) != 0) {
            earlier = firstOf[row.address];  // it leaves both open: it overlaps every row of its address
        }
        if (earlier != nullptr)
            SayRepeat(row, *earlier, same, faults);
        seenCells.emplace(row.cells, &row);
        byChoice[{row.address, choice}].push_back(&row);
        byName[{row.address, name}].push_back(&row);
        firstOf.emplace(row.address, &row);
    }
}

}  // namespace

ExpectedList ReadExpected(const std::string& text, std::vector<ListFault>* faults) {
    ExpectedList list;
    const CsvFile file = ReadCsv(text, CsvLimits{MaxExpectedBytes, MaxExpectedLineBytes, MaxExpectedRows});
    const auto csvFault = [&](const CsvFault& csv) {
        ListFault fault = Fault(ListFaultKind::Csv, csv.line);
        fault.csv = csv;
        faults->push_back(fault);
    };
    std::vector<Column> columns;
    if (!file.headed) {
        for (const CsvFault& csv : file.faults)
            csvFault(csv);
        return list;
    }
    // A header that cannot be taken is the one fault: the rows mean nothing without it.
    if (!ReadHeader(file.header, &list, &columns, faults))
        return list;
    std::size_t nextFault = 0;
    const auto faultsBefore = [&](int line) {
        for (; nextFault < file.faults.size() && file.faults[nextFault].line < line; ++nextFault)
            csvFault(file.faults[nextFault]);
    };
    for (const CsvRow& cells : file.rows) {
        faultsBefore(cells.line);
        ExpectedRow row;
        row.line = cells.line;
        row.cells = cells.cells;
        ListFault fault;
        if (!ReadRow(list, columns, row.cells, &row, &fault)) {
            faults->push_back(fault);
            continue;
        }
        list.rows.push_back(std::move(row));
    }
    faultsBefore(1 << 30);
    CheckRepeats(list, faults);
    // A MAC names one controller: two rows cannot both be it.
    std::map<MacAddress, const ExpectedRow*> byMac;
    for (const ExpectedRow& row : list.rows)
        if (row.macGiven)
            if (const auto [earlier, first] = byMac.emplace(row.mac, &row); !first)
                faults->push_back(Fault(ListFaultKind::SameMac, row.line, MacText(row.mac), "", earlier->second->line));
    for (std::size_t r = 0; r < list.rows.size(); ++r)
        list.byAddress[list.rows[r].address].push_back(r);
    return list;
}

bool ParseMacText(const std::string& text, MacAddress* mac) {
    // Twelve hex digits: bare, in pairs (":" or "-" between them) or in
    // fours ("." between them), the separator one throughout.
    const std::size_t group = text.size() == 17 ? 2 : text.size() == 14 ? 4 : text.size() == 12 ? 12 : 0;
    if (group == 0)
        return false;
    const char separator = group == 12 ? 0 : text[group];
    if (group == 2 && separator != ':' && separator != '-')
        return false;
    if (group == 4 && separator != '.')
        return false;
    std::string digits;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool atSeparator = group != 12 && i % (group + 1) == group;
        if (atSeparator ? c != separator : !std::isxdigit(static_cast<unsigned char>(c)))
            return false;
        if (!atSeparator)
            digits += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    for (std::size_t i = 0; i < 6; ++i) {
        unsigned value = 0;
        for (std::size_t d = 0; d < 2; ++d) {
            const char c = digits[i * 2 + d];
            value = value * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : c - 'a' + 10);
        }
        (*mac)[i] = static_cast<std::uint8_t>(value);
    }
    return true;
}

std::string RowLabel(const ExpectedRow& row) {
    const std::string line = "line " + std::to_string(row.line);
    return row.name.empty() ? line : SafeText(row.name.c_str(), 64) + " (" + line + ")";
}

bool NamesInterface(const ExpectedRow& row) {
    return !row.interfaceChoice.empty() || !row.interfaceName.empty();
}

std::vector<ListFault> ResolveInterfaces(ExpectedList& list, const std::vector<KnownInterface>& interfaces) {
    // By its name as written, else the one name that matches ignoring case.
    const auto byName = [&](const std::string& name, const KnownInterface** found) {
        const KnownInterface* loose = nullptr;
        int looseCount = 0;
        for (const KnownInterface& known : interfaces) {
            if (known.name == name) {
                *found = &known;
                return true;
            }
            if (Lower(known.name) == Lower(name)) {
                loose = &known;
                ++looseCount;
            }
        }
        *found = looseCount == 1 ? loose : nullptr;
        return *found != nullptr;
    };
    std::vector<ListFault> faults;
    std::map<std::pair<NetAddress, std::pair<NetAddress, std::uint32_t>>, const ExpectedRow*> claimed;
    for (ExpectedRow& row : list.rows) {
        row.lookedUp = true;
        row.resolved = false;
        if (!NamesInterface(row))
            continue;
        const KnownInterface* choice = nullptr;
        NetAddress address = 0;
        if (!row.interfaceChoice.empty()) {
            if (ParseDottedAddress(row.interfaceChoice.c_str(), &address)) {
                for (const KnownInterface& known : interfaces)
                    if (known.via.address == address && choice == nullptr)
                        choice = &known;
            } else {
                byName(row.interfaceChoice, &choice);
            }
            if (choice == nullptr)
                continue;
        }
        const KnownInterface* named = nullptr;
        if (!row.interfaceName.empty() && (!byName(row.interfaceName, &named) ||
                                           (choice != nullptr && !SameInterface(named->via, choice->via))))
            continue;  // a name this workstation does not have, or one that is not the interface given
        const KnownInterface& known = choice != nullptr ? *choice : *named;
        row.resolved = true;
        row.via = known.via;
        const auto key = std::make_pair(row.address, std::make_pair(known.via.address, known.via.index));
        const auto earlier = claimed.find(key);
        // Named alike, the reading of the list has said it already.
        const bool alike = earlier != claimed.end() &&
                           Lower(earlier->second->interfaceChoice) == Lower(row.interfaceChoice) &&
                           Lower(earlier->second->interfaceName) == Lower(row.interfaceName);
        if (earlier != claimed.end() && !alike)
            faults.push_back(Fault(ListFaultKind::NamedOtherwise, row.line, row.addressText,
                                   known.name.empty() ? AddressString(known.via.address) : known.name,
                                   earlier->second->line));
        if (earlier == claimed.end())
            claimed.emplace(key, &row);
    }
    return faults;
}

std::vector<ListFault> OwnAddressFaults(const ExpectedList& list, const std::vector<NetAddress>& own) {
    std::vector<ListFault> faults;
    for (const ExpectedRow& row : list.rows)
        for (const NetAddress address : own)
            if (row.address == address) {
                faults.push_back(Fault(ListFaultKind::OwnAddress, row.line, row.addressText));
                break;
            }
    return faults;
}

bool AtLeast(const std::string& found, const std::string& minimum) {
    // The dotted numbers a text begins with, and where they end.
    const auto numbers = [](const std::string& text, std::vector<unsigned long>* parts) {
        std::size_t i = 0;
        while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
            unsigned long value = 0;
            for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
                value = value > 100000000ul ? value : value * 10 + static_cast<unsigned long>(text[i] - '0');
            parts->push_back(value);
            if (i + 1 < text.size() && text[i] == '.' && std::isdigit(static_cast<unsigned char>(text[i + 1])))
                ++i;
            else
                break;
        }
        return i;
    };
    std::vector<unsigned long> have, want;
    const std::size_t haveEnd = numbers(found, &have);
    const std::size_t wantEnd = numbers(minimum, &want);
    if (have.empty())
        return false;
    for (std::size_t i = 0; i < have.size() || i < want.size(); ++i) {
        const unsigned long a = i < have.size() ? have[i] : 0;
        const unsigned long b = i < want.size() ? want[i] : 0;
        if (a != b)
            return a > b;
    }
    return found.compare(haveEnd, std::string::npos, minimum, wantEnd, std::string::npos) >= 0;
}

}  // namespace scout::ops
