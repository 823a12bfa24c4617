// What scout-cli says where nothing happened, so that an empty result is never
// silent: no interface to search, an interface where nothing answered, a new
// address this workstation will not reach afterwards. Pure: lines to print.
#pragma once

#include <string>
#include <vector>

#include "cli/cli_search.h"

namespace scout::cli {

// With no broadcast interface at all.
std::string NoInterfaceHint();

// One line for each searched interface that listed no row, unless a failure
// already cut its window short (and was said).
std::vector<std::string> NothingAnsweredHints(InterfaceNames& names, const std::vector<BroadcastInterface>& searched,
                                              const std::vector<bool>& cutShort, const std::vector<CliRow>& rows);

// A reconfigure's new address outside the subnet of every interface of the
// workstation (prefixes from the platform): "" where it lies in one.
std::string UnreachableAfterwardsHint(const NetPlatform& platform, const std::vector<BroadcastInterface>& interfaces,
                                      NetAddress newAddress, NetAddress newMask);

}  // namespace scout::cli
