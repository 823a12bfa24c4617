// The checks a new address, mask and gateway pass before a reconfigure is
// sent: a controller given an unusable address is lost to the network.
#pragma once

#include <cstddef>

#include "query_datagram.h"

namespace scout {

struct ReconfigureValues {
    NetAddress address = 0;
    NetAddress mask = 0;
    NetAddress gateway = 0;
};

// Checks the three texts as typed; on success fills values. On failure writes
// one message that names the field and its value, and returns false.
bool CheckReconfigureFields(const char* addressText, const char* maskText, const char* gatewayText,
                            ReconfigureValues* values, char* message, std::size_t capacity);

}  // namespace scout
