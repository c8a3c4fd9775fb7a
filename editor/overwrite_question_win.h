#pragma once

// The question the item editor asks before an item is replaced: "Confirm", "You are about to
// overwrite an item.  Continue?", Yes (the default) and No (also Escape and the close box).

#include <windows.h>

namespace corvalo {

class OverwriteQuestion {
  public:
    virtual ~OverwriteQuestion() = default;
    // True only for Yes.
    virtual bool Ask(HWND owner) = 0;
};

// The real question: a modal dialog centred on the screen, in front of every window.
class DialogOverwriteQuestion final : public OverwriteQuestion {
  public:
    bool Ask(HWND owner) override;
};

inline constexpr wchar_t kOverwriteTitle[] = L"Confirm";
inline constexpr wchar_t kOverwriteText[] = L"You are about to overwrite an item.  Continue?";

}  // namespace corvalo
