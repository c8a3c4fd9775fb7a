#include "base/window_win.h"

#include "base/error.h"
#include "base/system_error_win.h"
#include "base/trace.h"
#include "resources/resource_ids.h"

#include <string>

namespace corvalo {
namespace {

// Registers a class of this module with the shared procedure, the program's icon and the arrow
// cursor, once: a class already registered is left as it is.
void RegisterOnce(const WindowClass& description, WNDPROC procedure) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    if (GetClassInfoExW(instance, description.name, &windowClass))
        return;
    windowClass.style = description.style;
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
    windowClass.hbrBackground = description.background;
    windowClass.lpszClassName = description.name;
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        ThrowSystemError(std::wstring(L"Failed to register ") + description.description);
}

MessageBoxUserMessages& ErrorBoxes() {
    static MessageBoxUserMessages boxes;
    return boxes;
}

}  // namespace

ProgramWindow::~ProgramWindow() {
    DestroyWithoutHandlers();
}

void ProgramWindow::DestroyWithoutHandlers() {
    if (HWND window = handle_.Get())
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    handle_.Reset();
}

void ProgramWindow::Create(const WindowClass& windowClass, DWORD extendedStyle,
                           const wchar_t* title, DWORD style, const WindowPlacement& placement,
                           HMENU childId) {
    RegisterOnce(windowClass, &ProgramWindow::Procedure);
    // The handle is taken at WM_NCCREATE (Procedure); a window whose creation fails on the way
    // has been destroyed again by then.
    if (!CreateWindowExW(extendedStyle, windowClass.name, title, style, placement.x, placement.y,
                         placement.width, placement.height, placement.parent, childId,
                         GetModuleHandleW(nullptr), this)) {
        ThrowSystemError(std::wstring(L"Failed to create ") + windowClass.description);
    }
}

void ProgramWindow::Destroy() {
    if (HWND window = handle_.Get())
        DestroyWindow(window);  // WM_NCDESTROY lets the handle go
}

UserMessages& ProgramWindow::Messages() {
    return ErrorBoxes();
}

LRESULT CALLBACK ProgramWindow::Procedure(HWND window, UINT id, WPARAM wParam, LPARAM lParam) {
    if (id == WM_NCCREATE) {
        auto* self = static_cast<ProgramWindow*>(
            reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        self->handle_.Reset(window);
    }
    auto* self = reinterpret_cast<ProgramWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self || self->handle_.Get() != window)
        return DefWindowProcW(window, id, wParam, lParam);

    const WindowMessage message{window, id, wParam, lParam};
    LRESULT result = 0;
    const bool handled =
        RunHandler(self->Messages(), window, [&] { result = self->OnMessage(message); });
    if (!handled) {
        // A window that could not be made is not made; a paint that failed is not asked for again
        // at once, or its error box would bring the next one.
        if (id == WM_NCCREATE || id == WM_CREATE)
            result = id == WM_NCCREATE ? FALSE : -1;
        if (id == WM_PAINT)
            ValidateRect(window, nullptr);
    }
    if (id == WM_NCDESTROY) {
        // The window is gone: the object lets its handle go without destroying it again.
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->handle_.Release();
    }
    return result;
}

}  // namespace corvalo
