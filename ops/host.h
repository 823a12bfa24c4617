// What the system tells of the moment, this machine and its user, as the
// record of changes and the report say them.
#pragma once

#include <string>

namespace scout::ops {

// The local time as ISO 8601 with its zone ("2026-12-11T15:04:05+01:00").
std::string LocalTimeText();
// This machine's name, and the (effective) user's.
std::string HostName();
std::string UserName();

}  // namespace scout::ops
