#pragma once

// One entry of the popup menu: a command item ("Settings...", its commands, the spacer) or a
// launcher entry (one per item, with its icon). Entries are rebuilt as a whole, never patched.

#include "picture/bitmap.h"

#include <memory>
#include <string>
#include <vector>

namespace corvalo {

struct MenuEntry {
    enum class Kind { Command, Launcher };

    Kind kind = Kind::Command;
    std::wstring caption;
    std::string name;  // the command's name ("ADMIN", "Stuff1" ...); empty for launcher entries
    bool ticked = false;
    bool autoTick = false;  // choosing the entry flips its tick before its click handler runs
    Bitmap bitmap;          // a launcher entry's icon; empty when it has none
    // Where the icon is in the shell's system image list, when it is a system icon; -1 for an
    // icon of the icon list or none. Lets a menu drawn large take it from the larger icons.
    int systemIcon = -1;
    std::vector<std::unique_ptr<MenuEntry>> submenu;
};

}  // namespace corvalo
