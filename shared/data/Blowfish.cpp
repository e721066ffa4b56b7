#include "Blowfish.h"

#include <cstring>

#include "BlowfishTables.h"

namespace NorvaneCommon {

namespace {

// Keeps the wiping stores of the destructor: without it the compiler may
// drop stores into an object whose lifetime is ending.
inline void KeepStores(void* p)
{
#if defined(__GNUC__)
    __asm__ __volatile__("" : : "r"(p) : "memory");
#else
    volatile unsigned char* v = static_cast<volatile unsigned char*>(p);
    (void)*v;
#endif
}

} // namespace

// The round function, written out so that every round is inline code.
#define BF_F(x) \
    (((m_S[0][(x) >> 24] + m_S[1][((x) >> 16) & 0xFF]) ^ m_S[2][((x) >> 8) & 0xFF]) + m_S[3][(x) & 0xFF])
#define BF_ROUND(a, b, n) ((a) ^= BF_F(b) ^ m_P[n])

Blowfish::Blowfish()
{
    Reset();
}

Blowfish::Blowfish(const Blowfish& src)
{
    std::memcpy(m_P, src.m_P, sizeof(m_P));
    std::memcpy(m_S, src.m_S, sizeof(m_S));
}

Blowfish& Blowfish::operator=(const Blowfish& src)
{
    if (this != &src) {
        std::memcpy(m_P, src.m_P, sizeof(m_P));
        std::memcpy(m_S, src.m_S, sizeof(m_S));
    }
    return *this;
}

Blowfish::~Blowfish()
{
    // The keyed tables must not outlive the object.
    Reset();
    KeepStores(this);
}

void Blowfish::Reset()
{
    std::memcpy(m_P, BlowfishTables::InitP, sizeof(m_P));
    std::memcpy(m_S, BlowfishTables::InitS, sizeof(m_S));
}

void Blowfish::Set_Passwd(const char* pszPasswd)
{
    Reset();
    if (pszPasswd[0] != '\0')
        Gen_Subkeys(pszPasswd);
}

inline void Blowfish::BF_En(Word* pLeft, Word* pRight)
{
    DWORD l = pLeft->dword;
    DWORD r = pRight->dword;
    l ^= m_P[0];
    BF_ROUND(r, l, 1);
    BF_ROUND(l, r, 2);
    BF_ROUND(r, l, 3);
    BF_ROUND(l, r, 4);
    BF_ROUND(r, l, 5);
    BF_ROUND(l, r, 6);
    BF_ROUND(r, l, 7);
    BF_ROUND(l, r, 8);
    BF_ROUND(r, l, 9);
    BF_ROUND(l, r, 10);
    BF_ROUND(r, l, 11);
    BF_ROUND(l, r, 12);
    BF_ROUND(r, l, 13);
    BF_ROUND(l, r, 14);
    BF_ROUND(r, l, 15);
    BF_ROUND(l, r, 16);
    pLeft->dword = r ^ m_P[17];
    pRight->dword = l;
}

inline void Blowfish::BF_De(Word* pLeft, Word* pRight)
{
    DWORD l = pLeft->dword;
    DWORD r = pRight->dword;
    l ^= m_P[17];
    BF_ROUND(r, l, 16);
    BF_ROUND(l, r, 15);
    BF_ROUND(r, l, 14);
    BF_ROUND(l, r, 13);
    BF_ROUND(r, l, 12);
    BF_ROUND(l, r, 11);
    BF_ROUND(r, l, 10);
    BF_ROUND(l, r, 9);
    BF_ROUND(r, l, 8);
    BF_ROUND(l, r, 7);
    BF_ROUND(r, l, 6);
    BF_ROUND(l, r, 5);
    BF_ROUND(r, l, 4);
    BF_ROUND(l, r, 3);
    BF_ROUND(r, l, 2);
    BF_ROUND(l, r, 1);
    pLeft->dword = r ^ m_P[0];
    pRight->dword = l;
}

void Blowfish::Gen_Subkeys(const char* pszPasswd)
{
    const unsigned char* key = reinterpret_cast<const unsigned char*>(pszPasswd);
    // Only 72 key bytes are ever consumed, so a longer password need not be
    // measured to its end.
    std::size_t n = 0;
    while (n < 72 && key[n] != 0)
        ++n;

    std::size_t j = 0;
    for (int i = 0; i < 18; ++i) {
        DWORD k = 0;
        for (int b = 0; b < 4; ++b) {
            k = (k << 8) | key[j];
            if (++j == n)
                j = 0;
        }
        m_P[i] ^= k;
    }

    Word l, r;
    l.dword = 0;
    r.dword = 0;
    for (int i = 0; i < 18; i += 2) {
        BF_En(&l, &r);
        m_P[i] = l.dword;
        m_P[i + 1] = r.dword;
    }
    for (int s = 0; s < 4; ++s) {
        for (int i = 0; i < 256; i += 2) {
            BF_En(&l, &r);
            m_S[s][i] = l.dword;
            m_S[s][i + 1] = r.dword;
        }
    }
}

// Blocks are copied in and out by memcpy: the buffer need not be aligned,
// and the copies compile to plain loads and stores.
void Blowfish::Encrypt(void* pBuf, unsigned int nLen)
{
    unsigned char* p = static_cast<unsigned char*>(pBuf);
    for (unsigned int n = nLen / 8; n != 0; --n, p += 8) {
        Word half[2];
        std::memcpy(half, p, 8);
        BF_En(&half[0], &half[1]);
        std::memcpy(p, half, 8);
    }
}

void Blowfish::Decrypt(void* pBuf, unsigned int nLen)
{
    unsigned char* p = static_cast<unsigned char*>(pBuf);
    for (unsigned int n = nLen / 8; n != 0; --n, p += 8) {
        Word half[2];
        std::memcpy(half, p, 8);
        BF_De(&half[0], &half[1]);
        std::memcpy(p, half, 8);
    }
}

#undef BF_ROUND
#undef BF_F

CGenCoder::CGenCoder()
{
}

CGenCoder::CGenCoder(const CGenCoder&)
{
}

CGenCoder& CGenCoder::operator=(const CGenCoder&)
{
    return *this;
}

CGenCoder::~CGenCoder()
{
}

CBlowfishCoder::CBlowfishCoder()
{
}

CBlowfishCoder::CBlowfishCoder(const CBlowfishCoder& src)
    : CGenCoder(src), m_Blowfish(src.m_Blowfish)
{
}

CBlowfishCoder& CBlowfishCoder::operator=(const CBlowfishCoder& src)
{
    CGenCoder::operator=(src);
    m_Blowfish = src.m_Blowfish;
    return *this;
}

CBlowfishCoder::~CBlowfishCoder()
{
}

void CBlowfishCoder::Reset()
{
    m_Blowfish.Reset();
}

void CBlowfishCoder::SetPassword(const char* pszPasswd)
{
    m_Blowfish.Set_Passwd(pszPasswd);
}

void CBlowfishCoder::Encode(unsigned char* pData, unsigned int nLen)
{
    m_Blowfish.Encrypt(pData, nLen);
}

void CBlowfishCoder::Decode(unsigned char* pData, unsigned int nLen)
{
    m_Blowfish.Decrypt(pData, nLen);
}

} // namespace NorvaneCommon
