#pragma once

// A drag source's data for the drop tests: a real data object that offers chosen formats in global
// memory or as streams, with one content per item index, and records the effect a drop target
// reports back. Beside it, builders of the blocks that the shell and browsers offer, and a whole
// drop (enter, one move, drop) through a drop target.

#include "base/com_object_win.h"
#include "base/scoped_win.h"

#include <windows.h>
#include <ole2.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvalo::test {

constexpr LONG kAllItems = -1;

class TestDataObject final : public ComObject<IDataObject> {
  public:
    static ComPtr<TestDataObject> Create();

    // Offers the bytes in a format for one item index (kAllItems: for all of them), in global
    // memory (TYMED_HGLOBAL) or as a stream (TYMED_ISTREAM) left at its end, as data objects hand
    // them out.
    void Offer(CLIPFORMAT format, std::vector<uint8_t> bytes, LONG index = kAllItems,
               DWORD medium = TYMED_HGLOBAL);
    void Offer(const wchar_t* registeredFormat, std::vector<uint8_t> bytes, LONG index = kAllItems,
               DWORD medium = TYMED_HGLOBAL);

    // The last effect a target gave as "Performed DropEffect"; nothing when none did.
    std::optional<DWORD> PerformedEffect() const { return performedEffect_; }
    // How often a target asked for data (GetData), to tell that a refused drop read nothing.
    int DataRequests() const { return dataRequests_; }

    // From now on every stream handed out, once it has given all its bytes, claims once to have
    // read more than it was asked for, as a broken source may.
    void OverReportStreamEnds() { overReportStreamEnds_ = true; }

    // From now on every medium handed out is watched: memory blocks are lent through an owner
    // object (pUnkForRelease) that frees them when the target gives the medium back, and streams
    // are kept to check that the target let go of them.
    void WatchMedia() { watchMedia_ = true; }
    // Watched memory blocks and streams the target still holds.
    int MediaHeld() const;
    // Format lists (EnumFormatEtc) handed out and not yet released.
    long FormatListsHeld() const { return *liveFormatLists_; }

    // IDataObject
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC* format, STGMEDIUM* medium) override;
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override;
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) override;
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium, BOOL release) override;
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override;
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override;
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override;
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override;

  private:
    struct Offered {
        FORMATETC format;
        std::vector<uint8_t> bytes;
    };
    TestDataObject() = default;
    ~TestDataObject() override = default;
    const Offered* Find(const FORMATETC& format) const;

    std::vector<Offered> offered_;
    std::optional<DWORD> performedEffect_;
    int dataRequests_ = 0;
    bool watchMedia_ = false;
    bool overReportStreamEnds_ = false;
    // Shared with the objects handed out, which may outlive this one.
    std::shared_ptr<long> liveFormatLists_ = std::make_shared<long>(0);
    std::shared_ptr<long> liveLentBlocks_ = std::make_shared<long>(0);
    std::vector<ComPtr<IStream>> watchedStreams_;
};

// The reference count an object has now (taken by adding one and giving it back).
ULONG ReferenceCount(IUnknown* object);

CLIPFORMAT ClipboardFormat(const wchar_t* name);

// The shell's file list (DROPFILES and the names) with UTF-16 or 8-bit names.
std::vector<uint8_t> DropFilesBlock(const std::vector<std::wstring>& names, bool wide);
// A file group descriptor (8-bit or UTF-16) describing one file of that name.
std::vector<uint8_t> FileGroupDescriptorBlock(const std::wstring& name, bool wide);
// The shell's identifier list array for items the shell parses by name (paths, or "::{class}" for
// virtual folders), relative to a parent folder ("" for the desktop) whose list each item's list
// must start with. Empty when the shell cannot parse a name.
std::vector<uint8_t> ShellIdListBlock(const std::wstring& parent,
                                      const std::vector<std::wstring>& items);
// 8-bit text with its NUL.
std::vector<uint8_t> TextBlock(std::string_view text);

// What a target reported at each step of one drop.
struct DropSteps {
    DWORD enterEffect = 0;
    DWORD overEffect = 0;
    HRESULT overResult = S_OK;
    DWORD dropEffect = 0;
    HRESULT dropResult = S_OK;
};

// Drags the source over the target and drops it, holding the MK_ keys, with the effects the source
// allows, at a point on the screen.
DropSteps PerformDrop(IDropTarget* target, IDataObject* source, DWORD keys, DWORD allowedEffects,
                      POINT screenPoint = {0, 0});

}  // namespace corvalo::test
