// Failure texts and their formatting: every message that the search, the
// commands and the socket start-up show is written here, once, and reaches the
// operator through the front end's showError (a message box in the dialog, a
// line on standard error in scout-cli). Why the dialog refuses a command is
// its own to say (ui/command_refusals).
#pragma once

#include <cstddef>
#include <cstdint>

#include "net/platform.h"

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

// The socket calls whose failure is reported, each with its own message.
enum class SocketFailure {
    CreateSocket,  // "Unable to create socket. %s."
    SetOptions,    // "Unable to set socket options. %s."
    Bind,          // "Error attempting to bind to socket for address %s. %s."
    SendQuery,     // "Error sending query broadcast for address %s. %s."
    CheckWaiting,  // "IOCTL error checking socket for data on address %s. %s."
    Receive,       // "Error attempting to receive data for address %s. %s."
    Close,         // "Error closing socket for address %s. %s."
    SendCommand,   // "Error sending command for address %s. %s."
};

// One socket failure: the interface's address (never the controller's) where
// the message has one, and the platform's description of the call's code.
void ReportSocketFailure(const SearchFrontEnd& frontEnd, const NetPlatform& platform, SocketFailure failure,
                         NetAddress interfaceAddress, int code);

// The interface list could not be had: "Not enough space to load forwarding
// table." or "Unable to read forwarding table. %s."
void ReportTableFailure(const SearchFrontEnd& frontEnd, const NetPlatform& platform, TableStatus status, int code);

// "Not enough memory to search %u interfaces at once."
void ReportNoMemoryForInterfaces(const SearchFrontEnd& frontEnd, std::size_t count);

// "Error attempting to initialize sockets. %s."
void ReportSocketStartFailure(const SearchFrontEnd& frontEnd, const NetPlatform& platform, int code);

// Why the reconfigure fields are refused (the checks are net/address's): the
// text into message, cut to capacity.
enum class FieldRefusal {
    NotAnAddress,     // "The %s \"%s\" is not a dotted-decimal IPv4 address." (field name, text)
    MaskRefused,      // "The subnet mask %s is not a contiguous mask of 1 to 30 bits ..." (mask)
    AddressRefused,   // "The IP address %s is not a usable host address with the subnet mask %s." (address, mask)
    GatewayRefused,   // "The gateway %s is neither 0.0.0.0 (none) nor another host address ..." (gateway, address, mask)
};
void FormatFieldRefusal(FieldRefusal refusal, char* message, std::size_t capacity, const char* first,
                        const char* second = "", const char* third = "");

// OK could write the address settings nowhere: "Unable to save the address settings. %s."
void ReportSettingsNotSaved(const SearchFrontEnd& frontEnd, const NetPlatform& platform, int code);

// Why an interface is not searched, as the operator reads it ("no carrier").
const char* SkipReasonText(SkipReason reason);

// Warnings, where the front end shows them: replies the platform lost.
// interfaceLabel is what the operator knows the interface by ("eth1 10.1.0.1").
void WarnBufferLoss(const SearchFrontEnd& frontEnd, const char* interfaceLabel, std::uint32_t lost);
// filtered: the interfaces whose reverse-path filter was on and not read past,
// as "rp_filter 2 on eth1" items; firstName the first of them by name, for the
// command that turns it off; allToo when the host-wide setting is on as well.
void WarnFilteredReplies(const SearchFrontEnd& frontEnd, std::uint64_t dropped, const char* filtered,
                         const char* firstName, bool allToo);

}  // namespace scout
