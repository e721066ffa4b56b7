#include "Md5.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

using NorvaneCommon::CMd5;

namespace {

std::string Hex(const unsigned char d[16])
{
    char buf[33];
    for (int i = 0; i < 16; ++i)
        std::snprintf(buf + 2 * i, 3, "%02x", d[i]);
    return buf;
}

// The input is copied into a heap block of exactly its size, so that a read
// past it shows under AddressSanitizer.
std::string DigestHex(const std::string& data)
{
    std::unique_ptr<char[]> copy(new char[data.empty() ? 1 : data.size()]);
    data.copy(copy.get(), data.size());
    unsigned char d[16];
    CMd5::Digest(data.empty() ? nullptr : copy.get(), data.size(), d);
    return Hex(d);
}

} // namespace

// The RFC 1321 suite, whole and in two pieces, then lengths around the padding boundary: 55 still
// fits the length in the last block, 56..63 need one more, 64 and 65 cross
// a full block.
TEST(Md5, KnownDigests)
{
    static const struct { std::string input; const char* digest; } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
        {std::string(55, 'a'), "ef1772b6dff9a122358552954ad0df65"},
        {std::string(56, 'a'), "3b0c8ac703f828b04c6c197006d17218"},
        {std::string(63, 'a'), "b06521f39153d618550606be297466d5"},
        {std::string(64, 'a'), "014842d480b571495a4a0363793f7367"},
        {std::string(65, 'a'), "c743a45e0d2e6a95cb859adae0248435"},
    };
    CMd5 md5;   // also fed in two pieces; Final restarts it for the next
    unsigned char d[16];
    for (const auto& c : cases) {
        EXPECT_EQ(c.digest, DigestHex(c.input)) << c.input.size() << " bytes";
        md5.Update(c.input.data(), c.input.size() / 3);
        md5.Update(c.input.data() + c.input.size() / 3, c.input.size() - c.input.size() / 3);
        md5.Final(d);
        EXPECT_EQ(c.digest, Hex(d)) << c.input.size() << " bytes in two pieces";
    }
}
