// Nothing may throw out of a library entry point: a C++ failure inside (in
// practice only an allocation failure) becomes the operation's failure value.
#pragma once

#include <exception>

namespace zento {

template <class T, class F>
T Guarded(T failValue, F&& body) noexcept
{
    try {
        return body();
    } catch (const std::exception&) {
        return failValue;
    }
}

}  // namespace zento
