#pragma once

// The program's one window procedure. Every window class of the program derives from ProgramWindow:
// - it owns the window's handle, and destroys the window with the object;
// - it binds the object at WM_NCCREATE, so WM_NCCREATE and WM_CREATE reach the window's own
//   handlers like every later message;
// - it runs every message inside the central error guard: an error that leaves a handler is shown
//   in the error box and the program goes on;
// - each class dispatches its messages to one method per message, through a message map.
//
//   LRESULT Preview::OnMessage(const WindowMessage& message) {
//       static constexpr MessageHandler<Preview> kHandlers[] = {
//           {WM_PAINT, &Preview::OnPaint},
//           {WM_ERASEBKGND, &Preview::OnEraseBackground},
//       };
//       return Dispatch(*this, kHandlers, message);
//   }

#include "base/scoped_win.h"
#include "base/user_messages_win.h"

#include <windows.h>

#include <cstddef>

namespace corvalo {

struct WindowMessage {
    HWND window;
    UINT id;
    WPARAM wParam;
    LPARAM lParam;

    // What the system does with the message when the window leaves it alone.
    LRESULT Default() const { return DefWindowProcW(window, id, wParam, lParam); }
};

// How a window class of the program is registered (once, with the program's icon).
struct WindowClass {
    const wchar_t* name;
    // What the window is to the user, for the error when it cannot be made ("the main window").
    const wchar_t* description;
    UINT style = 0;
    // A system colour (COLOR_xxx + 1) or null for windows that paint every pixel themselves.
    HBRUSH background = nullptr;
};

struct WindowPlacement {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    HWND parent = nullptr;  // the owner of a top-level window, the parent of a child
};

class ProgramWindow {
  public:
    ProgramWindow(const ProgramWindow&) = delete;
    ProgramWindow& operator=(const ProgramWindow&) = delete;

    // Null until Create, and again once the window has been destroyed.
    HWND Handle() const { return handle_.Get(); }

  protected:
    ProgramWindow() = default;
    // Destroys a window that still exists. Its handlers are not called any more: the derived
    // object they belong to is already gone. A window that must run its WM_DESTROY handling calls
    // Destroy first.
    virtual ~ProgramWindow();

    // Registers the class (once) and creates the window over this object. Throws with the
    // system's reason when either fails.
    void Create(const WindowClass& windowClass, DWORD extendedStyle, const wchar_t* title,
                DWORD style, const WindowPlacement& placement, HMENU childId = nullptr);
    // Destroys the window now, through its own handlers.
    void Destroy();
    // Destroys the window now without calling its handlers, as the destructor does: for a derived
    // destructor that must see the window gone before its members are.
    void DestroyWithoutHandlers();

    // Every message of the window, inside the error guard.
    virtual LRESULT OnMessage(const WindowMessage& message) { return message.Default(); }
    // Where an error that leaves a handler is shown: the error box unless a window says otherwise.
    virtual UserMessages& Messages();

  private:
    static LRESULT CALLBACK Procedure(HWND window, UINT id, WPARAM wParam, LPARAM lParam);

    ScopedWindow handle_;
};

// One entry of a message map: the message and the method that handles it.
template <typename Derived>
struct MessageHandler {
    UINT id;
    LRESULT (Derived::*handle)(const WindowMessage&);
};

// The handler the map names for the message, or the system's default.
template <typename Derived, size_t Count>
LRESULT Dispatch(Derived& window, const MessageHandler<Derived> (&map)[Count],
                 const WindowMessage& message) {
    for (const MessageHandler<Derived>& entry : map) {
        if (entry.id == message.id)
            return (window.*entry.handle)(message);
    }
    return message.Default();
}

}  // namespace corvalo
