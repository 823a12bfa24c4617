// The simulator's reading of the controller protocol.
#include "sim/sim_protocol.h"

#include <algorithm>
#include <cstring>

#include "net/query_datagram.h"

namespace scout::sim {
namespace {

constexpr std::uint32_t QueryCode = static_cast<std::uint32_t>(CommandCode::CommandQuery);
constexpr std::uint32_t ResetCode = static_cast<std::uint32_t>(CommandCode::CommandReset);
constexpr std::uint32_t ReconfigureCode = static_cast<std::uint32_t>(CommandCode::CommandReconfigure);

// The datagram's fields, by the names the protocol gives them for each use.
constexpr std::size_t ReplyModelAt = WordAOffset;
constexpr std::size_t ReplyVersionAt = WordBOffset;
constexpr std::size_t ReplyRevisionAt = WordDOffset;
constexpr std::size_t TargetAt = WordAOffset;
constexpr std::size_t MarkerAt = WordBOffset;
constexpr std::size_t NewAddressAt = WordBOffset;
constexpr std::size_t NewMaskAt = WordCOffset;
constexpr std::size_t NewGatewayAt = WordDOffset;

std::uint32_t ReadWord(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

void WriteWord(std::uint8_t* bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

NetAddress DecodeWireAddress(const std::uint8_t* bytes) {
    return MakeAddress(bytes[3], bytes[2], bytes[1], bytes[0]);
}

bool Online(const ControllerState& controller, std::uint64_t nowMs) {
    return nowMs >= controller.offlineUntil && nowMs < controller.switchedOffAt;
}

Reaction React(std::vector<ControllerState>& controllers, const std::uint8_t* bytes, std::size_t length,
               int interfaceIndex, std::uint64_t nowMs) {
    Reaction reaction;
    if (length != DatagramLength || std::memcmp(bytes, ProtocolMagic.data(), ProtocolMagic.size()) != 0) {
        reaction.reason = "not a 40-byte datagram with the protocol magic";
        return reaction;
    }
    reaction.command = ReadWord(bytes + CommandOffset);
    if (reaction.command == QueryCode) {
        reaction.action = Action::Query;
        for (std::size_t i = 0; i < controllers.size(); ++i) {
            const ControllerState& c = controllers[i];
            if (Online(c, nowMs) && (c.interfaceIndex == 0 || c.interfaceIndex == interfaceIndex))
                reaction.answering.push_back(i);
        }
        return reaction;
    }
    if (reaction.command != ResetCode && reaction.command != ReconfigureCode) {
        reaction.reason = "unknown command " + std::to_string(reaction.command);
        return reaction;
    }
    reaction.target = DecodeWireAddress(bytes + TargetAt);
    for (std::size_t i = 0; i < controllers.size(); ++i)
        if (controllers[i].config.address == reaction.target && Online(controllers[i], nowMs))
            reaction.acting.push_back(i);
    if (reaction.acting.empty()) {
        reaction.reason = "no such controller here";
        return reaction;
    }
    if (reaction.command == ResetCode) {
        reaction.action = Action::Reset;
        reaction.factoryDefaults =
            std::memcmp(bytes + MarkerAt, FactoryDefaultsMarker.data(), FactoryDefaultsMarker.size()) == 0;
    } else {
        reaction.action = Action::Reconfigure;
    }
    for (const std::size_t i : reaction.acting) {
        Controller& c = controllers[i].config;
        if (reaction.action == Action::Reconfigure) {
            c.address = DecodeWireAddress(bytes + NewAddressAt);
            c.mask = DecodeWireAddress(bytes + NewMaskAt);
            c.gateway = DecodeWireAddress(bytes + NewGatewayAt);
            continue;
        }
        controllers[i].offlineUntil = nowMs + c.offlineMs;
        if (reaction.factoryDefaults) {
            c.address = c.defaultAddress;
            c.mask = c.defaultMask;
            c.gateway = c.defaultGateway;
        }
    }
    return reaction;
}

std::vector<std::uint8_t> EncodeReply(const Controller& c) {
    std::uint8_t full[DatagramLength] = {};
    std::memcpy(full, ProtocolMagic.data(), ProtocolMagic.size());
    if (c.wrongMagic)
        full[3] ^= 0xFF;
    WriteWord(full + CommandOffset, c.replyCommand);
    WriteWord(full + ReplyModelAt, c.model);
    std::memcpy(full + ReplyVersionAt, c.version.data(), c.version.size());
    std::memcpy(full + ReplyRevisionAt, c.revision.data(), c.revision.size());
    std::vector<std::uint8_t> reply(static_cast<std::size_t>(c.replyLength), 0);
    std::copy_n(full, std::min(reply.size(), sizeof full), reply.begin());
    return reply;
}

}  // namespace scout::sim
