// Where the record of changes lives on Windows, and what it says of the time,
// this machine and its user.
#include <windows.h>
#include <shlobj.h>

#include <cerrno>
#include <cstdio>

#include "cli/cli_record.h"

namespace scout::cli {

std::string DefaultRecordPath() {
    char folder[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return "commands.jsonl";
    return std::string(folder) + "\\Ethernet Scout\\commands.jsonl";
}

std::string LocalTimeText() {
    SYSTEMTIME local{};
    ::GetLocalTime(&local);
    TIME_ZONE_INFORMATION zone{};
    const DWORD kind = ::GetTimeZoneInformation(&zone);
    long bias = zone.Bias + (kind == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightBias : zone.StandardBias);
    const char sign = bias <= 0 ? '+' : '-';
    if (bias < 0)
        bias = -bias;
    char text[40];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u%c%02ld:%02ld", local.wYear, local.wMonth,
                  local.wDay, local.wHour, local.wMinute, local.wSecond, sign, bias / 60, bias % 60);
    return text;
}

std::string HostName() {
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    return ::GetComputerNameA(name, &size) ? name : "";
}

std::string UserName() {
    char name[256] = {};
    DWORD size = sizeof name;
    return ::GetUserNameA(name, &size) ? name : "";
}

bool MakeParentFolder(const std::string& path) {
    for (std::size_t slash = path.find_first_of("\\/", 3); slash != std::string::npos;
         slash = path.find_first_of("\\/", slash + 1)) {
        const std::string folder = path.substr(0, slash);
        if (!::CreateDirectoryA(folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
            errno = EACCES;
            return false;
        }
    }
    errno = 0;
    return true;
}

}  // namespace scout::cli
