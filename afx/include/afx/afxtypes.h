// Basic Win32 integer types for code written once for 32-bit Windows and Linux.
// On Windows they come from the platform headers; natively they are fixed-width
// so that DWORD and LONG stay 32 bits as the file formats need.
#pragma once

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cstdint>
#include <cstddef>
typedef std::uint8_t BYTE;
typedef std::uint16_t WORD;
typedef std::uint32_t DWORD;
typedef std::int32_t LONG;
typedef std::uint32_t ULONG;
typedef unsigned int UINT;
typedef int BOOL;
typedef const char* LPCSTR;
typedef const char* LPCTSTR;
typedef char* LPSTR;
typedef char* LPTSTR;
typedef char TCHAR;
typedef void* LPVOID;
#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif
#endif

static_assert(sizeof(DWORD) == 4 && sizeof(LONG) == 4 && sizeof(WORD) == 2, "Win32 integer widths");
