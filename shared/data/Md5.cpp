#include "Md5.h"

#include <cstring>

namespace NorvaneCommon {

namespace {

// floor(abs(sin(i + 1)) * 2^32)
const DWORD kSine[64] = {
    0xD76AA478, 0xE8C7B756, 0x242070DB, 0xC1BDCEEE,
    0xF57C0FAF, 0x4787C62A, 0xA8304613, 0xFD469501,
    0x698098D8, 0x8B44F7AF, 0xFFFF5BB1, 0x895CD7BE,
    0x6B901122, 0xFD987193, 0xA679438E, 0x49B40821,
    0xF61E2562, 0xC040B340, 0x265E5A51, 0xE9B6C7AA,
    0xD62F105D, 0x02441453, 0xD8A1E681, 0xE7D3FBC8,
    0x21E1CDE6, 0xC33707D6, 0xF4D50D87, 0x455A14ED,
    0xA9E3E905, 0xFCEFA3F8, 0x676F02D9, 0x8D2A4C8A,
    0xFFFA3942, 0x8771F681, 0x6D9D6122, 0xFDE5380C,
    0xA4BEEA44, 0x4BDECFA9, 0xF6BB4B60, 0xBEBFBC70,
    0x289B7EC6, 0xEAA127FA, 0xD4EF3085, 0x04881D05,
    0xD9D4D039, 0xE6DB99E5, 0x1FA27CF8, 0xC4AC5665,
    0xF4292244, 0x432AFF97, 0xAB9423A7, 0xFC93A039,
    0x655B59C3, 0x8F0CCC92, 0xFFEFF47D, 0x85845DD1,
    0x6FA87E4F, 0xFE2CE6E0, 0xA3014314, 0x4E0811A1,
    0xF7537E82, 0xBD3AF235, 0x2AD7D2BB, 0xEB86D391,
};

// Rotation amounts, four per round.
const int kShift[4][4] = {
    {7, 12, 17, 22},
    {5, 9, 14, 20},
    {4, 11, 16, 23},
    {6, 10, 15, 21},
};

inline DWORD Rotl(DWORD x, int n)
{
    return (x << n) | (x >> (32 - n));
}

inline DWORD LoadLE(const unsigned char* p)
{
    return DWORD(p[0]) | (DWORD(p[1]) << 8) | (DWORD(p[2]) << 16) | (DWORD(p[3]) << 24);
}

inline void StoreLE(unsigned char* p, DWORD v)
{
    p[0] = BYTE(v);
    p[1] = BYTE(v >> 8);
    p[2] = BYTE(v >> 16);
    p[3] = BYTE(v >> 24);
}

} // namespace

CMd5::CMd5()
{
    Init();
}

void CMd5::Init()
{
    m_State[0] = 0x67452301;
    m_State[1] = 0xEFCDAB89;
    m_State[2] = 0x98BADCFE;
    m_State[3] = 0x10325476;
    m_nBytes = 0;
    std::memset(m_Buffer, 0, sizeof(m_Buffer));
}

void CMd5::Transform(const unsigned char block[64])
{
    DWORD x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = LoadLE(block + 4 * i);

    DWORD a = m_State[0], b = m_State[1], c = m_State[2], d = m_State[3];
    for (int i = 0; i < 64; ++i) {
        const int round = i / 16;
        DWORD f;
        int g;
        switch (round) {
        case 0:
            f = (b & c) | (~b & d);
            g = i;
            break;
        case 1:
            f = (b & d) | (c & ~d);
            g = (5 * i + 1) & 15;
            break;
        case 2:
            f = b ^ c ^ d;
            g = (3 * i + 5) & 15;
            break;
        default:
            f = c ^ (b | ~d);
            g = (7 * i) & 15;
            break;
        }
        const DWORD t = d;
        d = c;
        c = b;
        b = b + Rotl(a + f + kSine[i] + x[g], kShift[round][i & 3]);
        a = t;
    }
    m_State[0] += a;
    m_State[1] += b;
    m_State[2] += c;
    m_State[3] += d;
}

void CMd5::Update(const void* pData, std::size_t nLen)
{
    if (nLen == 0)
        return;  // also allows a null pointer for the empty input
    const unsigned char* p = static_cast<const unsigned char*>(pData);
    std::size_t used = static_cast<std::size_t>(m_nBytes % 64);
    m_nBytes += nLen;

    if (used != 0) {
        const std::size_t take = (nLen < 64 - used) ? nLen : 64 - used;
        std::memcpy(m_Buffer + used, p, take);
        p += take;
        nLen -= take;
        used += take;
        if (used < 64)
            return;
        Transform(m_Buffer);
    }
    for (; nLen >= 64; p += 64, nLen -= 64)
        Transform(p);
    if (nLen != 0)
        std::memcpy(m_Buffer, p, nLen);
}

void CMd5::Final(unsigned char out[16])
{
    // 0x80, zeros up to 56 mod 64, then the bit length little-endian.
    unsigned char tail[72];
    const unsigned long long bits = m_nBytes * 8;
    const std::size_t used = static_cast<std::size_t>(m_nBytes % 64);
    const std::size_t padLen = (used < 56) ? 56 - used : 120 - used;
    std::memset(tail, 0, sizeof(tail));
    tail[0] = 0x80;
    StoreLE(tail + padLen, DWORD(bits));
    StoreLE(tail + padLen + 4, DWORD(bits >> 32));
    Update(tail, padLen + 8);

    for (int i = 0; i < 4; ++i)
        StoreLE(out + 4 * i, m_State[i]);
    Init();
}

void CMd5::Digest(const void* pData, std::size_t nLen, unsigned char out[16])
{
    CMd5 md5;
    md5.Update(pData, nLen);
    md5.Final(out);
}

} // namespace NorvaneCommon
