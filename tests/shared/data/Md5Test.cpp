#include "Md5.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#ifdef TESSALY_HAVE_OPENSSL
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/md5.h>
#endif

using NorvaneCommon::CMd5;

namespace {

std::string Hex(const unsigned char d[16])
{
    std::string s;
    char buf[3];
    for (int i = 0; i < 16; ++i) {
        std::snprintf(buf, sizeof(buf), "%02x", d[i]);
        s += buf;
    }
    return s;
}

// Digest of exactly len bytes held in a heap block of that size, so that a
// read past the input shows under AddressSanitizer.
std::string DigestHex(const std::vector<unsigned char>& data)
{
    std::unique_ptr<unsigned char[]> copy(new unsigned char[data.size() + (data.empty() ? 1 : 0)]);
    if (!data.empty())
        std::memcpy(copy.get(), data.data(), data.size());
    unsigned char d[16];
    CMd5::Digest(copy.get(), data.size(), d);
    return Hex(d);
}

std::vector<unsigned char> Bytes(const std::string& s)
{
    return std::vector<unsigned char>(s.begin(), s.end());
}

} // namespace

// The RFC 1321 suite, then lengths around the padding boundary: 55 still
// fits the length in the last block, 56..63 need one more, 64 and 65 cross
// a full block.
TEST(Md5, KnownDigests)
{
    static const char* const cases[][2] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c[1], DigestHex(Bytes(c[0]))) << '"' << c[0] << '"';
    unsigned char d[16];
    CMd5::Digest(nullptr, 0, d);
    EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", Hex(d));

    static const struct {
        size_t len;
        const char* digest;
    } padding[] = {{55, "ef1772b6dff9a122358552954ad0df65"}, {56, "3b0c8ac703f828b04c6c197006d17218"},
                   {63, "b06521f39153d618550606be297466d5"}, {64, "014842d480b571495a4a0363793f7367"},
                   {65, "c743a45e0d2e6a95cb859adae0248435"}};
    for (const auto& c : padding)
        EXPECT_EQ(c.digest, DigestHex(std::vector<unsigned char>(c.len, 'a'))) << c.len;

#ifdef TESSALY_HAVE_OPENSSL
    std::mt19937 rng(1321);
    for (size_t len = 0; len <= 200; ++len) {
        std::vector<unsigned char> data(len);
        for (unsigned char& b : data)
            b = static_cast<unsigned char>(rng());
        unsigned char ref[16];
        MD5(data.data(), len, ref);
        EXPECT_EQ(Hex(ref), DigestHex(data)) << len;
    }
#endif
}

TEST(Md5, IncrementalEqualsOneShot)
{
    std::vector<unsigned char> data(150);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<unsigned char>(i * 13 + 7);
    const std::string whole = DigestHex(data);

    CMd5 md5;
    unsigned char d[16];
    for (size_t cut = 0; cut <= data.size(); ++cut) {
        md5.Update(data.data(), cut);
        md5.Update(nullptr, 0);
        md5.Update(data.data() + cut, data.size() - cut);
        md5.Final(d);  // also restarts the object for the next cut
        EXPECT_EQ(whole, Hex(d)) << cut;
    }

    // A million 'a' fed in uneven pieces.
    const std::vector<unsigned char> piece(997, 'a');
    size_t left = 1000000;
    for (size_t step = 1; left != 0; step = step % 997 + 1) {
        const size_t n = step < left ? step : left;
        md5.Update(piece.data(), n);
        left -= n;
    }
    md5.Final(d);
    EXPECT_EQ("7707d6ae4e027c70eea2a935c2296f21", Hex(d));
}
