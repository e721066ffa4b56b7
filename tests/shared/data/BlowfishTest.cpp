// The data core's cipher and digest, by known answers and their edges.
#include "Blowfish.h"
#include "Md5.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <string>

using namespace NorvaneCommon;

namespace {

std::string FromHex(const std::string& hex)
{
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::stoul(hex.substr(i, 2), nullptr, 16));
    return out;
}

Blowfish Keyed(const std::string& key)
{
    Blowfish bf;
    bf.Set_Passwd(key.c_str());
    return bf;
}

// Enciphers (or deciphers) the whole blocks of a copy of the data.
std::string Crypt(Blowfish bf, std::string data, bool encrypt = true)
{
    encrypt ? bf.Encrypt(&data[0], static_cast<unsigned>(data.size()))
            : bf.Decrypt(&data[0], static_cast<unsigned>(data.size()));
    return data;
}

std::string Coded(CGenCoder& coder, std::string data, bool encode)
{
    unsigned char* p = reinterpret_cast<unsigned char*>(&data[0]);
    encode ? coder.Encode(p, static_cast<unsigned>(data.size())) : coder.Decode(p, static_cast<unsigned>(data.size()));
    return data;
}

// The digest of data held in a heap block of exactly its size, so that a
// read past it shows under AddressSanitizer.
std::string Digest(const std::string& data)
{
    std::unique_ptr<char[]> copy(new char[data.empty() ? 1 : data.size()]);
    data.copy(copy.get(), data.size());
    unsigned char d[16];
    CMd5::Digest(data.empty() ? nullptr : copy.get(), data.size(), d);
    return std::string(d, d + 16);
}

std::string Pattern(size_t n)
{
    std::string b(n, 0);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<char>(i * 37 + 11);
    return b;
}

// The cipher takes native (little-endian) halves; published vectors are
// big-endian, so every 32-bit word is reversed around the call.
void CheckVector(const std::string& key, const char* plainHex, const char* cipherHex)
{
    SCOPED_TRACE(std::string("plain ") + plainHex + " key length " + std::to_string(key.size()));
    std::string plain = FromHex(plainHex), cipher = FromHex(cipherHex);
    for (std::string* s : {&plain, &cipher})
        for (size_t i = 0; i + 4 <= s->size(); i += 4)
            std::reverse(s->begin() + i, s->begin() + i + 4);
    EXPECT_EQ(cipher, Crypt(Keyed(key), plain));
    EXPECT_EQ(plain, Crypt(Keyed(key), cipher, false));
}

} // namespace

// Eric Young's ECB set (entries whose key has no zero byte), its variable
// key length set (prefixes of one key: short keys wrap around), Schneier's
// text keys and keys around the 72-byte limit.
TEST(BlowfishVectors, PublishedSets)
{
    static const char* const ecb[][3] = {
        {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
        {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
        {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
        {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
        {"49E95D6D4CA229BF", "02FE55778117F12A", "CF9C5D7A4986ADB5"},
        {"E0FEE0FEF1FEF1FE", "0123456789ABCDEF", "C39E072D9FAC631D"},
        {"FFFFFFFFFFFFFFFF", "0000000000000000", "F21E9A77B71C49BC"},
    };
    for (const auto& v : ecb)
        CheckVector(FromHex(v[0]), v[1], v[2]);

    static const char* const byLength[] = {
        "F9AD597C49DB005E", "E91D21C1D961A6D6", "E9C2B70A1BC65CF3", "BE1E639408640F05",
        "B39E44481BDB1E6E", "9457AA83B1928C0D", "8BB77032F960629D", "E87A244E2CC85E82",
        "15750E7A4F4EC577", "122BA70B3AB64AE0", "3A833C9AFFC537F6", "9409DA87A90F6BF2",
        "884F80625060B8B4", "1F85031C19E11968", "79D9373A714CA34F", "93142887EE3BE15C",
    };
    for (size_t n = 1; n <= 16; ++n)
        CheckVector(FromHex("F0E1D2C3B4A5968778695A4B3C2D1E0F").substr(0, n), "FEDCBA9876543210", byLength[n - 1]);

    CheckVector("abcdefghijklmnopqrstuvwxyz", "424C4F5746495348", "324ED0FEF413A203");
    CheckVector("Who is John Galt?", "FEDCBA9876543210", "CC91732B8022F684");
    // Long keys (computed with OpenSSL): only the first 72 bytes count.
    const std::string key72 = "Only seventy-two bytes of a password key the cipher; the rest is ignored";
    CheckVector(key72.substr(0, 71), "FEDCBA9876543210", "B2DEB28CD3930363");
    CheckVector(key72, "FEDCBA9876543210", "E510921D54E73ADB");
    CheckVector(key72 + ", truly.", "FEDCBA9876543210", "E510921D54E73ADB");
}

// Only whole blocks are enciphered, each on its own (no chaining), aligned
// or not; a tail under 8 bytes stays as it is.
TEST(BlowfishBuffer, WholeBlocksOnlyWithoutChaining)
{
    Blowfish bf = Keyed("\x83\x70\x83\x58\x83\x8F\x81\x5B\x83\x68");   // Shift-JIS text
    for (unsigned int n : {0u, 7u, 8u, 20u, 1000u, 4099u}) {
        const std::string plain = Pattern(n);
        std::string data = Crypt(bf, plain);
        EXPECT_EQ(n < 8, plain == data) << n;
        EXPECT_EQ(plain.substr(n / 8 * 8), data.substr(n / 8 * 8)) << n;
        EXPECT_EQ(plain, Crypt(bf, data, false)) << n;
    }
    std::string data(8 * 5 + 1, 0x5A), expected(1, 0x5A);
    bf.Encrypt(&data[1], 8 * 5);
    for (int i = 0; i < 5; ++i)
        expected += Crypt(bf, std::string(8, 0x5A));
    EXPECT_EQ(expected, data);
}

// Unkeyed (fresh, empty password, Reset) all encipher alike; keying always
// starts from the standard tables; copies keep their own key; the
// destructor leaves no key behind.
TEST(BlowfishKey, KeyingResetCopiesAndWipe)
{
    const std::string plain = Pattern(64), unkeyed = Crypt(Blowfish(), plain);
    EXPECT_NE(plain, unkeyed);
    EXPECT_EQ(unkeyed, Crypt(Keyed(""), plain));
    Blowfish bf = Keyed("key");
    bf.Reset();
    EXPECT_EQ(unkeyed, Crypt(bf, plain));
    bf.Set_Passwd("first");
    bf.Set_Passwd("second");
    EXPECT_EQ(Crypt(Keyed("second"), plain), Crypt(bf, plain));

    CBlowfishCoder source, assigned;
    source.SetPassword("memo password");
    const std::string cipher = Coded(source, plain, true);
    EXPECT_EQ(Crypt(Keyed("memo password"), plain), cipher);
    CBlowfishCoder copied(source);
    assigned.SetPassword("another");
    assigned = source;
    source.Reset();
    EXPECT_EQ(plain, Coded(copied, cipher, false));
    EXPECT_EQ(plain, Coded(assigned, cipher, false));
    EXPECT_EQ(unkeyed, Coded(source, plain, true));

    alignas(Blowfish) unsigned char storage[sizeof(Blowfish)];
    (new (storage) Blowfish(Keyed("wipe me")))->~Blowfish();
    const Blowfish fresh;
    EXPECT_EQ(0, std::memcmp(storage, &fresh, sizeof(Blowfish)));
}

// The RFC 1321 suite, then lengths around the padding boundary (55 still
// fits the length in the last block, 56..63 need one more, 64 and 65 cross
// a full block), each whole and in two pieces.
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
        EXPECT_EQ(FromHex(c.digest), Digest(c.input)) << c.input.size() << " bytes";
        md5.Update(c.input.data(), c.input.size() / 3);
        md5.Update(c.input.data() + c.input.size() / 3, c.input.size() - c.input.size() / 3);
        md5.Final(d);
        EXPECT_EQ(FromHex(c.digest), std::string(d, d + 16)) << c.input.size() << " bytes in two pieces";
    }
}
