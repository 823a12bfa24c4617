// Rendering of rows and interfaces for scout-cli. Version and revision are
// whatever bytes a device sent: the table and CSV escape every control byte so
// that a device cannot drive the operator's terminal, JSON always parses.
#include "cli/cli_output.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace scout::cli {
namespace {

// Windows-1252 0x80-0x9F; the five bytes it leaves undefined map to the C1 code
// point of the same value.
constexpr std::uint16_t HighControlMap[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::uint32_t CodePointOf(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F)
        return HighControlMap[byte - 0x80];
    return byte;
}

bool IsControl(std::uint32_t codePoint) {
    return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F);
}

void AppendUtf8(std::string& out, std::uint32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

void AppendHexEscape(std::string& out, const char* prefix, unsigned value, int digits) {
    char escape[12];
    std::snprintf(escape, sizeof escape, "%s%0*X", prefix, digits, value);
    out += escape;
}

// The code point of the well-formed UTF-8 sequence at text and its length, or 0.
std::size_t DecodeUtf8(const unsigned char* text, std::uint32_t* codePoint) {
    std::size_t length = 0;
    std::uint32_t value = 0;
    if (text[0] < 0x80) {
        *codePoint = text[0];
        return 1;
    }
    if ((text[0] & 0xE0) == 0xC0) {
        length = 2;
        value = text[0] & 0x1Fu;
    } else if ((text[0] & 0xF0) == 0xE0) {
        length = 3;
        value = text[0] & 0x0Fu;
    } else if ((text[0] & 0xF8) == 0xF0) {
        length = 4;
        value = text[0] & 0x07u;
    } else {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((text[i] & 0xC0) != 0x80)
            return 0;
        value = value << 6 | (text[i] & 0x3Fu);
    }
    constexpr std::uint32_t Smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < Smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *codePoint = value;
    return length;
}

// A device's text for the table and CSV: printable characters as UTF-8, every
// control byte as \xNN. Returns its width in characters.
std::size_t AppendDeviceText(std::string& out, const char* text) {
    std::size_t width = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        const auto byte = static_cast<unsigned char>(*p);
        const std::uint32_t codePoint = CodePointOf(byte);
        if (IsControl(codePoint)) {
            AppendHexEscape(out, "\\x", byte, 2);
            width += 4;
        } else {
            AppendUtf8(out, codePoint);
            width += 1;
        }
    }
    return width;
}

// A text of this machine for the table and CSV; returns its width.
std::size_t AppendSafeText(std::string& out, const char* text,
                           std::size_t maxCharacters = static_cast<std::size_t>(-1)) {
    std::size_t width = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    for (std::size_t characters = 0; *p != 0; ++characters) {
        if (characters == maxCharacters) {
            out += "...";
            return width + 3;
        }
        std::uint32_t codePoint = 0;
        const std::size_t length = DecodeUtf8(p, &codePoint);
        if (length == 0 || IsControl(codePoint)) {
            AppendHexEscape(out, "\\x", *p++, 2);
            width += 4;
        } else {
            out.append(reinterpret_cast<const char*>(p), length);
            p += length;
            width += 1;
        }
    }
    return width;
}

// A text of this machine as valid UTF-8: each stray byte becomes U+FFFD.
std::string ValidUtf8(const char* text) {
    std::string out;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p != 0) {
        std::uint32_t codePoint = 0;
        const std::size_t length = DecodeUtf8(p, &codePoint);
        if (length == 0) {
            AppendUtf8(out, 0xFFFD);
            ++p;
        } else {
            out.append(reinterpret_cast<const char*>(p), length);
            p += length;
        }
    }
    return out;
}

void AppendJsonString(std::string& out, const std::string& utf8) {
    out += '"';
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += static_cast<char>(byte);
        } else if (byte < 0x20 || byte == 0x7F) {
            AppendHexEscape(out, "\\u", byte, 4);
        } else if (byte == 0xC2 && i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
            // A C1 control (U+0080-U+009F) is escaped too, so no consumer sees it raw.
            AppendHexEscape(out, "\\u", static_cast<unsigned char>(utf8[i + 1]), 4);
            ++i;
        } else {
            out += static_cast<char>(byte);
        }
    }
    out += '"';
}

void AppendJsonKey(std::string& out, const char* key, const std::string& value, bool first = false) {
    if (!first)
        out += ", ";
    AppendJsonString(out, key);
    out += ": ";
    AppendJsonString(out, value);
}

// A CSV field as RFC 4180 quotes it; its control characters are already escaped.
void AppendCsvField(std::string& out, const std::string& field) {
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        out += field;
        return;
    }
    out += '"';
    for (const char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

std::string DeviceText(const char* text) {
    std::string out;
    AppendDeviceText(out, text);
    return out;
}

// --- the row's columns, named once for the three renderings ---

constexpr int RowColumns = 5;
constexpr const char* TableHeaders[RowColumns] = {"IP ADDR", "Model", "Version", "Revision", "Interface"};
constexpr const char* CsvHeaders[RowColumns + 1] = {"IP ADDR",   "Model",     "Version",
                                                    "Revision", "Interface", "Interface Name"};
constexpr const char* JsonKeys[RowColumns + 1] = {"address",   "model",     "version",
                                                  "revision", "interface", "interface_name"};
// The streamed table's widths: an address, "KRV-ETH" and eight hex digits, a
// version field running on into the revision, a revision field.
constexpr std::size_t StreamWidths[RowColumns - 1] = {15, 15, 16, 8};

struct Cell {
    std::string text;
    std::size_t width;
};

std::vector<Cell> TableCells(const CliRow& row) {
    std::vector<Cell> cells(RowColumns);
    const char* device[] = {row.address, row.model, row.version, row.revision};
    for (int c = 0; c < RowColumns - 1; ++c)
        cells[static_cast<std::size_t>(c)].width = AppendDeviceText(cells[static_cast<std::size_t>(c)].text, device[c]);
    Cell& interfaceCell = cells[RowColumns - 1];
    if (row.interfaceName[0] != '\0') {
        interfaceCell.width = AppendSafeText(interfaceCell.text, row.interfaceName) + 1;
        interfaceCell.text += ' ';
    }
    interfaceCell.width += AppendSafeText(interfaceCell.text, row.interfaceAddress);
    return cells;
}

std::vector<Cell> HeaderCells(const char* const* headers, int count) {
    std::vector<Cell> cells;
    for (int c = 0; c < count; ++c)
        cells.push_back(Cell{headers[c], std::strlen(headers[c])});
    return cells;
}

// Cells padded to their column's width; a line ends at its last text, with
// no padding after it.
void AppendAligned(std::string& out, const std::vector<Cell>& line, const std::vector<std::size_t>& widths) {
    std::size_t last = line.size();
    while (last > 0 && line[last - 1].text.empty())
        --last;
    for (std::size_t c = 0; c < last; ++c) {
        out += line[c].text;
        if (c + 1 < last)
            out.append((widths[c] > line[c].width ? widths[c] - line[c].width : 0) + 2, ' ');
    }
    out += '\n';
}

std::string RenderTable(const std::vector<std::vector<Cell>>& lines) {
    std::vector<std::size_t> widths;
    for (const auto& line : lines) {
        if (widths.size() < line.size())
            widths.resize(line.size(), 0);
        for (std::size_t c = 0; c < line.size(); ++c)
            if (line[c].width > widths[c])
                widths[c] = line[c].width;
    }
    std::string out;
    for (const auto& line : lines)
        AppendAligned(out, line, widths);
    return out;
}

void AppendCsvRecord(std::string& out, const std::vector<std::string>& fields, const char* lineEnd) {
    for (std::size_t c = 0; c < fields.size(); ++c) {
        if (c > 0)
            out += ',';
        AppendCsvField(out, fields[c]);
    }
    out += lineEnd;
}

// --- the front end ---

CliList& L(void* context) {
    return *static_cast<CliList*>(context);
}

void ClearRows(void* context) {
    L(context).rows.clear();
}

void CopyText(char* target, std::size_t capacity, const char* text) {
    std::snprintf(target, capacity, "%s", text);
}

void InsertRow(void* context, int index, const char* address, const BroadcastInterface& via) {
    CliList& list = L(context);
    CliRow row;
    CopyText(row.address, sizeof row.address, address);
    FormatAddress(via.address, row.interfaceAddress, sizeof row.interfaceAddress);
    if (list.names != nullptr)
        CopyText(row.interfaceName, sizeof row.interfaceName, InterfaceNameOf(*list.names, via).c_str());
    row.via = via;
    const std::size_t at = index < 0 ? 0 : static_cast<std::size_t>(index);
    list.rows.insert(list.rows.begin() + static_cast<std::ptrdiff_t>(at < list.rows.size() ? at : list.rows.size()),
                     row);
}

void SetRowText(void* context, int index, ListColumn column, const char* text) {
    CliList& list = L(context);
    if (index < 0 || static_cast<std::size_t>(index) >= list.rows.size())
        return;
    CliRow& row = list.rows[static_cast<std::size_t>(index)];
    switch (column) {
    case ListColumn::Address:
        CopyText(row.address, sizeof row.address, text);
        break;
    case ListColumn::Model:
        CopyText(row.model, sizeof row.model, text);
        break;
    case ListColumn::Version:
        CopyText(row.version, sizeof row.version, text);
        break;
    case ListColumn::Revision:
        CopyText(row.revision, sizeof row.revision, text);
        if (list.rowComplete != nullptr)
            list.rowComplete(list.observer, row);
        break;
    }
}

void BeginInterface(void* context, const BroadcastInterface& entry, std::size_t position, std::size_t count) {
    CliList& list = L(context);
    if (list.interfaceBegins != nullptr)
        list.interfaceBegins(list.observer, entry, position, count);
}

void ShowError(void*, const char* text) {
    const std::string line = FormatErrorLine(text);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

// A warning goes to standard error whatever -q says: something was lost.
void ShowWarning(void*, const char* text) {
    const std::string line = FormatErrorLine((std::string("warning: ") + text).c_str());
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

SearchFrontEnd MakeCliFrontEnd(CliList* list) {
    return SearchFrontEnd{
        .context = list,
        .clearRows = ClearRows,
        .insertRow = InsertRow,
        .setRowText = SetRowText,
        .showError = ShowError,
        .showWarning = ShowWarning,
        .beginInterface = BeginInterface,
    };
}

std::string InterfaceNameOf(InterfaceNames& names, const BroadcastInterface& entry) {
    for (const auto& [known, name] : names.known)
        if (known.address == entry.address && known.index == entry.index)
            return name;
    InterfaceDetails details;
    const bool named =
        names.platform != nullptr && names.platform->describeInterface(names.platform->context, entry, &details);
    names.known.emplace_back(entry, named ? details.name : "");
    return names.known.back().second;
}

std::string FormatErrorLine(const char* text) {
    std::string line = "scout-cli: ";
    bool inBreak = false;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '\r' || *p == '\n') {
            if (!inBreak)
                line += ' ';
            inBreak = true;
        } else {
            line += *p;
            inBreak = false;
        }
    }
    line += '\n';
    return line;
}

std::string DecodeWindows1252(const char* text) {
    std::string out;
    for (const char* p = text; *p != '\0'; ++p)
        AppendUtf8(out, CodePointOf(static_cast<unsigned char>(*p)));
    return out;
}

std::string SafeText(const char* text, std::size_t maxCharacters) {
    std::string out;
    AppendSafeText(out, text, maxCharacters);
    return out;
}

std::string InterfaceLabel(const char* name, const char* address) {
    return name[0] != '\0' ? SafeText(name) + " " + address : std::string(address);
}

std::string JsonRows(const std::vector<CliRow>& rows, const char* indent) {
    if (rows.empty())
        return "[]";
    std::string out = "[\n";
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const CliRow& row = rows[r];
        const std::string values[] = {DecodeWindows1252(row.address), DecodeWindows1252(row.model),
                                      DecodeWindows1252(row.version), DecodeWindows1252(row.revision),
                                      row.interfaceAddress,           ValidUtf8(row.interfaceName)};
        out += indent;
        out += "  {";
        for (int c = 0; c < RowColumns + 1; ++c)
            AppendJsonKey(out, JsonKeys[c], values[c], c == 0);
        out += r + 1 < rows.size() ? "},\n" : "}\n";
    }
    out += indent;
    out += "]";
    return out;
}

std::string RenderRows(const std::vector<CliRow>& rows, OutputFormat format, const RenderOptions& options) {
    std::string out;
    switch (format) {
    case OutputFormat::Table: {
        std::vector<std::vector<Cell>> lines;
        if (options.header)
            lines.push_back(HeaderCells(TableHeaders, RowColumns));
        for (const CliRow& row : rows)
            lines.push_back(TableCells(row));
        return RenderTable(lines);
    }
    case OutputFormat::Json:
        return JsonRows(rows, "") + "\n";
    case OutputFormat::Csv:
        if (options.header)
            AppendCsvRecord(out, std::vector<std::string>(std::begin(CsvHeaders), std::end(CsvHeaders)), options.lineEnd);
        for (const CliRow& row : rows)
            AppendCsvRecord(out,
                            {DeviceText(row.address), DeviceText(row.model), DeviceText(row.version),
                             DeviceText(row.revision), row.interfaceAddress, SafeText(row.interfaceName)},
                            options.lineEnd);
        return out;
    }
    return out;
}

std::string StreamHeader() {
    std::string out;
    AppendAligned(out, HeaderCells(TableHeaders, RowColumns),
                  std::vector<std::size_t>(std::begin(StreamWidths), std::end(StreamWidths)));
    return out;
}

std::string StreamRow(const CliRow& row) {
    std::string out;
    AppendAligned(out, TableCells(row), std::vector<std::size_t>(std::begin(StreamWidths), std::end(StreamWidths)));
    return out;
}

std::string RenderInterfaces(const std::vector<InterfaceLine>& lines, OutputFormat format,
                             const RenderOptions& options) {
    std::string out;
    std::vector<std::vector<std::string>> fields;
    for (const InterfaceLine& line : lines) {
        char address[AddressTextCapacity];
        FormatAddress(line.entry.address, address, sizeof address);
        fields.push_back({line.details.name, address,
                          line.details.prefixLength >= 0 ? std::to_string(line.details.prefixLength) : "",
                          std::to_string(line.entry.index), line.skipped != nullptr ? line.skipped : ""});
    }
    switch (format) {
    case OutputFormat::Table: {
        std::vector<std::vector<Cell>> table;
        if (options.header)
            table.push_back({{"Name", 4}, {"Address", 7}, {"Prefix", 6}, {"Index", 5}, {"Skipped", 7}});
        for (const auto& f : fields) {
            std::vector<Cell> cells(5);
            cells[0].width = AppendSafeText(cells[0].text, f[0].c_str());
            for (std::size_t c = 1; c < 5; ++c)
                cells[c] = Cell{f[c], f[c].size()};
            table.push_back(cells);
        }
        return RenderTable(table);
    }
    case OutputFormat::Json:
        if (fields.empty())
            return "[]\n";
        out = "[\n";
        for (std::size_t i = 0; i < fields.size(); ++i) {
            out += "  {";
            AppendJsonKey(out, "name", ValidUtf8(fields[i][0].c_str()), true);
            AppendJsonKey(out, "address", fields[i][1]);
            out += ", \"prefix_length\": " + (fields[i][2].empty() ? std::string("null") : fields[i][2]);
            out += ", \"index\": " + fields[i][3];
            if (fields[i][4].empty())
                out += ", \"skipped\": null";
            else
                AppendJsonKey(out, "skipped", fields[i][4]);
            out += i + 1 < fields.size() ? "},\n" : "}\n";
        }
        out += "]\n";
        return out;
    case OutputFormat::Csv:
        if (options.header)
            AppendCsvRecord(out, {"Name", "Address", "Prefix", "Index", "Skipped"}, options.lineEnd);
        for (auto& f : fields) {
            f[0] = SafeText(f[0].c_str());
            AppendCsvRecord(out, f, options.lineEnd);
        }
        return out;
    }
    return out;
}

std::string RenderCommandResult(const CommandResult& result, OutputFormat format, const RenderOptions& options) {
    std::string out;
    switch (format) {
    case OutputFormat::Json:
        out = "{";
        AppendJsonKey(out, "command", result.command, true);
        AppendJsonKey(out, "target", result.target);
        AppendJsonKey(out, "interface", result.interfaceAddress);
        AppendJsonKey(out, "interface_name", ValidUtf8(result.interfaceName));
        out += result.sent ? ", \"sent\": true" : ", \"sent\": false";
        if (!result.checked)
            out += ", \"checked\": false";
        if (result.dryRun) {
            out += ", \"dry_run\": true";
            AppendJsonKey(out, "datagram", result.datagramHex);
        }
        if (result.rows != nullptr) {
            out += ",\n \"rows\": ";
            out += JsonRows(*result.rows, " ");
        }
        if (result.answeringAtNewAddress >= 0) {
            out += ",\n \"new_address\": ";
            AppendJsonString(out, result.newAddress);
            out += ", \"answering_at_new_address\": " + std::to_string(result.answeringAtNewAddress);
        }
        out += "}\n";
        return out;
    case OutputFormat::Table:
        if (result.dryRun)
            return "command    " + std::string(result.command) + "\ntarget     " + result.target + "\ninterface  " +
                   InterfaceLabel(result.interfaceName, result.interfaceAddress) + "\ndatagram   " +
                   result.datagramHex + "\nsent       no (dry run)\n";
        return result.rows != nullptr ? RenderRows(*result.rows, format, options) : std::string();
    case OutputFormat::Csv:
        if (result.dryRun) {
            if (options.header)
                AppendCsvRecord(out, {"Command", "Target", "Interface", "Interface Name", "Datagram"}, options.lineEnd);
            AppendCsvRecord(out,
                            {result.command, result.target, result.interfaceAddress, SafeText(result.interfaceName),
                             result.datagramHex},
                            options.lineEnd);
            return out;
        }
        return result.rows != nullptr ? RenderRows(*result.rows, format, options) : std::string();
    }
    return out;
}

}  // namespace scout::cli
