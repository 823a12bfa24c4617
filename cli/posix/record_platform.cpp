// Where the record of changes lives on Linux, and what it says of the time,
// this machine and its user.
#include "cli/cli_record.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace scout::cli {

std::string DefaultRecordPath() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/')
        return std::string(state) + "/ethernet-scout/commands.jsonl";
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        const passwd* entry = ::getpwuid(::getuid());
        home = entry != nullptr ? entry->pw_dir : "/";
    }
    return std::string(home) + "/.local/state/ethernet-scout/commands.jsonl";
}

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
    const passwd* entry = ::getpwuid(::getuid());
    return entry != nullptr ? entry->pw_name : std::to_string(::getuid());
}

bool MakeParentFolder(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    errno = 0;
    return true;
}

}  // namespace scout::cli
