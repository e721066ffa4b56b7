#include "Blowfish.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <vector>

#ifdef TESSALY_HAVE_OPENSSL
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/blowfish.h>
#endif

using NorvaneCommon::Blowfish;
using NorvaneCommon::CBlowfishCoder;
using NorvaneCommon::CGenCoder;

namespace {

typedef std::vector<unsigned char> Bytes;

Bytes FromHex(const char* hex)
{
    Bytes out;
    for (; hex[0] && hex[1]; hex += 2)
        out.push_back(static_cast<unsigned char>(std::stoul(std::string(hex, 2), nullptr, 16)));
    return out;
}

// The cipher takes native (little-endian) halves; published vectors are
// big-endian, so every 32-bit word is reversed around the call.
Bytes Crypt(Blowfish& bf, Bytes data, bool encrypt)
{
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t i = 0; i + 4 <= data.size(); i += 4) {
            std::swap(data[i], data[i + 3]);
            std::swap(data[i + 1], data[i + 2]);
        }
        if (pass == 0)
            encrypt ? bf.Encrypt(data.data(), static_cast<unsigned>(data.size()))
                    : bf.Decrypt(data.data(), static_cast<unsigned>(data.size()));
    }
    return data;
}

Bytes Encrypted(const std::string& password, Bytes data)
{
    Blowfish bf;
    bf.Set_Passwd(password.c_str());
    bf.Encrypt(data.data(), static_cast<unsigned int>(data.size()));
    return data;
}

Bytes Pattern(size_t n)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<unsigned char>(i * 37 + 11);
    return b;
}

void CheckVector(const Bytes& key, const char* plainHex, const char* cipherHex)
{
    SCOPED_TRACE(std::string("plain ") + plainHex + " key length " + std::to_string(key.size()));
    Blowfish bf;
    bf.Set_Passwd(std::string(key.begin(), key.end()).c_str());
    EXPECT_EQ(FromHex(cipherHex), Crypt(bf, FromHex(plainHex), true));
    EXPECT_EQ(FromHex(plainHex), Crypt(bf, FromHex(cipherHex), false));
}

} // namespace

// Eric Young's ECB set (entries whose key has no zero byte), its variable
// key length set (prefixes of one key: short keys wrap around) and
// Schneier's text keys.
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
        {"FEDCBA9876543210", "FFFFFFFFFFFFFFFF", "6B5C5A9C5D9E0A5A"},
    };
    for (const auto& v : ecb)
        CheckVector(FromHex(v[0]), v[1], v[2]);

    static const char* const byLength[] = {
        "F9AD597C49DB005E", "E91D21C1D961A6D6", "E9C2B70A1BC65CF3", "BE1E639408640F05",
        "B39E44481BDB1E6E", "9457AA83B1928C0D", "8BB77032F960629D", "E87A244E2CC85E82",
        "15750E7A4F4EC577", "122BA70B3AB64AE0", "3A833C9AFFC537F6", "9409DA87A90F6BF2",
        "884F80625060B8B4", "1F85031C19E11968", "79D9373A714CA34F", "93142887EE3BE15C",
    };
    const Bytes key = FromHex("F0E1D2C3B4A5968778695A4B3C2D1E0F");
    for (size_t n = 1; n <= 16; ++n)
        CheckVector(Bytes(key.begin(), key.begin() + n), "FEDCBA9876543210", byLength[n - 1]);

    const std::string alphabet = "abcdefghijklmnopqrstuvwxyz", galt = "Who is John Galt?";
    CheckVector(Bytes(alphabet.begin(), alphabet.end()), "424C4F5746495348", "324ED0FEF413A203");
    CheckVector(Bytes(galt.begin(), galt.end()), "FEDCBA9876543210", "CC91732B8022F684");
}

#ifdef TESSALY_HAVE_OPENSSL
// Random keys up to 80 bytes (OpenSSL caps them at 72 as well) and random
// lengths, whole blocks compared with OpenSSL's ECB.
TEST(BlowfishVectors, RandomAgainstOpenSsl)
{
    std::mt19937 rng(20240611);
    for (int round = 0; round < 300; ++round) {
        Bytes key(1 + rng() % 80), data(rng() % 100);
        for (unsigned char& c : key)
            c = static_cast<unsigned char>(1 + rng() % 255);
        for (unsigned char& c : data)
            c = static_cast<unsigned char>(rng());
        SCOPED_TRACE("key length " + std::to_string(key.size()) + ", data length " + std::to_string(data.size()));
        Blowfish bf;
        bf.Set_Passwd(std::string(key.begin(), key.end()).c_str());
        for (int mode : {BF_ENCRYPT, BF_DECRYPT}) {
            BF_KEY k;
            BF_set_key(&k, static_cast<int>(key.size()), key.data());
            Bytes expected = data;
            for (size_t i = 0; i + 8 <= expected.size(); i += 8)
                BF_ecb_encrypt(&expected[i], &expected[i], &k, mode);
            EXPECT_EQ(expected, Crypt(bf, data, mode == BF_ENCRYPT));
        }
    }
}
#endif

// Only whole blocks are enciphered, each on its own (no chaining), aligned
// or not; a tail under 8 bytes stays as it is.
TEST(BlowfishBuffer, WholeBlocksOnlyWithoutChaining)
{
    Blowfish bf;
    bf.Set_Passwd("\x83\x70\x83\x58\x83\x8F\x81\x5B\x83\x68");   // Shift-JIS text
    for (unsigned int n : {0u, 7u, 8u, 20u, 1000u, 4099u}) {
        const Bytes plain = Pattern(n);
        Bytes data = plain;
        bf.Encrypt(data.data(), n);
        EXPECT_EQ(n < 8, plain == data) << n;
        EXPECT_TRUE(std::equal(plain.begin() + n / 8 * 8, plain.end(), data.begin() + n / 8 * 8)) << n;
        bf.Decrypt(data.data(), n);
        EXPECT_EQ(plain, data) << n;
    }
    Bytes data(8 * 5 + 1, 0x5A), single(8, 0x5A);
    bf.Encrypt(data.data() + 1, 8 * 5);
    bf.Encrypt(single.data(), 8);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(0, std::memcmp(&data[1 + 8 * i], single.data(), 8)) << i;
}

TEST(BlowfishKey, UnkeyedStatesAndRekeying)
{
    const Bytes plain = Pattern(64);
    Bytes fresh = plain;
    Blowfish().Encrypt(fresh.data(), 64);
    EXPECT_NE(plain, fresh);
    EXPECT_EQ(fresh, Encrypted("", plain));

    Blowfish bf;
    bf.Set_Passwd("key");
    bf.Reset();
    Bytes data = plain;
    bf.Encrypt(data.data(), 64);
    EXPECT_EQ(fresh, data);

    // Keying always starts from the standard tables.
    bf.Set_Passwd("first");
    bf.Set_Passwd("second");
    data = plain;
    bf.Encrypt(data.data(), 64);
    EXPECT_EQ(Encrypted("second", plain), data);
}

TEST(BlowfishKey, DestructorWipesKey)
{
    alignas(Blowfish) unsigned char storage[sizeof(Blowfish)];
    Blowfish* bf = new (storage) Blowfish;
    bf->Set_Passwd("wipe me");
    bf->~Blowfish();
    const Blowfish fresh;
    EXPECT_EQ(0, std::memcmp(storage, &fresh, sizeof(Blowfish)));
}

TEST(BlowfishCoder, CopiesKeepTheirOwnKey)
{
    const Bytes plain = Pattern(48);
    std::unique_ptr<CGenCoder> source(new CBlowfishCoder);
    source->SetPassword("memo password");
    Bytes cipher = plain;
    source->Encode(cipher.data(), 48);
    EXPECT_EQ(Encrypted("memo password", plain), cipher);

    const CBlowfishCoder& src = static_cast<const CBlowfishCoder&>(*source);
    std::unique_ptr<CGenCoder> copied(new CBlowfishCoder(src));
    CBlowfishCoder assigned;
    assigned.SetPassword("another");
    assigned = src;
    source->Reset();
    for (CGenCoder* coder : {copied.get(), static_cast<CGenCoder*>(&assigned)}) {
        Bytes data = cipher;
        coder->Decode(data.data(), 48);
        EXPECT_EQ(plain, data);
    }
    Bytes data = plain;
    source->Encode(data.data(), 48);
    EXPECT_EQ(Encrypted("", plain), data);
}
