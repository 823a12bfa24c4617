// A watch's replacements back at their rows' addresses (see cli_readdress.h).
#include "cli/cli_readdress.h"

#include <cstdio>

#include "cli/cli_give_row.h"
#include "cli/cli_path.h"
#include "cli/cli_record.h"
#include "cli/cli_render.h"
#include "cli/cli_words.h"
#include "ops/answers.h"
#include "ops/audit.h"
#include "ops/commission.h"
#include "ops/files.h"
#include "ops/hosts.h"
#include "ops/record.h"
#include "ops/text.h"

namespace scout::cli {
namespace {

void ReadTries(void* context, const RecordLine& line) {
    AddTry(static_cast<Readdressing*>(context)->tried, line);
}
void SkipLine(void*, const std::string&) {}

// What a doubt says.
std::string DoubtText(const ExpectedList& list, const ReplacementChoice& choice) {
    switch (choice.doubt) {
    case ReplacementDoubt::None: break;
    case ReplacementDoubt::SeveralMissing: {
        std::string rows;
        for (const std::size_t r : choice.rows)
            rows += (rows.empty() ? "" : ", ") + RowLabel(list.rows[r]);
        return "rows of its model are missing here: " + rows + "; give it one by hand";
    }
    case ReplacementDoubt::NoneMissing: return "no row of its model is missing on this interface";
    case ReplacementDoubt::SeveralAtFactory: return "more than one controller answers at the factory address here";
    case ReplacementDoubt::MacOfAnotherRow:
        return "its MAC is " + RowLabel(list.rows[choice.row]) + "'s, which answers already";
    case ReplacementDoubt::Tried:
        return "it was given a row before and not seen there; it is not tried again (give it its address by hand)";
    }
    return "";
}

// One act of the watch on a replacement, as an event.
Change ReaddressChange(ChangeKind kind, const Reply& newcomer, const std::string& row, const std::string& address,
                       const std::string& detail) {
    Change change;
    change.kind = kind;
    change.row = newcomer;
    change.rowLabel = row;
    change.newAddress = address;
    change.detail = detail;
    return change;
}

}  // namespace

// The start of --readdress-replacements: the factory address, a record that
// can be kept (where it acts), and what the record says was tried before.
bool StartReaddressing(Session& session, Interfaces& interfaces, const ExpectedList& list, Readdressing* r,
                       int* exitCode) {
    const Options& options = session.options;
    r->mode = options.readdress;
    *exitCode = ExitUsage;
    if (!ParseDottedAddress(options.factory, &r->factory) || !ControllerCanHold(r->factory)) {
        UsageError("--factory takes an address a controller can hold, not '" + QuoteOperand(options.factory) + "'");
        return false;
    }
    r->recordPath = RecordPath(options);
    if (r->mode == ReaddressMode::Act) {
        *exitCode = ExitSentUnreported;
        if (const FileError error = AppendRecordText(r->recordPath, ""); error.fault != FileFault::None) {
            Say("cannot keep the record of changes " + SafeText(r->recordPath.c_str()) + ": " + FileErrorText(error) +
                "; --readdress-replacements sends only what it records (--log FILE records elsewhere, =propose "
                "sends nothing)");
            return false;
        }
    }
    std::FILE* file = nullptr;
    int error = 0;
    if (OpenRegularFile(r->recordPath, &file).fault == FileFault::None) {
        EachRecord(file, r, ReadTries, SkipLine, &error);
        std::fclose(file);
    }
    r->known = KnownInterfaces(session, interfaces.table);
    r->all = AllOf(interfaces.table);
    r->own = OwnAddresses(interfaces.table);
    std::size_t noGateway = 0;
    for (const ExpectedRow& row : list.rows)
        noGateway += row.gatewayGiven ? 0 : 1;
    if (noGateway != 0)
        Say(Count(noGateway, "row", "rows") + " of the list give no gateway: a replacement given such a row's "
                                               "address gets none (give the list a gateway column)");
    r->lastSeen.assign(list.rows.size(), Replacing{});
    for (std::size_t i = 0; i < list.rows.size(); ++i)
        r->lastSeen[i] = Replacing{RowLabel(list.rows[i]), list.rows[i].macGiven, list.rows[i].mac, ReaddressCommand};
    return true;
}

// The MACs each row's address answers from now; a conflict or duplicate at a
// readdressed row's address names the controller it replaced.
void NoteWhoAnswers(Readdressing& r, const ExpectedList& list, const std::vector<Reply>& rows,
                    std::vector<Change>& changes) {
    const std::vector<const Reply*> replies = RowReplies(list, rows);
    for (std::size_t i = 0; i < list.rows.size(); ++i)
        if (replies[i] != nullptr && replies[i]->macSource != MacSource::None) {
            r.lastSeen[i].known = true;
            r.lastSeen[i].mac = replies[i]->mac;
        }
    for (Change& change : changes) {
        if (change.kind != ChangeKind::Conflict && change.kind != ChangeKind::Duplicate)
            continue;
        for (const auto& [i, replaced] : r.replaced)
            if (AddressString(list.rows[i].address) == change.row.address)
                change.detail = (replaced.known ? "the controller it replaced (MAC " + MacText(replaced.mac) + ")"
                                                : std::string("the controller it replaced")) +
                                " may answer here again beside its replacement: power one of them off";
    }
}

namespace {

// An act said once: added where the last said on its interface was not key.
void Once(std::string& said, const std::string& key, const Change& change, std::vector<Change>* acts) {
    if (said != key)
        acts->push_back(change);
    said = key;
}

// The newcomer given its row: the segment held, the row decided over a fresh
// look, sent, awaited and recorded; each outcome an act. True where it was
// readdressed (the search's rows are stale then).
bool Readdress(Session& session, Readdressing& r, const ExpectedRow& row, std::size_t rowIndex,
               const Reply& newcomer, int prefix, CliList& list, std::string& said, std::vector<Change>* acts) {
    const std::string address = AddressString(row.address);
    const std::string who = RowMacText(newcomer);
    const Replacing& replacing = r.lastSeen[rowIndex];
    SegmentHold hold;
    if (!HoldSegments(session, {newcomer.via}, &hold, 0)) {
        said.clear();  // said by the hold; tried again after the next search
        return false;
    }
    RowDefaults defaults;
    defaults.interfacePrefix = prefix;
    CommandRequest request;
    Decision decision;
    Looked looked;
    std::string why;
    const AtFactoryNow decided =
        DecideRow(session, row, defaults, r.factory, newcomer, r.own, r.all, &request, &decision, &looked, &why);
    if (decided == AtFactoryNow::Moved) {
        said.clear();  // another came, it went, or the row answers after all: the next search looks again
        return false;
    }
    if (decided == AtFactoryNow::Refused) {
        if (said != why + who)
            RecordRefused(session, request, decision, replacing, why);
        Once(said, why + who, ReaddressChange(ChangeKind::Held, newcomer, RowLabel(row), address, why), acts);
        return false;
    }
    const Given given = SendToFactory(session, list, request, decision, looked, replacing);
    if (!given.recorded) {
        // Nothing went out (said): no try; tried again once the record can be written.
        const std::string unrecorded = "nothing sent: the record of changes could not be written";
        Once(said, unrecorded + who, ReaddressChange(ChangeKind::Held, newcomer, RowLabel(row), address, unrecorded),
             acts);
        return false;
    }
    said.clear();
    // Tried once: not verified, it is not tried again (the record keeps it across restarts).
    if (!given.verified) {
        newcomer.macSource != MacSource::None ? r.tried.macs.push_back(newcomer.mac)
                                              : r.tried.rows.push_back(RowLabel(row));
        acts->push_back(ReaddressChange(ChangeKind::Held, newcomer, RowLabel(row), address,
                                        given.message + "; not tried again"));
        return false;
    }
    Reply now = newcomer;
    std::snprintf(now.address, sizeof now.address, "%s", address.c_str());
    acts->push_back(ReaddressChange(ChangeKind::Readdressed, now, RowLabel(row), address,
                                    "verified after " + SecondsOf(given.seconds) + " s"));
    acts->back().replacedKnown = replacing.known;
    acts->back().replaced = replacing.mac;
    r.replaced[rowIndex] = replacing;
    return true;
}

}  // namespace

std::vector<Change> LookForReplacements(Session& session, Readdressing& r, const ExpectedList& list,
                                        Watcher& watcher, const WatchState& state) {
    std::vector<Change> acts;
    if (!watcher.failed.empty())
        return acts;  // a search cut short: no row is known to be missing
    const std::vector<Reply> rows = watcher.list.rows;
    // A row is missing as a watch says a controller gone: no answer twice in
    // a row (one lost reply is no replacement's cue), or never seen.
    std::vector<Reply> present;
    for (const KnownController& known : state.known)
        present.push_back(known.row);
    const std::vector<bool> missing = MissingRows(list, present, std::vector<bool>(list.rows.size(), false));
    const std::string factory = AddressString(r.factory);
    for (const BroadcastInterface& via : InterfacesAnswering(rows, factory)) {
        const std::vector<const Reply*> there = AnswersAt(rows, factory, via);
        const Reply& newcomer = *there[0];
        int prefix = -1;
        for (const KnownInterface& known : r.known)
            prefix = SameInterface(known.via, via) ? known.prefix : prefix;
        const ReplacementChoice choice = ChooseReplacement(list, missing, newcomer, there.size(), prefix, r.tried);
        const std::string who = RowMacText(newcomer);
        std::string& said = r.said[via.index];
        if (choice.doubt != ReplacementDoubt::None) {
            const std::string doubt = DoubtText(list, choice);
            Once(said, doubt + who, ReaddressChange(ChangeKind::Held, newcomer, "", "", doubt), &acts);
            continue;
        }
        const ExpectedRow& row = list.rows[choice.row];
        if (r.mode == ReaddressMode::Propose) {
            Change proposed = ReaddressChange(ChangeKind::Proposed, newcomer, RowLabel(row),
                                              AddressString(row.address), "");
            proposed.replacedKnown = r.lastSeen[choice.row].known;
            proposed.replaced = r.lastSeen[choice.row].mac;
            Once(said, "propose " + proposed.newAddress + who, proposed, &acts);
            continue;
        }
        if (Readdress(session, r, row, choice.row, newcomer, prefix, watcher.list, said, &acts))
            break;  // the search's rows are stale now: the next search looks again
    }
    return acts;
}

void FollowReaddressing(Session& session, const InterfaceTable& table, Readdressing& r) {
    r.known = KnownInterfaces(session, table);
    r.all = AllOf(table);
    r.own = OwnAddresses(table);
}

}  // namespace scout::cli
