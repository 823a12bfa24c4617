// Texts as every output and the record of changes carry them: pure
// functions, fuzzed. A device's version and revision are whatever bytes it
// sent, read as Windows-1252; a text of this machine or its user (an
// interface's name, an operand, a plan's cell) is UTF-8 or stray bytes.
// Neither reaches a terminal with a control character in it, and JSON always
// parses.
#pragma once

#include <cstddef>
#include <string>

namespace scout::ops {

// A device's bytes as UTF-8, read as Windows-1252.
std::string DecodeWindows1252(const char* text);

// A device's text for the table and CSV: printable characters as UTF-8, every
// control byte as \xNN. Appends to out and returns its width in characters.
std::size_t AppendDeviceText(std::string& out, const char* text);
std::string DeviceText(const char* text);

// A text of this machine fit for a terminal: UTF-8 kept, every control
// character and stray byte as \xNN; cut after maxCharacters characters,
// marked with "...". Appends to out and returns its width.
std::size_t AppendSafeText(std::string& out, const char* text,
                           std::size_t maxCharacters = static_cast<std::size_t>(-1));
std::string SafeText(const char* text, std::size_t maxCharacters = static_cast<std::size_t>(-1));

// A text of this machine as valid UTF-8: each stray byte becomes U+FFFD.
std::string ValidUtf8(const char* text);

// A JSON string of UTF-8 text, every control character escaped; and
// ', "key": value' (without the comma where first).
void AppendJsonString(std::string& out, const std::string& utf8);
void AppendJsonKey(std::string& out, const char* key, const std::string& value, bool first = false);

// The line of text that begins at *start, without its LF or CR LF; *start
// moves past it. False once the text is used up.
bool NextLine(const std::string& text, std::size_t* start, std::string* line);

// Seconds with one decimal ("1.2"), as every output and the record give them.
std::string SecondsOf(double seconds);

// Bytes as lower-case hex, two digits each.
std::string HexText(const unsigned char* bytes, std::size_t length);

// A CSV field as RFC 4180 quotes it; its control characters are already
// escaped. A field a spreadsheet would run as a formula (one that begins with
// =, +, -, @, a tab or a carriage return) gets a leading ' as OWASP's
// CSV-injection guidance says, and so does one that begins with ' itself, so
// that a reader that drops that one ' (SplitCsvFields) gets the text back
// byte for byte.
void AppendCsvField(std::string& out, const std::string& field);
// Whether a field begins as a spreadsheet's formula, or with the ' that
// marks one made harmless.
bool CsvFieldNeedsMark(const std::string& field);

}  // namespace scout::ops
