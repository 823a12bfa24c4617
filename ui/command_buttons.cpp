// The command buttons of the main dialog.
#include "ui/command_buttons.h"

#include <commctrl.h>

#include <cstdio>

#include "app/resource.h"
#include "net/address.h"
#include "net/controller_commands.h"
#include "net/controller_search.h"
#include "net/error_report.h"
#include "ops/command.h"
#include "ops/segment_lock.h"
#include "ops/look.h"
#include "ui/command_refusals.h"
#include "ui/result_list.h"

namespace scout::ui {
namespace {

using ops::CommandKind;
using ops::CommandRequest;
using ops::Decision;
using ops::Looked;
using ops::Reply;

// The controller of the selected row, as the search wrote its address, and
// the interface that read it. A click on the empty part of the list arms the
// buttons with no row selected: then there is no target, and nothing may be
// sent (to 255.255.255.255 least of all).
bool SelectedTarget(NetAddress* target, BroadcastInterface* via) {
    const LRESULT row = SendMessageA(g_resultList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
    if (row < 0)
        return false;
    const ListedRow listed = ReadListedRow(static_cast<int>(row));
    // Winsock binds by the interface's address; the index is not needed here.
    *via = BroadcastInterface{listed.interfaceAddress, 0};
    return ParseDottedAddress(listed.address, target) && via->address != AnyAddress;
}

// Reads and checks the three address fields as they stand at the press.
bool ReadReconfigureFields(HWND dialog, const SearchFrontEnd& list, ReconfigureValues* values) {
    char address[ReadBackCapacity] = {};
    char mask[ReadBackCapacity] = {};
    char gateway[ReadBackCapacity] = {};
    GetDlgItemTextA(dialog, IDC_IP_FIELD, address, sizeof address);
    GetDlgItemTextA(dialog, IDC_MASK_FIELD, mask, sizeof mask);
    GetDlgItemTextA(dialog, IDC_GATEWAY_FIELD, gateway, sizeof gateway);
    char message[MessageCapacity];
    if (CheckReconfigureFields(address, mask, gateway, values, message, sizeof message))
        return true;
    ReportError(list, "%s", message);
    return false;
}

// The workstation as the list shows it, as the decision sees it: the rows
// that the selected row's interface listed, and every address of this
// workstation. The interface is found again by its address for its index
// (its prefix is asked by it); where it is gone, it keeps the address alone.
Looked ListedLook(const NetPlatform& platform, NetAddress interfaceAddress, BroadcastInterface* via) {
    Looked looked;
    *via = BroadcastInterface{interfaceAddress, 0};
    InterfaceTable table;
    int code = 0;
    if (platform.loadInterfaces(platform.context, &table, &code) == TableStatus::Ok) {
        looked.ownAddresses = ops::OwnAddresses(table);
        for (std::size_t i = 0; i < table.count; ++i)
            if (table.entries[i].address == interfaceAddress)
                *via = table.entries[i];
    }
    platform.releaseInterfaces(platform.context, &table);
    looked.searched = {*via};
    looked.cutShort = {false};
    const int rows = static_cast<int>(SendMessageA(g_resultList, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        const ListedRow listed = ReadListedRow(row);
        if (listed.interfaceAddress != interfaceAddress)
            continue;
        Reply reply;
        std::snprintf(reply.address, sizeof reply.address, "%s", listed.address);
        reply.via = *via;
        looked.rows.push_back(reply);
    }
    return looked;
}

// Whether the command may go, by the rule scout-cli follows too, over what
// the list shows; a refusal is reported. A reset goes to every controller
// that answers at the address, as the one datagram reaches them all.
bool Decided(const NetPlatform& platform, const SearchFrontEnd& list, const CommandRequest& request,
             NetAddress interfaceAddress, BroadcastInterface* via) {
    // The dialog has no look of its own before a command: its list is the
    // look, and the link gets the deadline every command gives it to say
    // whether a host holds the new address.
    const Looked listed = ListedLook(platform, interfaceAddress, via);
    ops::CommandLook look;
    look.plan.interfaces = listed.searched;
    look.own = listed.ownAddresses;
    look.listed = &listed;
    const Looked looked = ops::LookBeforeCommands(platform, list, {request}, look);
    const Decision decision = ops::DecideCommand(platform, request, looked);
    if (!decision.send)
        ReportRefusal(list, decision.refusal, interfaceAddress);
    else if (decision.hostsChecked)
        ReportHostsUnchecked(list, platform, decision.hosts, interfaceAddress);
    return decision.send;
}

}  // namespace

void RunCommandButton(HWND dialog, int id, const NetPlatform& platform, const SearchFrontEnd& list) {
    NetAddress target = 0;
    BroadcastInterface listedBy{};
    if (!SelectedTarget(&target, &listedBy))
        return;
    CommandRequest request;
    request.target = target;
    request.all = true;
    switch (id) {
    case IDC_POWER_ON_RESET: request.kind = CommandKind::Reset; break;
    case IDC_FACTORY_DEFAULTS: request.kind = CommandKind::FactoryDefaults; break;
    case IDC_RECONFIGURE_IP:
        request.kind = CommandKind::Reconfigure;
        if (!ReadReconfigureFields(dialog, list, &request.values))
            return;
        break;
    default:
        return;
    }
    // One sender per segment: a scout-cli or a watch that is sending there
    // now goes first; the dialog does not wait with its window frozen.
    ops::SegmentLock lock;
    unsigned long holder = 0;
    std::string program;
    ops::FileError lockError;
    const ops::LockTry locked = ops::TryLockSegment(listedBy, &lock, &holder, &program, &lockError);
    if (locked != ops::LockTry::Held) {
        char address[AddressTextCapacity];
        FormatAddress(listedBy.address, address, sizeof address);
        const std::string text = std::string(locked == ops::LockTry::Busy
                                                 ? "Another program of Ethernet Scout is sending commands by "
                                                 : "The lock that keeps two programs from sending at once could "
                                                   "not be taken for ") +
                                 address + ". Nothing was sent; try again in a moment.";
        list.showError(list.context, text.c_str());
        return;
    }
    BroadcastInterface via{};
    const bool decided = Decided(platform, list, request, listedBy.address, &via);
    if (!decided) {
        ops::ReleaseSegment(&lock);
        return;
    }
    const ReconfigureValues& values = request.values;
    const bool sent = request.kind == CommandKind::Reconfigure
                          ? SendReconfigureCommand(platform, list, via, target, values.address, values.mask,
                                                   values.gateway)
                          : SendResetCommand(platform, list, via, target,
                                             request.kind == CommandKind::FactoryDefaults);
    // A command that did not go out was reported; waiting and searching would
    // look like success.
    if (!sent) {
        ops::ReleaseSegment(&lock);
        return;
    }
    // The controller acts without an answer; the next search shows what it did.
    platform.sleep(platform.context, CommandSettleMs);
    ControllerSearch(platform, list);
    ops::ReleaseSegment(&lock);
}

}  // namespace scout::ui
