#include "support/test_support_win.h"

#include "support/shortcut_file_win.h"

#include "base/scoped_win.h"

#include <gtest/gtest.h>

namespace corvalo::test {

MainWindowOptions TestWindowOptions(const std::wstring& exePath, UserMessages& messages) {
    MainWindowOptions options;
    options.exePath = exePath;
    options.messages = &messages;
    options.quitWhenDestroyed = false;
    return options;
}

TempFolder::TempFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static int counter = 0;
    for (;;) {
        path_ = std::wstring(temp) + L"corvalo-test-" + std::to_wstring(GetCurrentProcessId()) +
                L"-" + std::to_wstring(++counter);
        if (CreateDirectoryW(path_.c_str(), nullptr))
            break;
        if (GetLastError() != ERROR_ALREADY_EXISTS) {
            ADD_FAILURE() << "cannot create a temporary folder";
            break;
        }
    }
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::path(path_), ignored);
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<uint8_t> ReadBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::vector<uint8_t> bytes(GetFileSize(file, nullptr));
    DWORD got = 0;
    if (!bytes.empty())
        ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(file);
    bytes.resize(got);
    return bytes;
}

void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD wrote = 0;
    if (!bytes.empty())
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr);
    CloseHandle(file);
}

std::wstring IniValue(const std::wstring& path, const std::wstring& section,
                      const std::wstring& key) {
    wchar_t buffer[4096];
    GetPrivateProfileStringW(section.c_str(), key.c_str(), L"<missing>", buffer, 4096,
                             path.c_str());
    return buffer;
}

void SetIniValue(const std::wstring& path, const std::wstring& section, const std::wstring& key,
                 const std::wstring& value) {
    WritePrivateProfileStringW(section.c_str(), key.c_str(), value.c_str(), path.c_str());
}

HeldKeys::HeldKeys(bool shift, bool control) {
    GetKeyboardState(saved_);
    BYTE state[256];
    GetKeyboardState(state);
    state[VK_SHIFT] = shift ? 0x80 : 0;
    state[VK_CONTROL] = control ? 0x80 : 0;
    SetKeyboardState(state);
}

HeldKeys::~HeldKeys() {
    SetKeyboardState(saved_);
}

void PumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

std::wstring TestProgram(const std::wstring& name) {
    std::vector<wchar_t> path(32768);
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    std::wstring own(path.data(), length);
    return own.substr(0, own.find_last_of(L'\\') + 1) + name + L".exe";
}

void SaveShortcut(const std::wstring& shortcut, const std::wstring& target, LPCITEMIDLIST itemIds) {
    ASSERT_HRESULT_SUCCEEDED(WriteShortcutFile(shortcut, target, itemIds));
}

}  // namespace corvalo::test
