// Multi-byte character handling in code page 932 (Shift-JIS), the ANSI code
// page of the systems this software serves. Written once for both builds so
// that searches and orderings do not depend on the host's locale.
#pragma once

#include <cstddef>

namespace afx {

// Lead bytes of double-byte characters in code page 932.
inline bool IsLeadByte932(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Length in bytes of the character starting at p (1 or 2). A lead byte at the
// very end of the text counts as one byte, so a scan never passes the NUL.
inline int CharLength932(const char* p)
{
    return (IsLeadByte932(static_cast<unsigned char>(p[0])) && p[1] != '\0') ? 2 : 1;
}

// Same, over a counted buffer.
inline int CharLength932(const char* p, std::size_t remaining)
{
    return (remaining >= 2 && IsLeadByte932(static_cast<unsigned char>(p[0]))) ? 2 : 1;
}

// True when the text's last character (not merely its last byte) is c: the
// trail byte of a double-byte character may equal a backslash.
inline bool EndsWithChar932(const char* p, std::size_t length, char c)
{
    std::size_t last = length;
    for (std::size_t i = 0; i < length; i += CharLength932(p + i, length - i))
        last = i;
    return last < length && last + 1 == length && p[last] == c;
}

// The runtime's _mbscmp in code page 932: character by character, a
// double-byte character compared as lead * 256 + trail, a single byte as its
// value; a lead byte followed by the terminator ends the text. Returns -1, 0, 1.
int MbsCompare932(const char* a, const char* b);

} // namespace afx
