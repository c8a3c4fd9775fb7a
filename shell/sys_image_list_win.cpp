#include "shell/sys_image_list_win.h"

#include "picture/dib_win.h"

#include "base/dll_search_win.h"
#include "base/no_destructor.h"
#include "base/trace.h"
#include "base/file_io_win.h"
#include "base/text.h"
#include "shell/file_extension.h"
#include "shell/file_checks_win.h"
#include "shell/special_folder_map.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <mutex>
#include <vector>

namespace corvalo {
namespace {

// Process-wide, shared by every list: the special folders' paths are asked for once per run, and
// the temporary files of unknown extensions are made one at a time, also when several threads
// look names up. Never destroyed: a lookup the shell holds up may still be inside them while the
// process ends.
NoDestructor<std::mutex> specialFolderLock;
NoDestructor<std::mutex> temporaryFileLock;

// The registry limits key names to 255 characters, so no longer extension can have an
// association; such a name is not worth a temporary file either (no file system takes it).
constexpr size_t kLongestRegisteredExtension = 255;

// The shell's list of 48-pixel icons, from SHGetImageList (looked up at run time: the headers for
// Windows 7 leave it out); null where the system has none. Its interface is the list's handle;
// the shell keeps the list for the whole run, so the reference is never given back.
HIMAGELIST ExtraLargeSystemList() {
    constexpr int kExtraLarge = 2;  // SHIL_EXTRALARGE
    static const GUID kImageListInterface = {
        0x46EB5926, 0x582E, 0x4017, {0x9F, 0xDF, 0xE8, 0x99, 0x8D, 0xAA, 0x09, 0x50}};
    using GetImageList = HRESULT(WINAPI*)(int, REFIID, void**);
    HMODULE shell = LoadSystemDll("shell32.dll");
    const auto getImageList = shell ? reinterpret_cast<GetImageList>(reinterpret_cast<void*>(
                                          GetProcAddress(shell, "SHGetImageList")))
                                    : nullptr;
    void* list = nullptr;
    if (!getImageList || FAILED(getImageList(kExtraLarge, kImageListInterface, &list)))
        return nullptr;
    return static_cast<HIMAGELIST>(list);
}

UINT SizeFlag(SysIconSize size) {
    return size == SysIconSize::Small ? SHGFI_SMALLICON : SHGFI_LARGEICON;
}

UINT OpenFlag(bool openIcon) {
    return openIcon ? SHGFI_OPENICON : 0;
}

const SpecialFolderMap& SpecialFolders() {
    static NoDestructor<SpecialFolderMap> map;
    static bool built = false;
    std::lock_guard lock(*specialFolderLock);
    if (!built) {
        built = true;
        for (const SpecialFolder& folder : kSpecialFolders) {
            char path[MAX_PATH] = {};
            // Folders without a path (the control panel, printers, the network) are left out.
            if (SHGetSpecialFolderPathA(nullptr, path, folder.csidl, FALSE) && path[0])
                map->Add(path, folder.csidl);
        }
    }
    return *map;
}

// The icon index the shell reports for an item ID list, or -1 when it answers nothing. The list
// goes back to the shell's allocator in every case.
int AskShell(ScopedItemIdList itemIds, UINT flags) {
    if (!itemIds)
        return -1;
    SHFILEINFOA info{};
    if (!SHGetFileInfoA(reinterpret_cast<LPCSTR>(itemIds.Get()), 0, &info, sizeof(info),
                        SHGFI_SYSICONINDEX | SHGFI_PIDL | flags)) {
        return -1;
    }
    return info.iIcon;
}

// The item ID list of a name as the desktop folder understands it (a path, a drive, a URL ...);
// empty when the shell cannot parse it, for example because the file does not exist.
ScopedItemIdList ParseName(const std::wstring& name) {
    ComPtr<IShellFolder> desktop;
    if (FAILED(SHGetDesktopFolder(desktop.Receive())) || !desktop)
        return {};
    std::vector<wchar_t> buffer(name.begin(), name.end());  // the call takes a writable string
    buffer.push_back(L'\0');
    ULONG eaten = 0;
    LPITEMIDLIST itemIds = nullptr;
    if (FAILED(desktop->ParseDisplayName(nullptr, nullptr, buffer.data(), &eaten, &itemIds,
                                         nullptr))) {
        return {};
    }
    return ScopedItemIdList(itemIds);
}

// A new empty file that the system deletes when its handle closes, also when the process ends
// while the shell is still being asked about it: no lookup leaves a file behind.
ScopedKernelHandle CreateDeletedOnClose(const std::wstring& name, DWORD disposition) {
    return ScopedKernelHandle(CreateFileW(
        name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, disposition, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
}

// The icon of an existing file with the extension: a new empty file of that type in the user's
// temporary folder, asked about and gone again.
int TemporaryFileIcon(const std::string& extension, UINT flags) {
    std::lock_guard lock(*temporaryFileLock);
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD folderLength = GetTempPathW(MAX_PATH + 1, folder);
    if (folderLength == 0 || folderLength > MAX_PATH)
        return 0;
    // GetTempFileName creates the file it names, which makes the name ours; the file with the
    // extension appended is then unique too. The reserved name stays taken until the file made
    // from it is gone (the handles close in the reverse order).
    wchar_t reserved[MAX_PATH] = {};
    if (!GetTempFileNameW(folder, L"sil", 0, reserved))
        return 0;
    const ScopedKernelHandle reservation = CreateDeletedOnClose(reserved, OPEN_EXISTING);
    if (!reservation) {
        DeleteFileW(reserved);
        return 0;
    }
    const std::wstring name = std::wstring(reserved) + AnsiToWide(extension);
    const ScopedKernelHandle file = CreateDeletedOnClose(name, CREATE_NEW);
    if (!file)
        return 0;  // an extension no file name can carry ("*", "|" ...), or the name is taken
    const int index = AskShell(ParseName(name), flags);
    return index > 0 ? index : 0;
}

int LookUpFileIcon(std::string_view fileName, bool openIcon, SysIconSize size) {
    const UINT flags = SizeFlag(size) | OpenFlag(openIcon);
    if (fileName.empty())
        return 0;
    const std::string name(fileName);

    // A special folder shows its own icon rather than that of a plain folder at its path.
    if (const std::optional<int> csidl = SpecialFolders().Find(name)) {
        LPITEMIDLIST itemIds = nullptr;
        if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, *csidl, &itemIds))) {
            const int index = AskShell(ScopedItemIdList(itemIds), flags);
            if (index >= 0)
                return index;
        }
    }

    // Anything the shell can parse: files, folders, drives, URLs.
    if (ScopedItemIdList itemIds = ParseName(AnsiToWide(name))) {
        const int index = AskShell(std::move(itemIds), flags);
        return index > 0 ? index : 0;
    }

    // A missing file: the icon of its type.
    const std::string extension = FileExtension(name);
    if (extension.empty() || extension.size() > kLongestRegisteredExtension || FileExists(name))
        return 0;
    // Asked by extension alone, the shell answers from the registered file type without
    // touching the disk.
    SHFILEINFOA info{};
    const std::string pattern = "*" + extension;
    if (SHGetFileInfoA(pattern.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof(info),
                       SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | flags) &&
        info.iIcon > 0) {
        return info.iIcon;
    }
    return TemporaryFileIcon(extension, flags);
}

}  // namespace

SysImageList::SysImageList(SysIconSize size, SysIconSet set) : set_(set), size_(size) {}

HIMAGELIST SysImageList::Handle() const {
    if (!attached_)
        Attach();
    return list_;
}

void SysImageList::Attach() const {
    attached_ = true;
    toolbar_.Reset();
    list_ = nullptr;
    if (set_ == SysIconSet::System && size_ == SysIconSize::ExtraLarge) {
        list_ = ExtraLargeSystemList();
        if (list_) {
            ImageList_SetBkColor(list_, CLR_NONE);
            return;
        }
    }
    if (set_ == SysIconSet::System) {
        // The shell hands out its list with any file's icon; the program's own file is one that
        // surely exists. The wide path keeps working in a folder whose name the ANSI code page
        // cannot spell.
        const std::wstring path = OwnExecutablePath();
        SHFILEINFOW info{};
        list_ = reinterpret_cast<HIMAGELIST>(
            SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info),
                           SHGFI_SYSICONINDEX | SHGFI_ICONLOCATION | SizeFlag(size_)));
        if (!list_) {
            // Should the program's file be gone, the list of any file type will do.
            list_ = reinterpret_cast<HIMAGELIST>(
                SHGetFileInfoW(L".exe", FILE_ATTRIBUTE_NORMAL, &info, sizeof(info),
                               SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | SizeFlag(size_)));
        }
    } else {
        toolbar_.Reset(CreateWindowExW(0, TOOLBARCLASSNAMEW, nullptr, 0, 0, 0, 0, 0, nullptr,
                                       nullptr, GetModuleHandleW(nullptr), nullptr));
        if (!toolbar_)
            return;
        SendMessageW(toolbar_.Get(), TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
        const bool large = size_ == SysIconSize::Large;
        const int bitmaps[] = {
            large ? IDB_STD_LARGE_COLOR : IDB_STD_SMALL_COLOR,
            large ? IDB_VIEW_LARGE_COLOR : IDB_VIEW_SMALL_COLOR,
            large ? IDB_HIST_LARGE_COLOR : IDB_HIST_SMALL_COLOR,
        };
        for (int bitmap : bitmaps) {
            TBADDBITMAP add{HINST_COMMCTRL, static_cast<UINT_PTR>(bitmap)};
            SendMessageW(toolbar_.Get(), TB_ADDBITMAP, 1000, reinterpret_cast<LPARAM>(&add));
        }
        list_ = reinterpret_cast<HIMAGELIST>(SendMessageW(toolbar_.Get(), TB_GETIMAGELIST, 0, 0));
    }
    if (list_)
        ImageList_SetBkColor(list_, CLR_NONE);
}

int SysImageList::ImageWidth() const {
    int width = 0, height = 0;
    if (!Handle() || !ImageList_GetIconSize(list_, &width, &height))
        return 0;
    return width;
}

int SysImageList::ImageHeight() const {
    int width = 0, height = 0;
    if (!Handle() || !ImageList_GetIconSize(list_, &width, &height))
        return 0;
    return height;
}

int SysImageList::Count() const {
    return Handle() ? ImageList_GetImageCount(list_) : 0;
}

void SysImageList::SetIconSet(SysIconSet set) {
    if (set == set_)
        return;
    set_ = set;
    if (attached_)
        Attach();
}

void SysImageList::SetIconSize(SysIconSize size) {
    if (size == size_)
        return;
    size_ = size;
    if (attached_)
        Attach();
}

bool SysImageList::DrawInto(int index, Bitmap& target) const {
    if (index < 0 || index >= Count())
        return false;
    return DrawListImage(list_, index, target);
}

int SysImageList::FileIconIndex(const std::string& ansiFileName, bool openIcon) const {
    return GetFileIconIndex(ansiFileName, openIcon, size_);
}

int GetFileIconIndex(const std::string& ansiFileName, bool openIcon, SysIconSize size) {
    try {
        // An 8-bit name ends at its first zero byte, as it would for the shell.
        const size_t end = ansiFileName.find('\0');
        return LookUpFileIcon(std::string_view(ansiFileName).substr(0, end), openIcon, size);
    } catch (...) {
        TraceCurrentException(L"A system icon was not looked up");
        return 0;  // out of memory, or a name too long to convert: no icon to offer
    }
}

int UnknownFileTypeIconIndex(SysIconSize size) {
    // A name without an extension has no registered type.
    SHFILEINFOW info{};
    if (!SHGetFileInfoW(L"file", FILE_ATTRIBUTE_NORMAL, &info, sizeof(info),
                        SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | SizeFlag(size))) {
        return 0;
    }
    return info.iIcon;
}

}  // namespace corvalo
