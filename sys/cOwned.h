#pragma once
#include <windows.h>
#include <utility>

// Owns one operating-system handle; move-only, so no handle is closed twice.
template <class Traits>
class cOwned
{
public:
    using Handle = typename Traits::Handle;
    explicit cOwned(Handle h = Traits::Invalid()) noexcept : m_h(h) {}
    ~cOwned() { Reset(); }
    cOwned(const cOwned&) = delete;
    cOwned& operator=(const cOwned&) = delete;
    cOwned(cOwned&& o) noexcept : m_h(o.Release()) {}
    cOwned& operator=(cOwned&& o) noexcept
    {
        if (this != &o)
            Reset(o.Release());
        return *this;
    }
    Handle Get() const noexcept { return m_h; }
    bool IsValid() const noexcept { return Traits::IsValid(m_h); }
    explicit operator bool() const noexcept { return IsValid(); }
    Handle Release() noexcept { return std::exchange(m_h, Traits::Invalid()); }
    void Reset(Handle h = Traits::Invalid()) noexcept
    {
        Handle old = std::exchange(m_h, h);
        if (Traits::IsValid(old))
            Traits::Close(old);
    }
    // For out-parameters: the old handle is closed first, so it cannot leak.
    Handle* Put() noexcept
    {
        Reset();
        return &m_h;
    }

private:
    Handle m_h;
};

struct KernelTraits
{
    using Handle = HANDLE;
    static HANDLE Invalid() noexcept { return nullptr; }
    // CreateFile fails with INVALID_HANDLE_VALUE, most other calls with null.
    static bool IsValid(HANDLE h) noexcept { return h && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};

struct KeyTraits
{
    using Handle = HKEY;
    static HKEY Invalid() noexcept { return nullptr; }
    static bool IsValid(HKEY h) noexcept { return h != nullptr; }
    static void Close(HKEY h) noexcept { ::RegCloseKey(h); }
};

struct ModuleTraits
{
    using Handle = HMODULE;
    static HMODULE Invalid() noexcept { return nullptr; }
    static bool IsValid(HMODULE h) noexcept { return h != nullptr; }
    static void Close(HMODULE h) noexcept { ::FreeLibrary(h); }
};

struct FontTraits
{
    using Handle = HFONT;
    static HFONT Invalid() noexcept { return nullptr; }
    static bool IsValid(HFONT h) noexcept { return h != nullptr; }
    static void Close(HFONT h) noexcept { ::DeleteObject(h); }
};

struct IconTraits
{
    using Handle = HICON;
    static HICON Invalid() noexcept { return nullptr; }
    static bool IsValid(HICON h) noexcept { return h != nullptr; }
    static void Close(HICON h) noexcept { ::DestroyIcon(h); }
};

struct FindTraits
{
    using Handle = HANDLE;
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(HANDLE h) noexcept { return h && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::FindClose(h); }
};

// What the security and SID functions allocate for their caller (LocalAlloc).
struct LocalTraits
{
    using Handle = HLOCAL;
    static HLOCAL Invalid() noexcept { return nullptr; }
    static bool IsValid(HLOCAL h) noexcept { return h != nullptr; }
    static void Close(HLOCAL h) noexcept { ::LocalFree(h); }
};

// An activation context (CreateActCtxW), which fails with INVALID_HANDLE_VALUE.
struct ActCtxTraits
{
    using Handle = HANDLE;
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(HANDLE h) noexcept { return h && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) noexcept { ::ReleaseActCtx(h); }
};

using cHandle = cOwned<KernelTraits>;
using cRegKey = cOwned<KeyTraits>;
using cLocalMemory = cOwned<LocalTraits>;

// A view of a file mapping (MapViewOfFile).
struct ViewTraits
{
    using Handle = const void*;
    static const void* Invalid() noexcept { return nullptr; }
    static bool IsValid(const void* view) noexcept { return view != nullptr; }
    static void Close(const void* view) noexcept { ::UnmapViewOfFile(view); }
};
