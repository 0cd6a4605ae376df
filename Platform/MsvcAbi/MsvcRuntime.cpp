// The little a Microsoft-ABI binary needs from a C runtime when it has none:
// the compiler may call memset and memcpy for its own copies, abstract
// classes' tables name _purecall, and a binary that touches floating point
// must define _fltused. Everything else these binaries do goes to Win32.
#include "MsvcWin32.h"

extern "C" {

int _fltused = 0;

void* __cdecl memset(void* target, int value, SIZE_T count)
{
    volatile unsigned char* p = static_cast<unsigned char*>(target);
    while (count--) *p++ = static_cast<unsigned char>(value);
    return target;
}

void* __cdecl memcpy(void* target, const void* source, SIZE_T count)
{
    volatile unsigned char* p = static_cast<unsigned char*>(target);
    const unsigned char* q = static_cast<const unsigned char*>(source);
    while (count--) *p++ = *q++;
    return target;
}

// A call through an unset slot is a bug of ours; end at once rather than
// jump somewhere.
int __cdecl _purecall()
{
    ExitProcess(0xC0000025u);
    return 0;
}

}  // extern "C"
