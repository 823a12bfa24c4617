// Reading a CSV file that a person or a spreadsheet wrote (RFC 4180, UTF-8,
// LF or CR LF, one record per line: no line break inside a quoted field),
// strictly: each line's fault is said, never guessed around.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace scout::ops {

// The fields of one line; false with why (a quote left open, text after a
// closing quote, a quote inside an unquoted field). A field that begins with
// the ' that made a formula harmless (AppendCsvField: ' and then =, +, -, @,
// a tab, a carriage return or ') is read without it; any other ' stays.
bool SplitCsvFields(const std::string& line, std::vector<std::string>* fields, std::string* why);

// What is wrong with a line as bytes ("" where nothing is): longer than
// maxBytes, empty, a control character, not UTF-8.
std::string CsvLineFault(const std::string& line, std::size_t maxBytes);

// Where the text begins past a spreadsheet's byte order mark.
std::size_t CsvStart(const std::string& text);

}  // namespace scout::ops
