// The one 40-byte datagram of every exchange with the controllers: the search
// query, the controllers' replies, the reset and the reconfigure commands.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "net/address.h"

namespace scout {

constexpr std::uint16_t ToolPort = 65513;        // the tool's sockets bind here; replies arrive here
constexpr std::uint16_t ControllerPort = 65515;  // every datagram from the tool goes here
constexpr std::size_t DatagramLength = 40;

constexpr std::array<std::uint8_t, 16> ProtocolMagic = {
    0xDB, 0xAC, 0x19, 0xA6, 0x6A, 0xB7, 0xFE, 0x49,
    0x9C, 0x87, 0xA8, 0x77, 0x39, 0x8E, 0x00, 0xC3};

// "default" and its NUL, written at offset 24 of a reset that restores the factory defaults.
constexpr std::array<std::uint8_t, 8> FactoryDefaultsMarker = {
    0x64, 0x65, 0x66, 0x61, 0x75, 0x6C, 0x74, 0x00};

enum class CommandCode : std::uint32_t {
    CommandQuery = 0,
    CommandReset = 1,
    CommandReconfigure = 2,
};

// Field offsets inside the datagram.
constexpr std::size_t CommandOffset = 16;
constexpr std::size_t WordAOffset = 20;   // model number of a reply, target of a command
constexpr std::size_t WordBOffset = 24;   // version text, factory-defaults marker, new address
constexpr std::size_t WordCOffset = 28;   // new mask
constexpr std::size_t WordDOffset = 32;   // revision text, new gateway

using QueryDatagram = std::array<std::uint8_t, DatagramLength>;

// Longest texts a reply can carry: a version without NUL runs on into the revision.
constexpr std::size_t VersionTextCapacity = 17;
constexpr std::size_t RevisionTextCapacity = 9;
constexpr std::size_t TextBufferCapacity = 64;     // the search's text buffer, model text included

struct ReplyFields {
    std::uint32_t model = 0;
    char version[VersionTextCapacity] = {};
    char revision[RevisionTextCapacity] = {};
};

void BuildQuery(QueryDatagram& datagram);
void BuildReset(QueryDatagram& datagram, NetAddress target, bool factoryDefaults);
void BuildReconfigure(QueryDatagram& datagram, NetAddress target, NetAddress newAddress,
                      NetAddress newMask, NetAddress newGateway);

// True when the magic matches byte for byte and the command word is CommandQuery;
// nothing else of the datagram is examined.
bool AcceptReply(const QueryDatagram& datagram);

// Model number and the two texts, each up to its first NUL, never past byte 39.
ReplyFields ReadReply(const QueryDatagram& datagram);

// "KRV-ETH" and the model number in upper-case hex, into a buffer of TextBufferCapacity.
void FormatModelText(std::uint32_t model, char* text, std::size_t capacity);

// The four wire bytes d, c, b, a of the address a.b.c.d, whatever the host's byte order.
void EncodeAddress(NetAddress address, std::uint8_t* out);

}  // namespace scout
