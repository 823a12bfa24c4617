// Texts for scout-cli's outputs: a device's bytes read as Windows-1252, a text
// of this machine kept to valid UTF-8, and the escaping that keeps every
// control character off the terminal, JSON parsing and CSV fields whole.
#include "ops/text.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace scout::ops {
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

// The embeddings, overrides and isolates that reorder what follows them on a
// terminal ("Trojan Source"): escaped as the controls are.
bool IsBidiControl(std::uint32_t codePoint) {
    return (codePoint >= 0x202A && codePoint <= 0x202E) || (codePoint >= 0x2066 && codePoint <= 0x2069);
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

}  // namespace

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

std::size_t AppendSafeText(std::string& out, const char* text, std::size_t maxCharacters) {
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
        } else if (IsBidiControl(codePoint)) {
            AppendHexEscape(out, "\\u", codePoint, 4);
            p += length;
            width += 6;
        } else {
            out.append(reinterpret_cast<const char*>(p), length);
            p += length;
            width += 1;
        }
    }
    return width;
}

bool NextLine(const std::string& text, std::size_t* start, std::string* line) {
    if (*start >= text.size())
        return false;
    std::size_t end = text.find('\n', *start);
    if (end == std::string::npos)
        end = text.size();
    *line = text.substr(*start, end - *start);
    *start = end + 1;
    if (!line->empty() && line->back() == '\r')
        line->pop_back();
    return true;
}

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
        } else if (std::uint32_t codePoint = 0; byte == 0xE2 && i + 2 < utf8.size() &&
                   DecodeUtf8(reinterpret_cast<const unsigned char*>(utf8.c_str() + i), &codePoint) == 3 &&
                   IsBidiControl(codePoint)) {
            AppendHexEscape(out, "\\u", codePoint, 4);
            i += 2;
        } else {
            out += static_cast<char>(byte);
        }
    }
    out += '"';
}

void AppendJsonKey(std::string& out, const char* key, const std::string& value, bool first) {
    if (!first)
        out += ", ";
    AppendJsonString(out, key);
    out += ": ";
    AppendJsonString(out, value);
}

bool CsvFieldNeedsMark(const std::string& field) {
    return !field.empty() && std::string("=+-@\t\r'").find(field[0]) != std::string::npos;
}

void AppendCsvField(std::string& out, const std::string& field) {
    const std::string text = CsvFieldNeedsMark(field) ? "'" + field : field;
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        out += text;
        return;
    }
    out += '"';
    for (const char c : text) {
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

std::string SecondsOf(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", seconds);
    return text;
}

std::string HexText(const unsigned char* bytes, std::size_t length) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (std::size_t i = 0; i < length; ++i) {
        hex += digits[bytes[i] >> 4];
        hex += digits[bytes[i] & 15];
    }
    return hex;
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

}  // namespace scout::ops
