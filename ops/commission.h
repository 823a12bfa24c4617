// Commissioning new controllers one at a time: the range of addresses they
// get, the next free one (free of every controller that answers, every one
// given in this run, this workstation's own, and what the checks of
// reconfigure refuse), and whether exactly one new controller waits at the
// factory address.
#pragma once

#include <cstdint>
#include <vector>

#include "ops/command.h"
#include "ops/expected.h"

namespace scout::ops {

// The addresses commission gives, first to last (in HostOrder).
struct AddressRange {
    NetAddress first = 0;
    NetAddress last = 0;
};

// The last host of first's subnet by mask: its broadcast address less one.
NetAddress LastHostOf(NetAddress first, NetAddress mask);

enum class RangeFault {
    None,
    LastBeforeFirst,
    OutsideSubnet,  // last lies outside the subnet first and the mask make
};
RangeFault CheckRange(const AddressRange& range, NetAddress mask);

// The first address from from on (within range) that none of taken is; 0
// where none is left.
NetAddress NextFree(const AddressRange& range, NetAddress from, const std::vector<NetAddress>& taken);
// The address after one (0 after the range's last).
NetAddress AddressAfter(const AddressRange& range, NetAddress address);

// Who answers at the factory address in a search.
enum class AtFactory { Nobody, One, Several, SeveralInterfaces };
AtFactory WhoIsAtFactory(const std::vector<Reply>& rows, NetAddress factory, Reply* one, std::size_t* count);

// The next free address of the range from next on that the controller at the
// factory address may get, with the decision to send it there: the
// reconfigure to candidate, decided as a single command is; false where the
// range has none left.
bool ChooseAddress(const NetPlatform& platform, const AddressRange& range, NetAddress next,
                   std::vector<NetAddress> taken, NetAddress factory, const ReconfigureValues& values,
                   const Looked& looked, CommandRequest* request, Decision* decision);

// Commissioning by the line's design list: a new controller takes the row
// that names its MAC; without one, the first missing row of its model that
// names no MAC, in the list's order. A row meant for another is never taken.

// Why a new controller takes no row, or which it takes.
enum class RowFit {
    Row,            // it takes row
    MacRowThere,    // the row naming its MAC (row) is not missing: it answers, or was seen to in this run
    MacRowDiffers,  // the row naming its MAC (row) expects another model, version, revision or interface
    NoRowFits,      // rows are missing, but none it may take: another model, each names another MAC,
                    // or its MAC is not known here and each names a MAC
    LineComplete,   // no row is missing
};
struct RowChoice {
    RowFit fit = RowFit::NoRowFits;
    std::size_t row = 0;  // in list.rows
};
// missing: per row of the list, whether it may still be given (see
// MissingRows); prefix: the newcomer's interface's (RowFits). A newcomer
// whose MAC was not read (macSource None) takes only rows that name none.
RowChoice ChooseRow(const ExpectedList& list, const std::vector<bool>& missing, const Reply& newcomer, int prefix);

// Whether the row may be the newcomer's, its MAC aside (a row's MAC names a
// controller a replacement stands in for): on its interface (the one it
// names; naming none, its address lies in the subnet of the newcomer's
// interface, prefix, where that is known), and every other field it gives.
bool RowFits(const ExpectedRow& row, const Reply& newcomer, int prefix);

// Per row, the first reply at its address (on its interface, where it names
// one), or null: a look-up per row, whatever the line's size.
std::vector<const Reply*> RowReplies(const ExpectedList& list, const std::vector<Reply>& rows);

// Per row: no controller answers at its address (RowReplies), and closed
// (given, refused or tried in this run) does not say it is settled.
std::vector<bool> MissingRows(const ExpectedList& list, const std::vector<Reply>& rows,
                              const std::vector<bool>& closed);

// What a controller of the row is given: the row's address, its mask and
// gateway, else those of the options (where given), else the mask of the
// interface's subnet (prefix) and no gateway; checked as reconfigure checks
// them. False with why not (no mask to be had, or the values refused).
struct RowDefaults {
    bool maskGiven = false, gatewayGiven = false;
    NetAddress mask = 0, gateway = 0;
    int interfacePrefix = -1;
};
bool RowSettings(const ExpectedRow& row, const RowDefaults& defaults, ReconfigureValues* values, std::string* why);

}  // namespace scout::ops
