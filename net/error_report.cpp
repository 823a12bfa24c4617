// The failure texts, and their formatting, shared by the dialog and scout-cli.
#include "net/error_report.h"

#include <cstdarg>
#include <cstdio>

namespace scout {
namespace {

struct SocketFailureText {
    SocketFailure failure;
    const char* format;
    bool namesInterface;
};

constexpr SocketFailureText SocketFailureTexts[] = {
    {SocketFailure::CreateSocket, "Unable to create socket. %s.", false},
    {SocketFailure::SetOptions, "Unable to set socket options. %s.", false},
    {SocketFailure::Bind, "Error attempting to bind to socket for address %s. %s.", true},
    {SocketFailure::SendQuery, "Error sending query broadcast for address %s. %s.", true},
    {SocketFailure::CheckWaiting, "IOCTL error checking socket for data on address %s. %s.", true},
    {SocketFailure::Receive, "Error attempting to receive data for address %s. %s.", true},
    {SocketFailure::Close, "Error closing socket for address %s. %s.", true},
    {SocketFailure::SendCommand, "Error sending command for address %s. %s.", true},
};

}  // namespace

namespace {

// The template formatted into MessageCapacity characters and handed to show.
void Show(void (*show)(void*, const char*), void* context, const char* format, va_list arguments) {
    char message[MessageCapacity];
    if (std::vsnprintf(message, sizeof message, format, arguments) < 0)
        message[0] = '\0';
    show(context, message);
}

void Warn(const SearchFrontEnd& frontEnd, const char* format, ...) {
    if (frontEnd.showWarning == nullptr)
        return;
    va_list arguments;
    va_start(arguments, format);
    Show(frontEnd.showWarning, frontEnd.context, format, arguments);
    va_end(arguments);
}

}  // namespace

void ReportError(const SearchFrontEnd& frontEnd, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    Show(frontEnd.showError, frontEnd.context, format, arguments);
    va_end(arguments);
}

void SystemErrorText(const NetPlatform& platform, int code, char* text, std::size_t capacity) {
    if (capacity == 0)
        return;
    if (!platform.errorText(platform.context, code, text, capacity))
        std::snprintf(text, capacity, "%s", "(null)");
}

void ReportSocketFailure(const SearchFrontEnd& frontEnd, const NetPlatform& platform, SocketFailure failure,
                         NetAddress interfaceAddress, int code) {
    char description[ErrorTextCapacity];
    SystemErrorText(platform, code, description, sizeof description);
    for (const SocketFailureText& entry : SocketFailureTexts) {
        if (entry.failure != failure)
            continue;
        if (entry.namesInterface) {
            char addressText[AddressTextCapacity];
            FormatAddress(interfaceAddress, addressText, sizeof addressText);
            ReportError(frontEnd, entry.format, addressText, description);
        } else {
            ReportError(frontEnd, entry.format, description);
        }
        return;
    }
}

void ReportTableFailure(const SearchFrontEnd& frontEnd, const NetPlatform& platform, TableStatus status, int code) {
    if (status == TableStatus::NoSpace) {
        ReportError(frontEnd, "Not enough space to load forwarding table.");
    } else if (status == TableStatus::Failed) {
        char description[ErrorTextCapacity];
        SystemErrorText(platform, code, description, sizeof description);
        ReportError(frontEnd, "Unable to read forwarding table. %s.", description);
    }
}

void ReportNoMemoryForInterfaces(const SearchFrontEnd& frontEnd, std::size_t count) {
    ReportError(frontEnd, "Not enough memory to search %u interfaces at once.", static_cast<unsigned>(count));
}

void ReportSocketStartFailure(const SearchFrontEnd& frontEnd, const NetPlatform& platform, int code) {
    char description[ErrorTextCapacity];
    SystemErrorText(platform, code, description, sizeof description);
    ReportError(frontEnd, "Error attempting to initialize sockets. %s.", description);
}

void FormatFieldRefusal(FieldRefusal refusal, char* message, std::size_t capacity, const char* first,
                        const char* second, const char* third) {
    switch (refusal) {
    case FieldRefusal::NotAnAddress:
        std::snprintf(message, capacity, "The %s \"%s\" is not a dotted-decimal IPv4 address.", first, second);
        return;
    case FieldRefusal::MaskRefused:
        std::snprintf(message, capacity,
                      "The subnet mask %s is not a contiguous mask of 1 to 30 bits (128.0.0.0 to 255.255.255.252).",
                      first);
        return;
    case FieldRefusal::AddressRefused:
        std::snprintf(message, capacity, "The IP address %s is not a usable host address with the subnet mask %s.",
                      first, second);
        return;
    case FieldRefusal::GatewayRefused:
        std::snprintf(message, capacity,
                      "The gateway %s is neither 0.0.0.0 (none) nor another host address in the subnet of %s "
                      "with the mask %s.",
                      first, second, third);
        return;
    }
}

void ReportSettingsNotSaved(const SearchFrontEnd& frontEnd, const NetPlatform& platform, int code) {
    char description[ErrorTextCapacity];
    SystemErrorText(platform, code, description, sizeof description);
    ReportError(frontEnd, "Unable to save the address settings. %s.", description);
}

const char* SkipReasonText(SkipReason reason) {
    switch (reason) {
    case SkipReason::NoCarrier:
        return "no carrier";
    case SkipReason::Down:
        return "down";
    case SkipReason::NoAddress:
        return "no IPv4 address";
    case SkipReason::NoBroadcastRoute:
        return "no limited-broadcast route";
    case SkipReason::Loopback:
        return "loopback";
    case SkipReason::PointToPoint:
        return "point-to-point, no broadcast";
    }
    return "";
}

void WarnBufferLoss(const SearchFrontEnd& frontEnd, const char* interfaceLabel, std::uint32_t lost) {
    Warn(frontEnd,
         "%lu %s on %s %s lost: the receive buffer was full. To list every one: "
         "'sysctl -w net.core.rmem_max=4194304', or run as root.",
         static_cast<unsigned long>(lost), lost == 1 ? "reply" : "replies", interfaceLabel, lost == 1 ? "was" : "were");
}

void WarnFilteredReplies(const SearchFrontEnd& frontEnd, std::uint64_t dropped, const char* filtered,
                         const char* firstName, bool allToo) {
    Warn(frontEnd,
         "the kernel dropped %llu %s from outside the interface's subnet (%s, no route back to the sender). "
         "To list them: a route to the controllers' subnet by that interface, "
         "'sysctl -w %snet.ipv4.conf.%s.rp_filter=0', or run as root.",
         static_cast<unsigned long long>(dropped), dropped == 1 ? "reply" : "replies", filtered,
         allToo ? "net.ipv4.conf.all.rp_filter=0 " : "", firstName);
}

}  // namespace scout
