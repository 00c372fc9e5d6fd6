// Thin owners of Win32 handles.
#pragma once

#include <windows.h>

#include <utility>

namespace winui {

template <typename T, typename Traits>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(T handle) : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    T Get() const { return handle_; }
    bool Valid() const { return Traits::Valid(handle_); }
    explicit operator bool() const { return Valid(); }
    T Release() { return std::exchange(handle_, Traits::Invalid()); }
    void Reset(T handle = Traits::Invalid())
    {
        if (Traits::Valid(handle_)) Traits::Close(handle_);
        handle_ = handle;
    }

private:
    T handle_ = Traits::Invalid();
};

struct FileHandleTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Valid(HANDLE h) { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
struct KernelHandleTraits : FileHandleTraits {
    static HANDLE Invalid() { return nullptr; }
};
struct GdiTraits {
    static HGDIOBJ Invalid() { return nullptr; }
    static bool Valid(HGDIOBJ h) { return h != nullptr; }
    static void Close(HGDIOBJ h) { DeleteObject(h); }
};
struct FindTraits {
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Valid(HANDLE h) { return h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { FindClose(h); }
};
struct ModuleTraits {
    static HMODULE Invalid() { return nullptr; }
    static bool Valid(HMODULE h) { return h != nullptr; }
    static void Close(HMODULE h) { FreeLibrary(h); }
};
struct RegKeyTraits {
    static HKEY Invalid() { return nullptr; }
    static bool Valid(HKEY h) { return h != nullptr; }
    static void Close(HKEY h) { RegCloseKey(h); }
};

using FileHandle = UniqueHandle<HANDLE, FileHandleTraits>;    // CreateFile
using KernelHandle = UniqueHandle<HANDLE, KernelHandleTraits>; // processes, events, snapshots
using GdiObject = UniqueHandle<HGDIOBJ, GdiTraits>;
using FindHandle = UniqueHandle<HANDLE, FindTraits>;
using ModuleHandle = UniqueHandle<HMODULE, ModuleTraits>;
using RegKey = UniqueHandle<HKEY, RegKeyTraits>;

} // namespace winui
