#include "shell/own_path_win.h"

#include <windows.h>

#include <vector>

namespace corvalo {

std::wstring OwnExecutablePath() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size())
            return std::wstring(path.data(), length);
        // Cut short: the buffer was too small.
        path.resize(path.size() * 2);
    }
}

}  // namespace corvalo
