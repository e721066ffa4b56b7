#include "afx/mbcs.h"

namespace afx {

namespace {
unsigned NextChar(const unsigned char*& p)
{
    unsigned c = *p++;
    if (IsLeadByte932(static_cast<unsigned char>(c))) {
        if (*p == 0)
            return 0;
        c = (c << 8) | *p++;
    }
    return c;
}
} // namespace

int MbsCompare932(const char* a, const char* b)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(a);
    const unsigned char* q = reinterpret_cast<const unsigned char*>(b);
    for (;;) {
        unsigned c1 = NextChar(p);
        unsigned c2 = NextChar(q);
        if (c1 != c2)
            return c1 > c2 ? 1 : -1;
        if (c1 == 0)
            return 0;
    }
}

} // namespace afx
