#include "support/test_data_object_win.h"

#include "base/text.h"
#include "launcher/dropped_data.h"

#include <shlobj.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace corvalo::test {
namespace {

// The platform's own layouts, which the portable readers spell out by offset.
static_assert(offsetof(FILEGROUPDESCRIPTORA, fgd[0].cFileName) == 76);
static_assert(offsetof(FILEGROUPDESCRIPTORW, fgd[0].cFileName) == 76);
static_assert(sizeof(FILEGROUPDESCRIPTORA) == kDescriptorGroupSize);
static_assert(sizeof(FILEGROUPDESCRIPTORW) == kDescriptorGroupSizeWide);
static_assert(sizeof(DROPFILES) == 20 && offsetof(DROPFILES, fWide) == 16);

class FormatList final : public ComObject<IEnumFORMATETC> {
  public:
    FormatList(std::vector<FORMATETC> formats, size_t next, std::shared_ptr<long> live)
        : formats_(std::move(formats)), next_(next), live_(std::move(live)) {
        ++*live_;
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, FORMATETC* out, ULONG* fetched) override {
        ULONG given = 0;
        for (; given < count && next_ < formats_.size(); ++given)
            out[given] = formats_[next_++];
        if (fetched)
            *fetched = given;
        return given == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        next_ += count;
        return next_ <= formats_.size() ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        next_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumFORMATETC** copy) override {
        if (!copy)
            return E_POINTER;
        *copy = new FormatList(formats_, next_, live_);
        return S_OK;
    }

  private:
    ~FormatList() override { --*live_; }
    std::vector<FORMATETC> formats_;
    size_t next_;
    std::shared_ptr<long> live_;
};

// Owns a memory block lent to a target; ReleaseStgMedium gives the block back by releasing this.
class LentBlock final : public ComObject<IUnknown> {
  public:
    LentBlock(ScopedGlobalMemory memory, std::shared_ptr<long> live)
        : memory_(std::move(memory)), live_(std::move(live)) {
        ++*live_;
    }

  private:
    ~LentBlock() override { --*live_; }
    ScopedGlobalMemory memory_;
    std::shared_ptr<long> live_;
};

// A stream that passes everything on to another, except that at the end of the data its Read
// says once that it gave one byte more than it was asked for.
class OverReportingStream final : public ComObject<IStream> {
  public:
    explicit OverReportingStream(IStream* inner) : inner_(inner) { inner_->AddRef(); }

    HRESULT STDMETHODCALLTYPE Read(void* data, ULONG size, ULONG* read) override {
        ULONG got = 0;
        const HRESULT result = inner_->Read(data, size, &got);
        if (SUCCEEDED(result) && got == 0 && size > 0 && !lied_) {
            lied_ = true;
            got = size + 1;
        }
        if (read)
            *read = got;
        return result;
    }
    HRESULT STDMETHODCALLTYPE Write(const void* data, ULONG size, ULONG* written) override {
        return inner_->Write(data, size, written);
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                   ULARGE_INTEGER* position) override {
        return inner_->Seek(move, origin, position);
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override {
        return inner_->SetSize(size);
    }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream* to, ULARGE_INTEGER size, ULARGE_INTEGER* read,
                                     ULARGE_INTEGER* written) override {
        return inner_->CopyTo(to, size, read, written);
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD flags) override { return inner_->Commit(flags); }
    HRESULT STDMETHODCALLTYPE Revert() override { return inner_->Revert(); }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size,
                                         DWORD type) override {
        return inner_->LockRegion(offset, size, type);
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size,
                                           DWORD type) override {
        return inner_->UnlockRegion(offset, size, type);
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD flags) override {
        return inner_->Stat(stat, flags);
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream** copy) override { return inner_->Clone(copy); }

  private:
    ~OverReportingStream() override { inner_->Release(); }
    IStream* inner_;
    bool lied_ = false;
};

ScopedGlobalMemory GlobalCopy(const std::vector<uint8_t>& bytes) {
    ScopedGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, bytes.size()));
    if (memory && !bytes.empty()) {
        ScopedGlobalLock lock(memory.Get());
        std::memcpy(lock.Data(), bytes.data(), bytes.size());
    }
    return memory;
}

template <typename T>
void AppendRaw(std::vector<uint8_t>& bytes, const T& value) {
    const auto* raw = reinterpret_cast<const uint8_t*>(&value);
    bytes.insert(bytes.end(), raw, raw + sizeof(value));
}

// An identifier list's bytes without its terminating zero.
std::vector<uint8_t> IdListBody(LPCITEMIDLIST list) {
    const UINT size = ILGetSize(list);
    const auto* raw = reinterpret_cast<const uint8_t*>(list);
    return std::vector<uint8_t>(raw, raw + (size >= 2 ? size - 2 : 0));
}

std::optional<std::vector<uint8_t>> ParsedIdList(const std::wstring& name) {
    if (name.empty())
        return std::vector<uint8_t>{};  // the desktop
    LPITEMIDLIST parsed = nullptr;
    if (FAILED(SHParseDisplayName(name.c_str(), nullptr, &parsed, 0, nullptr)) || !parsed)
        return std::nullopt;
    ScopedItemIdList list(parsed);
    return IdListBody(list.Get());
}

}  // namespace

ComPtr<TestDataObject> TestDataObject::Create() {
    ComPtr<TestDataObject> object;
    *object.Receive() = new TestDataObject();
    return object;
}

void TestDataObject::Offer(CLIPFORMAT format, std::vector<uint8_t> bytes, LONG index,
                           DWORD medium) {
    offered_.push_back(
        {FORMATETC{format, nullptr, DVASPECT_CONTENT, index, medium}, std::move(bytes)});
}

void TestDataObject::Offer(const wchar_t* registeredFormat, std::vector<uint8_t> bytes, LONG index,
                           DWORD medium) {
    Offer(ClipboardFormat(registeredFormat), std::move(bytes), index, medium);
}

const TestDataObject::Offered* TestDataObject::Find(const FORMATETC& format) const {
    for (const Offered& offer : offered_) {
        if (offer.format.cfFormat == format.cfFormat && offer.format.lindex == format.lindex &&
            format.dwAspect == DVASPECT_CONTENT && (offer.format.tymed & format.tymed)) {
            return &offer;
        }
    }
    return nullptr;
}

HRESULT TestDataObject::GetData(FORMATETC* format, STGMEDIUM* medium) {
    if (!format || !medium)
        return E_INVALIDARG;
    ++dataRequests_;
    *medium = STGMEDIUM{};
    const Offered* offer = Find(*format);
    if (!offer)
        return DV_E_FORMATETC;
    ScopedGlobalMemory memory = GlobalCopy(offer->bytes);
    if (!memory)
        return E_OUTOFMEMORY;
    if (offer->format.tymed == TYMED_HGLOBAL) {
        medium->tymed = TYMED_HGLOBAL;
        if (watchMedia_) {
            medium->hGlobal = memory.Get();
            medium->pUnkForRelease = new LentBlock(std::move(memory), liveLentBlocks_);
        } else {
            medium->hGlobal = memory.Release();
        }
        return S_OK;
    }
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(memory.Get(), TRUE, &stream)) || !stream)
        return E_OUTOFMEMORY;
    memory.Release();  // the stream frees it
    LARGE_INTEGER end{};
    stream->Seek(end, STREAM_SEEK_END, nullptr);
    if (overReportStreamEnds_) {
        IStream* inner = stream;
        stream = new OverReportingStream(inner);
        inner->Release();
    }
    medium->tymed = TYMED_ISTREAM;
    medium->pstm = stream;
    if (watchMedia_) {
        stream->AddRef();
        *watchedStreams_.emplace_back().Receive() = stream;
    }
    return S_OK;
}

int TestDataObject::MediaHeld() const {
    int held = static_cast<int>(*liveLentBlocks_);
    for (const ComPtr<IStream>& stream : watchedStreams_)
        held += ReferenceCount(stream.Get()) > 1;
    return held;
}

HRESULT TestDataObject::GetDataHere(FORMATETC*, STGMEDIUM*) {
    return E_NOTIMPL;
}

HRESULT TestDataObject::QueryGetData(FORMATETC* format) {
    if (!format)
        return E_INVALIDARG;
    return Find(*format) ? S_OK : DV_E_FORMATETC;
}

HRESULT TestDataObject::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) {
    if (out)
        out->ptd = nullptr;
    return E_NOTIMPL;
}

HRESULT TestDataObject::SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) {
    if (!format || !medium)
        return E_INVALIDARG;
    if (format->cfFormat != ClipboardFormat(L"Performed DropEffect") ||
        medium->tymed != TYMED_HGLOBAL) {
        return E_NOTIMPL;
    }
    {
        ScopedGlobalLock lock(medium->hGlobal);
        if (lock.Size() < sizeof(DWORD))
            return E_INVALIDARG;
        DWORD effect = 0;
        std::memcpy(&effect, lock.Data(), sizeof(effect));
        performedEffect_ = effect;
    }
    if (release)
        ReleaseStgMedium(medium);
    return S_OK;
}

HRESULT TestDataObject::EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) {
    if (!formats)
        return E_POINTER;
    *formats = nullptr;
    if (direction != DATADIR_GET)
        return E_NOTIMPL;
    std::vector<FORMATETC> list;
    for (const Offered& offer : offered_)
        list.push_back(offer.format);
    *formats = new FormatList(std::move(list), 0, liveFormatLists_);
    return S_OK;
}

HRESULT TestDataObject::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) {
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT TestDataObject::DUnadvise(DWORD) {
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT TestDataObject::EnumDAdvise(IEnumSTATDATA**) {
    return OLE_E_ADVISENOTSUPPORTED;
}

ULONG ReferenceCount(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

CLIPFORMAT ClipboardFormat(const wchar_t* name) {
    return static_cast<CLIPFORMAT>(RegisterClipboardFormatW(name));
}

std::vector<uint8_t> DropFilesBlock(const std::vector<std::wstring>& names, bool wide) {
    DROPFILES header{};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = wide;
    std::vector<uint8_t> block;
    AppendRaw(block, header);
    for (const std::wstring& name : names) {
        if (wide) {
            for (wchar_t c : name)
                AppendRaw(block, c);
            AppendRaw(block, L'\0');
        } else {
            const std::string ansi = WideToAnsi(name);
            block.insert(block.end(), ansi.begin(), ansi.end());
            block.push_back(0);
        }
    }
    block.insert(block.end(), wide ? 2 : 1, 0);
    return block;
}

std::vector<uint8_t> FileGroupDescriptorBlock(const std::wstring& name, bool wide) {
    std::vector<uint8_t> block;
    if (wide) {
        FILEGROUPDESCRIPTORW group{};
        group.cItems = 1;
        group.fgd[0].dwFlags = FD_ATTRIBUTES;
        group.fgd[0].dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
        lstrcpynW(group.fgd[0].cFileName, name.c_str(), MAX_PATH);
        AppendRaw(block, group);
    } else {
        FILEGROUPDESCRIPTORA group{};
        group.cItems = 1;
        group.fgd[0].dwFlags = FD_ATTRIBUTES;
        group.fgd[0].dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
        lstrcpynA(group.fgd[0].cFileName, WideToAnsi(name).c_str(), MAX_PATH);
        AppendRaw(block, group);
    }
    return block;
}

namespace {

std::vector<uint8_t> ShellIdListBlockOnce(const std::wstring& parent,
                                          const std::vector<std::wstring>& items) {
    const std::optional<std::vector<uint8_t>> parentList = ParsedIdList(parent);
    if (!parentList)
        return {};
    std::vector<std::vector<uint8_t>> itemLists;
    for (const std::wstring& item : items) {
        std::optional<std::vector<uint8_t>> list = ParsedIdList(item);
        if (!list || list->size() < parentList->size() ||
            !std::equal(parentList->begin(), parentList->end(), list->begin())) {
            return {};
        }
        itemLists.emplace_back(list->begin() + parentList->size(), list->end());
    }
    // The count, the offsets, then each list followed by its terminating zero.
    std::vector<uint8_t> block;
    AppendRaw(block, static_cast<UINT>(items.size()));
    size_t offset = sizeof(UINT) * (items.size() + 2);
    AppendRaw(block, static_cast<UINT>(offset));
    offset += parentList->size() + 2;
    for (const auto& list : itemLists) {
        AppendRaw(block, static_cast<UINT>(offset));
        offset += list.size() + 2;
    }
    block.insert(block.end(), parentList->begin(), parentList->end());
    block.insert(block.end(), 2, 0);
    for (const auto& list : itemLists) {
        block.insert(block.end(), list.begin(), list.end());
        block.insert(block.end(), 2, 0);
    }
    return block;
}

}  // namespace

std::vector<uint8_t> ShellIdListBlock(const std::wstring& parent,
                                      const std::vector<std::wstring>& items) {
    // In a Wine prefix made moments ago the shell's namespace may not answer at once (its first
    // start is still finishing the prefix): a few more tries before giving up.
    for (int attempt = 0;; ++attempt) {
        std::vector<uint8_t> block = ShellIdListBlockOnce(parent, items);
        if (!block.empty() || attempt == 30)
            return block;
        Sleep(200);
    }
}

std::vector<uint8_t> TextBlock(std::string_view text) {
    std::vector<uint8_t> block(text.begin(), text.end());
    block.push_back(0);
    return block;
}

DropSteps PerformDrop(IDropTarget* target, IDataObject* source, DWORD keys, DWORD allowedEffects,
                      POINT screenPoint) {
    const POINTL point{screenPoint.x, screenPoint.y};
    DropSteps steps;
    steps.enterEffect = allowedEffects;
    target->DragEnter(source, keys, point, &steps.enterEffect);
    steps.overEffect = allowedEffects;
    steps.overResult = target->DragOver(keys, point, &steps.overEffect);
    steps.dropEffect = allowedEffects;
    steps.dropResult = target->Drop(source, keys, point, &steps.dropEffect);
    return steps;
}

}  // namespace corvalo::test
