// The SHA-256 of what a report is made from, by the system's own
// implementation (OpenSSL's libcrypto on Linux, CNG on Windows).
#pragma once

#include <string>

namespace scout::ops {

// The SHA-256 of the bytes as 64 lower-case hex digits; false where the
// system has no implementation.
bool Sha256Hex(const std::string& bytes, std::string* hex);

}  // namespace scout::ops
