// Formatting of failure reports, shared by the dialog and scout-cli.
#include "error_report.h"

#include <cstdarg>
#include <cstdio>

namespace scout {

void ReportError(const SearchFrontEnd& frontEnd, const char* format, ...) {
    char message[MessageCapacity];
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(message, sizeof message, format, arguments);
    va_end(arguments);
    if (length < 0)
        message[0] = '\0';
    frontEnd.showError(frontEnd.context, message);
}

void SystemErrorText(const NetPlatform& platform, int code, char* text, std::size_t capacity) {
    if (capacity == 0)
        return;
    if (!platform.errorText(platform.context, code, text, capacity))
        std::snprintf(text, capacity, "%s", "(null)");
}

}  // namespace scout
