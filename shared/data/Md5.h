// MD5 message digest (RFC 1321), used for the password digest that the
// memo database stores.
#pragma once

#include <cstddef>

#include "afx/afxtypes.h"
#include "NvComnApi.h"

namespace NorvaneCommon {

class NVCOMN_API CMd5 {
public:
    CMd5();

    // Starts a new digest.
    void Init();
    void Update(const void* pData, std::size_t nLen);
    // Writes the 16-byte digest and starts a new one, so the object can be
    // reused.
    void Final(unsigned char out[16]);

    static void Digest(const void* pData, std::size_t nLen, unsigned char out[16]);

private:
    void Transform(const unsigned char block[64]);

    DWORD m_State[4];
    unsigned long long m_nBytes;  // message length so far; the padding needs it mod 2^64
    unsigned char m_Buffer[64];   // partial block, m_nBytes % 64 bytes in use
};

} // namespace NorvaneCommon
