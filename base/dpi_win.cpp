#include "base/dpi_win.h"

#include "base/dll_search_win.h"
#include "base/dpi_scale.h"

namespace corvalo {
namespace {

// shcore's MDT_EFFECTIVE_DPI: the DPI the system scales by, which per-monitor programs draw for.
constexpr int kEffectiveDpi = 0;

template <typename Function>
void LookUp(HMODULE module, const char* name, Function& function) {
    function =
        module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
               : nullptr;
}

DpiFunctions LookUpSystemFunctions() {
    DpiFunctions functions;
    HMODULE user = GetModuleHandleW(L"user32.dll");
    LookUp(user, "GetDpiForWindow", functions.getDpiForWindow);
    LookUp(user, "GetDpiForSystem", functions.getDpiForSystem);
    LookUp(user, "GetSystemMetricsForDpi", functions.getSystemMetricsForDpi);
    LookUp(user, "AdjustWindowRectExForDpi", functions.adjustWindowRectExForDpi);
    // Never unloaded: the function stays in use until the process ends.
    LookUp(LoadSystemDll("shcore.dll"), "GetDpiForMonitor", functions.getDpiForMonitor);
    return functions;
}

const DpiFunctions& Functions() {
    return ScopedDpiFunctions::Current(SystemDpiFunctions());
}

int Valid(UINT dpi) {
    return dpi > 0 && dpi < 0x10000 ? static_cast<int>(dpi) : 0;
}

}  // namespace

const DpiFunctions& SystemDpiFunctions() {
    static const DpiFunctions functions = LookUpSystemFunctions();
    return functions;
}

int SystemDpi() {
    if (Functions().getDpiForSystem) {
        if (const int dpi = Valid(Functions().getDpiForSystem()))
            return dpi;
    }
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kBaseDpi;
}

int MonitorDpi(HMONITOR monitor) {
    UINT x = 0;
    UINT y = 0;
    if (monitor && Functions().getDpiForMonitor &&
        SUCCEEDED(Functions().getDpiForMonitor(monitor, kEffectiveDpi, &x, &y))) {
        if (const int dpi = Valid(y))
            return dpi;
    }
    return SystemDpi();
}

int DpiAt(POINT screenPoint) {
    return MonitorDpi(MonitorFromPoint(screenPoint, MONITOR_DEFAULTTONEAREST));
}

int WindowDpi(HWND window) {
    if (window && Functions().getDpiForWindow) {
        if (const int dpi = Valid(Functions().getDpiForWindow(window)))
            return dpi;
    }
    return MonitorDpi(window ? MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST) : nullptr);
}

int SystemMetricForDpi(int index, int dpi) {
    if (Functions().getSystemMetricsForDpi && dpi > 0)
        return Functions().getSystemMetricsForDpi(index, static_cast<UINT>(dpi));
    const int system = SystemDpi();
    const int length = GetSystemMetrics(index);
    return dpi > 0 && dpi != system ? DpiScaled(DpiUnscaled(length, system), dpi) : length;
}

RECT WindowRectForClient(const RECT& client, DWORD style, DWORD extendedStyle, int dpi) {
    RECT bounds = client;
    if (Functions().adjustWindowRectExForDpi && dpi > 0 &&
        Functions().adjustWindowRectExForDpi(&bounds, style, FALSE, extendedStyle,
                                             static_cast<UINT>(dpi))) {
        return bounds;
    }
    bounds = client;
    AdjustWindowRectEx(&bounds, style, FALSE, extendedStyle);
    return bounds;
}

}  // namespace corvalo
