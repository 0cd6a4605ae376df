// Owners of what the PKI libraries hand out: buffers (texts, bytes), device,
// key-pair and certificate handles, and time values. The same owner template
// as every Win32 handle (DuiLib/ScopedWin.h), with the library's own free.
#pragma once

#include "Cert/ZentoPKI.h"
#include "DuiLib/ScopedWin.h"

namespace Pki {

// A buffer the library allocated for an out-parameter (put() hands the slot).
template <class T>
struct BufferTraits {
    using type = T*;
    static type None() noexcept { return nullptr; }
    static void Free(type p) noexcept { (void)ZentoPKICryptoFreeMemory(p); }
};
template <class T>
using ScopedBuffer = DuiLib::UniqueResource<BufferTraits<T>>;
using ScopedText = ScopedBuffer<char>;
using ScopedBytes = ScopedBuffer<unsigned char>;

// Handles are 32-bit values with 0 for none; Fn is the library's free.
template <int (*Fn)(unsigned long)>
struct HandleTraits {
    using type = unsigned long;
    static type None() noexcept { return 0; }
    static void Free(type h) noexcept { (void)Fn(h); }
};
using ScopedDevice = DuiLib::UniqueResource<HandleTraits<&ZentoPKICryptoFreeDevice>>;
using ScopedKeypair = DuiLib::UniqueResource<HandleTraits<&ZentoPKICryptoFreeKeypair>>;
using ScopedCertificate = DuiLib::UniqueResource<HandleTraits<&ZentoPKICertFreeCert>>;
using ScopedTime = DuiLib::UniqueResource<HandleTraits<&zento_time_free>>;

}  // namespace Pki
