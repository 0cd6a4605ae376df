// Owners for every Win32 handle the toolkit and the plug-in hold: one
// template, one traits struct per kind of handle. Nothing of ours frees a
// handle by hand; a handle lives in one of these from the call that made it.
#pragma once

#include <windows.h>

#include <memory>
#include <utility>

namespace DuiLib {

// Move-only owner of one handle; Traits gives the "none" value and the free.
template <class Traits>
class UniqueResource {
public:
    using handle_type = typename Traits::type;

    UniqueResource() noexcept = default;
    explicit UniqueResource(handle_type h) noexcept : m_h_(h) {}
    ~UniqueResource() { reset(); }
    UniqueResource(UniqueResource&& other) noexcept : m_h_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    handle_type get() const noexcept { return m_h_; }
    explicit operator bool() const noexcept { return m_h_ != Traits::None(); }
    [[nodiscard]] handle_type release() noexcept { return std::exchange(m_h_, Traits::None()); }
    void reset(handle_type h = Traits::None()) noexcept
    {
        handle_type old = std::exchange(m_h_, h);
        if (old != Traits::None()) {
            Traits::Free(old);
        }
    }
    // For out-parameters: frees what is held and hands out the slot.
    handle_type* put() noexcept
    {
        reset();
        return &m_h_;
    }

private:
    handle_type m_h_ = Traits::None();
};

struct KernelHandleTraits {
    using type = HANDLE;
    static type None() noexcept { return nullptr; }
    static void Free(type h) noexcept { ::CloseHandle(h); }
};
// CreateFile answers INVALID_HANDLE_VALUE, not null, on failure.
struct FileHandleTraits {
    using type = HANDLE;
    static type None() noexcept { return INVALID_HANDLE_VALUE; }
    static void Free(type h) noexcept { ::CloseHandle(h); }
};
struct FindHandleTraits {
    using type = HANDLE;
    static type None() noexcept { return INVALID_HANDLE_VALUE; }
    static void Free(type h) noexcept { ::FindClose(h); }
};
struct MappedViewTraits {
    using type = void*;
    static type None() noexcept { return nullptr; }
    static void Free(type p) noexcept { ::UnmapViewOfFile(p); }
};
struct ModuleTraits {
    using type = HMODULE;
    static type None() noexcept { return nullptr; }
    static void Free(type h) noexcept { ::FreeLibrary(h); }
};
struct RegKeyTraits {
    using type = HKEY;
    static type None() noexcept { return nullptr; }
    static void Free(type h) noexcept { ::RegCloseKey(h); }
};
// A DC made with CreateCompatibleDC / CreateDC.
struct CreatedDCTraits {
    using type = HDC;
    static type None() noexcept { return nullptr; }
    static void Free(type h) noexcept { ::DeleteDC(h); }
};
struct GdiObjectTraits {
    using type = HGDIOBJ;
    static type None() noexcept { return nullptr; }
    static void Free(type h) noexcept { ::DeleteObject(h); }
};
struct GlobalMemoryTraits {
    using type = HGLOBAL;
    static type None() noexcept { return nullptr; }
    static void Free(type h) noexcept { ::GlobalFree(h); }
};
struct LocalMemoryTraits {
    using type = HLOCAL;
    static type None() noexcept { return nullptr; }
    static void Free(type h) noexcept { ::LocalFree(h); }
};
struct IconTraits {
    using type = HICON;
    static type None() noexcept { return nullptr; }
    static void Free(type h) noexcept { ::DestroyIcon(h); }
};

// A window this code created and no object owns; one already destroyed
// (by its parent, or by the user) is left alone.
struct WindowTraits {
    using type = HWND;
    static type None() noexcept { return nullptr; }
    static void Free(type h) noexcept
    {
        if (::IsWindow(h)) ::DestroyWindow(h);
    }
};

using ScopedHandle = UniqueResource<KernelHandleTraits>;
using ScopedFile = UniqueResource<FileHandleTraits>;
using ScopedFind = UniqueResource<FindHandleTraits>;
using ScopedMappedView = UniqueResource<MappedViewTraits>;
using ScopedModule = UniqueResource<ModuleTraits>;
using ScopedRegKey = UniqueResource<RegKeyTraits>;
using ScopedCreatedDC = UniqueResource<CreatedDCTraits>;
using ScopedGdiObject = UniqueResource<GdiObjectTraits>;
using ScopedGlobal = UniqueResource<GlobalMemoryTraits>;
using ScopedLocal = UniqueResource<LocalMemoryTraits>;
using ScopedIcon = UniqueResource<IconTraits>;
using ScopedWindow = UniqueResource<WindowTraits>;

// Typed view of a GDI object owner, so callers keep HBITMAP/HFONT/HBRUSH.
template <class T>
class ScopedGdi : public ScopedGdiObject {
public:
    ScopedGdi() noexcept = default;
    explicit ScopedGdi(T h) noexcept : ScopedGdiObject(h) {}
    T get() const noexcept { return static_cast<T>(ScopedGdiObject::get()); }
};
using ScopedBitmap = ScopedGdi<HBITMAP>;
using ScopedFont = ScopedGdi<HFONT>;
using ScopedBrush = ScopedGdi<HBRUSH>;
using ScopedPen = ScopedGdi<HPEN>;
using ScopedRegion = ScopedGdi<HRGN>;

// A window's DC from GetDC, given back with ReleaseDC.
class ScopedWindowDC {
public:
    explicit ScopedWindowDC(HWND hwnd) noexcept : m_hwnd_(hwnd), m_dc_(::GetDC(hwnd)) {}
    ~ScopedWindowDC()
    {
        if (m_dc_) {
            ::ReleaseDC(m_hwnd_, m_dc_);
        }
    }
    ScopedWindowDC(const ScopedWindowDC&) = delete;
    ScopedWindowDC& operator=(const ScopedWindowDC&) = delete;
    HDC get() const noexcept { return m_dc_; }

private:
    HWND m_hwnd_;
    HDC m_dc_;
};

// Puts the previous object back into the DC, so the owner of the selected
// object can delete it afterwards.
class ScopedSelectObject {
public:
    ScopedSelectObject(HDC dc, HGDIOBJ object) noexcept
        : m_dc_(dc), m_old_(object ? ::SelectObject(dc, object) : nullptr)
    {
    }
    ~ScopedSelectObject()
    {
        if (m_old_ && m_old_ != HGDI_ERROR) {
            ::SelectObject(m_dc_, m_old_);
        }
    }
    ScopedSelectObject(const ScopedSelectObject&) = delete;
    ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;

private:
    HDC m_dc_;
    HGDIOBJ m_old_;
};

class CriticalSectionLock {
public:
    explicit CriticalSectionLock(CRITICAL_SECTION& section) noexcept : m_section_(section)
    {
        ::EnterCriticalSection(&m_section_);
    }
    ~CriticalSectionLock() { ::LeaveCriticalSection(&m_section_); }
    CriticalSectionLock(const CriticalSectionLock&) = delete;
    CriticalSectionLock& operator=(const CriticalSectionLock&) = delete;

private:
    CRITICAL_SECTION& m_section_;
};

// GDI+ objects (Gdiplus::Bitmap, Graphics, ...) are C++ objects: their owner
// is a unique_ptr. Named here so every holder reads the same.
template <class T>
using ScopedGdiplus = std::unique_ptr<T>;

}  // namespace DuiLib
