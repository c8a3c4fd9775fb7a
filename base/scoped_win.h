#pragma once

// Small owners for Win32 handles: each closes its handle exactly once, moves but never copies.

#include <windows.h>
#include <objbase.h>
#include <ole2.h>
#include <objidl.h>  // before commctrl.h, which then declares the image-list stream functions
#include <commctrl.h>
#include <shlobj.h>

#include <utility>

namespace corvalo {

template <typename Handle, typename Traits>
class ScopedHandle {
  public:
    ScopedHandle() = default;
    explicit ScopedHandle(Handle handle) : handle_(handle) {}
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.Release()) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    ~ScopedHandle() { Reset(); }

    Handle Get() const { return handle_; }
    bool Valid() const { return Traits::Valid(handle_); }
    explicit operator bool() const { return Valid(); }
    Handle Release() { return std::exchange(handle_, Traits::Invalid()); }
    void Reset(Handle handle = Traits::Invalid()) {
        if (Traits::Valid(handle_))
            Traits::Close(handle_);
        handle_ = handle;
    }

  private:
    Handle handle_ = Traits::Invalid();
};

struct KernelHandleTraits {
    static HANDLE Invalid() { return nullptr; }
    static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { CloseHandle(h); }
};
using ScopedKernelHandle = ScopedHandle<HANDLE, KernelHandleTraits>;

template <typename T>
struct GdiObjectTraits {
    static T Invalid() { return nullptr; }
    static bool Valid(T h) { return h != nullptr; }
    static void Close(T h) { DeleteObject(h); }
};
using ScopedBitmapHandle = ScopedHandle<HBITMAP, GdiObjectTraits<HBITMAP>>;
using ScopedFont = ScopedHandle<HFONT, GdiObjectTraits<HFONT>>;
using ScopedBrush = ScopedHandle<HBRUSH, GdiObjectTraits<HBRUSH>>;
using ScopedRegion = ScopedHandle<HRGN, GdiObjectTraits<HRGN>>;

struct MemoryDcTraits {
    static HDC Invalid() { return nullptr; }
    static bool Valid(HDC h) { return h != nullptr; }
    static void Close(HDC h) { DeleteDC(h); }
};
using ScopedMemoryDc = ScopedHandle<HDC, MemoryDcTraits>;

struct IconTraits {
    static HICON Invalid() { return nullptr; }
    static bool Valid(HICON h) { return h != nullptr; }
    static void Close(HICON h) { DestroyIcon(h); }
};
using ScopedIcon = ScopedHandle<HICON, IconTraits>;

struct EnhMetaFileTraits {
    static HENHMETAFILE Invalid() { return nullptr; }
    static bool Valid(HENHMETAFILE h) { return h != nullptr; }
    static void Close(HENHMETAFILE h) { DeleteEnhMetaFile(h); }
};
using ScopedEnhMetaFile = ScopedHandle<HENHMETAFILE, EnhMetaFileTraits>;

struct ImageListTraits {
    static HIMAGELIST Invalid() { return nullptr; }
    static bool Valid(HIMAGELIST h) { return h != nullptr; }
    static void Close(HIMAGELIST h) { ImageList_Destroy(h); }
};
using ScopedImageList = ScopedHandle<HIMAGELIST, ImageListTraits>;

struct MenuTraits {
    static HMENU Invalid() { return nullptr; }
    static bool Valid(HMENU h) { return h != nullptr; }
    static void Close(HMENU h) { DestroyMenu(h); }  // with its submenus
};
using ScopedMenuHandle = ScopedHandle<HMENU, MenuTraits>;

struct RegistryKeyTraits {
    static HKEY Invalid() { return nullptr; }
    static bool Valid(HKEY h) { return h != nullptr; }
    static void Close(HKEY h) { RegCloseKey(h); }
};
using ScopedRegistryKey = ScopedHandle<HKEY, RegistryKeyTraits>;

struct WindowTraits {
    static HWND Invalid() { return nullptr; }
    static bool Valid(HWND h) { return h != nullptr; }
    static void Close(HWND h) { DestroyWindow(h); }
};
using ScopedWindow = ScopedHandle<HWND, WindowTraits>;

// A view of a file mapping (shared memory), unmapped once.
struct MappedViewTraits {
    static void* Invalid() { return nullptr; }
    static bool Valid(void* view) { return view != nullptr; }
    static void Close(void* view) { UnmapViewOfFile(view); }
};
using ScopedMappedView = ScopedHandle<void*, MappedViewTraits>;

// Memory the system allocated with LocalAlloc for the caller (security descriptors, SID texts).
struct LocalMemoryTraits {
    static HLOCAL Invalid() { return nullptr; }
    static bool Valid(HLOCAL memory) { return memory != nullptr; }
    static void Close(HLOCAL memory) { LocalFree(memory); }
};
using ScopedLocalMemory = ScopedHandle<HLOCAL, LocalMemoryTraits>;

// A window's device context, released to that window.
class ScopedWindowDc {
  public:
    explicit ScopedWindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ScopedWindowDc(const ScopedWindowDc&) = delete;
    ScopedWindowDc& operator=(const ScopedWindowDc&) = delete;
    ~ScopedWindowDc() {
        if (dc_)
            ReleaseDC(window_, dc_);
    }
    HDC Get() const { return dc_; }

  private:
    HWND window_;
    HDC dc_;
};

// Selects a GDI object into a DC for one scope and puts the previous one back.
class ScopedSelectObject {
  public:
    ScopedSelectObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ScopedSelectObject(const ScopedSelectObject&) = delete;
    ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;
    ~ScopedSelectObject() {
        if (previous_ && previous_ != HGDI_ERROR)
            SelectObject(dc_, previous_);
    }

  private:
    HDC dc_;
    HGDIOBJ previous_;
};

// WM_PAINT's BeginPaint/EndPaint pair.
class ScopedPaint {
  public:
    explicit ScopedPaint(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
    ScopedPaint(const ScopedPaint&) = delete;
    ScopedPaint& operator=(const ScopedPaint&) = delete;
    ~ScopedPaint() { EndPaint(window_, &paint_); }
    HDC Dc() const { return dc_; }
    const RECT& Area() const { return paint_.rcPaint; }

  private:
    HWND window_;
    HDC dc_;
    PAINTSTRUCT paint_{};
};

// A locked global memory block (clipboard and drag-and-drop data).
class ScopedGlobalLock {
  public:
    explicit ScopedGlobalLock(HGLOBAL memory)
        : memory_(memory), data_(memory ? GlobalLock(memory) : nullptr) {}
    ScopedGlobalLock(const ScopedGlobalLock&) = delete;
    ScopedGlobalLock& operator=(const ScopedGlobalLock&) = delete;
    ~ScopedGlobalLock() {
        if (data_)
            GlobalUnlock(memory_);
    }
    void* Data() const { return data_; }
    size_t Size() const { return data_ ? GlobalSize(memory_) : 0; }

  private:
    HGLOBAL memory_;
    void* data_;
};

// The clipboard, open for one scope.
class ScopedClipboard {
  public:
    explicit ScopedClipboard(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
    ScopedClipboard(const ScopedClipboard&) = delete;
    ScopedClipboard& operator=(const ScopedClipboard&) = delete;
    ~ScopedClipboard() {
        if (open_)
            CloseClipboard();
    }
    bool IsOpen() const { return open_; }

  private:
    bool open_;
};

// OLE on this thread from Start() to the end of the owner's life. OLE counts its users, so it is
// uninitialised only when this start succeeded.
class ScopedOle {
  public:
    ScopedOle() = default;
    ScopedOle(const ScopedOle&) = delete;
    ScopedOle& operator=(const ScopedOle&) = delete;
    ~ScopedOle() {
        if (initialized_)
            OleUninitialize();
    }
    void Start() {
        if (!initialized_)
            initialized_ = SUCCEEDED(OleInitialize(nullptr));
    }

  private:
    bool initialized_ = false;
};

// A reference-counted COM interface pointer.
template <typename T>
class ComPtr {
  public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            pointer_ = std::exchange(other.pointer_, nullptr);
        }
        return *this;
    }
    ~ComPtr() { Reset(); }

    T* Get() const { return pointer_; }
    T* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    // For functions that hand out a new reference through an out parameter.
    T** Receive() {
        Reset();
        return &pointer_;
    }
    void Reset() {
        if (pointer_)
            std::exchange(pointer_, nullptr)->Release();
    }

  private:
    T* pointer_ = nullptr;
};

// An item ID list handed out by the shell, given back to the shell's allocator.
struct ItemIdListTraits {
    static LPITEMIDLIST Invalid() { return nullptr; }
    static bool Valid(LPITEMIDLIST h) { return h != nullptr; }
    static void Close(LPITEMIDLIST h) {
        IMalloc* allocator = nullptr;
        if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator) {
            allocator->Free(h);
            allocator->Release();
        } else {
            CoTaskMemFree(h);
        }
    }
};
using ScopedItemIdList = ScopedHandle<LPITEMIDLIST, ItemIdListTraits>;

// A module loaded with LoadLibraryEx, freed again.
struct LibraryTraits {
    static HMODULE Invalid() { return nullptr; }
    static bool Valid(HMODULE h) { return h != nullptr; }
    static void Close(HMODULE h) { FreeLibrary(h); }
};
using ScopedLibrary = ScopedHandle<HMODULE, LibraryTraits>;

// Global memory the program allocated and still owns (data offered to another program is released
// from the owner once the receiver has taken it).
struct GlobalMemoryTraits {
    static HGLOBAL Invalid() { return nullptr; }
    static bool Valid(HGLOBAL memory) { return memory != nullptr; }
    static void Close(HGLOBAL memory) { GlobalFree(memory); }
};
using ScopedGlobalMemory = ScopedHandle<HGLOBAL, GlobalMemoryTraits>;

// A storage medium a data object handed out, given back with ReleaseStgMedium (which frees the
// memory or releases the stream, or leaves both to the object named in pUnkForRelease).
class ScopedStgMedium {
  public:
    ScopedStgMedium() = default;
    ScopedStgMedium(const ScopedStgMedium&) = delete;
    ScopedStgMedium& operator=(const ScopedStgMedium&) = delete;
    ~ScopedStgMedium() { Reset(); }

    const STGMEDIUM& Get() const { return medium_; }
    // For GetData, which fills in a new medium.
    STGMEDIUM* Receive() {
        Reset();
        return &medium_;
    }
    void Reset() {
        if (medium_.tymed != TYMED_NULL || medium_.pUnkForRelease)
            ReleaseStgMedium(&medium_);
        medium_ = STGMEDIUM{};
    }

  private:
    STGMEDIUM medium_{};
};

}  // namespace corvalo
