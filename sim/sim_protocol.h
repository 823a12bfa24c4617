// What a virtual controller does with each datagram it receives, apart from
// sockets, scheduling and the log: the simulator's own reading of the
// protocol. It shares the protocol's named constants with the tool, not its
// code, so that the lab tests check the tool against a second reading.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim_config.h"

namespace scout::sim {

// A controller as it stands: its configuration (which commands change) and
// when it is back after a reset.
struct ControllerState {
    Controller config;
    std::uint64_t offlineUntil = 0;
    std::uint64_t switchedOffAt = UINT64_MAX;  // never answers from then on
    int interfaceIndex = 0;  // answers only queries that arrive there; 0: any
    // The workstation address it last asked for by ARP, and its own address then.
    NetAddress askedFor = 0;
    NetAddress askedAs = 0;
};

enum class Action { Ignored, Query, Reset, Reconfigure };

struct Reaction {
    Action action = Action::Ignored;
    std::string reason;                  // why a datagram was ignored
    std::uint32_t command = 0;           // the datagram's command word
    std::vector<std::size_t> answering;  // a query: the controllers that answer, in order
    std::vector<std::size_t> acting;     // a command: every online controller at its target
    NetAddress target = 0;               // a command's target address
    bool factoryDefaults = false;        // a reset with the factory-defaults marker
};

// Whether a controller answers and acts at nowMs.
bool Online(const ControllerState& controller, std::uint64_t nowMs);

// Reads one datagram that arrived on interfaceIndex at nowMs and applies it:
// a query is answered by every online controller of that interface; a reset
// or reconfigure acts on every online controller at its target address (each
// device compares the target with its own address).
Reaction React(std::vector<ControllerState>& controllers, const std::uint8_t* bytes, std::size_t length,
               int interfaceIndex, std::uint64_t nowMs);

// The bytes a controller answers a query with: 40 of them, or as many as its
// misbehaviour asks (shorter ones cut, longer ones padded with zeros).
std::vector<std::uint8_t> EncodeReply(const Controller& controller);

// An address stored least significant byte first (d, c, b, a on the wire).
NetAddress DecodeWireAddress(const std::uint8_t* bytes);

}  // namespace scout::sim
