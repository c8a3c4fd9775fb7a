#include "shell/shortcut_target_win.h"

#include "base/trace.h"
#include "base/scoped_win.h"
#include "shell/file_checks_win.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

namespace corvalo {
namespace {

// The shell's published identifiers, spelt out so the lookup does not hang on which headers and
// import libraries define them.
constexpr CLSID kShellLinkClass = {
    0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kShellLinkWideInterface = {
    0x000214F9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr IID kPersistFileInterface = {
    0x0000010B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// COM for the calling thread for one scope. A thread already in a multithreaded apartment
// refuses the single-threaded set-up (RPC_E_CHANGED_MODE) but can create the object all the
// same; only a set-up that succeeded is undone, or the caller's own would be.
class ComScope {
  public:
    ComScope() : initialized_(SUCCEEDED(CoInitialize(nullptr))) {}
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    ~ComScope() {
        if (initialized_)
            CoUninitialize();
    }

  private:
    bool initialized_;
};

std::wstring ReadTarget(const std::wstring& fileName) {
    ComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(kShellLinkClass, nullptr, CLSCTX_INPROC_SERVER,
                                kShellLinkWideInterface,
                                reinterpret_cast<void**>(link.Receive()))) ||
        !link) {
        return {};
    }
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(kPersistFileInterface,
                                    reinterpret_cast<void**>(file.Receive()))) ||
        !file || FAILED(file->Load(fileName.c_str(), STGM_READ))) {
        return {};
    }
    wchar_t path[MAX_PATH] = {};
    if (FAILED(link->GetPath(path, MAX_PATH, nullptr, 0)))
        return {};
    path[MAX_PATH - 1] = L'\0';
    return path;
}

}  // namespace

std::wstring GetShortcutTarget(const std::wstring& fileName) {
    try {
        // A shortcut is a file; a device name would make the load wait for data.
        if (fileName.empty() || OpensAsDevice(fileName))
            return {};
        ComScope com;
        // The objects are released inside ReadTarget, before COM is let go.
        return ReadTarget(fileName);
    } catch (...) {
        TraceCurrentException(L"A shortcut's target was not read");
        return {};
    }
}

}  // namespace corvalo
