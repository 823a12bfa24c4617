// Failure texts: printf-style formatting into the fixed message buffer, and the
// platform's description of an error code.
#pragma once

#include <cstddef>

#include "platform.h"

namespace scout {

constexpr std::size_t MessageCapacity = 1024;  // the terminating NUL included
constexpr std::size_t ErrorTextCapacity = 512;

// Formats the template (only %s conversions are in use) into MessageCapacity
// characters, cutting a longer text at MessageCapacity - 1, and shows it through
// the front end; returns when the operator has closed the report.
#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void ReportError(const SearchFrontEnd& frontEnd, const char* format, ...);

// The platform's description of code, or "(null)" when it has none.
void SystemErrorText(const NetPlatform& platform, int code, char* text, std::size_t capacity);

}  // namespace scout
