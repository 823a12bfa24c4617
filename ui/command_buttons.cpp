// The command buttons of the main dialog.
#include "ui/command_buttons.h"

#include <commctrl.h>

#include "app/resource.h"
#include "net/address.h"
#include "net/controller_commands.h"
#include "net/controller_search.h"
#include "net/error_report.h"
#include "ui/result_list.h"

namespace scout::ui {
namespace {

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

// How many rows list address on the interface.
int CountListed(NetAddress address, NetAddress interfaceAddress) {
    const int rows = static_cast<int>(SendMessageA(g_resultList, LVM_GETITEMCOUNT, 0, 0));
    int count = 0;
    for (int row = 0; row < rows; ++row) {
        const ListedRow listed = ReadListedRow(row);
        NetAddress parsed = 0;
        if (listed.interfaceAddress == interfaceAddress && ParseDottedAddress(listed.address, &parsed) &&
            parsed == address)
            ++count;
    }
    return count;
}

bool IsOwnAddress(const NetPlatform& platform, NetAddress address) {
    InterfaceTable table;
    int code = 0;
    bool own = false;
    if (platform.loadInterfaces(platform.context, &table, &code) == TableStatus::Ok) {
        for (std::size_t i = 0; i < table.count; ++i)
            own = own || table.entries[i].address == address;
        for (std::size_t i = 0; i < table.skippedCount; ++i)
            own = own || table.skipped[i].entry.address == address;
    }
    platform.releaseInterfaces(platform.context, &table);
    return own;
}

// With what the list already shows: a reconfigure that would give several
// controllers one address, or a controller an address that another one or
// this workstation holds, is refused with one message, and nothing is sent.
bool ReconfigureRefused(const NetPlatform& platform, const SearchFrontEnd& list, NetAddress target,
                        const BroadcastInterface& via, NetAddress newAddress) {
    if (CountListed(target, via.address) > 1) {
        ReportReconfigureRefusal(list, ReconfigureRefusal::TargetListedTwice, target, via.address);
        return true;
    }
    if (newAddress != target && CountListed(newAddress, via.address) > 0) {
        ReportReconfigureRefusal(list, ReconfigureRefusal::NewAddressListed, newAddress, via.address);
        return true;
    }
    if (IsOwnAddress(platform, newAddress)) {
        ReportReconfigureRefusal(list, ReconfigureRefusal::NewAddressOwn, newAddress, via.address);
        return true;
    }
    return false;
}

}  // namespace

void RunCommandButton(HWND dialog, int id, const NetPlatform& platform, const SearchFrontEnd& list) {
    NetAddress target = 0;
    BroadcastInterface via{};
    if (!SelectedTarget(&target, &via))
        return;
    bool sent = false;
    switch (id) {
    case IDC_POWER_ON_RESET:
        sent = SendResetCommand(platform, list, via, target, false);
        break;
    case IDC_FACTORY_DEFAULTS:
        sent = SendResetCommand(platform, list, via, target, true);
        break;
    case IDC_RECONFIGURE_IP: {
        ReconfigureValues values;
        if (!ReadReconfigureFields(dialog, list, &values) ||
            ReconfigureRefused(platform, list, target, via, values.address))
            return;
        sent = SendReconfigureCommand(platform, list, via, target, values.address, values.mask, values.gateway);
        break;
    }
    default:
        return;
    }
    // A command that did not go out was reported; waiting and searching would
    // look like success.
    if (!sent)
        return;
    // The controller acts without an answer; the next search shows what it did.
    platform.sleep(platform.context, CommandSettleMs);
    ControllerSearch(platform, list);
}

}  // namespace scout::ui
