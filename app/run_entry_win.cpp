#include "app/run_entry_win.h"

#include "base/error.h"

namespace corvalo {
namespace {

constexpr wchar_t kRunKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr REGSAM kFullAccess = KEY_ALL_ACCESS;  // 0xF003F

}  // namespace

ScopedRegistryKey OpenUserRunKey(bool create) {
    HKEY key = nullptr;
    const LONG result =
        create ? RegCreateKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, nullptr,
                                 REG_OPTION_NON_VOLATILE, kFullAccess, nullptr, &key, nullptr)
               : RegOpenKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, kFullAccess, &key);
    return ScopedRegistryKey(result == ERROR_SUCCESS ? key : nullptr);
}

bool RunEntryExists(const std::wstring& valueName, const RunKeyOpener& open) {
    ScopedRegistryKey key = open(false);
    if (!key)
        return false;
    return RegQueryValueExW(key.Get(), valueName.c_str(), nullptr, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

void SetRunEntry(const std::wstring& valueName, const std::wstring& exePath, bool on,
                 const RunKeyOpener& open) {
    ScopedRegistryKey key = open(true);
    if (!key)
        return;
    if (!on) {
        RegDeleteValueW(key.Get(), valueName.c_str());
        return;
    }
    const DWORD bytes = static_cast<DWORD>((exePath.size() + 1) * sizeof(wchar_t));
    if (RegSetValueExW(key.Get(), valueName.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(exePath.c_str()), bytes) != ERROR_SUCCESS) {
        throw Error(FillText(L"Failed to set data for '%s'", {valueName}));
    }
}

}  // namespace corvalo
