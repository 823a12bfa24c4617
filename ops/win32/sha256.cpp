// SHA-256 on Windows: CNG.
#include <windows.h>
#include <bcrypt.h>

#include "ops/sha256.h"
#include "ops/text.h"

namespace scout::ops {

bool Sha256Hex(const std::string& bytes, std::string* hex) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (::BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0)
        return false;
    BCRYPT_HASH_HANDLE hash = nullptr;
    unsigned char digest[32];
    const bool done = ::BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) >= 0 &&
                      ::BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                                       static_cast<ULONG>(bytes.size()), 0) >= 0 &&
                      ::BCryptFinishHash(hash, digest, sizeof digest, 0) >= 0;
    if (hash != nullptr)
        ::BCryptDestroyHash(hash);
    ::BCryptCloseAlgorithmProvider(algorithm, 0);
    if (done)
        *hex = HexText(digest, sizeof digest);
    return done;
}

}  // namespace scout::ops
