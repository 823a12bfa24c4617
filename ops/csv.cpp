// Reading a CSV file (see csv.h).
#include "ops/csv.h"

#include <cstdio>

#include "ops/text.h"

namespace scout::ops {

bool SplitCsvFields(const std::string& line, std::vector<std::string>* fields, std::string* why) {
    fields->assign(1, std::string());
    std::size_t i = 0;
    while (i <= line.size()) {
        std::string& field = fields->back();
        if (i < line.size() && line[i] == '"') {
            for (++i;; ++i) {
                if (i >= line.size()) {
                    *why = "a quoted field does not end on its line";
                    return false;
                }
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
            if (i < line.size() && line[i] != ',') {
                *why = "text after the closing quote of field " + std::to_string(fields->size());
                return false;
            }
        } else {
            for (; i < line.size() && line[i] != ','; ++i) {
                if (line[i] == '"') {
                    *why = "a quote inside unquoted field " + std::to_string(fields->size());
                    return false;
                }
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

std::string CsvLineFault(const std::string& line, std::size_t maxBytes) {
    if (line.size() > maxBytes)
        return "longer than " + std::to_string(maxBytes) + " bytes";
    if (line.empty())
        return "an empty line";
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char text[48];
            std::snprintf(text, sizeof text, "a control character (\\x%02X)", byte);
            return text;
        }
    }
    if (ValidUtf8(line.c_str()) != line)
        return "not UTF-8";
    return "";
}

std::size_t CsvStart(const std::string& text) {
    return text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
}

}  // namespace scout::ops
