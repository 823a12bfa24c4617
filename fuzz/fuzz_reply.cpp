// Fuzzes the reading of a received datagram as the search reads it: any bytes
// of any length, the part beyond what was received counted as zero. Checks the
// accept rule and the texts against a plain re-reading of the bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "net/query_datagram.h"

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz_reply: %s\n", what);
        std::abort();
    }
}

// The text of a field from its start to the first NUL, never past byte 39.
std::size_t TextLength(const scout::QueryDatagram& d, std::size_t start) {
    std::size_t n = 0;
    while (start + n < d.size() && d[start + n] != 0)
        ++n;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    scout::QueryDatagram d{};
    std::memcpy(d.data(), data, size < d.size() ? size : d.size());

    const bool magicMatches = std::memcmp(d.data(), scout::ProtocolMagic.data(), 16) == 0;
    const bool commandZero = d[16] == 0 && d[17] == 0 && d[18] == 0 && d[19] == 0;
    Require(scout::AcceptReply(d) == (magicMatches && commandZero), "accept rule");

    const scout::ReplyFields reply = scout::ReadReply(d);
    const std::uint32_t model = static_cast<std::uint32_t>(d[20]) | static_cast<std::uint32_t>(d[21]) << 8 |
                                static_cast<std::uint32_t>(d[22]) << 16 | static_cast<std::uint32_t>(d[23]) << 24;
    Require(reply.model == model, "model number");
    const std::size_t versionLength = TextLength(d, scout::WordBOffset);
    const std::size_t revisionLength = TextLength(d, scout::WordDOffset);
    Require(std::strlen(reply.version) == versionLength, "version length");
    Require(std::memcmp(reply.version, &d[scout::WordBOffset], versionLength) == 0, "version bytes");
    Require(std::strlen(reply.revision) == revisionLength, "revision length");
    Require(std::memcmp(reply.revision, &d[scout::WordDOffset], revisionLength) == 0, "revision bytes");

    char text[scout::TextBufferCapacity];
    scout::FormatModelText(reply.model, text, sizeof text);
    char expected[32];
    std::snprintf(expected, sizeof expected, "KRV-ETH%X", static_cast<unsigned>(model));
    Require(std::strcmp(text, expected) == 0, "model text");
    return 0;
}
