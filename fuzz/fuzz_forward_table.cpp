// Fuzzes the broadcast-interface filter over a raw forwarding table of any
// size and content, as the platform might return it: it never reads past the
// bytes it was given, and keeps exactly the rows that are broadcast
// interfaces, in table order.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "net/win32/forward_table.h"

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz_forward_table: %s\n", what);
        std::abort();
    }
}

std::uint32_t Word(const std::uint8_t* p) {
    std::uint32_t w;
    std::memcpy(&w, p, 4);
    return w;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The expected entries, read directly from the bytes.
    std::vector<scout::BroadcastInterface> expected;
    if (size >= 4) {
        const std::size_t rows = Word(data);
        for (std::size_t i = 0; i < rows && 4 + (i + 1) * 56 <= size; ++i) {
            const std::uint8_t* row = data + 4 + i * 56;
            const bool broadcast = Word(row) == 0xFFFFFFFFu && Word(row + 4) == 0xFFFFFFFFu && Word(row + 20) == 3 &&
                                   !(row[12] == 127 && row[13] == 0 && row[14] == 0 && row[15] == 1);
            if (broadcast)
                expected.push_back(scout::BroadcastInterface{Word(row + 12), Word(row + 16)});
        }
    }

    // Exactly size bytes, on the heap, so that a read beyond them is caught.
    auto* table = static_cast<std::uint8_t*>(std::malloc(size == 0 ? 1 : size));
    if (size > 0)
        std::memcpy(table, data, size);
    const std::size_t count = scout::CompactBroadcastInterfaces(table, size);
    Require(count == expected.size(), "count");
    for (std::size_t i = 0; i < count; ++i) {
        scout::BroadcastInterface entry;
        std::memcpy(&entry, table + i * sizeof entry, sizeof entry);
        Require(entry.address == expected[i].address && entry.index == expected[i].index, "entry");
    }
    std::free(table);
    return 0;
}
