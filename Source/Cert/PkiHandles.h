// Owners for what the PKI library hands out: certificate handles (freed with
// ZentoPKICertFreeCert) and buffers (freed with ZentoPKICryptoFreeMemory).
#pragma once

#include "Cert/ZentoPKI.h"
#include "DuiLib/ScopedWin.h"

struct PkiCertTraits {
    using type = unsigned long;
    static type None() noexcept { return 0; }
    static void Free(type h) noexcept { (void)ZentoPKICertFreeCert(h); }
};
struct PkiBufferTraits {
    using type = void*;
    static type None() noexcept { return nullptr; }
    static void Free(type p) noexcept { (void)ZentoPKICryptoFreeMemory(p); }
};

using ScopedPkiCert = DuiLib::UniqueResource<PkiCertTraits>;
using ScopedPkiBuffer = DuiLib::UniqueResource<PkiBufferTraits>;
