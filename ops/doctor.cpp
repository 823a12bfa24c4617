// doctor's checks (see doctor.h).
#include "ops/doctor.h"

#include "ops/names.h"
#include "ops/text.h"
#include "net/error_report.h"

namespace scout::ops {
namespace {

CheckLine Line(CheckStatus status, const char* check, const std::string& finding, const std::string& todo = "") {
    return CheckLine{status, check, finding, todo};
}

// What to do about an interface the search skips, if controllers are behind it.
std::string SkipAdvice(SkipReason reason) {
    switch (reason) {
    case SkipReason::NoCarrier:
        return "plug in its cable if controllers are behind it";
    case SkipReason::Down:
        return "bring it up if controllers are behind it";
    case SkipReason::NoAddress:
        return "give it an IPv4 address (a fixed one where no DHCP server answers) if controllers are behind it";
    case SkipReason::NoBroadcastRoute:
        return "check the adapter's address and that it is connected, if controllers are behind it";
    case SkipReason::PointToPoint:
        return "a broadcast does not cross it: search from a workstation on the controllers' network";
    case SkipReason::Loopback:
        break;
    }
    return "";
}

void CheckInterfaces(const DoctorSystem& system, InterfaceNames& names, const DoctorInterfaces& interfaces,
                     std::vector<CheckLine>* lines) {
    if (interfaces.searched.empty())
        lines->push_back(Line(CheckStatus::Problem, "interface", "no interface to search",
                              "give an adapter an IPv4 address and plug in its cable"));
    for (const BroadcastInterface& entry : interfaces.searched)
        lines->push_back(Line(CheckStatus::Ok, "interface", LabelOf(names, entry) + ": searched"));
    for (const SkippedInterface& skipped : interfaces.skipped) {
        const std::string finding = LabelOf(names, skipped.entry) + ": skipped, " + SkipReasonText(skipped.reason);
        // A bridge has no cable: one with no carrier has nothing on it (a
        // container bridge with no container), which is no cause.
        if (skipped.reason == SkipReason::NoCarrier && system.isBridge != nullptr && system.isBridge(skipped.entry)) {
            lines->push_back(Line(CheckStatus::Ok, "interface",
                                  finding + " (a bridge with nothing on it, such as a container bridge)"));
            continue;
        }
        lines->push_back(Line(skipped.reason == SkipReason::Loopback ? CheckStatus::Ok : CheckStatus::Warning,
                              "interface", finding, SkipAdvice(skipped.reason)));
    }
}

// The tool's port on each interface, tried as the search binds it.
void CheckPorts(const NetPlatform& platform, const DoctorSystem& system, InterfaceNames& names,
                const std::vector<BroadcastInterface>& searched, std::vector<CheckLine>* lines) {
    for (const BroadcastInterface& entry : searched) {
        SocketHandle socket = InvalidSocket;
        int code = platform.openSocket(platform.context, &socket);
        if (code == 0) {
            code = platform.bindSocket(platform.context, socket, entry, ToolPort);
            platform.closeSocket(platform.context, socket);
        }
        const std::string where = "UDP 65513 on " + LabelOf(names, entry);
        if (code == 0) {
            lines->push_back(Line(CheckStatus::Ok, "port", where + ": free"));
            continue;
        }
        char description[ErrorTextCapacity];
        SystemErrorText(platform, code, description, sizeof description);
        const std::string holder = system.portHolder(entry.address, ToolPort);
        lines->push_back(Line(CheckStatus::Problem, "port",
                              where + ": cannot be bound (" + description + ")" +
                                  (holder.empty() ? "" : ", held by " + holder),
                              "close the program that holds it (another copy of this tool, a vendor's tool)"));
    }
}

void CheckReversePathFilters(const NetPlatform& platform, const DoctorSystem& system, InterfaceNames& names,
                             const std::vector<BroadcastInterface>& searched, std::vector<CheckLine>* lines) {
    if (platform.reversePathFilter == nullptr)
        return;  // the platform has none
    for (const BroadcastInterface& entry : searched) {
        ReversePathFilter filter;
        platform.reversePathFilter(platform.context, entry, &filter);
        const std::string label = LabelOf(names, entry);
        const std::string mode = "rp_filter " + std::to_string(filter.mode) + " on " + label;
        if (filter.mode == 0) {
            lines->push_back(Line(CheckStatus::Ok, "rp_filter", mode + ": off"));
            continue;
        }
        if (filter.readPast) {
            lines->push_back(Line(CheckStatus::Ok, "rp_filter", mode + ": replies are read past it (as root)"));
            continue;
        }
        bool byThis = false;
        bool any = false;
        system.routesBack(entry, &byThis, &any);
        const bool passes = filter.mode == 1 ? byThis : any;
        const std::string name = InterfaceNameOf(names, entry);
        if (passes) {
            lines->push_back(Line(CheckStatus::Ok, "rp_filter", mode + ": a route leads back to other subnets"));
            continue;
        }
        lines->push_back(Line(CheckStatus::Warning, "rp_filter",
                              mode + ": replies from outside its subnet are dropped (no route back to them" +
                                  (filter.mode == 1 ? " by this interface)" : ")"),
                              "run as root, add a route to the controllers' subnet by " +
                                  (name.empty() ? label : name) + ", or 'sysctl -w " +
                                  (filter.hostWide ? "net.ipv4.conf.all.rp_filter=0 " : "") + "net.ipv4.conf." +
                                  (name.empty() ? std::string("IF") : name) + ".rp_filter=0'"));
    }
}

// How a new address is asked of the link before a command gives it.
void CheckHostAsking(const NetPlatform& platform, std::vector<CheckLine>* lines) {
    int code = 0;
    const NeighbourWay way = platform.neighbourWay != nullptr ? platform.neighbourWay(platform.context, &code)
                                                              : NeighbourWay::None;
    char description[ErrorTextCapacity] = {};
    if (code != 0)
        SystemErrorText(platform, code, description, sizeof description);
    switch (way) {
    case NeighbourWay::Probe:
        lines->push_back(Line(CheckStatus::Ok, "hosts",
                              "a new address is asked of the link by an ARP probe of this workstation's own, in or "
                              "out of an interface's subnet"));
        return;
    case NeighbourWay::System:
        lines->push_back(Line(code != 0 ? CheckStatus::Warning : CheckStatus::Ok, "hosts",
                              std::string("a new address is asked of the link through the system's own resolution, "
                                          "for addresses within an interface's subnet (outside it a command says "
                                          "\"not checked\")") +
                                  (code != 0 ? std::string("; an ARP probe is not allowed (") + description + ")"
                                             : std::string()),
                              code != 0 ? "run as root to probe every address" : ""));
        return;
    case NeighbourWay::None:
        break;
    }
    lines->push_back(Line(CheckStatus::Warning, "hosts",
                          "this system cannot be asked whether a host holds an address: commands say \"not "
                          "checked\""));
}

}  // namespace

std::vector<CheckLine> CheckBeforeSearch(const NetPlatform& platform, const DoctorSystem& system, InterfaceNames& names,
                                         const DoctorInterfaces& interfaces) {
    std::vector<CheckLine> lines;
    CheckInterfaces(system, names, interfaces, &lines);
    CheckPorts(platform, system, names, interfaces.searched, &lines);
    CheckReversePathFilters(platform, system, names, interfaces.searched, &lines);
    CheckHostAsking(platform, &lines);
    std::vector<LabelledInterface> labelled;
    for (const BroadcastInterface& entry : interfaces.searched)
        labelled.push_back(LabelledInterface{entry, LabelOf(names, entry)});
    system.systemChecks(labelled, &lines);
    return lines;
}

std::vector<CheckLine> CheckSearch(const DoctorSystem& system, InterfaceNames& names,
                                   const std::vector<BroadcastInterface>& searched, const std::vector<bool>& cutShort,
                                   const std::vector<Reply>& rows) {
    std::vector<CheckLine> lines;
    for (std::size_t i = 0; i < searched.size(); ++i) {
        std::size_t heard = 0;
        for (const Reply& row : rows)
            heard += SameInterface(row.via, searched[i]) ? 1 : 0;
        const std::string label = LabelOf(names, searched[i]);
        if (i < cutShort.size() && cutShort[i])
            lines.push_back(Line(CheckStatus::Problem, "search", label + ": the search failed (said above)",
                                 "see the failure's line"));
        else if (heard == 0 && system.isWireless != nullptr && system.isWireless(searched[i]))
            lines.push_back(Line(CheckStatus::Ok, "search", label + ": nothing answered, as on a Wi-Fi link",
                                 "controllers are on the wired line: connect an Ethernet port of this workstation "
                                 "to it"));
        else if (heard == 0)
            lines.push_back(Line(CheckStatus::Warning, "search", label + ": nothing answered",
                                 "check the warnings above, the controllers' power and cables"));
        else
            lines.push_back(Line(CheckStatus::Ok, "search",
                                 label + ": " + std::to_string(heard) + (heard == 1 ? " reply" : " replies")));
    }
    return lines;
}

int DoctorExitStatus(const std::vector<CheckLine>& lines) {
    for (const CheckLine& line : lines)
        if (line.status == CheckStatus::Problem)
            return 1;
    return 0;
}

}  // namespace scout::ops
