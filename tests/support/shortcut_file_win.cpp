#include "support/shortcut_file_win.h"

#include "base/scoped_win.h"

namespace corvalo::test {

HRESULT WriteShortcutFile(const std::wstring& shortcut, const std::wstring& target,
                          LPCITEMIDLIST itemIds) {
    ComPtr<IShellLinkW> link;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IShellLinkW, reinterpret_cast<void**>(link.Receive()));
    if (FAILED(result))
        return result;
    result = itemIds ? link->SetIDList(itemIds) : link->SetPath(target.c_str());
    if (FAILED(result))
        return result;
    ComPtr<IPersistFile> file;
    result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Receive()));
    if (FAILED(result))
        return result;
    return file->Save(shortcut.c_str(), TRUE);
}

}  // namespace corvalo::test
