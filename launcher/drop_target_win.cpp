#include "launcher/drop_target_win.h"

#include "base/trace.h"
#include "base/com_object_win.h"
#include "base/scoped_win.h"
#include "base/text.h"
#include "launcher/dropped_data.h"

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <cstring>
#include <cwchar>
#include <optional>
#include <span>
#include <utility>

namespace corvalo {
namespace {

// The formats that the platform and browsers register by name, registered once at the first drag.
struct RegisteredFormats {
    CLIPFORMAT shellIdList;
    CLIPFORMAT fileNameMap;
    CLIPFORMAT fileNameMapWide;
    CLIPFORMAT fileGroupDescriptor;
    CLIPFORMAT fileGroupDescriptorWide;
    CLIPFORMAT fileContents;
    CLIPFORMAT url;
    CLIPFORMAT performedDropEffect;
};

CLIPFORMAT RegisterFormat(const wchar_t* name) {
    return static_cast<CLIPFORMAT>(RegisterClipboardFormatW(name));
}

const RegisteredFormats& Formats() {
    static const RegisteredFormats formats{
        RegisterFormat(L"Shell IDList Array"),     RegisterFormat(L"FileNameMap"),
        RegisterFormat(L"FileNameMapW"),           RegisterFormat(L"FileGroupDescriptor"),
        RegisterFormat(L"FileGroupDescriptorW"),   RegisterFormat(L"FileContents"),
        RegisterFormat(L"UniformResourceLocator"), RegisterFormat(L"Performed DropEffect"),
    };
    return formats;
}

// One format a data kind reads, with the item it asks for: every format describes all items (-1)
// except a file's contents, which are asked for the first file.
struct FormatRequest {
    CLIPFORMAT format;
    LONG index;
};

constexpr LONG kAllItems = -1;

// The data kinds the windows take, each with its formats in the order it tries them.
std::vector<std::vector<FormatRequest>> DataKinds() {
    const RegisteredFormats& f = Formats();
    return {
        // the dropped file list
        {{CF_HDROP, kAllItems}, {f.shellIdList, kAllItems}},
        // the URL and its title
        {{f.fileGroupDescriptor, kAllItems},
         {f.fileGroupDescriptorWide, kAllItems},
         {f.fileContents, 0},
         {f.url, kAllItems},
         {CF_TEXT, kAllItems},
         {CF_HDROP, kAllItems}},
        // the file name map, which renamed copies carry
        {{f.fileNameMap, kAllItems}, {f.fileNameMapWide, kAllItems}},
    };
}

FORMATETC Request(CLIPFORMAT format, LONG index) {
    return FORMATETC{format, nullptr, DVASPECT_CONTENT, index, TYMED_HGLOBAL | TYMED_ISTREAM};
}

bool KindAvailable(IDataObject* source, const std::vector<FormatRequest>& kind) {
    for (const FormatRequest& request : kind) {
        FORMATETC format = Request(request.format, request.index);
        if (source->QueryGetData(&format) == S_OK)
            return true;
    }
    return false;
}

// A drag is taken when the source lists a format of one of the kinds (as content, in memory or a
// stream) and that kind finds one of its formats available.
bool Acceptable(IDataObject* source) {
    ComPtr<IEnumFORMATETC> offered;
    if (FAILED(source->EnumFormatEtc(DATADIR_GET, offered.Receive())) || !offered)
        return false;
    const std::vector<std::vector<FormatRequest>> kinds = DataKinds();
    // A source's list is short; an enumerator that never ends must not hang the drag.
    constexpr int kMostFormats = 1000;
    for (int i = 0; i < kMostFormats; ++i) {
        FORMATETC format{};
        ULONG fetched = 0;
        if (offered->Next(1, &format, &fetched) != S_OK || fetched != 1)
            break;
        if (format.ptd)
            CoTaskMemFree(format.ptd);
        if (format.dwAspect != DVASPECT_CONTENT ||
            !(format.tymed & (TYMED_HGLOBAL | TYMED_ISTREAM))) {
            continue;
        }
        for (const auto& kind : kinds) {
            for (const FormatRequest& request : kind) {
                if (request.format == format.cfFormat && KindAvailable(source, kind))
                    return true;
            }
        }
    }
    return false;
}

// The whole of a stream, or nothing when it holds more than a drop may bring or is damaged. The
// data starts at the stream's beginning; a data object leaves its stream positioned at the end of
// the data.
std::optional<std::vector<uint8_t>> ReadStream(IStream* stream) {
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);  // one that cannot seek is read from where it is
    constexpr ULONG kChunk = 64 * 1024;
    std::vector<uint8_t> bytes;
    for (;;) {
        const size_t had = bytes.size();
        bytes.resize(had + kChunk);
        ULONG got = 0;
        const HRESULT result = stream->Read(bytes.data() + had, kChunk, &got);
        // A stream that claims more than it was asked for has lost track of its data: nothing it
        // gave, before or now, can be trusted to be whole.
        if (got > kChunk)
            return std::nullopt;
        bytes.resize(had + got);
        if (FAILED(result) || bytes.size() > kMaxDroppedStreamBytes)
            return std::nullopt;
        if (result != S_OK || got == 0)
            return bytes;
    }
}

// Hands the bytes of one format to read; false when the source does not give them. Memory blocks
// are read in place, streams are read whole first.
template <typename Read>
bool ReadFormat(IDataObject* source, CLIPFORMAT format, LONG index, Read&& read) {
    FORMATETC request = Request(format, index);
    ScopedStgMedium medium;
    if (source->GetData(&request, medium.Receive()) != S_OK)
        return false;
    const STGMEDIUM& data = medium.Get();
    if (data.tymed == TYMED_HGLOBAL) {
        ScopedGlobalLock lock(data.hGlobal);
        read(std::span<const uint8_t>(static_cast<const uint8_t*>(lock.Data()), lock.Size()));
        return true;
    }
    if (data.tymed == TYMED_ISTREAM && data.pstm) {
        const std::optional<std::vector<uint8_t>> bytes = ReadStream(data.pstm);
        if (!bytes)
            return false;
        read(std::span<const uint8_t>(*bytes));
        return true;
    }
    return false;
}

// The text of a shortcut file that others may read meanwhile but not change; nothing for anything
// but a file on disk (a device or pipe could keep the read waiting) or a file of more than a drop
// may bring.
std::optional<std::string> ReadShortcutFile(const std::wstring& path) {
    ScopedKernelHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || GetFileType(file.Get()) != FILE_TYPE_DISK)
        return std::nullopt;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 ||
        static_cast<unsigned long long>(size.QuadPart) > kMaxDroppedStreamBytes) {
        return std::nullopt;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    if (!bytes.empty() &&
        !ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr)) {
        return std::nullopt;
    }
    bytes.resize(got);
    return std::string(TextUpToNul(bytes));
}

// The file-system paths of the shell's identifier lists; an item that has none (a printer, the
// control panel, a damaged list) gives an empty name in its place.
std::vector<std::wstring> ShellIdListNames(std::span<const uint8_t> block) {
    const std::optional<ShellIdLists> lists = ParseShellIdLists(block);
    if (!lists)
        return {};
    // Copies, so that the shell reads aligned lists that end where the checks said.
    auto copy = [&](const IdListRange& range) {
        return std::vector<uint8_t>(block.begin() + range.offset,
                                    block.begin() + range.offset + range.size);
    };
    const std::vector<uint8_t> parent = copy(lists->parent);
    std::vector<std::wstring> names;
    for (const std::optional<IdListRange>& item : lists->items) {
        std::wstring name;
        if (item) {
            const std::vector<uint8_t> child = copy(*item);
            ScopedItemIdList joined(ILCombine(reinterpret_cast<PCIDLIST_ABSOLUTE>(parent.data()),
                                              reinterpret_cast<PCUIDLIST_RELATIVE>(child.data())));
            wchar_t path[MAX_PATH] = {};
            if (joined && SHGetPathFromIDListW(joined.Get(), path)) {
                path[MAX_PATH - 1] = L'\0';
                name = path;
            }
        }
        names.push_back(std::move(name));
    }
    return names;
}

// Tells the source what became of its data, for sources that act on it only after the drop.
void OfferPerformedEffect(IDataObject* source, DWORD effect) {
    ScopedGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, sizeof(effect)));
    if (!memory)
        return;
    {
        ScopedGlobalLock lock(memory.Get());
        if (!lock.Data())
            return;
        std::memcpy(lock.Data(), &effect, sizeof(effect));
    }
    FORMATETC format{Formats().performedDropEffect, nullptr, DVASPECT_CONTENT, kAllItems,
                     TYMED_HGLOBAL};
    STGMEDIUM medium{};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = memory.Get();
    // A source that takes the data owns the memory from then on.
    if (SUCCEEDED(source->SetData(&format, &medium, TRUE)))
        memory.Release();
}

DWORD ChooseEffect(DWORD keys, DWORD sourceEffects) {
    return ChooseDropEffect((keys & MK_CONTROL) != 0, (keys & MK_SHIFT) != 0, sourceEffects);
}

class FlagScope {
  public:
    explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;
    ~FlagScope() { flag_ = false; }

  private:
    bool& flag_;
};

}  // namespace

class DropComboTarget::Implementation final : public ComObject<IDropTarget> {
  public:
    Implementation(DropHandler onDrop, std::function<bool()> accepting)
        : onDrop_(std::move(onDrop)), accepting_(std::move(accepting)) {}

    // IDropTarget
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* source, DWORD keys, POINTL,
                                        DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* source, DWORD keys, POINTL point,
                                   DWORD* effect) override;

    void Register(HWND window);
    void Revoke();
    // The owner is gone: drops end without a handler from now on.
    void Detach() {
        Revoke();
        detached_ = true;
    }

    std::vector<std::wstring> files;
    std::string url;
    std::wstring title;

  private:
    ~Implementation() override = default;

    void ClearData() {
        files.clear();
        url.clear();
        title.clear();
        fileNameMap_.clear();
    }
    // Whether a drag may drop here now. Not while the window is disabled by a modal loop over it
    // (the item editor, a dialog, an error box): what it would drop would reach into that loop.
    bool Accepting() const {
        return !detached_ && !inHandler_ && (!window_ || IsWindowEnabled(window_)) &&
               (!accepting_ || accepting_());
    }
    void ReadFileList(IDataObject* source);
    void ReadUrlAndTitle(IDataObject* source);
    void ReadFileNameMap(IDataObject* source);

    DropHandler onDrop_;
    std::function<bool()> accepting_;
    HWND window_ = nullptr;
    // The data of an acceptable drag over the window; empty while no drag is, or one was refused.
    ComPtr<IDataObject> source_;
    // While the handler runs (it may show the item editor modally), a drag that enters must not
    // clear the data it is reading.
    bool inHandler_ = false;
    bool detached_ = false;
    std::vector<std::wstring> fileNameMap_;  // read with the rest, used by neither window
};

HRESULT DropComboTarget::Implementation::DragEnter(IDataObject* source, DWORD keys, POINTL,
                                                   DWORD* effect) {
    if (!effect)
        return E_INVALIDARG;
    if (inHandler_) {
        *effect = DROPEFFECT_NONE;
        return S_OK;
    }
    source_.Reset();
    ClearData();
    try {
        if (source && Accepting() && Acceptable(source)) {
            source->AddRef();
            *source_.Receive() = source;
            *effect = ChooseEffect(keys, *effect);
        } else {
            *effect = DROPEFFECT_NONE;
        }
        return S_OK;
    } catch (...) {
        TraceCurrentException(L"A drag over the window was refused");
        source_.Reset();
        *effect = DROPEFFECT_NONE;
        return E_UNEXPECTED;
    }
}

HRESULT DropComboTarget::Implementation::DragOver(DWORD keys, POINTL, DWORD* effect) {
    if (!effect)
        return E_INVALIDARG;
    if (!source_) {
        *effect = DROPEFFECT_NONE;
        return E_UNEXPECTED;
    }
    *effect = Accepting() ? ChooseEffect(keys, *effect) : DROPEFFECT_NONE;
    return S_OK;
}

HRESULT DropComboTarget::Implementation::DragLeave() {
    if (!inHandler_) {
        source_.Reset();
        ClearData();
    }
    return S_OK;
}

HRESULT DropComboTarget::Implementation::Drop(IDataObject* source, DWORD keys, POINTL point,
                                              DWORD* effect) {
    if (!effect)
        return E_INVALIDARG;
    if (inHandler_) {
        *effect = DROPEFFECT_NONE;
        return S_OK;
    }
    // The handler may destroy the window that owns this target; finish the drop all the same.
    AddRef();
    ComPtr<Implementation> keepAlive;
    *keepAlive.Receive() = this;

    const bool accepted = source_ && source && Accepting();
    source_.Reset();
    ClearData();
    DWORD chosen = accepted ? ChooseEffect(keys, *effect) : DROPEFFECT_NONE;
    HRESULT result = S_OK;
    try {
        // A drop the keys and the source leave no effect for is no drop.
        bool delivered = false;
        if (chosen != DROPEFFECT_NONE) {
            ReadFileList(source);
            ReadUrlAndTitle(source);
            ReadFileNameMap(source);
            delivered = !files.empty() || !url.empty() || !title.empty() || !fileNameMap_.empty();
        }
        if (delivered) {
            POINT client{point.x, point.y};
            if (window_)
                ScreenToClient(window_, &client);
            {
                FlagScope running(inHandler_);
                if (onDrop_)
                    onDrop_(keys, client, chosen);
            }
            if (chosen != DROPEFFECT_NONE)
                OfferPerformedEffect(source, chosen);
        } else {
            chosen = DROPEFFECT_NONE;
        }
    } catch (...) {
        // A failure while reading the data or inside the handler ends the drop without a word.
        TraceCurrentException(L"A drop ended without being taken");
        chosen = DROPEFFECT_NONE;
        result = E_UNEXPECTED;
    }
    *effect = chosen;
    ClearData();
    return result;
}

void DropComboTarget::Implementation::ReadFileList(IDataObject* source) {
    ReadFormat(source, CF_HDROP, kAllItems,
               [&](std::span<const uint8_t> block) { files = ParseDropFiles(block).ToWide(); });
    if (!files.empty())
        return;
    ReadFormat(source, Formats().shellIdList, kAllItems,
               [&](std::span<const uint8_t> block) { files = ShellIdListNames(block); });
}

void DropComboTarget::Implementation::ReadUrlAndTitle(IDataObject* source) {
    const RegisteredFormats& f = Formats();
    // Each source sets the URL only while it is empty, the title only while it is empty.
    auto setUrl = [&](std::string_view value) {
        if (url.empty())
            url.assign(value);
    };
    auto setTitle = [&](std::wstring value) {
        if (title.empty())
            title = std::move(value);
    };
    // A link dragged from a browser is described as a shortcut file "<title>.url".
    auto titleFromDescriptor = [&](const std::string& name) {
        if (HasUrlExtension(name))
            setTitle(AnsiToWide(UrlNameTitle(name)));
    };
    ReadFormat(source, f.fileGroupDescriptor, kAllItems, [&](std::span<const uint8_t> block) {
        if (const auto name = FirstDescriptorName(block))
            titleFromDescriptor(*name);
    });
    if (title.empty()) {
        ReadFormat(source, f.fileGroupDescriptorWide, kAllItems,
                   [&](std::span<const uint8_t> block) {
                       if (const auto name = FirstDescriptorNameWide(block))
                           titleFromDescriptor(WideToAnsi(Utf16ToWide(*name)));
                   });
    }
    // The described shortcut's contents, only when a descriptor named one.
    if (url.empty() && !title.empty()) {
        ReadFormat(source, f.fileContents, 0, [&](std::span<const uint8_t> block) {
            if (const auto found = ParseInternetShortcut(TextUpToNul(block)))
                setUrl(*found);
        });
    }
    if (url.empty()) {
        ReadFormat(source, f.url, kAllItems,
                   [&](std::span<const uint8_t> block) { setUrl(TextUpToNul(block)); });
    }
    if (url.empty()) {
        ReadFormat(source, CF_TEXT, kAllItems, [&](std::span<const uint8_t> block) {
            const std::string_view text = TextUpToNul(block);
            if (LooksLikeUrl(text))
                setUrl(text);
        });
    }
    if (!url.empty() && !title.empty())
        return;
    // A shortcut file dragged from the shell.
    ReadFormat(source, CF_HDROP, kAllItems, [&](std::span<const uint8_t> block) {
        const std::vector<std::wstring> names = ParseDropFiles(block).ToWide();
        if (names.empty() || !HasUrlExtension(names.front()))
            return;
        const std::optional<std::string> text = ReadShortcutFile(names.front());
        if (!text)
            return;
        if (const auto found = ParseInternetShortcut(*text)) {
            setUrl(*found);
            setTitle(UrlFileTitle(names.front()));
        }
    });
}

void DropComboTarget::Implementation::ReadFileNameMap(IDataObject* source) {
    ReadFormat(source, Formats().fileNameMap, kAllItems, [&](std::span<const uint8_t> block) {
        fileNameMap_ = ParseNameList(block, false).ToWide();
    });
    if (!fileNameMap_.empty())
        return;
    ReadFormat(source, Formats().fileNameMapWide, kAllItems, [&](std::span<const uint8_t> block) {
        fileNameMap_ = ParseNameList(block, true).ToWide();
    });
}

void DropComboTarget::Implementation::Register(HWND window) {
    if (window && window == window_)
        return;
    Revoke();
    // A window that cannot take drops (OLE not set up, another target registered) still works
    // otherwise; a later Register tries again.
    if (!window)
        return;
    const HRESULT result = RegisterDragDrop(window, this);
    if (SUCCEEDED(result)) {
        window_ = window;
    } else {
        wchar_t code[16];
        swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(result));
        Trace(std::wstring(L"A window was not registered for drops: error ") + code);
    }
}

void DropComboTarget::Implementation::Revoke() {
    if (window_)
        RevokeDragDrop(std::exchange(window_, nullptr));
}

DropComboTarget::DropComboTarget(DropHandler onDrop, std::function<bool()> accepting)
    : implementation_(new Implementation(std::move(onDrop), std::move(accepting))) {}

DropComboTarget::~DropComboTarget() {
    implementation_->Detach();
    implementation_->Release();
}

void DropComboTarget::Register(HWND window) {
    implementation_->Register(window);
}

void DropComboTarget::Revoke() {
    implementation_->Revoke();
}

IDropTarget* DropComboTarget::Target() {
    return implementation_;
}

const std::vector<std::wstring>& DropComboTarget::DroppedFiles() const {
    return implementation_->files;
}

const std::string& DropComboTarget::DroppedUrl() const {
    return implementation_->url;
}

const std::wstring& DropComboTarget::DroppedTitle() const {
    return implementation_->title;
}

}  // namespace corvalo
