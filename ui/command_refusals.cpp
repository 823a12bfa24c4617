// The dialog's words for a refused or unchecked command (see command_refusals.h).
#include "ui/command_refusals.h"

#include <cstdio>

#include "net/address.h"
#include "net/error_report.h"

namespace scout::ui {

using ops::RefusalKind;

void ReportRefusal(const SearchFrontEnd& frontEnd, const ops::Refusal& refusal, NetAddress interfaceAddress) {
    char addressText[AddressTextCapacity];
    char interfaceText[AddressTextCapacity];
    FormatAddress(refusal.address, addressText, sizeof addressText);
    FormatAddress(interfaceAddress, interfaceText, sizeof interfaceText);
    const std::string mac = ops::MacText(refusal.mac);
    switch (refusal.kind) {
    case RefusalKind::SeveralReplies:
        ReportError(frontEnd,
                    "The IP address %s is listed more than once on the interface %s: several controllers answer "
                    "there, or one answers twice, and each would get the new address. Power them up one at a time.",
                    addressText, interfaceText);
        return;
    case RefusalKind::NewAddressTaken:
        ReportError(frontEnd, "The IP address %s is already used by a controller listed on the interface %s.",
                    addressText, interfaceText);
        return;
    case RefusalKind::OwnAddress:
        if (refusal.subject == ops::Subject::Target)
            ReportError(frontEnd, "The IP address %s is an address of this workstation, not a controller's.",
                        addressText);
        else
            ReportError(frontEnd, "The IP address %s is an address of this workstation.", addressText);
        return;
    case RefusalKind::SubnetEdge:
        ReportError(frontEnd,
                    "The IP address %s is the network or broadcast address of the subnet of the interface %s/%d; no "
                    "controller can hold it.",
                    addressText, interfaceText, refusal.prefix);
        return;
    case RefusalKind::HeldByHost:
        ReportError(frontEnd,
                    "The IP address %s is in use by a host that does not answer as a controller (MAC %s) on the "
                    "interface %s.",
                    addressText, mac.c_str(), interfaceText);
        return;
    case RefusalKind::SetByHand:
        ReportError(frontEnd,
                    "This workstation holds a neighbour entry set by hand for %s (MAC %s) on the interface %s: what "
                    "it sends to that address goes to that MAC, not to a controller given it. Remove the entry if "
                    "that host is gone.",
                    addressText, mac.c_str(), interfaceText);
        return;
    default:  // the selected row's interface listed it, and only that interface is looked at
        ReportError(frontEnd, "No controller is listed at %s on the interface %s.", addressText, interfaceText);
        return;
    }
}

void ReportHostsUnchecked(const SearchFrontEnd& frontEnd, const NetPlatform& platform, const ops::HostAnswer& hosts,
                          NetAddress interfaceAddress) {
    char addressText[AddressTextCapacity];
    char interfaceText[AddressTextCapacity];
    FormatAddress(hosts.address, addressText, sizeof addressText);
    FormatAddress(interfaceAddress, interfaceText, sizeof interfaceText);
    char why[ErrorTextCapacity + 64];
    switch (hosts.answer) {
    case NeighbourAnswer::Holder:
    case NeighbourAnswer::Nobody:
    case NeighbourAnswer::SetByHand:
        return;
    case NeighbourAnswer::OffLink:
        std::snprintf(why, sizeof why, "it is outside the interface's subnet, where only an ARP probe asks");
        break;
    case NeighbourAnswer::OlderEntry:
        std::snprintf(why, sizeof why,
                      "this workstation knows it from before (MAC %s), and its system asks the link about a known "
                      "host again only after seconds of use, not within the moment given",
                      ops::MacText(hosts.mac).c_str());
        break;
    case NeighbourAnswer::Busy:
        std::snprintf(why, sizeof why,
                      "the link carried more than this workstation could read while it asked (%d frames lost), and "
                      "an answer may have been among them",
                      hosts.code);
        break;
    case NeighbourAnswer::Unsupported:
        std::snprintf(why, sizeof why, "this system cannot be asked who holds an address");
        break;
    case NeighbourAnswer::Failed: {
        char description[ErrorTextCapacity];
        SystemErrorText(platform, hosts.code, description, sizeof description);
        std::snprintf(why, sizeof why, "asking the link failed (%s)", description);
        break;
    }
    }
    char text[ErrorTextCapacity * 2];
    std::snprintf(text, sizeof text,
                  "The IP address %s was not checked against other hosts on the interface %s: %s. The command is sent.",
                  addressText, interfaceText, why);
    if (frontEnd.showWarning != nullptr)
        frontEnd.showWarning(frontEnd.context, text);
    else
        frontEnd.showError(frontEnd.context, text);
}

}  // namespace scout::ui
