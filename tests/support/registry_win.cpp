#include "support/registry_win.h"

#include "base/scoped_win.h"

#include <shlobj.h>

namespace corvalo::test {
namespace {

constexpr wchar_t kUserClasses[] = L"Software\\Classes";

}  // namespace

bool SetDefaultValue(HKEY root, const std::wstring& key, const std::wstring& value) {
    HKEY opened = nullptr;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    ScopedRegistryKey owned(opened);
    return RegSetValueExW(opened, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
           ERROR_SUCCESS;
}

bool KeyExists(HKEY root, const std::wstring& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

void DeleteKey(HKEY root, const std::wstring& key) {
    RegDeleteTreeW(root, key.c_str());
    RegDeleteKeyW(root, key.c_str());
}

TemporaryFileType::TemporaryFileType(const std::wstring& extension, const std::wstring& typeName,
                                     const std::wstring& icon)
    : extension_(extension),
      typeName_(typeName),
      userClassesExisted_(KeyExists(HKEY_CURRENT_USER, kUserClasses)) {
    const std::wstring classes = std::wstring(kUserClasses) + L"\\";
    ok_ = SetDefaultValue(HKEY_CURRENT_USER, classes + extension_, typeName_) &&
          SetDefaultValue(HKEY_CURRENT_USER, classes + typeName_ + L"\\DefaultIcon", icon);
    if (ok_ && !KeyExists(HKEY_CLASSES_ROOT, extension_)) {
        merged_ = true;
        ok_ = SetDefaultValue(HKEY_CLASSES_ROOT, extension_, typeName_) &&
              SetDefaultValue(HKEY_CLASSES_ROOT, typeName_ + L"\\DefaultIcon", icon);
    }
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

TemporaryFileType::~TemporaryFileType() {
    const std::wstring classes = std::wstring(kUserClasses) + L"\\";
    DeleteKey(HKEY_CURRENT_USER, classes + extension_);
    DeleteKey(HKEY_CURRENT_USER, classes + typeName_);
    if (merged_) {
        DeleteKey(HKEY_CLASSES_ROOT, extension_);
        DeleteKey(HKEY_CLASSES_ROOT, typeName_);
    }
    if (!userClassesExisted_)
        RegDeleteKeyW(HKEY_CURRENT_USER, kUserClasses);
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

}  // namespace corvalo::test
