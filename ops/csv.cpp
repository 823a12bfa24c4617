// Reading a CSV file (see csv.h).
#include "ops/csv.h"

#include "ops/text.h"

namespace scout::ops {
namespace {

CsvFault Fault(CsvFaultKind kind, int line, std::size_t count = 0, std::size_t limit = 0) {
    CsvFault fault;
    fault.kind = kind;
    fault.line = line;
    fault.count = count;
    fault.limit = limit;
    return fault;
}

// What is wrong with a line as bytes (None where nothing is).
CsvFault LineFault(const std::string& line, int number, std::size_t maxBytes) {
    if (line.size() > maxBytes)
        return Fault(CsvFaultKind::TooLong, number, line.size(), maxBytes);
    if (line.empty())
        return Fault(CsvFaultKind::EmptyLine, number);
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            return Fault(CsvFaultKind::ControlCharacter, number, byte);
    }
    if (ValidUtf8(line.c_str()) != line)
        return Fault(CsvFaultKind::NotUtf8, number);
    return CsvFault{};
}

}  // namespace

bool SplitCsvFields(const std::string& line, std::vector<std::string>* fields, CsvFault* fault) {
    fields->assign(1, std::string());
    const auto fail = [&](CsvFaultKind kind) {
        *fault = CsvFault{};
        fault->kind = kind;
        fault->field = fields->size();
        return false;
    };
    std::size_t i = 0;
    while (i <= line.size()) {
        std::string& field = fields->back();
        if (i < line.size() && line[i] == '"') {
            for (++i;; ++i) {
                if (i >= line.size())
                    return fail(CsvFaultKind::QuoteNotEnded);
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        field += '"';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += line[i];
            }
            if (i < line.size() && line[i] != ',')
                return fail(CsvFaultKind::TextAfterQuote);
        } else {
            for (; i < line.size() && line[i] != ','; ++i) {
                if (line[i] == '"')
                    return fail(CsvFaultKind::QuoteInField);
                field += line[i];
            }
        }
        if (field.size() > 1 && field[0] == '\'' && CsvFieldNeedsMark(field.substr(1)))
            field.erase(0, 1);  // the mark of a formula made harmless
        if (i >= line.size())
            return true;
        fields->emplace_back();
        ++i;  // the comma
    }
    return true;
}

CsvFile ReadCsv(const std::string& text, const CsvLimits& limits) {
    CsvFile file;
    if (text.size() > limits.maxBytes) {
        file.faults.push_back(Fault(CsvFaultKind::TooLarge, 0, text.size(), limits.maxBytes));
        return file;
    }
    // Past a spreadsheet's byte order mark.
    std::size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    std::string line;
    for (int number = 1; NextLine(text, &start, &line); ++number) {
        if (number == 1)
            file.headerText = line;
        if (const CsvFault fault = LineFault(line, number, limits.maxLineBytes); fault.kind != CsvFaultKind::None) {
            file.faults.push_back(fault);
            if (number == 1)
                return file;
            continue;
        }
        CsvRow row;
        row.line = number;
        CsvFault fault;
        if (!SplitCsvFields(line, number == 1 ? &file.header : &row.cells, &fault)) {
            fault.line = number;
            file.faults.push_back(fault);
            if (number == 1)
                return file;
            continue;
        }
        if (number == 1) {
            file.headed = true;
            continue;
        }
        if (row.cells.size() != file.header.size()) {
            file.faults.push_back(Fault(CsvFaultKind::Columns, number, row.cells.size(), file.header.size()));
            continue;
        }
        if (file.rows.size() == limits.maxRows) {
            file.faults.push_back(Fault(CsvFaultKind::TooManyRows, number, 0, limits.maxRows));
            return file;
        }
        file.rows.push_back(std::move(row));
    }
    if (file.headerText.empty() && !file.headed && file.faults.empty())
        file.faults.push_back(Fault(CsvFaultKind::NoHeader, 0));
    return file;
}

}  // namespace scout::ops
