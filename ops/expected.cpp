// What a line should be (see expected.h).
#include "ops/expected.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "ops/csv.h"
#include "ops/text.h"

namespace scout::ops {
namespace {

enum class Column { Address, Model, Version, Revision, Interface, InterfaceName, Mac, Name, Other };

struct ColumnName {
    const char* name;
    Column column;
};
constexpr ColumnName ColumnNames[] = {
    {"address", Column::Address},     {"ip addr", Column::Address},  {"model", Column::Model},
    {"version", Column::Version},     {"revision", Column::Revision}, {"interface", Column::Interface},
    {"interface name", Column::InterfaceName}, {"mac", Column::Mac}, {"name", Column::Name},
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
    case Column::Other: break;
    }
    return "";
}

std::string At(int line, const std::string& why) {
    return "line " + std::to_string(line) + ": " + why;
}

std::string Quoted(const std::string& text) {
    return "'" + SafeText(text.c_str(), 64) + "'";
}

// "02:00:5e:10:00:01", either case.
bool ParseMac(const std::string& text, MacAddress* mac) {
    if (text.size() != 17)
        return false;
    for (std::size_t i = 0; i < 6; ++i) {
        unsigned value = 0;
        for (std::size_t d = 0; d < 2; ++d) {
            const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i * 3 + d])));
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                return false;
            value = value * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : c - 'a' + 10);
        }
        if (i < 5 && text[i * 3 + 2] != ':')
            return false;
        (*mac)[i] = static_cast<std::uint8_t>(value);
    }
    return true;
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
bool ReadHeader(const std::string& line, ExpectedList* list, std::vector<Column>* columns,
                std::vector<std::string>* faults) {
    std::string why;
    if (!SplitCsvFields(line, &list->headers, &why)) {
        faults->push_back(At(1, why));
        return false;
    }
    bool address = false;
    for (std::size_t c = 0; c < list->headers.size(); ++c) {
        const Column column = ColumnOf(list->headers[c]);
        for (std::size_t earlier = 0; column != Column::Other && earlier < c; ++earlier) {
            if ((*columns)[earlier] == column) {
                faults->push_back(At(1, "two columns for " + std::string(ColumnTitle(column)) + " (" +
                                            Quoted(list->headers[earlier]) + " and " + Quoted(list->headers[c]) +
                                            ")"));
                return false;
            }
        }
        columns->push_back(column);
        address = address || column == Column::Address;
    }
    if (!address) {
        faults->push_back(At(1, "no address column: the header needs 'address' (or 'IP ADDR')"));
        return false;
    }
    return true;
}

// One row's cells as what it expects; false with why.
bool ReadRow(const ExpectedList& list, const std::vector<Column>& columns, const std::vector<std::string>& cells,
             ExpectedRow* row, std::string* why) {
    for (std::size_t c = 0; c < cells.size(); ++c) {
        const std::string& cell = cells[c];
        switch (columns[c]) {
        case Column::Address:
            row->addressText = cell;
            if (!ParseDottedAddress(cell.c_str(), &row->address)) {
                *why = cell.empty() ? "no address" : "the address " + Quoted(cell) + " is no IPv4 address";
                return false;
            }
            break;
        case Column::Model: row->model = cell; break;
        case Column::Version:
        case Column::Revision:
            if (!ReadExpectedText(cell, columns[c] == Column::Version ? &row->version : &row->revision)) {
                *why = "the " + std::string(ColumnTitle(columns[c])) + " " + Quoted(cell) +
                       " is no minimum: '>=' is followed by a number (>=2.14)";
                return false;
            }
            break;
        case Column::Interface: row->interfaceChoice = cell; break;
        case Column::InterfaceName: row->interfaceName = cell; break;
        case Column::Mac:
            row->macGiven = !cell.empty();
            if (row->macGiven && !ParseMac(cell, &row->mac)) {
                *why = "the MAC " + Quoted(cell) + " is no MAC (02:00:5e:10:00:01)";
                return false;
            }
            break;
        case Column::Name: row->name = cell; break;
        case Column::Other:
            if (!cell.empty())
                row->others.emplace_back(list.headers[c], cell);
            break;
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

// A row that repeats another, or claims the same controller.
void CheckRepeats(const ExpectedList& list, std::vector<std::string>* faults) {
    for (std::size_t r = 0; r < list.rows.size(); ++r) {
        for (std::size_t earlier = 0; earlier < r; ++earlier) {
            const ExpectedRow& row = list.rows[r];
            const ExpectedRow& other = list.rows[earlier];
            if (row.cells == other.cells) {
                faults->push_back(At(row.line, "the same row as line " + std::to_string(other.line)));
                break;
            }
            if (Overlap(row, other)) {
                faults->push_back(At(row.line, "a second row for " + row.addressText +
                                                   (row.interfaceChoice.empty() ? std::string()
                                                                                : " on " + row.interfaceChoice) +
                                                   " (line " + std::to_string(other.line) +
                                                   "): give each row its own interface"));
                break;
            }
        }
    }
}

}  // namespace

ExpectedList ReadExpected(const std::string& text, std::vector<std::string>* faults) {
    ExpectedList list;
    if (text.size() > MaxExpectedBytes) {
        faults->push_back("larger than " + std::to_string(MaxExpectedBytes / (1024 * 1024)) + " MiB");
        return list;
    }
    std::size_t start = CsvStart(text);
    std::string line;
    std::vector<Column> columns;
    bool header = false;
    for (int number = 1; NextLine(text, &start, &line); ++number) {
        if (const std::string fault = CsvLineFault(line, MaxExpectedLineBytes); !fault.empty()) {
            faults->push_back(At(number, fault));
            if (number == 1)
                return list;
            continue;
        }
        if (number == 1) {
            header = ReadHeader(line, &list, &columns, faults);
            if (!header)
                return list;
            continue;
        }
        ExpectedRow row;
        row.line = number;
        std::string why;
        if (!SplitCsvFields(line, &row.cells, &why)) {
            faults->push_back(At(number, why));
            continue;
        }
        if (row.cells.size() != columns.size()) {
            faults->push_back(At(number, std::to_string(row.cells.size()) +
                                             (row.cells.size() == 1 ? " column" : " columns") + ", not " +
                                             std::to_string(columns.size()) + " as the header"));
            continue;
        }
        if (list.rows.size() == MaxExpectedRows) {
            faults->push_back(At(number, "more than " + std::to_string(MaxExpectedRows) + " rows"));
            return list;
        }
        if (!ReadRow(list, columns, row.cells, &row, &why)) {
            faults->push_back(At(number, why));
            continue;
        }
        list.rows.push_back(row);
    }
    if (!header)
        faults->push_back("empty: an expected list starts with a header (address,model,version,revision,...)");
    CheckRepeats(list, faults);
    return list;
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
