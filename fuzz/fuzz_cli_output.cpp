// Fuzzes scout-cli's renderings with hostile version, revision and interface
// name bytes: the JSON must always parse and give back the texts, the table
// (aligned or streamed) and the CSV must never carry a control character, and
// the CSV must give back six fields per row, the texts as the table shows them.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "cli/cli_render.h"
#include "cli/cli_search.h"
#include "ops/text.h"

namespace {

using scout::cli::Reply;
using scout::cli::OutputFormat;

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz_cli_output: %s\n", what);
        std::abort();
    }
}

// Windows-1252 0x80-0x9F, written out here apart from the code under test; the
// five undefined bytes stand for the C1 code point of the same value.
constexpr std::uint32_t Cp1252High[32] = {
    0x20AC, 0x81, 0x201A, 0x192, 0x201E, 0x2026, 0x2020, 0x2021, 0x2C6, 0x2030, 0x160, 0x2039, 0x152, 0x8D, 0x17D, 0x8F,
    0x90, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x2DC, 0x2122, 0x161, 0x203A, 0x153, 0x9D, 0x17E, 0x178};

std::vector<std::uint32_t> FromCp1252(const char* text) {
    std::vector<std::uint32_t> out;
    for (const char* p = text; *p != '\0'; ++p) {
        const auto b = static_cast<unsigned char>(*p);
        out.push_back(b >= 0x80 && b <= 0x9F ? Cp1252High[b - 0x80] : b);
    }
    return out;
}

std::vector<std::uint32_t> FromAscii(const char* text) {
    std::vector<std::uint32_t> out;
    for (const char* p = text; *p != '\0'; ++p)
        out.push_back(static_cast<unsigned char>(*p));
    return out;
}

// Strict UTF-8 into code points; false on any malformed sequence.
bool DecodeUtf8(const std::string& s, std::vector<std::uint32_t>* out) {
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        if (extra < 0 || i + static_cast<std::size_t>(extra) >= s.size())
            return false;
        std::uint32_t cp = extra == 0 ? b : b & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            const auto c = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
            if ((c & 0xC0) != 0x80)
                return false;
            cp = cp << 6 | (c & 0x3F);
        }
        const std::uint32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (cp < least[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        out->push_back(cp);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return true;
}

// --- a strict JSON reader for what scout-cli prints: an array of objects of strings ---

struct JsonReader {
    const std::string& s;
    std::size_t at = 0;

    void Space() {
        while (at < s.size() && (s[at] == ' ' || s[at] == '\n' || s[at] == '\r' || s[at] == '\t'))
            ++at;
    }
    bool Take(char c) {
        Space();
        if (at < s.size() && s[at] == c) {
            ++at;
            return true;
        }
        return false;
    }
    bool Hex4(std::uint32_t* value) {
        if (at + 4 > s.size())
            return false;
        *value = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = s[at++];
            const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10
                            : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
            if (digit < 0)
                return false;
            *value = *value << 4 | static_cast<std::uint32_t>(digit);
        }
        return true;
    }
    bool String(std::vector<std::uint32_t>* out) {
        if (!Take('"'))
            return false;
        std::string raw;
        for (;;) {
            if (at >= s.size())
                return false;
            const char c = s[at++];
            if (c == '"')
                break;
            if (static_cast<unsigned char>(c) < 0x20)
                return false;  // JSON forbids raw control characters in strings
            if (c != '\\') {
                raw += c;
                continue;
            }
            if (!DecodeUtf8(raw, out))
                return false;
            raw.clear();
            if (at >= s.size())
                return false;
            const char e = s[at++];
            const char* simple = "\"\\/bfnrt";
            const std::uint32_t meaning[] = {'"', '\\', '/', '\b', '\f', '\n', '\r', '\t'};
            if (const char* found = std::strchr(simple, e); found != nullptr && e != '\0') {
                out->push_back(meaning[found - simple]);
            } else if (e == 'u') {
                std::uint32_t unit = 0;
                if (!Hex4(&unit))
                    return false;
                if (unit >= 0xD800 && unit <= 0xDBFF) {
                    std::uint32_t low = 0;
                    if (at + 2 > s.size() || s[at] != '\\' || s[at + 1] != 'u')
                        return false;
                    at += 2;
                    if (!Hex4(&low) || low < 0xDC00 || low > 0xDFFF)
                        return false;
                    unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
                    return false;
                }
                out->push_back(unit);
            } else {
                return false;
            }
        }
        return DecodeUtf8(raw, out);
    }
};

using JsonObject = std::vector<std::pair<std::vector<std::uint32_t>, std::vector<std::uint32_t>>>;

bool ParseRows(const std::string& text, std::vector<JsonObject>* rows) {
    JsonReader r{text};
    if (!r.Take('['))
        return false;
    if (!r.Take(']')) {
        do {
            if (!r.Take('{'))
                return false;
            JsonObject object;
            do {
                std::vector<std::uint32_t> key, value;
                if (!r.String(&key) || !r.Take(':') || !r.String(&value))
                    return false;
                object.emplace_back(key, value);
            } while (r.Take(','));
            if (!r.Take('}'))
                return false;
            rows->push_back(object);
        } while (r.Take(','));
        if (!r.Take(']'))
            return false;
    }
    r.Space();
    return r.at == text.size();
}

// --- RFC 4180 ---

bool ParseCsv(const std::string& s, std::vector<std::vector<std::string>>* records) {
    std::size_t at = 0;
    while (at < s.size()) {
        std::vector<std::string> record;
        for (;;) {
            std::string field;
            if (at < s.size() && s[at] == '"') {
                ++at;
                for (;;) {
                    if (at >= s.size())
                        return false;
                    if (s[at] == '"') {
                        if (at + 1 < s.size() && s[at + 1] == '"') {
                            field += '"';
                            at += 2;
                            continue;
                        }
                        ++at;
                        break;
                    }
                    field += s[at++];
                }
            } else {
                while (at < s.size() && s[at] != ',' && s[at] != '\r' && s[at] != '\n' && s[at] != '"')
                    field += s[at++];
                if (at < s.size() && s[at] == '"')
                    return false;  // a quote inside an unquoted field
            }
            record.push_back(field);
            if (at < s.size() && s[at] == ',') {
                ++at;
                continue;
            }
            if (at + 1 < s.size() && s[at] == '\r' && s[at + 1] == '\n') {
                at += 2;
                break;
            }
            return false;  // every record ends with CR LF
        }
        records->push_back(record);
    }
    return true;
}

bool IsControl(std::uint32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F);
}

// What the table and the CSV show of a device's text: its Windows-1252
// characters, each control character as \xNN of its byte.
std::vector<std::uint32_t> Shown(const char* text) {
    std::vector<std::uint32_t> out;
    const std::vector<std::uint32_t> decoded = FromCp1252(text);
    for (std::size_t i = 0; i < decoded.size(); ++i) {
        if (!IsControl(decoded[i])) {
            out.push_back(decoded[i]);
            continue;
        }
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(text[i]));
        for (const char* e = escape; *e != '\0'; ++e)
            out.push_back(static_cast<unsigned char>(*e));
    }
    return out;
}

void RequireNoControl(const std::string& text, std::size_t expectedLines, const char* what) {
    std::vector<std::uint32_t> decoded;
    Require(DecodeUtf8(text, &decoded), what);
    std::size_t lines = 0;
    for (std::size_t i = 0; i < decoded.size(); ++i) {
        if (decoded[i] == '\n')
            ++lines;
        else if (!(decoded[i] == '\r' && i + 1 < decoded.size() && decoded[i + 1] == '\n'))
            Require(!IsControl(decoded[i]), what);
    }
    Require(lines == expectedLines, what);
}

// Splits the input at each NUL into texts of at most 16 bytes, as long as the
// longest a reply can carry.
std::vector<std::string> Texts(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> texts(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0 || texts.back().size() >= 16)
            texts.emplace_back();
        if (data[i] != 0)
            texts.back() += static_cast<char>(data[i]);
    }
    return texts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> texts = Texts(data, size);
    std::vector<Reply> rows;
    for (std::size_t i = 0; i < texts.size() && rows.size() < 64; i += 2) {
        Reply row;
        std::snprintf(row.address, sizeof row.address, "10.1.%u.%u", static_cast<unsigned>(rows.size() / 256),
                      static_cast<unsigned>(rows.size() % 256));
        std::snprintf(row.model, sizeof row.model, "KRV-ETH%X", static_cast<unsigned>(i));
        std::snprintf(row.version, sizeof row.version, "%s", texts[i].c_str());
        std::snprintf(row.revision, sizeof row.revision, "%s", i + 1 < texts.size() ? texts[i + 1].c_str() : "");
        std::snprintf(row.interfaceAddress, sizeof row.interfaceAddress, "10.1.0.1");
        // An interface's name is this machine's text, not always UTF-8 either.
        std::snprintf(row.interfaceName, sizeof row.interfaceName, "%s", texts[(i + 2) % texts.size()].c_str());
        // Every other row known by its frame's MAC, taken from the version's bytes.
        if (rows.size() % 2 == 1) {
            row.macSource = scout::MacSource::Frame;
            for (std::size_t b = 0; b < row.mac.size(); ++b)
                row.mac[b] = static_cast<std::uint8_t>(b < texts[i].size() ? texts[i][b] : 0);
        }
        rows.push_back(row);
    }
    const scout::cli::RenderOptions options{.header = true, .lineEnd = "\r\n"};

    // JSON: parses, has the seven keys in order, and gives back the texts and the MAC.
    std::vector<JsonObject> parsed;
    Require(ParseRows(scout::cli::RenderRows(rows, OutputFormat::Json, options), &parsed), "JSON does not parse");
    Require(parsed.size() == rows.size(), "JSON row count");
    const char* keys[] = {"address", "model", "version", "revision", "interface", "interface_name", "mac"};
    for (std::size_t r = 0; r < rows.size(); ++r) {
        Require(parsed[r].size() == 7, "JSON keys");
        for (int k = 0; k < 7; ++k)
            Require(parsed[r][static_cast<std::size_t>(k)].first == FromAscii(keys[k]), "JSON key names");
        Require(parsed[r][2].second == FromCp1252(rows[r].version), "JSON version");
        Require(parsed[r][3].second == FromCp1252(rows[r].revision), "JSON revision");
        Require(parsed[r][6].second.size() == (rows[r].macSource == scout::MacSource::None ? 0u : 17u), "JSON mac");
    }

    // The table, aligned and streamed: UTF-8 with no control character but the line ends.
    RequireNoControl(scout::cli::RenderRows(rows, OutputFormat::Table, options), rows.size() + 1,
                     "control character in the table, or not UTF-8");
    for (const Reply& row : rows)
        RequireNoControl(scout::cli::StreamRow(row), 1, "control character in a streamed row");

    // CSV: a header and one record of seven fields per row, the texts as the table shows them.
    const std::string csv = scout::cli::RenderRows(rows, OutputFormat::Csv, options);
    RequireNoControl(csv, rows.size() + 1, "control character in the CSV");
    std::vector<std::vector<std::string>> records;
    Require(ParseCsv(csv, &records), "CSV does not parse");
    Require(records.size() == rows.size() + 1, "CSV record count");
    // No cell a spreadsheet would run: one that would begins with the ' that
    // makes it text, which a reader of the list drops again.
    const auto unmarked = [](std::string field) {
        static const std::string triggers = "=+-@\t\r";
        Require(field.empty() || triggers.find(field[0]) == std::string::npos, "a CSV cell a spreadsheet runs");
        if (field.size() > 1 && field[0] == '\'' && (triggers + "'").find(field[1]) != std::string::npos)
            field.erase(0, 1);
        return field;
    };
    for (std::size_t r = 0; r < records.size(); ++r) {
        Require(records[r].size() == 7, "CSV field count");
        if (r == 0)
            continue;
        std::vector<std::uint32_t> version, revision;
        Require(DecodeUtf8(unmarked(records[r][2]), &version) && version == Shown(rows[r - 1].version),
                "CSV version");
        Require(DecodeUtf8(unmarked(records[r][3]), &revision) && revision == Shown(rows[r - 1].revision),
                "CSV revision");
    }
    return 0;
}
