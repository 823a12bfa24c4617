// The dialog's words for why a command is refused, or goes unchecked: one
// message box each, worded from the rules' facts (ops/command). scout-cli
// words the same facts its own way (cli/cli_words).
#pragma once

#include "net/platform.h"
#include "ops/command.h"

namespace scout::ui {

// A refusal over what the list shows, nothing sent; interfaceAddress is the
// selected row's interface.
void ReportRefusal(const SearchFrontEnd& frontEnd, const ops::Refusal& refusal, NetAddress interfaceAddress);

// A reconfigure that goes, though the link could not say whether a host holds
// the new address: "The IP address %s was not checked against other hosts on
// the interface %s: ... The command is sent." Nothing for an answer that was
// had (a holder, nobody, an entry set by hand: those decide).
void ReportHostsUnchecked(const SearchFrontEnd& frontEnd, const NetPlatform& platform, const ops::HostAnswer& hosts,
                          NetAddress interfaceAddress);

}  // namespace scout::ui
