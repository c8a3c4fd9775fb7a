#include "base/window_class_win.h"

#include "base/error.h"
#include "resources/resource_ids.h"

namespace corvalo {

void RegisterProgramWindowClass(const wchar_t* className, WNDPROC procedure, UINT style,
                                HBRUSH background) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    if (GetClassInfoExW(instance, className, &windowClass))
        return;
    windowClass.style = style;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    // Both sizes loaded once for every class: left to itself the system would shrink the large
    // icon again for each class it registers.
    static const HICON largeIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APPLICATION_ICON));
    static const HICON smallIcon = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDI_APPLICATION_ICON), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    windowClass.hIcon = largeIcon;
    windowClass.hIconSm = smallIcon;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = className;
    if (!RegisterClassExW(&windowClass))
        throw Error(FillText(L"Failed to register the window class %s", {className}));
}

}  // namespace corvalo
