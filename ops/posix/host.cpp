// The moment, this machine and its user, on Linux.
#include "ops/host.h"

#include <pwd.h>
#include <unistd.h>

#include <ctime>

namespace scout::ops {

std::string LocalTimeText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
    // ISO 8601's zone has a colon: +0100 becomes +01:00.
    std::string iso = text;
    if (iso.size() >= 5)
        iso.insert(iso.size() - 2, ":");
    return iso;
}

std::string HostName() {
    char name[256] = {};
    return ::gethostname(name, sizeof name - 1) == 0 ? name : "";
}

std::string UserName() {
    const passwd* entry = ::getpwuid(::geteuid());
    return entry != nullptr ? entry->pw_name : std::to_string(::geteuid());
}

}  // namespace scout::ops
