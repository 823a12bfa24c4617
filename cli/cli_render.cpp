// Rendering of rows, interfaces and command results for scout-cli: the aligned
// table (or one with fixed columns, row by row as the replies arrive), JSON and
// CSV. Version and revision are whatever bytes a device sent: the table and CSV
// escape every control byte, JSON always parses.
#include "cli/cli_render.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "ops/answers.h"
#include "ops/hosts.h"
#include "ops/text.h"

namespace scout::cli {
namespace {

// --- the row's columns, named once for the three renderings ---

constexpr int RowColumns = 5;
constexpr const char* TableHeaders[RowColumns] = {"IP ADDR", "Model", "Version", "Revision", "Interface"};
constexpr const char* CsvHeaders[RowColumns + 2] = {"IP ADDR",   "Model",          "Version", "Revision",
                                                    "Interface", "Interface Name", "MAC"};
constexpr const char* JsonKeys[RowColumns + 2] = {"address",   "model",          "version", "revision",
                                                  "interface", "interface_name", "mac"};
// The table's MAC column, where a row has one.
constexpr const char* MacHeader = "MAC";
// The streamed table's widths: an address, "KRV-ETH" and eight hex digits, a
// version field running on into the revision, a revision field.
constexpr std::size_t StreamWidths[RowColumns - 1] = {15, 15, 16, 8};

struct Cell {
    std::string text;
    std::size_t width;
};

std::vector<Cell> TableCells(const Reply& row) {
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

}  // namespace


std::string DeviceTexts(const Reply& row) {
    // Each text escaped as the table and the journal's fields escape it (a C1 byte as \x81, one escaping).
    return DeviceText(row.model) + " " + DeviceText(row.version) + " " + DeviceText(row.revision);
}


std::string RowMacText(const Reply& row) {
    return row.macSource == MacSource::None ? std::string() : MacText(row.mac);
}

std::string JsonRowKeys(const Reply& row) {
    const std::string values[] = {DecodeWindows1252(row.address), DecodeWindows1252(row.model),
                                  DecodeWindows1252(row.version), DecodeWindows1252(row.revision),
                                  row.interfaceAddress,           ValidUtf8(row.interfaceName),
                                  RowMacText(row)};
    std::string out;
    for (int c = 0; c < RowColumns + 2; ++c)
        AppendJsonKey(out, JsonKeys[c], values[c], c == 0);
    return out;
}

std::vector<std::string> CsvRowHeaders() {
    return std::vector<std::string>(std::begin(CsvHeaders), std::end(CsvHeaders));
}

std::vector<std::string> CsvRowFields(const Reply& row) {
    return {DeviceText(row.address),  DeviceText(row.model), DeviceText(row.version),       DeviceText(row.revision),
            row.interfaceAddress,     SafeText(row.interfaceName), RowMacText(row)};
}

void AppendCsvFields(std::string& out, const std::vector<std::string>& fields, const char* lineEnd) {
    AppendCsvRecord(out, fields, lineEnd);
}

std::string JsonRows(const std::vector<Reply>& rows, const char* indent) {
    if (rows.empty())
        return "[]";
    std::string out = "[\n";
    for (std::size_t r = 0; r < rows.size(); ++r) {
        out += indent;
        out += "  {" + JsonRowKeys(rows[r]);
        out += r + 1 < rows.size() ? "},\n" : "}\n";
    }
    out += indent;
    out += "]";
    return out;
}

namespace {

std::vector<Cell> StringCells(const std::vector<std::string>& texts) {
    std::vector<Cell> cells(texts.size());
    for (std::size_t c = 0; c < texts.size(); ++c)
        cells[c].width = AppendSafeText(cells[c].text, texts[c].c_str());
    return cells;
}

void Measure(ColumnWidths& columns, const std::vector<Cell>& cells) {
    if (columns.widths.size() < cells.size())
        columns.widths.resize(cells.size(), 0);
    for (std::size_t c = 0; c < cells.size(); ++c)
        columns.widths[c] = std::max(columns.widths[c], cells[c].width);
}

}  // namespace

void MeasureStrings(ColumnWidths& columns, const std::vector<std::string>& cells) {
    Measure(columns, StringCells(cells));
}

void MeasureHeaders(ColumnWidths& columns, const char* const* headers, int count) {
    Measure(columns, HeaderCells(headers, count));
}

std::string AlignedStrings(const ColumnWidths& columns, const std::vector<std::string>& cells) {
    std::string out;
    AppendAligned(out, StringCells(cells), columns.widths);
    return out;
}

std::string AlignedHeaders(const ColumnWidths& columns, const char* const* headers, int count) {
    std::string out;
    AppendAligned(out, HeaderCells(headers, count), columns.widths);
    return out;
}

std::string CsvStrings(const std::vector<std::string>& cells, const char* lineEnd) {
    std::vector<std::string> fields;
    for (const std::string& cell : cells)
        fields.push_back(SafeText(cell.c_str()));
    std::string out;
    AppendCsvRecord(out, fields, lineEnd);
    return out;
}

std::string RenderStrings(const char* const* headers, int count, const std::vector<std::vector<std::string>>& rows,
                          OutputFormat format, const RenderOptions& options) {
    std::string out;
    if (format == OutputFormat::Csv) {
        if (options.header)
            AppendCsvRecord(out, std::vector<std::string>(headers, headers + count), options.lineEnd);
        for (const auto& row : rows) {
            std::vector<std::string> fields;
            for (const std::string& field : row)
                fields.push_back(SafeText(field.c_str()));
            AppendCsvRecord(out, fields, options.lineEnd);
        }
        return out;
    }
    std::vector<std::vector<Cell>> table;
    if (options.header)
        table.push_back(HeaderCells(headers, count));
    for (const auto& row : rows) {
        std::vector<Cell> cells(row.size());
        for (std::size_t c = 0; c < row.size(); ++c)
            cells[c].width = AppendSafeText(cells[c].text, row[c].c_str());
        table.push_back(cells);
    }
    return RenderTable(table);
}

std::string RenderRows(const std::vector<Reply>& rows, OutputFormat format, const RenderOptions& options) {
    std::string out;
    switch (format) {
    case OutputFormat::Table: {
        const bool macs = std::any_of(rows.begin(), rows.end(),
                                      [](const Reply& row) { return row.macSource != MacSource::None; });
        std::vector<std::vector<Cell>> lines;
        if (options.header) {
            lines.push_back(HeaderCells(TableHeaders, RowColumns));
            if (macs)
                lines.back().push_back(Cell{MacHeader, std::strlen(MacHeader)});
        }
        for (const Reply& row : rows) {
            lines.push_back(TableCells(row));
            if (macs) {
                const std::string mac = RowMacText(row);
                lines.back().push_back(Cell{mac, mac.size()});
            }
        }
        return RenderTable(lines);
    }
    case OutputFormat::Json:
        return JsonRows(rows, "") + "\n";
    case OutputFormat::Csv:
        if (options.header)
            AppendCsvRecord(out, CsvRowHeaders(), options.lineEnd);
        for (const Reply& row : rows)
            AppendCsvRecord(out, CsvRowFields(row), options.lineEnd);
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

std::string StreamRow(const Reply& row) {
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
        if (line.entry.address == AnyAddress)
            address[0] = '\0';  // an interface without an IPv4 address
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
        if (result.outcome[0] != '\0') {
            AppendJsonKey(out, "outcome", result.outcome);
            out += ", \"seconds\": " + SecondsOf(result.seconds);
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
