// The moment, this machine and its user, on Windows.
#include <windows.h>

#include <cstdio>

#include "ops/host.h"

namespace scout::ops {

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

}  // namespace scout::ops
