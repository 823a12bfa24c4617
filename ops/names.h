// What the operator knows each interface by: its name, asked of the platform
// once per interface, and the label every output and every finding gives it
// ("ws0 10.1.0.1").
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "net/platform.h"

namespace scout::ops {

struct InterfaceNames {
    const NetPlatform* platform = nullptr;  // null: no names
    std::vector<std::pair<BroadcastInterface, std::string>> known;
};

// The name of an interface as the platform gives it ("" where it has none).
std::string InterfaceNameOf(InterfaceNames& names, const BroadcastInterface& entry);

// "ws0 10.1.0.1", or the address alone, or the name alone where the address
// is "" (the name made safe for a terminal).
std::string InterfaceLabel(const char* name, const char* address);
// The label of an interface (the name alone for one without an address).
std::string LabelOf(InterfaceNames& names, const BroadcastInterface& entry);

// An address as dotted text.
std::string AddressString(NetAddress address);

// The prefix length of the interface's address, as the platform knows it (-1 where it does not).
int PrefixOf(const NetPlatform& platform, const BroadcastInterface& entry);

}  // namespace scout::ops
