#pragma once

namespace corvalo {

// The program's title: both windows' captions, the taskbar button's text and every message box's
// title.
inline constexpr wchar_t kProgramTitle[] = L"Corvalo";

}  // namespace corvalo
