// The SHA-256 a report gives of its list, by the system's implementation
// (libcrypto here, CNG on Windows), against the standard's own examples.
#include <gtest/gtest.h>

#include "ops/sha256.h"

namespace scout::ops {
namespace {

TEST(Sha256, TheStandardsExamples) {
    const struct {
        std::string bytes;
        const char* hex;
    } cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases) {
        std::string hex;
        ASSERT_TRUE(Sha256Hex(c.bytes, &hex)) << c.bytes.size() << " bytes";
        EXPECT_EQ(hex, c.hex) << c.bytes.size() << " bytes";
    }
}

}  // namespace
}  // namespace scout::ops
