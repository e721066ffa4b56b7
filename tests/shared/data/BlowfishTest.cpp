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
void ReverseWords(Bytes& b)
{
    for (size_t i = 0; i + 4 <= b.size(); i += 4) {
        std::swap(b[i], b[i + 3]);
        std::swap(b[i + 1], b[i + 2]);
    }
}

Bytes EncryptBE(Blowfish& bf, Bytes data)
{
    ReverseWords(data);
    bf.Encrypt(data.data(), static_cast<unsigned int>(data.size()));
    ReverseWords(data);
    return data;
}

Bytes DecryptBE(Blowfish& bf, Bytes data)
{
    ReverseWords(data);
    bf.Decrypt(data.data(), static_cast<unsigned int>(data.size()));
    ReverseWords(data);
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
    Bytes b;
    b.reserve(n);
    for (size_t i = 0; i < n; ++i)
        b.push_back(static_cast<unsigned char>(i * 37 + 11));
    return b;
}

#ifdef TESSALY_HAVE_OPENSSL
// OpenSSL's ECB, whole blocks only, big-endian words.
Bytes OpenSslEcb(const Bytes& key, Bytes data, int mode)
{
    BF_KEY k;
    BF_set_key(&k, static_cast<int>(key.size()), key.data());
    for (size_t i = 0; i + 8 <= data.size(); i += 8)
        BF_ecb_encrypt(&data[i], &data[i], &k, mode);
    return data;
}
#endif

struct Vector {
    const char* key;
    const char* plain;
    const char* cipher;
};

void CheckVector(const Bytes& key, const Vector& v)
{
    SCOPED_TRACE(std::string("key ") + v.key + " plain " + v.plain);
    const std::string password(key.begin(), key.end());
    ASSERT_EQ(std::string::npos, password.find('\0')) << "vector key must not hold a zero byte";
    const Bytes plain = FromHex(v.plain);
    const Bytes cipher = FromHex(v.cipher);
#ifdef TESSALY_HAVE_OPENSSL
    EXPECT_EQ(cipher, OpenSslEcb(key, plain, BF_ENCRYPT)) << "mistyped vector";
#endif
    Blowfish bf;
    bf.Set_Passwd(password.c_str());
    EXPECT_EQ(cipher, EncryptBE(bf, plain));
    EXPECT_EQ(plain, DecryptBE(bf, cipher));
}

} // namespace

// Eric Young's ECB set, the entries whose key has no zero byte.
TEST(BlowfishVectors, EcbSet)
{
    static const Vector vectors[] = {
        {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
        {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
        {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
        {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
        {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
        {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
        {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
        {"07A1133E4A0B2686", "0248D43806F67172", "1730E5778BEA1DA4"},
        {"3849674C2602319E", "51454B582DDF440A", "A25E7856CF2651EB"},
        {"04B915BA43FEB5B6", "42FD443059577FA2", "353882B109CE8F1A"},
        {"0113B970FD34F2CE", "059B5E0851CF143A", "48F4D0884C379918"},
        {"0170F175468FB5E6", "0756D8E0774761D2", "432193B78951FC98"},
        {"43297FAD38E373FE", "762514B829BF486A", "13F04154D69D1AE5"},
        {"07A7137045DA2A16", "3BDD119049372802", "2EEDDA93FFD39C79"},
        {"04689104C2FD3B2F", "26955F6835AF609A", "D887E0393C2DA6E3"},
        {"37D06BB516CB7546", "164D5E404F275232", "5F99D04F5B163969"},
        {"1F08260D1AC2465E", "6B056E18759F5CCA", "4A057A3B24D3977B"},
        {"584023641ABA6176", "004BD6EF09176062", "452031C1E4FADA8E"},
        {"025816164629B007", "480D39006EE762F2", "7555AE39F59B87BD"},
        {"49793EBC79B3258F", "437540C8698F3CFA", "53C55F9CB49FC019"},
        {"4FB05E1515AB73A7", "072D43A077075292", "7A8E7BFA937E89A3"},
        {"49E95D6D4CA229BF", "02FE55778117F12A", "CF9C5D7A4986ADB5"},
        {"018310DC409B26D6", "1D9D5C5018F728C2", "D1ABB290658BC778"},
        {"1C587F1C13924FEF", "305532286D6F295A", "55CB3774D13EF201"},
        {"0101010101010101", "0123456789ABCDEF", "FA34EC4847B268B2"},
        {"1F1F1F1F0E0E0E0E", "0123456789ABCDEF", "A790795108EA3CAE"},
        {"E0FEE0FEF1FEF1FE", "0123456789ABCDEF", "C39E072D9FAC631D"},
        {"FFFFFFFFFFFFFFFF", "0000000000000000", "F21E9A77B71C49BC"},
        {"0123456789ABCDEF", "0000000000000000", "245946885754369A"},
        {"FEDCBA9876543210", "FFFFFFFFFFFFFFFF", "6B5C5A9C5D9E0A5A"},
    };
    for (const Vector& v : vectors)
        CheckVector(FromHex(v.key), v);
}

// The same set's variable key length vectors: prefixes of one key, stopping
// before its first zero byte. Short keys exercise the wrap-around.
TEST(BlowfishVectors, KeyLengths)
{
    static const char* const ciphers[] = {
        "F9AD597C49DB005E", "E91D21C1D961A6D6", "E9C2B70A1BC65CF3", "BE1E639408640F05",
        "B39E44481BDB1E6E", "9457AA83B1928C0D", "8BB77032F960629D", "E87A244E2CC85E82",
        "15750E7A4F4EC577", "122BA70B3AB64AE0", "3A833C9AFFC537F6", "9409DA87A90F6BF2",
        "884F80625060B8B4", "1F85031C19E11968", "79D9373A714CA34F", "93142887EE3BE15C",
    };
    const Bytes key = FromHex("F0E1D2C3B4A5968778695A4B3C2D1E0F");
    for (size_t n = 1; n <= 16; ++n) {
        const Vector v = {"F0E1D2C3B4A5968778695A4B3C2D1E0F (prefix)", "FEDCBA9876543210", ciphers[n - 1]};
        CheckVector(Bytes(key.begin(), key.begin() + n), v);
    }
}

// Schneier's text-key vectors.
TEST(BlowfishVectors, TextKeys)
{
    const Vector alphabet = {"abcdefghijklmnopqrstuvwxyz", "424C4F5746495348", "324ED0FEF413A203"};
    const std::string a = alphabet.key;
    CheckVector(Bytes(a.begin(), a.end()), alphabet);
    const Vector galt = {"Who is John Galt?", "FEDCBA9876543210", "CC91732B8022F684"};
    const std::string g = galt.key;
    CheckVector(Bytes(g.begin(), g.end()), galt);
}

#ifdef TESSALY_HAVE_OPENSSL
TEST(BlowfishVectors, RandomAgainstOpenSsl)
{
    std::mt19937 rng(20240611);
    for (int round = 0; round < 300; ++round) {
        Bytes key(1 + rng() % 80);
        for (unsigned char& c : key)
            c = static_cast<unsigned char>(1 + rng() % 255);
        Bytes data(rng() % 100);
        for (unsigned char& c : data)
            c = static_cast<unsigned char>(rng());
        SCOPED_TRACE("key length " + std::to_string(key.size()) + ", data length " + std::to_string(data.size()));

        // OpenSSL caps keys at 72 bytes as well.
        Blowfish bf;
        bf.Set_Passwd(std::string(key.begin(), key.end()).c_str());
        EXPECT_EQ(OpenSslEcb(key, data, BF_ENCRYPT), EncryptBE(bf, data));
        EXPECT_EQ(OpenSslEcb(key, data, BF_DECRYPT), DecryptBE(bf, data));
    }
}
#endif

TEST(BlowfishBuffer, OnlyWholeBlocksAreProcessed)
{
    Blowfish bf;
    bf.Set_Passwd("secret");
    for (unsigned int n = 0; n < 8; ++n) {
        const Bytes plain = Pattern(n);
        Bytes data = plain;
        bf.Encrypt(data.data(), n);
        EXPECT_EQ(plain, data) << n;
        bf.Decrypt(data.data(), n);
        EXPECT_EQ(plain, data) << n;
    }

    const Bytes plain = Pattern(20);
    Bytes data = plain;
    bf.Encrypt(data.data(), 20);
    Bytes head(plain.begin(), plain.begin() + 16);
    bf.Encrypt(head.data(), 16);
    EXPECT_EQ(head, Bytes(data.begin(), data.begin() + 16));
    EXPECT_NE(Bytes(plain.begin(), plain.begin() + 8), Bytes(data.begin(), data.begin() + 8));
    EXPECT_EQ(Bytes(plain.begin() + 16, plain.end()), Bytes(data.begin() + 16, data.end()));
    bf.Decrypt(data.data(), 20);
    EXPECT_EQ(plain, data);
}

TEST(BlowfishBuffer, EcbRoundTripAndEqualBlocks)
{
    Blowfish bf;
    bf.Set_Passwd("\x83\x70\x83\x58\x83\x8F\x81\x5B\x83\x68");  // Shift-JIS text
    for (unsigned int n : {8u, 64u, 1000u, 4099u}) {
        const Bytes plain = Pattern(n);
        Bytes data = plain;
        bf.Encrypt(data.data(), n);
        EXPECT_NE(plain, data);
        bf.Decrypt(data.data(), n);
        EXPECT_EQ(plain, data) << n;
    }

    // No chaining: equal blocks give equal ciphertext wherever they stand,
    // and an unaligned buffer gives the same result.
    Bytes data(8 * 5 + 1, 0x5A);
    bf.Encrypt(data.data() + 1, 8 * 5);
    for (int i = 1; i < 5; ++i)
        EXPECT_EQ(0, std::memcmp(&data[1], &data[1 + 8 * i], 8)) << i;
    Bytes single(8, 0x5A);
    bf.Encrypt(single.data(), 8);
    EXPECT_EQ(0, std::memcmp(&data[1], single.data(), 8));
}

TEST(BlowfishKey, UnkeyedStates)
{
    const Bytes plain = Pattern(64);
    Bytes fresh = plain;
    Blowfish().Encrypt(fresh.data(), 64);
    EXPECT_NE(plain, fresh);

    EXPECT_EQ(fresh, Encrypted("", plain));

    Blowfish bf;
    bf.Set_Passwd("key");
    Bytes data = plain;
    bf.Reset();
    bf.Encrypt(data.data(), 64);
    EXPECT_EQ(fresh, data);

    // Keying always starts from the standard tables.
    bf.Set_Passwd("first");
    bf.Set_Passwd("second");
    data = plain;
    bf.Encrypt(data.data(), 64);
    EXPECT_EQ(Encrypted("second", plain), data);
}

TEST(BlowfishKey, OnlyFirst72BytesCycled)
{
    const Bytes plain = Pattern(16);
    std::string base;
    for (int i = 0; i < 72; ++i)
        base += static_cast<char>('!' + i);
    EXPECT_EQ(Encrypted(base, plain), Encrypted(base + "tail", plain));
    EXPECT_EQ(Encrypted(base, plain), Encrypted(base + std::string(200, 'z'), plain));
    // Bytes up to the 72nd all count (no lower cap, e.g. at 56).
    std::string changed = base;
    changed[71] = 'X';
    EXPECT_NE(Encrypted(base, plain), Encrypted(changed, plain));
    EXPECT_NE(Encrypted(base.substr(0, 71), plain), Encrypted(base, plain));

    // A short password is used as its bytes repeated.
    for (const std::string key : {"abc", "vwxyz", "\xFE\x81"}) {
        std::string repeated;
        while (repeated.size() < 72)
            repeated += key;
        EXPECT_EQ(Encrypted(key, plain), Encrypted(repeated.substr(0, 72), plain)) << key;
    }
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

TEST(BlowfishCoder, CopiesAndVirtualDispatch)
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
    source->Reset();  // the copies keep their own key

    for (CGenCoder* coder : {copied.get(), static_cast<CGenCoder*>(&assigned)}) {
        Bytes data = cipher;
        coder->Decode(data.data(), 48);
        EXPECT_EQ(plain, data);
    }

    Bytes data = plain;
    source->Encode(data.data(), 48);
    EXPECT_EQ(Encrypted("", plain), data);
    source->Decode(data.data(), 48);
    EXPECT_EQ(plain, data);
}
