// The broadcast-interface filter over a raw forwarding table.
#include "net/win32/forward_table.h"

#include <cstring>

namespace scout {

bool IsBroadcastInterface(const ForwardRow& row) {
    return row.dest == BroadcastAddress && row.mask == BroadcastAddress &&
           row.type == DirectRouteType && row.nextHop != LoopbackAddress;
}

std::size_t CompactBroadcastInterfaces(void* table, std::size_t bytes) {
    auto* base = static_cast<unsigned char*>(table);
    if (bytes < ForwardTableHeaderBytes)
        return 0;
    std::uint32_t rowCount = 0;
    std::memcpy(&rowCount, base, sizeof rowCount);
    const std::size_t fitting = (bytes - ForwardTableHeaderBytes) / sizeof(ForwardRow);
    const std::size_t rows = rowCount < fitting ? rowCount : fitting;

    // Entry i (8 bytes at 8*i) never overtakes row i (56 bytes at 4 + 56*i),
    // and each row is copied out before its bytes can be overwritten.
    std::size_t count = 0;
    for (std::size_t i = 0; i < rows; ++i) {
        ForwardRow row;
        std::memcpy(&row, base + ForwardTableHeaderBytes + i * sizeof(ForwardRow), sizeof row);
        if (!IsBroadcastInterface(row))
            continue;
        const BroadcastInterface entry{row.nextHop, row.ifIndex};
        std::memcpy(base + count * sizeof entry, &entry, sizeof entry);
        ++count;
    }
    return count;
}

}  // namespace scout
