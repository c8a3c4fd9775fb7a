#include "app/run_entry_win.h"

#include "app/data_paths.h"
#include "base/error.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace corvalo {
namespace {

constexpr wchar_t kRunKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr REGSAM kFullAccess = KEY_ALL_ACCESS;  // 0xF003F

// The text of a string value, its environment variables filled in when it is stored as such;
// nothing when there is no such value or it holds no text.
std::optional<std::wstring> ReadValueText(HKEY key, const std::wstring& name) {
    // Another program may change the value between the two reads: a few tries.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return std::nullopt;
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            return std::nullopt;
        std::vector<wchar_t> data(size / sizeof(wchar_t) + 1, L'\0');
        DWORD got = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        const LONG result = RegQueryValueExW(key, name.c_str(), nullptr, &type,
                                             reinterpret_cast<BYTE*>(data.data()), &got);
        if (result == ERROR_MORE_DATA)
            continue;
        if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
            return std::nullopt;
        // Stored with or without its terminating zero.
        std::wstring text(data.data(), std::min<size_t>(got / sizeof(wchar_t), data.size()));
        if (const size_t end = text.find(L'\0'); end != std::wstring::npos)
            text.resize(end);
        if (type != REG_EXPAND_SZ)
            return text;
        const DWORD needed = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
        std::wstring expanded(needed, L'\0');
        const DWORD written =
            needed ? ExpandEnvironmentStringsW(text.c_str(), expanded.data(), needed) : 0;
        if (written == 0 || written > needed)
            return text;
        expanded.resize(written - 1);
        return expanded;
    }
    return std::nullopt;
}

bool NamesExe(HKEY key, const std::wstring& valueName, const std::wstring& exePath) {
    const std::optional<std::wstring> text = ReadValueText(key, valueName);
    return text && RunValueNamesExe(*text, exePath);
}

}  // namespace

ScopedRegistryKey OpenUserRunKey(bool create) {
    HKEY key = nullptr;
    const LONG result =
        create ? RegCreateKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, nullptr,
                                 REG_OPTION_NON_VOLATILE, kFullAccess, nullptr, &key, nullptr)
               : RegOpenKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, kFullAccess, &key);
    return ScopedRegistryKey(result == ERROR_SUCCESS ? key : nullptr);
}

bool RunEntryExists(const std::wstring& valueName, const std::wstring& exePath,
                    const RunKeyOpener& open) {
    ScopedRegistryKey key = open(false);
    return key && NamesExe(key.Get(), valueName, exePath);
}

void SetRunEntry(const std::wstring& valueName, const std::wstring& exePath, bool on,
                 const RunKeyOpener& open) {
    ScopedRegistryKey key = open(true);
    if (!key)
        return;
    if (!on) {
        if (NamesExe(key.Get(), valueName, exePath))
            RegDeleteValueW(key.Get(), valueName.c_str());
        return;
    }
    const std::wstring text = RunValueText(exePath);
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    if (RegSetValueExW(key.Get(), valueName.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(text.c_str()), bytes) != ERROR_SUCCESS) {
        throw Error(FillText(L"Failed to set data for '%s'", {valueName}));
    }
}

}  // namespace corvalo
