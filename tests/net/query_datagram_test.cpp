// The datagram's byte layouts, accept rule and text reading, against the
// protocol's own byte examples.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "net/query_datagram.h"

namespace scout {
namespace {

std::vector<std::uint8_t> Bytes(const QueryDatagram& d, std::size_t from, std::size_t to) {
    return std::vector<std::uint8_t>(d.begin() + static_cast<std::ptrdiff_t>(from),
                                     d.begin() + static_cast<std::ptrdiff_t>(to));
}

const std::vector<std::uint8_t> MagicBytes = {0xDB, 0xAC, 0x19, 0xA6, 0x6A, 0xB7, 0xFE, 0x49,
                                              0x9C, 0x87, 0xA8, 0x77, 0x39, 0x8E, 0x00, 0xC3};

TEST(QueryDatagram, QueryIsMagicThenZeros) {
    QueryDatagram d;
    d.fill(0xEE);  // stale bytes must not survive the build
    BuildQuery(d);
    EXPECT_EQ(Bytes(d, 0, 16), MagicBytes);
    EXPECT_EQ(Bytes(d, 16, 40), std::vector<std::uint8_t>(24, 0));
}

TEST(QueryDatagram, MagicReadAsLittleEndianWords) {
    QueryDatagram d;
    BuildQuery(d);
    const std::uint32_t words[4] = {0xA619ACDB, 0x49FEB76A, 0x77A8879C, 0xC3008E39};
    for (int w = 0; w < 4; ++w) {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= static_cast<std::uint32_t>(d[static_cast<std::size_t>(4 * w + i)]) << (8 * i);
        EXPECT_EQ(value, words[w]) << "word " << w;
    }
}

TEST(QueryDatagram, ResetWithoutAndWithFactoryDefaults) {
    QueryDatagram plain;
    plain.fill(0xEE);
    BuildReset(plain, MakeAddress(192, 168, 1, 50), false);
    EXPECT_EQ(Bytes(plain, 0, 16), MagicBytes);
    EXPECT_EQ(Bytes(plain, 16, 24), (std::vector<std::uint8_t>{0x01, 0, 0, 0, 0x32, 0x01, 0xA8, 0xC0}));
    EXPECT_EQ(Bytes(plain, 24, 40), std::vector<std::uint8_t>(16, 0));

    QueryDatagram factory;
    BuildReset(factory, MakeAddress(192, 168, 1, 50), true);
    EXPECT_EQ(Bytes(factory, 24, 32),
              (std::vector<std::uint8_t>{0x64, 0x65, 0x66, 0x61, 0x75, 0x6C, 0x74, 0x00}));
    EXPECT_EQ(Bytes(factory, 32, 40), std::vector<std::uint8_t>(8, 0));
    // The two resets differ only in the marker.
    EXPECT_EQ(Bytes(factory, 0, 24), Bytes(plain, 0, 24));
}

TEST(QueryDatagram, ReconfigureExample) {
    QueryDatagram d;
    d.fill(0xEE);
    BuildReconfigure(d, MakeAddress(10, 0, 0, 5), MakeAddress(10, 0, 0, 9), MakeAddress(255, 255, 255, 0),
                     MakeAddress(10, 0, 0, 1));
    EXPECT_EQ(Bytes(d, 0, 16), MagicBytes);
    EXPECT_EQ(Bytes(d, 16, 40), (std::vector<std::uint8_t>{0x02, 0, 0, 0, 0x05, 0, 0, 0x0A, 0x09, 0, 0, 0x0A,
                                                            0x00, 0xFF, 0xFF, 0xFF, 0x01, 0, 0, 0x0A, 0, 0, 0, 0}));
}

TEST(QueryDatagram, UnparsedAddressIsSentAsAllOnes) {
    QueryDatagram d;
    BuildReconfigure(d, MakeAddress(10, 0, 0, 5), BroadcastAddress, MakeAddress(255, 255, 255, 0), 0);
    EXPECT_EQ(Bytes(d, 24, 28), std::vector<std::uint8_t>(4, 0xFF));
}

TEST(QueryDatagram, AddressEncodingIsHostIndependent) {
    std::uint8_t out[4];
    EncodeAddress(MakeAddress(192, 168, 1, 100), out);
    EXPECT_EQ(std::vector<std::uint8_t>(out, out + 4), (std::vector<std::uint8_t>{0x64, 0x01, 0xA8, 0xC0}));
    // MakeAddress lays the bytes out as the socket layer does: a first in memory.
    const NetAddress address = MakeAddress(192, 168, 1, 100);
    std::uint8_t memory[4];
    std::memcpy(memory, &address, 4);
    EXPECT_EQ(memory[0], 192);
    EXPECT_EQ(memory[3], 100);
}

TEST(QueryDatagram, AcceptsOnlyMagicWithQueryCommand) {
    QueryDatagram reply;
    BuildQuery(reply);
    EXPECT_TRUE(AcceptReply(reply));
    // Nothing past the command word is looked at.
    reply[39] = 0x55;
    reply[20] = 0x77;
    EXPECT_TRUE(AcceptReply(reply));

    for (std::uint8_t command : {1, 2, 3, 0x80}) {
        QueryDatagram d;
        BuildQuery(d);
        d[CommandOffset] = command;
        EXPECT_FALSE(AcceptReply(d)) << "command " << int(command);
    }
    for (std::size_t byte = 17; byte < 20; ++byte) {
        QueryDatagram d;
        BuildQuery(d);
        d[byte] = 1;
        EXPECT_FALSE(AcceptReply(d)) << "command byte " << byte;
    }
    for (std::size_t byte = 0; byte < 16; ++byte) {
        QueryDatagram d;
        BuildQuery(d);
        d[byte] ^= 0x01;
        EXPECT_FALSE(AcceptReply(d)) << "magic byte " << byte;
    }
}

struct ReplyCase {
    const char* name;
    std::vector<std::uint8_t> tail;  // bytes 20-39
    std::uint32_t model;
    const char* version;
    const char* revision;
};

void PrintTo(const ReplyCase& c, std::ostream* out) {
    *out << c.name;
}

class ReadReplyTest : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(ReadReplyTest, Fields) {
    const ReplyCase& c = GetParam();
    QueryDatagram d;
    BuildQuery(d);
    std::memcpy(&d[20], c.tail.data(), 20);
    const ReplyFields fields = ReadReply(d);
    EXPECT_EQ(fields.model, c.model);
    EXPECT_STREQ(fields.version, c.version);
    EXPECT_STREQ(fields.revision, c.revision);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ReadReplyTest,
    ::testing::Values(
        ReplyCase{"plain",
                  {0x2B, 0x1A, 0, 0, '1', '.', '2', 0, 0, 0, 0, 0, 'B', 0, 0, 0, 0, 0, 0, 0},
                  0x1A2B, "1.2", "B"},
        ReplyCase{"versionWithoutNulRunsIntoRevision",
                  {1, 0, 0, 0, 'V', 'E', 'R', 'S', 'I', 'O', 'N', '8', 'r', 'e', 'v', 0, 0, 0, 0, 0},
                  1, "VERSION8rev", "rev"},
        ReplyCase{"bothWithoutNulEndWithTheDatagram",
                  {0xFF, 0xFF, 0xFF, 0xFF, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', '1', '2', '3', '4',
                   '5', '6', '7', '8'},
                  0xFFFFFFFF, "ABCDEFGH12345678", "12345678"},
        ReplyCase{"highBytesKept",
                  {0, 0, 0, 0, 0xE9, 0x80, 0x01, 0, 0, 0, 0, 0, 0x7F, 0xFF, 0, 0, 0, 0, 0, 0},
                  0, "\xE9\x80\x01", "\x7F\xFF"},
        ReplyCase{"emptyTexts", std::vector<std::uint8_t>(20, 0), 0, "", ""}),
    [](const ::testing::TestParamInfo<ReplyCase>& p) { return p.param.name; });

TEST(QueryDatagram, ModelText) {
    char text[TextBufferCapacity];
    FormatModelText(0x1A2B, text, sizeof text);
    EXPECT_STREQ(text, "KRV-ETH1A2B");
    FormatModelText(0, text, sizeof text);
    EXPECT_STREQ(text, "KRV-ETH0");
    FormatModelText(0xFFFFFFFF, text, sizeof text);
    EXPECT_STREQ(text, "KRV-ETHFFFFFFFF");
    FormatModelText(0xabc, text, sizeof text);
    EXPECT_STREQ(text, "KRV-ETHABC");
}

TEST(QueryDatagram, DottedAddresses) {
    char text[AddressTextCapacity];
    FormatAddress(MakeAddress(255, 255, 255, 255), text, sizeof text);
    EXPECT_STREQ(text, "255.255.255.255");
    FormatAddress(MakeAddress(10, 0, 0, 5), text, sizeof text);
    EXPECT_STREQ(text, "10.0.0.5");

    NetAddress parsed = 0;
    EXPECT_TRUE(ParseDottedAddress("192.168.1.100", &parsed));
    EXPECT_EQ(parsed, MakeAddress(192, 168, 1, 100));
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4 ", "a.b.c.d", "1..2.3", "1.2.3.0004",
                            "-1.2.3.4", "1.2.3.4x", "010.1.0.20", "10.1.0.00", "0x0a.1.0.20", " 1.2.3.4",
                            "1.2.3.\n4"})
        EXPECT_FALSE(ParseDottedAddress(bad, &parsed)) << '"' << bad << '"';
    EXPECT_TRUE(ParseDottedAddress("0.0.0.0", &parsed));
    EXPECT_TRUE(ParseDottedAddress("10.100.0.255", &parsed));
}

}  // namespace
}  // namespace scout
