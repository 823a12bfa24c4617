// A reply as a search listed it: the controller's texts (as the device sent
// them) and the interface whose window read it. The rules below both front
// ends work on these; each front end shows them in its own way.
#pragma once

#include "net/platform.h"
#include "net/query_datagram.h"

namespace scout::ops {

struct Reply {
    char address[AddressTextCapacity] = {};
    char model[TextBufferCapacity] = {};
    char version[TextBufferCapacity] = {};
    char revision[TextBufferCapacity] = {};
    char interfaceAddress[AddressTextCapacity] = {};
    char interfaceName[InterfaceNameCapacity] = {};  // "" where the platform has none
    BroadcastInterface via{};                        // the interface whose window read the reply
    MacAddress mac{};                                // the sender's, where macSource says it is known
    MacSource macSource = MacSource::None;
};

}  // namespace scout::ops
