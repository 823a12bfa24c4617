// The look at the line (see look.h).
#include "ops/look.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "ops/answers.h"

namespace scout::ops {
namespace {

// The search's front end while the look runs: each row kept as the rules
// read it, and everything passed on to the caller's front end.
struct Collector {
    const SearchFrontEnd& outer;
    InterfaceNames* names;
    std::vector<Reply> rows;
};

Collector& C(void* context) {
    return *static_cast<Collector*>(context);
}

void ClearRows(void* context) {
    C(context).rows.clear();
    C(context).outer.clearRows(C(context).outer.context);
}

void AddRow(void* context, int index, const FoundRow& found) {
    Collector& collector = C(context);
    const std::size_t at = std::min(index < 0 ? std::size_t{0} : static_cast<std::size_t>(index),
                                    collector.rows.size());
    collector.rows.insert(collector.rows.begin() + static_cast<std::ptrdiff_t>(at), ReplyOf(found, collector.names));
    collector.outer.addRow(collector.outer.context, index, found);
}

void ShowError(void* context, const char* text) {
    C(context).outer.showError(C(context).outer.context, text);
}

void ShowWarning(void* context, const char* text) {
    const SearchFrontEnd& outer = C(context).outer;
    if (outer.showWarning != nullptr)
        outer.showWarning(outer.context, text);
}

void BeginInterface(void* context, const BroadcastInterface& entry, std::size_t position, std::size_t count) {
    const SearchFrontEnd& outer = C(context).outer;
    if (outer.beginInterface != nullptr)
        outer.beginInterface(outer.context, entry, position, count);
}

bool PortHeld(void* context, const BroadcastInterface& entry, std::uint32_t waitedMs) {
    const SearchFrontEnd& outer = C(context).outer;
    return outer.portHeld != nullptr && outer.portHeld(outer.context, entry, waitedMs);
}

// A front end that shows nothing: the quiet look at the other interfaces.
void Ignore(void*) {}
void IgnoreRow(void*, int, const FoundRow&) {}
void IgnoreText(void*, const char*) {}

// The probes due while the search listens.
struct ProbesDue {
    const NetPlatform& platform;
    HostAsking* asking;
};

struct Searched {
    std::vector<Reply> rows;
    std::vector<bool> cutShort;
    std::vector<std::uint32_t> lost;
    std::uint64_t filtered = 0;
    SearchOutcome outcome;
};

Searched SearchFor(const NetPlatform& platform, const SearchFrontEnd& frontEnd,
                   const std::vector<BroadcastInterface>& where, const LookPlan& plan, HostAsking* asking) {
    Collector collector{frontEnd, plan.names, {}};
    const SearchFrontEnd collecting{
        .context = &collector,
        .clearRows = ClearRows,
        .addRow = AddRow,
        .showError = ShowError,
        .showWarning = ShowWarning,
        .beginInterface = BeginInterface,
        .portHeld = PortHeld,
    };
    Searched searched;
    std::unique_ptr<bool[]> cut(new bool[where.size() + 1]());
    searched.lost.assign(where.size() + 1, 0);
    SearchPlan search;
    search.interfaces = where.data();
    search.count = where.size();
    search.windowMs = plan.windowMs;
    search.allAtOnce = plan.allAtOnce;
    search.cutShort = cut.get();
    search.lost = searched.lost.data();
    search.filtered = &searched.filtered;
    ProbesDue due{platform, asking};
    if (asking != nullptr && !asking->askings.empty()) {
        search.betweenPasses = [](void* context) {
            ProbesDue& probes = *static_cast<ProbesDue*>(context);
            KeepAsking(probes.platform, *probes.asking);
        };
        search.passContext = &due;
    }
    searched.outcome = SearchInterfaces(platform, collecting, search);
    searched.rows = std::move(collector.rows);
    searched.cutShort.assign(cut.get(), cut.get() + where.size());
    searched.lost.resize(where.size());
    return searched;
}

}  // namespace

Reply ReplyOf(const FoundRow& found, InterfaceNames* names) {
    Reply row;
    const auto copy = [](char* target, std::size_t capacity, const char* text) {
        const std::size_t length = std::min(std::strlen(text), capacity - 1);
        std::memcpy(target, text, length);
        target[length] = '\0';
    };
    copy(row.address, sizeof row.address, found.texts[static_cast<int>(ListColumn::Address)]);
    copy(row.model, sizeof row.model, found.texts[static_cast<int>(ListColumn::Model)]);
    copy(row.version, sizeof row.version, found.texts[static_cast<int>(ListColumn::Version)]);
    copy(row.revision, sizeof row.revision, found.texts[static_cast<int>(ListColumn::Revision)]);
    FormatAddress(found.via.address, row.interfaceAddress, sizeof row.interfaceAddress);
    if (names != nullptr)
        copy(row.interfaceName, sizeof row.interfaceName, InterfaceNameOf(*names, found.via).c_str());
    row.via = found.via;
    row.mac = found.mac;
    row.macSource = found.macSource;
    return row;
}

Looked Look(const NetPlatform& platform, const SearchFrontEnd& frontEnd, const LookPlan& plan) {
    Looked looked;
    looked.searched = plan.interfaces;
    looked.ownAddresses = plan.ownAddresses;
    looked.startedAt = platform.now(platform.context);
    // The links are asked while the search runs: its window is their deadline's time.
    HostAsking asking;
    if (!plan.askFor.empty())
        asking = AskForHosts(platform, plan.interfaces, plan.askFor);
    Searched searched = SearchFor(platform, frontEnd, plan.interfaces, plan, &asking);
    looked.rows = std::move(searched.rows);
    looked.cutShort = std::move(searched.cutShort);
    looked.lost = std::move(searched.lost);
    looked.filtered = searched.filtered;
    looked.outcome = searched.outcome;
    FinishRows(platform, looked.rows, looked.startedAt);
    if (!plan.askFor.empty()) {
        looked.hosts = HostsAnswered(platform, asking);
        looked.hostsAsked = true;
    }
    looked.tookMs = platform.now(platform.context) - looked.startedAt;
    // A target found on none of the interfaces searched: where does it answer?
    if (plan.target != 0 && !plan.elsewhere.empty() &&
        InterfacesAnswering(looked.rows, AddressString(plan.target)).empty()) {
        const SearchFrontEnd quiet{
            .context = nullptr,
            .clearRows = Ignore,
            .addRow = IgnoreRow,
            .showError = IgnoreText,
            .showWarning = IgnoreText,
            .beginInterface = nullptr,
            .portHeld = nullptr,
        };
        Searched other = SearchFor(platform, quiet, plan.elsewhere, plan, nullptr);
        FinishRows(platform, other.rows, looked.startedAt + looked.tookMs);
        looked.lookedElsewhere = true;
        looked.elsewhere = std::move(other.rows);
    }
    return looked;
}

std::vector<BroadcastInterface> Except(const std::vector<BroadcastInterface>& all,
                                       const std::vector<BroadcastInterface>& these) {
    std::vector<BroadcastInterface> rest;
    for (const BroadcastInterface& entry : all) {
        bool named = false;
        for (const BroadcastInterface& one : these)
            named = named || SameInterface(one, entry);
        if (!named)
            rest.push_back(entry);
    }
    return rest;
}

Looked LookBeforeCommands(const NetPlatform& platform, const SearchFrontEnd& frontEnd,
                          const std::vector<CommandRequest>& requests, const CommandLook& look) {
    std::vector<NetAddress> askFor;
    for (const CommandRequest& request : requests)
        if (request.kind == CommandKind::Reconfigure && request.values.address != request.target)
            askFor.push_back(request.values.address);
    if (look.listed != nullptr) {
        Looked looked = *look.listed;
        looked.ownAddresses = look.own;
        if (!askFor.empty()) {
            looked.hosts = AskTheLink(platform, look.plan.interfaces, askFor);
            looked.hostsAsked = true;
        }
        return looked;
    }
    if (look.noSearch) {
        Looked looked;
        looked.searched = look.plan.interfaces;
        looked.cutShort.assign(looked.searched.size(), false);
        looked.ownAddresses = look.own;
        return looked;
    }
    LookPlan plan = look.plan;
    plan.ownAddresses = look.own;
    plan.askFor = askFor;
    plan.target = requests.size() == 1 ? requests[0].target : 0;
    plan.elsewhere = plan.target != 0 ? Except(look.all, plan.interfaces) : std::vector<BroadcastInterface>{};
    return Look(platform, frontEnd, plan);
}

}  // namespace scout::ops
