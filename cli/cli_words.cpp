// scout-cli's words for the rules' facts (see cli_words.h).
#include "cli/cli_words.h"

#include <cstdio>
#include <cstring>

#include "cli/cli_render.h"
#include "ops/text.h"

namespace scout::cli {
namespace {

std::string MacList(const std::vector<MacAddress>& macs) {
    std::string listed;
    for (const MacAddress& mac : macs)
        listed += (listed.empty() ? "" : ", ") + MacText(mac);
    return listed;
}

// Who sent several replies from one address, as far as their texts and
// frames tell.
std::string SeveralReplies(std::size_t count, const std::string& target, const std::string& label,
                           const SharedAnswers& who) {
    const std::string came = std::to_string(count) + " replies came from " + target + " on " + label;
    if (who.macs.size() > 1)
        return came + ": " + std::to_string(who.macs.size()) + " controllers share that address (MAC " +
               MacList(who.macs) + ")";
    if (who.textsDiffer)
        return came + (who.macs.size() == 1 && who.framed == count ? ", every one from MAC " + MacText(who.macs[0])
                                                                  : std::string()) +
               ", with different models, versions or revisions: several controllers share that address";
    if (who.who == WhoAnswers::OneMac)
        return came + ", every one from MAC " + MacText(who.macs[0]) +
               " with the same texts: one controller that answered more than once cannot be told from controllers "
               "of one batch that share a MAC";
    return came + ": several controllers share that address, or one answers twice";
}

const char* Whose(Subject subject) {
    return subject == Subject::Target ? "The controller address" : "The new address";
}

// The words of a refusal, before "; nothing was sent." (and with the option
// that chooses an interface, which a plan words as its column).
std::string RefusalWords(InterfaceNames& names, const CommandRequest& request, const Refusal& refusal,
                         Reader reader) {
    const char* choose = reader == Reader::Plan ? "the interface column" : "--interface";
    const std::string address = AddressString(refusal.address);
    switch (refusal.kind) {
    case RefusalKind::None:
        return "";
    case RefusalKind::OwnAddress:
        return std::string(Whose(refusal.subject)) + " " + address + " is an address of this workstation";
    case RefusalKind::SubnetEdge:
        return std::string(Whose(refusal.subject)) + " " + address +
               " is the network or broadcast address of the subnet of " + LabelOf(names, refusal.where) + "/" +
               std::to_string(refusal.prefix) + "; no controller can hold it";
    case RefusalKind::NotFound: {
        if (refusal.where.address == 0)
            return "No controller answered at " + address;
        std::string elsewhere;
        for (const BroadcastInterface& entry : refusal.interfaces)
            elsewhere += (elsewhere.empty() ? "" : ", ") + LabelOf(names, entry);
        return "No controller answered at " + address + " on " + LabelOf(names, refusal.where) +
               (elsewhere.empty() ? std::string() : "; it answers on " + elsewhere + " (choose it with " + choose + ")");
    }
    case RefusalKind::SeveralInterfaces: {
        std::string labels;
        for (const BroadcastInterface& entry : refusal.interfaces)
            labels += (labels.empty() ? "" : ", ") + LabelOf(names, entry);
        return "Controllers answer at " + address + " on " + std::to_string(refusal.interfaces.size()) +
               " interfaces (" + labels + "); choose one with " + choose;
    }
    case RefusalKind::CutShort:
        return "the search of " + LabelOf(names, refusal.where) + " did not finish (the failure above), and it could list " +
               address;
    case RefusalKind::SeveralReplies: {
        const std::string several = SeveralReplies(refusal.count, address, LabelOf(names, refusal.where), refusal.who);
        if (request.kind == CommandKind::Reconfigure)
            return several + "; each would get the one new address. Power them up one at a time and give each its "
                             "address";
        if (reader == Reader::Plan)
            return several + "; a plan's line goes to one controller";
        return several + "; --all sends the command to every one of them";
    }
    case RefusalKind::NewAddressTaken:
        return "A controller already answers at " + address;
    case RefusalKind::HeldByHost:
        return "The IP address " + address + " is in use by a host that does not answer as a controller (MAC " +
               MacText(refusal.mac) + ") on " + LabelOf(names, refusal.where);
    case RefusalKind::SetByHand:
        return "This workstation holds a neighbour entry set by hand for " + address + " (MAC " + MacText(refusal.mac) +
               ") on " + LabelOf(names, refusal.where) +
               ": what it sends to that address goes to that MAC, not to a controller given it (remove the entry "
               "if that host is gone)";
    }
    return "";
}

std::string After(double seconds) {
    return SecondsOf(seconds) + " s";
}

}  // namespace

const char* CommandName(CommandKind kind) {
    switch (kind) {
    case CommandKind::Reset: return "reset";
    case CommandKind::FactoryDefaults: return "factory-defaults";
    case CommandKind::Reconfigure: return "reconfigure";
    }
    return "";
}

std::string RefusalText(InterfaceNames& names, const CommandRequest& request, const Refusal& refusal, Reader reader) {
    if (reader == Reader::Plan)
        return RefusalWords(names, request, refusal, reader);
    return RefusalWords(names, request, refusal, reader) + "; nothing was sent.";
}

int RefusalExit(const Refusal& refusal) {
    switch (refusal.kind) {
    case RefusalKind::NotFound:
    case RefusalKind::SeveralInterfaces:
    case RefusalKind::SeveralReplies:
        return ExitNoTarget;
    default:
        return ExitFailure;
    }
}

std::string NoteText(InterfaceNames& names, const CommandRequest& request, const Decision& decision) {
    switch (decision.note) {
    case DecisionNote::None:
        return "";
    case DecisionNote::Unchecked:
        return "nothing was checked: the command goes without a search (--no-search)";
    case DecisionNote::SeveralRepliesAll:
        return SeveralReplies(decision.replies, AddressString(request.target), LabelOf(names, decision.via),
                              decision.who) +
               "; with --all, every one of them gets the command.";
    }
    return "";
}

std::string HostsText(InterfaceNames& names, const NetPlatform& platform, const Decision& decision) {
    if (!decision.hostsChecked)
        return "";
    const HostAnswer& host = decision.hosts;
    const std::string address = AddressString(host.address);
    const std::string label = LabelOf(names, host.via);
    std::string why;
    switch (host.answer) {
    case NeighbourAnswer::Holder:
    case NeighbourAnswer::Nobody:
    case NeighbourAnswer::SetByHand:
        return "";
    case NeighbourAnswer::OffLink:
        why = address + " is outside the subnet of " + label +
              (host.prefix >= 0 ? "/" + std::to_string(host.prefix) : std::string()) +
              ", where only an ARP probe asks, and " +
              (host.code != 0 ? "this process may not send one" : "scout-cli sends one only as root on Linux");
        break;
    case NeighbourAnswer::OlderEntry:
        why = "this workstation knows " + address + " from before (MAC " + MacText(host.mac) + ") on " + label +
              ", and its system asks the link about a known host again only after seconds of use, not within "
              "the look; " +
              (host.code != 0 ? "this process may not send an ARP probe of its own"
                              : "scout-cli sends an ARP probe of its own only as root on Linux");
        break;
    case NeighbourAnswer::Busy:
        why = "the link of " + label + " carried more than this workstation could read while it asked (" +
              std::to_string(host.code) + (host.code == 1 ? " frame" : " frames") +
              " lost), and an answer for " + address + " may have been among them";
        break;
    case NeighbourAnswer::Unsupported:
        why = "this system cannot be asked who holds an address on " + label;
        break;
    case NeighbourAnswer::Failed:
        why = "asking the link of " + label + " failed";
        break;
    }
    char text[256] = {};
    if (host.code != 0 && host.answer != NeighbourAnswer::Busy &&
        platform.errorText(platform.context, host.code, text, sizeof text))
        why += " (" + SafeText(text) + ")";
    return "not checked against other hosts: " + why;
}

std::string VerificationText(NetAddress newAddress, const Verification& verification) {
    const std::string wanted = AddressString(newAddress);
    switch (verification.seen) {
    case AtNewAddress::TheTarget:
        return "a controller answers at the new address " + wanted;
    case AtNewAddress::Nobody:
        return "no controller answered at the new address " + wanted;
    case AtNewAddress::Several:
        return std::to_string(verification.count) + " controllers answer at the new address " + wanted + ", not one";
    case AtNewAddress::Another:
        return "the controller at the new address " + wanted + " is a " + DeviceTexts(verification.found) +
               ", not the " + DeviceTexts(verification.expected) + " that was sent the command";
    }
    return "";
}

std::string VerdictText(const Awaited& awaited, const std::string& lostWarning) {
    const CommandRequest& request = awaited.request;
    const WaitVerdict& verdict = awaited.verdict;
    const std::string target = AddressString(request.target);
    std::string text;
    switch (verdict.kind) {
    case OutcomeKind::Pending:
    case OutcomeKind::Sent:
        return "";
    case OutcomeKind::SendFailed:
        return "it could not be sent";
    case OutcomeKind::Interrupted:
        return "the wait was interrupted after " + After(verdict.seconds) + "; the command was sent";
    case OutcomeKind::Back:
        if (request.kind == CommandKind::Reset)
            return target + " is back after " + After(verdict.seconds);
        return target + " answers at " + verdict.answersAt + " after " + After(verdict.seconds);
    case OutcomeKind::Answers:
        return target + " answers at " + AddressString(request.values.address) + " after " + After(verdict.seconds);
    case OutcomeKind::StillAnswers:
        return target + " still answers; " +
               (request.kind == CommandKind::Reset ? "the reset" : "the factory defaults") +
               " may not have taken effect";
    case OutcomeKind::Gone:
        text = target + " went away and nothing with its model, version and revision answered " +
               (request.kind == CommandKind::Reset ? "at it again " : "at its address or a new one ") + "within " +
               After(verdict.seconds);
        break;
    case OutcomeKind::NotSeen:
        text = VerificationText(request.values.address, verdict.verification) + " within " + After(verdict.seconds);
        break;
    }
    if (verdict.repliesLost)
        text += "; but replies were lost on the way (" + (lostWarning.empty() ? "the warning above" : lostWarning) +
                "), and the controller's may be among them";
    return text;
}

int VerdictExit(const WaitVerdict& verdict) {
    switch (verdict.kind) {
    case OutcomeKind::Pending:
    case OutcomeKind::Back:
    case OutcomeKind::Answers:
    case OutcomeKind::Sent:
        return ExitOk;
    case OutcomeKind::StillAnswers:
    case OutcomeKind::Gone:
    case OutcomeKind::NotSeen:
        return ExitNotAnswered;
    case OutcomeKind::Interrupted:
        return verdict.interruptedBy;
    case OutcomeKind::SendFailed:
        return ExitFailure;
    }
    return ExitFailure;
}

std::string NoInterfaceHint() {
    return "no interface to search: none is up with an IPv4 address and a link. Check the cable and the "
           "adapter's address; `scout-cli interfaces` lists what is there and why each is skipped";
}

std::vector<std::string> NothingAnsweredHints(InterfaceNames& names, const std::vector<BroadcastInterface>& searched,
                                              const std::vector<bool>& cutShort, const std::vector<Reply>& rows) {
    std::vector<std::string> hints;
    for (std::size_t i = 0; i < searched.size(); ++i) {
        if (i < cutShort.size() && cutShort[i])
            continue;
        bool answered = false;
        for (const Reply& row : rows)
            answered = answered || SameInterface(row.via, searched[i]);
        if (answered)
            continue;
        const std::string name = InterfaceNameOf(names, searched[i]);
        const std::string label = InterfaceLabel(name.c_str(), AddressString(searched[i].address).c_str());
        hints.push_back("nothing answered on " + label + "; `scout-cli doctor --interface " +
                        (name.empty() ? AddressString(searched[i].address) : SafeText(name.c_str())) +
                        "` looks for the cause");
    }
    return hints;
}

std::vector<std::string> NewAddressWarnings(InterfaceNames& names, const NetPlatform& platform,
                                            const BroadcastInterface& via, const std::vector<BroadcastInterface>& all,
                                            const ReconfigureValues& values) {
    const NewAddressFit fit = FitOfNewAddress(platform, via, all, values.address, values.mask);
    std::vector<std::string> warnings;
    if (!fit.known)
        return warnings;
    const std::string address = AddressString(values.address);
    const std::string route = AddressString(fit.subnet) + "/" + std::to_string(fit.newPrefix);
    const std::string wire = LabelOf(names, via) + "/" + std::to_string(fit.viaPrefix);
    if (fit.outsideEvery)
        warnings.push_back("warning: " + address + " lies outside the subnet of every interface of this workstation: "
                           "after the command it reaches the controller only with a route to " + route +
                           " or a second address there");
    else if (fit.outsideVia)
        warnings.push_back("warning: " + address + " lies outside the subnet of " + wire +
                           ", the interface the controller answers on" +
                           (fit.other.address != 0 ? " (it is in the subnet of " + LabelOf(names, fit.other) +
                                                         ", another wire)"
                                                   : std::string()) +
                           ": after the command, hosts on the controller's wire reach it only with a route to " + route);
    if (fit.maskDiffers)
        warnings.push_back("warning: the mask " + AddressString(values.mask) + " (/" + std::to_string(fit.newPrefix) +
                           ") is not the /" + std::to_string(fit.viaPrefix) + " of " + LabelOf(names, via) +
                           ", the interface the controller answers on: it would disagree with its wire about who is "
                           "on the link");
    return warnings;
}

std::string SecondsSetting(std::uint32_t ms) {
    if (ms % 1000 == 0)
        return std::to_string(ms / 1000) + " s";
    char text[32];
    std::snprintf(text, sizeof text, "%g s", ms / 1000.0);
    return text;
}

std::string Count(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}


std::string CsvFaultText(const CsvFault& fault) {
    switch (fault.kind) {
    case CsvFaultKind::TooLarge:
    case CsvFaultKind::TooLong:
        return "longer than " + std::to_string(fault.limit) + " bytes";
    case CsvFaultKind::NoHeader:
        return "empty";
    case CsvFaultKind::EmptyLine:
        return "an empty line";
    case CsvFaultKind::ControlCharacter: {
        char text[48];
        std::snprintf(text, sizeof text, "a control character (\\x%02X)", static_cast<unsigned>(fault.count));
        return text;
    }
    case CsvFaultKind::NotUtf8:
        return "not UTF-8";
    case CsvFaultKind::QuoteNotEnded:
        return "a quoted field does not end on its line";
    case CsvFaultKind::TextAfterQuote:
        return "text after the closing quote of field " + std::to_string(fault.field);
    case CsvFaultKind::QuoteInField:
        return "a quote inside unquoted field " + std::to_string(fault.field);
    case CsvFaultKind::Columns:
        return std::to_string(fault.count) + (fault.count == 1 ? " column" : " columns") + ", not " +
               std::to_string(fault.limit);
    case CsvFaultKind::TooManyRows:
        return "more than " + std::to_string(fault.limit) + " rows";
    case CsvFaultKind::None:
        break;
    }
    return "";
}

std::string FileErrorText(const FileError& error) {
    switch (error.fault) {
    case FileFault::None:
        return "";
    case FileFault::System:
        return std::strerror(error.code);
    case FileFault::Link:
        return "it is a symbolic link (scout-cli writes only into a file of its own, never through a link)";
    case FileFault::NotRegular:
        return "it is no regular file";
    case FileFault::Folder:
        return "it is a folder";
    case FileFault::OtherOwner:
        return "it belongs to another user (uid " + std::to_string(error.owner) + ")";
    case FileFault::UnsafeFolder:
        return "its folder " + SafeText(error.folder.c_str()) + " belongs to another user, or others may write to it";
    case FileFault::Missing:
        return "there is no such file";
    case FileFault::Spared:
        return "it is " + SafeText(error.folder.c_str()) + ", which this run reads or keeps (the list, the record of "
               "changes): never replaced";
    }
    return "";
}

std::string CannotWriteRecord(const std::string& path, const FileError& error) {
    return "cannot write the record of changes " + SafeText(path.c_str()) + ": " + FileErrorText(error);
}

}  // namespace scout::cli
