#include "support/process_resources_win.h"

#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <cstdint>
#include <cstdio>

namespace corvalo::test {
namespace {

// Wine keeps each process's GDI objects in a table that the process block points to, where
// Windows keeps its shared handle table: 65536 entries of 24 bytes, an entry's type byte (at
// offset 14) being non-zero while its object lives.
constexpr size_t kPebGdiTableOffset = 0xF8;  // 64-bit process block
constexpr size_t kGdiEntries = 0x10000;
constexpr size_t kGdiEntrySize = 24;
constexpr size_t kGdiTypeOffset = 14;
static_assert(sizeof(void*) == 8, "the table offset is the 64-bit one");

const uint8_t* WineGdiTable() {
    using QueryProcess = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<QueryProcess>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION basic{};
    if (!query ||
        query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof(basic), nullptr) != 0) {
        return nullptr;
    }
    const auto* peb = reinterpret_cast<const uint8_t*>(basic.PebBaseAddress);
    return peb ? *reinterpret_cast<const uint8_t* const*>(peb + kPebGdiTableOffset) : nullptr;
}

// USER objects that Wine keeps for this process (menus, icons and cursors) are found by their
// table index: a handle whose upper word is zero stands for whatever object holds that index now.
constexpr uintptr_t kFirstUserHandle = 0x20;
constexpr uintptr_t kUserHandleSlots = (0xFFEF - kFirstUserHandle + 1) / 2;

long WineMenusAndIcons() {
    long count = 0;
    for (uintptr_t slot = 0; slot < kUserHandleSlots; ++slot) {
        const uintptr_t handle = kFirstUserHandle + 2 * slot;
        if (IsMenu(reinterpret_cast<HMENU>(handle))) {
            ++count;
            continue;
        }
        ICONINFO info{};
        if (GetIconInfo(reinterpret_cast<HICON>(handle), &info)) {
            ++count;
            // The information comes with copies of the icon's bitmaps.
            if (info.hbmColor)
                DeleteObject(info.hbmColor);
            if (info.hbmMask)
                DeleteObject(info.hbmMask);
        }
    }
    return count;
}

struct WindowCount {
    DWORD process = GetCurrentProcessId();
    long count = 0;
};

BOOL CALLBACK CountChild(HWND window, LPARAM parameter) {
    auto* counted = reinterpret_cast<WindowCount*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    counted->count += owner == counted->process;
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM parameter) {
    CountChild(window, parameter);
    EnumChildWindows(window, CountChild, parameter);  // every level below it
    return TRUE;
}

// Every window of this process: the top-level ones, the message-only ones, and all their children.
long OwnWindows() {
    WindowCount counted;
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&counted));
    for (HWND window = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); window;
         window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr)) {
        CountTopLevel(window, reinterpret_cast<LPARAM>(&counted));
    }
    return counted.count;
}

// Wine hands out kernel handles from the lowest free slot upwards, so the valid ones lie close
// together; the search ends after a long run of slots that hold nothing.
long WineKernelHandles() {
    constexpr uintptr_t kEmptyRun = 4096;
    long count = 0;
    uintptr_t empty = 0;
    for (uintptr_t value = 4; empty < kEmptyRun; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            ++count;
            empty = 0;
        } else {
            ++empty;
        }
    }
    return count;
}

// Committed pages that no other process or file shares.
size_t CommittedPrivatePages() {
    size_t total = 0;
    MEMORY_BASIC_INFORMATION region{};
    const uint8_t* at = nullptr;
    while (VirtualQuery(at, &region, sizeof(region)) == sizeof(region)) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            total += region.RegionSize;
        const uint8_t* next = static_cast<const uint8_t*>(region.BaseAddress) + region.RegionSize;
        if (next <= at)
            break;
        at = next;
    }
    return total;
}

}  // namespace

bool RunningUnderWine() {
    static const bool wine =
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine;
}

long GdiObjectCount() {
    if (!RunningUnderWine())
        return static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
    const uint8_t* table = WineGdiTable();
    if (!table)
        return -1;
    long count = 0;
    for (size_t i = 0; i < kGdiEntries; ++i)
        count += table[i * kGdiEntrySize + kGdiTypeOffset] != 0;
    return count;
}

long UserObjectCount() {
    if (!RunningUnderWine())
        return static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS));
    return WineMenusAndIcons() + OwnWindows();
}

long KernelHandleCount() {
    if (!RunningUnderWine()) {
        DWORD count = 0;
        return GetProcessHandleCount(GetCurrentProcess(), &count) ? static_cast<long>(count) : -1;
    }
    return WineKernelHandles();
}

size_t PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof(counters);
    if (!RunningUnderWine() &&
        GetProcessMemoryInfo(GetCurrentProcess(),
                             reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof(counters))) {
        return counters.PrivateUsage;
    }
    return CommittedPrivatePages();
}

ResourceSnapshot TakeResourceSnapshot() {
    return {GdiObjectCount(), UserObjectCount(), KernelHandleCount(), PrivateBytes()};
}

std::string Describe(const ResourceSnapshot& snapshot) {
    char text[160];
    std::snprintf(text, sizeof(text),
                  "%ld GDI, %ld USER objects, %ld kernel handles, %.2f MB private memory",
                  snapshot.gdi, snapshot.user, snapshot.kernel, snapshot.privateBytes / 1048576.0);
    return text;
}

}  // namespace corvalo::test
