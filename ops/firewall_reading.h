// What Windows Defender Firewall's settings mean for the replies, read from
// what the registry holds (recorded as text, so that this reading is tested
// natively on recorded answers): each profile on or off, the policy that
// prohibits unicast replies to a broadcast, and the rules, one
// "v2.30|Action=Allow|Active=TRUE|Dir=In|Protocol=17|LPort=65513|App=...|" each;
// and which profile applies to each interface, by its network's category.
#pragma once

#include <string>
#include <vector>

#include "ops/doctor.h"

namespace scout::ops {

enum class Setting { Unknown, Off, On };

struct FirewallProfile {
    const char* name;                             // "Domain", "Private", "Public"
    Setting enabled = Setting::Unknown;           // EnableFirewall
    Setting unicastRepliesProhibited = Setting::Unknown;  // DisableUnicastResponsesToMulticastBroadcast
    Setting shielded = Setting::Unknown;  // DoNotAllowExceptions: every inbound connection blocked, rules set aside
};

struct FirewallFacts {
    bool readable = false;                // false: nothing could be read
    bool denied = false;                  // ... because this user may not (else: there is nothing)
    std::vector<FirewallProfile> profiles;
    std::vector<std::string> rules;       // the FirewallRules values, as stored
};

// The category of a network, as Windows' network list tells it: it chooses
// the firewall profile that applies to the interfaces on that network.
enum class NetworkCategory { Unknown, Public, Private, Domain };

struct InterfaceNetwork {
    std::string label;  // "Ethernet 10.1.0.1"
    NetworkCategory category = NetworkCategory::Unknown;
};

// Whether one stored rule lets UDP to port in for the program (its full path;
// compared without regard to case, by file name where the rule names a path
// with variables).
bool RuleAllows(const std::string& rule, const std::string& program, unsigned port);

// The doctor's lines for the firewall: the network of each interface searched
// and the profile it puts it in, then each profile. A profile no interface
// searched is in (where every interface's network is known) is no problem of
// this search.
void ReadFirewall(const FirewallFacts& facts, const std::string& program, const std::vector<InterfaceNetwork>& networks,
                  std::vector<CheckLine>* lines);

}  // namespace scout::ops
