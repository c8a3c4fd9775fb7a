#pragma once

// The pixel density of the screens the program draws on. The manifest asks for per-monitor
// awareness; what the system grants differs (Windows 7 knows one system DPI, Windows 8.1 a DPI
// per monitor but none per window, Windows 10 1607 and later everything, Wine one DPI for every
// monitor), so every function newer than Windows 7 is looked up at run time and the system DPI
// stands in for what a system cannot tell.

#include "base/scoped_functions.h"

#include <windows.h>

namespace corvalo {

// Windows 10 1703's question before a DPI change, which the headers for Windows 7 leave out: the
// size the window wants at the new DPI (WPARAM the DPI, LPARAM a SIZE to fill).
inline constexpr UINT kGetDpiScaledSizeMessage = 0x02E4;

// The newer systems' DPI functions; null where the system lacks one.
struct DpiFunctions {
    UINT(WINAPI* getDpiForWindow)(HWND) = nullptr;
    UINT(WINAPI* getDpiForSystem)() = nullptr;
    // shcore's GetDpiForMonitor (Windows 8.1), asked for the effective DPI.
    HRESULT(WINAPI* getDpiForMonitor)(HMONITOR, int, UINT*, UINT*) = nullptr;
    int(WINAPI* getSystemMetricsForDpi)(int, UINT) = nullptr;
    BOOL(WINAPI* adjustWindowRectExForDpi)(RECT*, DWORD, BOOL, DWORD, UINT) = nullptr;
};

// What this system has, looked up once.
const DpiFunctions& SystemDpiFunctions();

// Puts other functions in the place of the system's while it lives, so that tests can play a
// system without them, or monitors of another DPI than Wine's one.
using ScopedDpiFunctions = ScopedFunctions<DpiFunctions>;

// The DPI the whole system was started with: what a program that is not DPI aware is drawn for.
int SystemDpi();
// The DPI of a monitor, of the monitor at a screen point, and of the monitor a window is on.
int MonitorDpi(HMONITOR monitor);
int DpiAt(POINT screenPoint);
int WindowDpi(HWND window);

// GetSystemMetrics for a DPI: the system's length at its own DPI, scaled, where the system cannot
// answer for another.
int SystemMetricForDpi(int index, int dpi);

// The window rectangle whose client area is `client`, for a window of these styles at `dpi`.
RECT WindowRectForClient(const RECT& client, DWORD style, DWORD extendedStyle, int dpi);

}  // namespace corvalo
