// Owners for what the PKI libraries hand out: certificate handles, time
// values and text buffers. Built on the toolkit's one owner template, so a
// handle taken from the library is never freed by hand.
#pragma once

#include "Cert/ZentoPKI.h"
#include "DuiLib/ScopedWin.h"

namespace PkiScoped {

struct CertTraits {
    using type = unsigned long;
    static type None() noexcept { return 0; }
    static void Free(type h) noexcept { ZentoPKICertFreeCert(h); }
};
struct TimeTraits {
    using type = unsigned long;
    static type None() noexcept { return 0; }
    static void Free(type h) noexcept { zento_time_free(h); }
};
struct BufferTraits {
    using type = char*;
    static type None() noexcept { return nullptr; }
    static void Free(type p) noexcept { ZentoPKICryptoFreeMemory(p); }
};

using ScopedCert = DuiLib::UniqueResource<CertTraits>;
using ScopedTime = DuiLib::UniqueResource<TimeTraits>;
using ScopedBuffer = DuiLib::UniqueResource<BufferTraits>;

}  // namespace PkiScoped
