// Building, accepting and reading the 40-byte datagram.
#include "net/query_datagram.h"

#include <cstdio>
#include <cstring>

namespace scout {
namespace {

void WriteLittleEndian32(QueryDatagram& datagram, std::size_t offset, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i)
        datagram[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t ReadLittleEndian32(const QueryDatagram& datagram, std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i)
        value |= static_cast<std::uint32_t>(datagram[offset + i]) << (8 * i);
    return value;
}

void StartDatagram(QueryDatagram& datagram, CommandCode command) {
    datagram.fill(0);
    std::memcpy(datagram.data(), ProtocolMagic.data(), ProtocolMagic.size());
    WriteLittleEndian32(datagram, CommandOffset, static_cast<std::uint32_t>(command));
}

// Copies the text starting at offset up to its first NUL or the end of the datagram.
void ReadText(const QueryDatagram& datagram, std::size_t offset, char* text, std::size_t capacity) {
    std::size_t length = 0;
    while (offset + length < datagram.size() && datagram[offset + length] != 0 &&
           length + 1 < capacity) {
        text[length] = static_cast<char>(datagram[offset + length]);
        ++length;
    }
    text[length] = '\0';
}

}  // namespace

void EncodeAddress(NetAddress address, std::uint8_t* out) {
    std::uint8_t bytes[4];
    std::memcpy(bytes, &address, sizeof bytes);
    out[0] = bytes[3];
    out[1] = bytes[2];
    out[2] = bytes[1];
    out[3] = bytes[0];
}

void BuildQuery(QueryDatagram& datagram) {
    StartDatagram(datagram, CommandCode::CommandQuery);
}

void BuildReset(QueryDatagram& datagram, NetAddress target, bool factoryDefaults) {
    StartDatagram(datagram, CommandCode::CommandReset);
    EncodeAddress(target, &datagram[WordAOffset]);
    if (factoryDefaults)
        std::memcpy(&datagram[WordBOffset], FactoryDefaultsMarker.data(), FactoryDefaultsMarker.size());
}

void BuildReconfigure(QueryDatagram& datagram, NetAddress target, NetAddress newAddress,
                      NetAddress newMask, NetAddress newGateway) {
    StartDatagram(datagram, CommandCode::CommandReconfigure);
    EncodeAddress(target, &datagram[WordAOffset]);
    EncodeAddress(newAddress, &datagram[WordBOffset]);
    EncodeAddress(newMask, &datagram[WordCOffset]);
    EncodeAddress(newGateway, &datagram[WordDOffset]);
}

bool AcceptReply(const QueryDatagram& datagram) {
    return std::memcmp(datagram.data(), ProtocolMagic.data(), ProtocolMagic.size()) == 0 &&
           ReadLittleEndian32(datagram, CommandOffset) ==
               static_cast<std::uint32_t>(CommandCode::CommandQuery);
}

ReplyFields ReadReply(const QueryDatagram& datagram) {
    ReplyFields fields;
    fields.model = ReadLittleEndian32(datagram, WordAOffset);
    ReadText(datagram, WordBOffset, fields.version, sizeof fields.version);
    ReadText(datagram, WordDOffset, fields.revision, sizeof fields.revision);
    return fields;
}

void FormatModelText(std::uint32_t model, char* text, std::size_t capacity) {
    std::snprintf(text, capacity, "KRV-ETH%X", static_cast<unsigned>(model));
}

}  // namespace scout
