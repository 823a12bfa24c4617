// SHA-256 on Linux: OpenSSL's libcrypto.
#include "ops/sha256.h"

#include <openssl/evp.h>

#include "ops/text.h"

namespace scout::ops {

bool Sha256Hex(const std::string& bytes, std::string* hex) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr) != 1 || length != 32)
        return false;
    *hex = HexText(digest, length);
    return true;
}

}  // namespace scout::ops
