// Replies as a search lists them, on two of the fake platform's interfaces.
#pragma once

#include <cstdio>

#include "ops/reply.h"

namespace scout::test {

inline const BroadcastInterface If2{MakeAddress(10, 1, 0, 1), 2};
inline const BroadcastInterface If3{MakeAddress(10, 2, 0, 1), 3};

inline ops::Reply Row(const char* address, const BroadcastInterface& via = If2, const char* model = "KRV-ETH1A2B") {
    ops::Reply row;
    std::snprintf(row.address, sizeof row.address, "%s", address);
    std::snprintf(row.model, sizeof row.model, "%s", model);
    std::snprintf(row.version, sizeof row.version, "2.14");
    std::snprintf(row.revision, sizeof row.revision, "C");
    row.via = via;
    return row;
}

}  // namespace scout::test
