// Reading a CSV file that a person or a spreadsheet wrote (RFC 4180, UTF-8,
// LF or CR LF, one record per line: no line break inside a quoted field),
// strictly: each line's fault is a fact (its line, its field, its kind), never
// guessed around. Every list the tool reads (a plan, an expected list) is read
// by ReadCsv; each reader then takes the header and the cells as its own, and
// each front end words the faults.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace scout::ops {

enum class CsvFaultKind {
    None,
    TooLarge,          // the file is over limit bytes
    NoHeader,          // nothing in it, not even a header
    TooLong,           // the line is over limit bytes
    EmptyLine,
    ControlCharacter,  // count: the byte
    NotUtf8,
    QuoteNotEnded,     // a quoted field does not end on its line
    TextAfterQuote,    // field: text after its closing quote
    QuoteInField,      // field: a quote inside it, unquoted
    Columns,           // count fields, where the header has limit
    TooManyRows,       // more than limit rows (the reading ends there)
};

struct CsvFault {
    CsvFaultKind kind = CsvFaultKind::None;
    int line = 0;            // from 1; 0: the file as a whole
    std::size_t field = 0;   // from 1, where the fault is in one field
    std::size_t count = 0;
    std::size_t limit = 0;
};

struct CsvLimits {
    std::size_t maxBytes = 0;
    std::size_t maxLineBytes = 0;
    std::size_t maxRows = 0;
};

struct CsvRow {
    int line = 0;
    std::vector<std::string> cells;
};

struct CsvFile {
    // The first line as written (past a byte order mark), and its cells;
    // headed: it could be read (no fault of line 1).
    std::string headerText;
    std::vector<std::string> header;
    bool headed = false;
    // Every other line that could be read, with as many cells as the header.
    std::vector<CsvRow> rows;
    // In the order of the lines. A fault of the header ends the reading, as
    // does a file over its size and a row past the limit.
    std::vector<CsvFault> faults;
};

CsvFile ReadCsv(const std::string& text, const CsvLimits& limits);

// The fields of one line; false with the fault (a quote left open, text after
// a closing quote, a quote inside an unquoted field). A field that begins
// with the ' that made a formula harmless (AppendCsvField: ' and then =, +,
// -, @, a tab, a carriage return or ') is read without it; any other ' stays.
bool SplitCsvFields(const std::string& line, std::vector<std::string>* fields, CsvFault* fault);

}  // namespace scout::ops
