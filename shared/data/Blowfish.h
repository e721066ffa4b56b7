// Blowfish cipher and the record coder the tables use to encipher memo data.
#pragma once

#include "afx/afxtypes.h"
#include "NvComnApi.h"

namespace NorvaneCommon {

// One 32-bit half of a cipher block. Halves are native words, so on x86 the
// bytes of a half are little-endian; callers wanting the usual big-endian
// convention reverse each word around the call.
union Word {
    DWORD dword;
    BYTE byte[4];
};

// Blowfish with 16 rounds, ECB only. The whole state lives in the object,
// so copying an object copies its key.
class NVCOMN_API Blowfish {
public:
    Blowfish();
    Blowfish(const Blowfish& src);
    Blowfish& operator=(const Blowfish& src);
    ~Blowfish();

    // Back to the standard unkeyed tables.
    void Reset();
    // Keys the cipher with a NUL-terminated password; the empty password
    // leaves it unkeyed. Only the first 72 bytes count.
    void Set_Passwd(const char* pszPasswd);
    // Process length / 8 whole blocks in place; a shorter tail is left as is.
    void Encrypt(void* pBuf, unsigned int nLen);
    void Decrypt(void* pBuf, unsigned int nLen);

private:
    void Gen_Subkeys(const char* pszPasswd);
    void BF_En(Word* pLeft, Word* pRight);
    void BF_De(Word* pLeft, Word* pRight);

    DWORD m_P[18];
    DWORD m_S[4][256];
};

// In-place byte coder, so that a table can encipher records without knowing
// the cipher.
class NVCOMN_API CGenCoder {
public:
    CGenCoder();
    CGenCoder(const CGenCoder& src);
    CGenCoder& operator=(const CGenCoder& src);
    virtual ~CGenCoder();

    virtual void Reset() = 0;
    virtual void SetPassword(const char* pszPasswd) = 0;
    virtual void Encode(unsigned char* pData, unsigned int nLen) = 0;
    virtual void Decode(unsigned char* pData, unsigned int nLen) = 0;
};

class NVCOMN_API CBlowfishCoder : public CGenCoder {
public:
    CBlowfishCoder();
    CBlowfishCoder(const CBlowfishCoder& src);
    CBlowfishCoder& operator=(const CBlowfishCoder& src);
    virtual ~CBlowfishCoder();

    virtual void Reset() override;
    virtual void SetPassword(const char* pszPasswd) override;
    virtual void Encode(unsigned char* pData, unsigned int nLen) override;
    virtual void Decode(unsigned char* pData, unsigned int nLen) override;

private:
    Blowfish m_Blowfish;
};

} // namespace NorvaneCommon
