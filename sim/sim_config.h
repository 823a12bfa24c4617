// scout-sim's controllers and how they are described: one line of key=value
// words per controller, in a file or on the command line.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "net/query_datagram.h"

namespace scout::sim {

enum class ReplyMode { Unicast, Broadcast };

struct Controller {
    NetAddress address = 0;
    NetAddress mask = 0;
    NetAddress gateway = 0;
    NetAddress defaultAddress = 0;  // restored by a factory-defaults reset
    NetAddress defaultMask = 0;
    NetAddress defaultGateway = 0;
    std::uint32_t model = 0;
    std::array<std::uint8_t, 8> version{};
    std::array<std::uint8_t, 8> revision{};
    ReplyMode reply = ReplyMode::Unicast;
    std::uint32_t delayMinMs = 0;
    std::uint32_t delayMaxMs = 0;
    bool answerTwice = false;
    std::uint32_t offlineMs = 3000;     // after a power-on reset
    std::uint32_t onlineMs = 0;         // plugged in this long after the start
    std::uint32_t offMs = 0;            // switched off this long after the start; 0: never
    std::string interfaceName;          // answer only queries arriving there; empty: any
    // Its own MAC, on the wire where the simulator may send frames of its own
    // (as root): replies, and its answers to ARP. Not given: 02:00:5e:10 and
    // its line's number.
    std::array<std::uint8_t, 6> mac{};
    bool macGiven = false;
    bool hostOnly = false;              // a "host" line: answers ARP, and nothing of the protocol
    std::uint32_t answerMs = 0;         // ARP for it is answered this long after the request (a busy stack)
    std::uint32_t chatter = 0;          // gratuitous ARP for its address, this many a second (a chatty host)
    // Misbehaviours, all off by default.
    bool wrongMagic = false;
    std::uint32_t replyCommand = 0;
    int replyLength = 40;               // shorter or longer replies
};

struct SimOptions {
    std::vector<Controller> controllers;
    std::string logPath;               // empty: standard output
    std::uint32_t floodCount = 0;      // junk datagrams to the querier's port per query
    std::uint32_t floodSpreadMs = 0;   // spread over this long
    int floodLength = -1;              // bytes of each junk datagram; -1: random, 1 to 40
    std::uint32_t seed = 1;
    std::uint32_t arpAskings = 256;    // controllers that ask for a workstation by ARP (the first ones)
    // The MAC of the first line that gives none; the next lines' count on from it.
    std::array<std::uint8_t, 6> firstMac{0x02, 0x00, 0x5e, 0x10, 0x00, 0x01};
};

// Parses one controller line ("address=10.1.0.50 model=1A2B version=1.2 ...");
// on failure returns false and says why in error.
bool ParseControllerLine(const std::string& line, Controller* controller, std::string* error);

// Reads a file of controller lines; blank lines and lines starting with # are skipped.
bool LoadControllerFile(const std::string& path, std::vector<Controller>* controllers, std::string* error);

// Parses the command line (see --help).
bool ParseSimArguments(int argc, char** argv, SimOptions* options, std::string* error, bool* help);

// "02:00:5e:10:00:01": a MAC that is no multicast one.
bool ParseMac(const std::string& text, std::array<std::uint8_t, 6>* mac);

// A field text with \xNN escapes into the 8 bytes of a datagram field.
bool ParseFieldText(const std::string& text, std::array<std::uint8_t, 8>* field);

extern const char* const SimUsage;

}  // namespace scout::sim
