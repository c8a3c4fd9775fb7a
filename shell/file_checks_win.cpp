#include "shell/file_checks_win.h"

#include "base/scoped_win.h"

#include <windows.h>

#include <vector>

namespace corvalo {
namespace {

bool IsDevice(HANDLE opened) {
    ScopedKernelHandle file(opened);
    return file && GetFileType(file.Get()) != FILE_TYPE_DISK;
}

// No access asked for: enough to learn the kind of thing behind the name, and it neither reads
// nor waits. Folders open too (backup semantics).
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

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

bool OpensAsDevice(const std::wstring& name) {
    return IsDevice(CreateFileW(name.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

bool OpensAsDevice(const std::string& ansiName) {
    return IsDevice(CreateFileA(ansiName.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

}  // namespace corvalo
