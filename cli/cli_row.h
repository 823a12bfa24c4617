// scout-cli's row: a reply as the search listed it, with the interface that
// read it, and the forms it can be printed in.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "net/platform.h"
#include "net/query_datagram.h"

namespace scout::cli {

struct CliRow {
    char address[AddressTextCapacity] = {};
    char model[TextBufferCapacity] = {};
    char version[TextBufferCapacity] = {};
    char revision[TextBufferCapacity] = {};
    char interfaceAddress[AddressTextCapacity] = {};
    char interfaceName[InterfaceNameCapacity] = {};  // "" where the platform has none
    BroadcastInterface via{};                        // the interface whose window read the reply
};

enum class OutputFormat { Table, Json, Csv };

struct RenderOptions {
    bool header = true;          // false: --no-header, for the table and CSV
    const char* lineEnd = "\n";  // of CSV records: CR LF on Windows
};

}  // namespace scout::cli
