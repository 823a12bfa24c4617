// The forwarding table read whole, and reduced to its broadcast interfaces.
#include "net/win32/forward_table_loader.h"

#include <cstdlib>

#include "net/win32/forward_table.h"

namespace scout {
namespace {
constexpr int TableReadAttempts = 4;  // the table may grow between the size query and the read
}

TableStatus LoadForwardTable(GetForwardTableFunction getTable, InterfaceTable* table, int* errorCode) {
    *table = InterfaceTable{};
    void* buffer = nullptr;
    ULONG size = 0;
    for (int attempt = 0; attempt < TableReadAttempts; ++attempt) {
        const DWORD result = getTable(static_cast<PMIB_IPFORWARDTABLE>(buffer), &size, FALSE);
        if (result == NO_ERROR) {
            const std::size_t count = CompactBroadcastInterfaces(buffer, size);
            table->entries = static_cast<const BroadcastInterface*>(buffer);
            table->count = count;
            table->storage = buffer;
            return TableStatus::Ok;
        }
        if (result == ERROR_NO_DATA) {  // a table without rows
            std::free(buffer);
            return TableStatus::Ok;
        }
        if (result != ERROR_INSUFFICIENT_BUFFER) {
            std::free(buffer);
            *errorCode = static_cast<int>(result);
            return TableStatus::Failed;
        }
        std::free(buffer);
        buffer = size == 0 ? nullptr : std::malloc(size);
        if (buffer == nullptr)
            return TableStatus::NoSpace;
    }
    std::free(buffer);
    return TableStatus::NoSpace;
}

}  // namespace scout
