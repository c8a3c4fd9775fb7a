#pragma once

// The drop target both windows carry: accepts files, shortcuts and links dragged from the shell,
// browsers and other programs through OLE drag and drop, extracts the dropped file list and URL,
// and hands them to the window's drop handler.

#include <windows.h>
#include <ole2.h>

#include <functional>
#include <string>
#include <vector>

namespace corvalo {

class DropComboTarget {
  public:
    // Raised once per drop that delivered something. keyState holds the MK_ flags (shift, control,
    // alt, left, right, middle) at the drop; point is in the window's client coordinates; effect is
    // the chosen effect, which the handler may change. The dropped data can be read meanwhile.
    using DropHandler = std::function<void(DWORD keyState, POINT point, DWORD& effect)>;

    // Drags are refused (DROPEFFECT_NONE from DragEnter, DragOver and Drop) while the registered
    // window is disabled by a modal loop, and while `accepting`, when given, says no.
    explicit DropComboTarget(DropHandler onDrop, std::function<bool()> accepting = {});
    ~DropComboTarget();  // revokes the registration
    DropComboTarget(const DropComboTarget&) = delete;
    DropComboTarget& operator=(const DropComboTarget&) = delete;

    // Registers the window as a drop target (again after its handle was recreated); Revoke undoes
    // it. Registering a window that is already registered to this target does nothing.
    void Register(HWND window);
    void Revoke();

    // The platform interface itself, for the platform and for tests that drive a drop directly.
    IDropTarget* Target();

    // Valid inside the drop handler; empty otherwise.
    const std::vector<std::wstring>& DroppedFiles() const;
    const std::string& DroppedUrl() const;  // 8-bit text in the ANSI code page
    const std::wstring& DroppedTitle() const;

  private:
    class Implementation;
    Implementation* implementation_;  // a COM object: the platform may hold references to it
};

}  // namespace corvalo
