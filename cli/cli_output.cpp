// Rendering of rows and interfaces for scout-cli. Version and revision are
// whatever bytes a device sent: the table escapes every control byte so that a
// device cannot drive the operator's terminal, JSON always parses.
#include "cli/cli_output.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

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
    } else {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

void AppendHexEscape(std::string& out, const char* prefix, unsigned value, int digits) {
    char escape[12];
    std::snprintf(escape, sizeof escape, "%s%0*X", prefix, digits, value);
    out += escape;
}

// Table cell text: printable characters as UTF-8, every control byte as \xNN.
// Returns the cell's width in characters.
std::size_t AppendTableText(std::string& out, const char* text) {
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

void AppendJsonString(std::string& out, const std::string& utf8) {
    out += '"';
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte == '"' || byte == '\\') {
            out += '\\';
            out += static_cast<char>(byte);
        } else if (byte < 0x20 || byte == 0x7F) {
            AppendHexEscape(out, "\\u", byte, 4);
        } else if (byte == 0xC2 && i + 1 < utf8.size() &&
                   static_cast<unsigned char>(utf8[i + 1]) <= 0x9F) {
            // A C1 control (U+0080-U+009F) is escaped too, so no consumer sees it raw.
            AppendHexEscape(out, "\\u", static_cast<unsigned char>(utf8[i + 1]), 4);
            ++i;
        } else {
            out += static_cast<char>(byte);
        }
    }
    out += '"';
}

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

constexpr int ColumnCount = 5;
constexpr const char* RowHeaders[ColumnCount] = {"IP ADDR", "Model", "Version", "Revision", "Interface"};

void RowCells(const CliRow& row, const char* cells[ColumnCount]) {
    cells[0] = row.address;
    cells[1] = row.model;
    cells[2] = row.version;
    cells[3] = row.revision;
    cells[4] = row.interfaceAddress;
}

struct Cell {
    std::string text;
    std::size_t width;
};

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
    for (const auto& line : lines) {
        for (std::size_t c = 0; c < line.size(); ++c) {
            out += line[c].text;
            if (c + 1 < line.size())
                out.append(widths[c] - line[c].width + 2, ' ');
        }
        out += '\n';
    }
    return out;
}

Cell TableCell(const char* text) {
    Cell cell;
    cell.width = AppendTableText(cell.text, text);
    return cell;
}

// --- the front end ---

void ClearRows(void* context) {
    static_cast<CliList*>(context)->rows.clear();
}

void CopyText(char* target, std::size_t capacity, const char* text) {
    std::snprintf(target, capacity, "%s", text);
}

void InsertRow(void* context, int index, const char* address, const BroadcastInterface& via) {
    auto& rows = static_cast<CliList*>(context)->rows;
    CliRow row;
    CopyText(row.address, sizeof row.address, address);
    FormatAddress(via.address, row.interfaceAddress, sizeof row.interfaceAddress);
    row.via = via;
    const std::size_t at = index < 0 ? 0 : static_cast<std::size_t>(index);
    rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(at < rows.size() ? at : rows.size()), row);
}

void SetRowText(void* context, int index, ListColumn column, const char* text) {
    auto& rows = static_cast<CliList*>(context)->rows;
    if (index < 0 || static_cast<std::size_t>(index) >= rows.size())
        return;
    CliRow& row = rows[static_cast<std::size_t>(index)];
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
        break;
    }
}

void ShowError(void*, const char* text) {
    const std::string line = FormatErrorLine(text);
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
    };
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

std::string JsonRows(const std::vector<CliRow>& rows, const char* indent) {
    static constexpr const char* JsonKeys[ColumnCount] = {"address", "model", "version", "revision",
                                                          "interface"};
    if (rows.empty())
        return "[]";
    std::string out = "[\n";
    const char* cells[ColumnCount];
    for (std::size_t r = 0; r < rows.size(); ++r) {
        RowCells(rows[r], cells);
        out += indent;
        out += "  {";
        for (int c = 0; c < ColumnCount; ++c) {
            if (c > 0)
                out += ", ";
            AppendJsonString(out, JsonKeys[c]);
            out += ": ";
            AppendJsonString(out, DecodeWindows1252(cells[c]));
        }
        out += r + 1 < rows.size() ? "},\n" : "}\n";
    }
    out += indent;
    out += "]";
    return out;
}

std::string RenderRows(const std::vector<CliRow>& rows, OutputFormat format) {
    std::string out;
    const char* cells[ColumnCount];
    switch (format) {
    case OutputFormat::Table: {
        std::vector<std::vector<Cell>> lines;
        std::vector<Cell> header;
        for (const char* title : RowHeaders)
            header.push_back(TableCell(title));
        lines.push_back(header);
        for (const CliRow& row : rows) {
            RowCells(row, cells);
            std::vector<Cell> line;
            for (const char* cell : cells)
                line.push_back(TableCell(cell));
            lines.push_back(line);
        }
        return RenderTable(lines);
    }
    case OutputFormat::Json:
        return JsonRows(rows, "") + "\n";
    case OutputFormat::Csv:
        for (int c = 0; c < ColumnCount; ++c) {
            if (c > 0)
                out += ',';
            out += RowHeaders[c];
        }
        out += "\r\n";
        for (const CliRow& row : rows) {
            RowCells(row, cells);
            for (int c = 0; c < ColumnCount; ++c) {
                if (c > 0)
                    out += ',';
                AppendCsvField(out, DecodeWindows1252(cells[c]));
            }
            out += "\r\n";
        }
        return out;
    }
    return out;
}

std::string RenderInterfaces(const BroadcastInterface* entries, std::size_t count, OutputFormat format) {
    std::string out;
    char address[AddressTextCapacity];
    char index[16];
    switch (format) {
    case OutputFormat::Table: {
        std::vector<std::vector<Cell>> lines;
        lines.push_back({TableCell("Interface"), TableCell("Index")});
        for (std::size_t i = 0; i < count; ++i) {
            FormatAddress(entries[i].address, address, sizeof address);
            std::snprintf(index, sizeof index, "%u", static_cast<unsigned>(entries[i].index));
            lines.push_back({TableCell(address), TableCell(index)});
        }
        return RenderTable(lines);
    }
    case OutputFormat::Json:
        if (count == 0)
            return "[]\n";
        out = "[\n";
        for (std::size_t i = 0; i < count; ++i) {
            FormatAddress(entries[i].address, address, sizeof address);
            std::snprintf(index, sizeof index, "%u", static_cast<unsigned>(entries[i].index));
            out += "  {\"address\": \"";
            out += address;
            out += "\", \"index\": ";
            out += index;
            out += i + 1 < count ? "},\n" : "}\n";
        }
        out += "]\n";
        return out;
    case OutputFormat::Csv:
        out = "Interface,Index\r\n";
        for (std::size_t i = 0; i < count; ++i) {
            FormatAddress(entries[i].address, address, sizeof address);
            std::snprintf(index, sizeof index, "%u", static_cast<unsigned>(entries[i].index));
            out += address;
            out += ',';
            out += index;
            out += "\r\n";
        }
        return out;
    }
    return out;
}

std::string RenderCommandResult(const CommandResult& result, OutputFormat format) {
    std::string out;
    switch (format) {
    case OutputFormat::Json:
        out = "{\"command\": ";
        AppendJsonString(out, result.command);
        out += ", \"target\": ";
        AppendJsonString(out, result.target);
        out += ", \"interface\": ";
        AppendJsonString(out, result.interfaceAddress);
        out += result.sent ? ", \"sent\": true" : ", \"sent\": false";
        if (result.dryRun) {
            out += ", \"dry_run\": true, \"datagram\": ";
            AppendJsonString(out, result.datagramHex);
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
                   result.interfaceAddress + "\ndatagram   " + result.datagramHex + "\nsent       no (dry run)\n";
        return result.rows != nullptr ? RenderRows(*result.rows, format) : std::string();
    case OutputFormat::Csv:
        if (result.dryRun)
            return "Command,Target,Interface,Datagram\r\n" + std::string(result.command) + "," + result.target + "," +
                   result.interfaceAddress + "," + result.datagramHex + "\r\n";
        return result.rows != nullptr ? RenderRows(*result.rows, format) : std::string();
    }
    return out;
}

}  // namespace scout::cli
