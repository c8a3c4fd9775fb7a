// The drop target through the platform's own interface, as OLE drives it: a hidden window
// registered for drops, data objects built like the shell's and browsers', and the handler's view
// of what was dropped.
#include "launcher/drop_target_win.h"

#include "base/scoped_win.h"
#include "launcher/dropped_data.h"
#include "support/test_data_object_win.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <functional>
#include <stdexcept>

namespace corvalo {
namespace {

using test::DropFilesBlock;
using test::DropSteps;
using test::FileGroupDescriptorBlock;
using test::PerformDrop;
using test::ShellIdListBlock;
using test::TestDataObject;
using test::TextBlock;

constexpr DWORD kCopyLink = DROPEFFECT_COPY | DROPEFFECT_LINK;
constexpr POINT kWindowPosition{300, 200};

std::vector<uint8_t> TextBytes(std::string_view text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

const char kShortcutText[] =
    "[InternetShortcut]\r\nIconIndex=0\r\nURL=https://example.com/from-shortcut\r\n";

// What the handler saw during one drop.
struct Delivery {
    DWORD keys = 0;
    POINT point{};
    DWORD effect = 0;
    std::vector<std::wstring> files;
    std::string url;
    std::wstring title;
};

class DropTarget : public ::testing::Test {
  protected:
    DropTarget() {
        window_.Reset(CreateWindowExW(0, L"STATIC", L"drop", WS_POPUP, kWindowPosition.x,
                                      kWindowPosition.y, 100, 100, nullptr, nullptr,
                                      GetModuleHandleW(nullptr), nullptr));
        target_.Register(window_.Get());
    }

    DropSteps Drop(TestDataObject* source, DWORD keys = 0, DWORD allowed = kCopyLink) {
        return PerformDrop(target_.Target(), source, keys, allowed,
                           {kWindowPosition.x + 7, kWindowPosition.y + 9});
    }

    // After every drop the data is gone again.
    void TearDown() override {
        EXPECT_TRUE(target_.DroppedFiles().empty());
        EXPECT_TRUE(target_.DroppedUrl().empty());
        EXPECT_TRUE(target_.DroppedTitle().empty());
    }

    std::vector<Delivery> deliveries_;
    std::function<void(DWORD&)> duringHandler_;
    ScopedWindow window_;
    DropComboTarget target_{[this](DWORD keys, POINT point, DWORD& effect) {
        deliveries_.push_back({keys, point, effect, target_.DroppedFiles(), target_.DroppedUrl(),
                               target_.DroppedTitle()});
        if (duringHandler_)
            duringHandler_(effect);
    }};
};

TEST_F(DropTarget, DeliversTheShellsFileListInOrder) {
    const std::vector<std::wstring> names = {L"C:\\Docs\\a.txt", L"C:\\Program Files\\b c.lnk",
                                             L"D:\\caf\u00e9"};
    for (bool wide : {true, false}) {
        SCOPED_TRACE(wide ? "UTF-16 names" : "8-bit names");
        deliveries_.clear();
        auto source = TestDataObject::Create();
        source->Offer(CF_HDROP, DropFilesBlock(names, wide));
        const DropSteps steps = Drop(source.Get(), MK_LBUTTON);
        EXPECT_EQ(steps.enterEffect, DROPEFFECT_COPY);
        EXPECT_EQ(steps.overEffect, DROPEFFECT_COPY);
        EXPECT_EQ(steps.dropResult, S_OK);
        EXPECT_EQ(steps.dropEffect, DROPEFFECT_COPY);
        EXPECT_EQ(source->PerformedEffect(), DROPEFFECT_COPY);
        ASSERT_EQ(deliveries_.size(), 1u);
        EXPECT_EQ(deliveries_[0].files, names);
        EXPECT_EQ(deliveries_[0].url, "");
        EXPECT_EQ(deliveries_[0].keys, static_cast<DWORD>(MK_LBUTTON));
        EXPECT_EQ(deliveries_[0].effect, DROPEFFECT_COPY);
        // The handler gets the point in the window's own coordinates.
        EXPECT_EQ(deliveries_[0].point.x, 7);
        EXPECT_EQ(deliveries_[0].point.y, 9);
    }
}

TEST_F(DropTarget, ResolvesShellIdentifierListsToPaths) {
    test::TempFolder folder;
    const std::wstring first = folder.File(L"first.txt");
    const std::wstring second = folder.File(L"second one.txt");
    test::WriteBytes(first, {1});
    test::WriteBytes(second, {2});
    const std::vector<uint8_t> block = ShellIdListBlock(folder.Path(), {first, second});
    ASSERT_FALSE(block.empty()) << "the shell parsed no identifier lists";

    auto source = TestDataObject::Create();
    source->Offer(L"Shell IDList Array", block);
    EXPECT_EQ(Drop(source.Get()).dropEffect, DROPEFFECT_COPY);
    ASSERT_EQ(deliveries_.size(), 1u);
    EXPECT_EQ(deliveries_[0].files, (std::vector<std::wstring>{first, second}));

    // An item whose list lies outside the block keeps its place with an empty name.
    std::vector<uint8_t> damaged = block;
    damaged[12] = 0xF0;
    damaged[13] = 0xFF;
    auto partly = TestDataObject::Create();
    partly->Offer(L"Shell IDList Array", damaged);
    Drop(partly.Get());
    ASSERT_EQ(deliveries_.size(), 2u);
    EXPECT_EQ(deliveries_[1].files, (std::vector<std::wstring>{first, L""}));
    deliveries_.clear();

    // The file list comes first when a source offers both.
    auto both = TestDataObject::Create();
    both->Offer(CF_HDROP, DropFilesBlock({L"C:\\from-hdrop.txt"}, true));
    both->Offer(L"Shell IDList Array", block);
    Drop(both.Get());
    ASSERT_EQ(deliveries_.size(), 1u);
    EXPECT_EQ(deliveries_[0].files, std::vector<std::wstring>{L"C:\\from-hdrop.txt"});
}

TEST_F(DropTarget, AVirtualItemHasAnEmptyName) {
    // "My Computer" has no file-system path.
    const std::vector<uint8_t> block =
        ShellIdListBlock(L"", {L"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}"});
    if (block.empty())
        GTEST_SKIP() << "the shell does not parse the computer folder's name";
    auto source = TestDataObject::Create();
    source->Offer(L"Shell IDList Array", block);
    Drop(source.Get());
    ASSERT_EQ(deliveries_.size(), 1u);
    EXPECT_EQ(deliveries_[0].files, std::vector<std::wstring>{L""});
}

TEST_F(DropTarget, ABrowserLinkGivesTheShortcutsUrlAndTitle) {
    for (DWORD medium : {TYMED_HGLOBAL, TYMED_ISTREAM}) {
        SCOPED_TRACE(medium == TYMED_HGLOBAL ? "contents in memory" : "contents as a stream");
        deliveries_.clear();
        auto source = TestDataObject::Create();
        source->Offer(L"FileGroupDescriptorW", FileGroupDescriptorBlock(L"Example.url", true));
        source->Offer(L"FileContents", TextBytes(kShortcutText), 0, medium);
        source->Offer(L"UniformResourceLocator", TextBlock("https://example.com/from-locator"));
        EXPECT_EQ(Drop(source.Get()).dropEffect, DROPEFFECT_COPY);
        ASSERT_EQ(deliveries_.size(), 1u);
        EXPECT_TRUE(deliveries_[0].files.empty());
        EXPECT_EQ(deliveries_[0].url, "https://example.com/from-shortcut");
        EXPECT_EQ(deliveries_[0].title, L"Example");
    }

    // The 8-bit descriptor; contents offered for another item than the first are not read.
    deliveries_.clear();
    auto source = TestDataObject::Create();
    source->Offer(L"FileGroupDescriptor", FileGroupDescriptorBlock(L"Caf\u00e9 Site.URL", false));
    source->Offer(L"FileContents", TextBytes(kShortcutText), 1);
    source->Offer(L"UniformResourceLocator", TextBlock("https://example.com/from-locator"));
    Drop(source.Get());
    ASSERT_EQ(deliveries_.size(), 1u);
    EXPECT_EQ(deliveries_[0].url, "https://example.com/from-locator");
    EXPECT_EQ(deliveries_[0].title, L"Caf\u00e9 Site");
}

TEST_F(DropTarget, LinksAndTextWithoutDescriptors) {
    auto locator = TestDataObject::Create();
    locator->Offer(L"UniformResourceLocator", TextBlock("http://example.org/"));
    EXPECT_EQ(Drop(locator.Get()).dropEffect, DROPEFFECT_COPY);
    ASSERT_EQ(deliveries_.size(), 1u);
    EXPECT_EQ(deliveries_[0].url, "http://example.org/");
    EXPECT_EQ(deliveries_[0].title, L"");

    auto link = TestDataObject::Create();
    link->Offer(CF_TEXT, TextBlock("ftp://files.example.org/x"));
    Drop(link.Get());
    ASSERT_EQ(deliveries_.size(), 2u);
    EXPECT_EQ(deliveries_[1].url, "ftp://files.example.org/x");

    // Plain text is taken on entering, but a drop that finds no URL in it delivers nothing.
    auto plain = TestDataObject::Create();
    plain->Offer(CF_TEXT, TextBlock("just some words"));
    const DropSteps steps = Drop(plain.Get());
    EXPECT_EQ(steps.enterEffect, DROPEFFECT_COPY);
    EXPECT_EQ(steps.overEffect, DROPEFFECT_COPY);
    EXPECT_EQ(steps.dropEffect, DROPEFFECT_NONE);
    EXPECT_EQ(steps.dropResult, S_OK);
    EXPECT_EQ(deliveries_.size(), 2u);
    EXPECT_FALSE(plain->PerformedEffect());
}

TEST_F(DropTarget, RefusesDataItCannotUseAndMoves) {
    // A picture.
    auto picture = TestDataObject::Create();
    picture->Offer(CF_DIB, std::vector<uint8_t>(64, 0));
    DropSteps steps = Drop(picture.Get());
    EXPECT_EQ(steps.enterEffect, DROPEFFECT_NONE);
    EXPECT_EQ(steps.overEffect, DROPEFFECT_NONE);
    EXPECT_TRUE(FAILED(steps.overResult));
    EXPECT_EQ(steps.dropEffect, DROPEFFECT_NONE);
    EXPECT_EQ(picture->DataRequests(), 0);

    // A format of a kind listed, but in a medium the target does not read.
    auto file = TestDataObject::Create();
    file->Offer(CF_HDROP, DropFilesBlock({L"C:\\a.txt"}, true), -1, TYMED_FILE);
    EXPECT_EQ(Drop(file.Get()).enterEffect, DROPEFFECT_NONE);

    // Files from a source that allows only moving them.
    auto moveOnly = TestDataObject::Create();
    moveOnly->Offer(CF_HDROP, DropFilesBlock({L"C:\\a.txt"}, true));
    for (DWORD keys : {0, MK_CONTROL, MK_SHIFT, MK_CONTROL | MK_SHIFT}) {
        steps = Drop(moveOnly.Get(), keys, DROPEFFECT_MOVE);
        EXPECT_EQ(steps.enterEffect, DROPEFFECT_NONE);
        EXPECT_EQ(steps.overEffect, DROPEFFECT_NONE);
        EXPECT_EQ(steps.dropEffect, DROPEFFECT_NONE);
    }
    EXPECT_TRUE(deliveries_.empty());
    EXPECT_FALSE(moveOnly->PerformedEffect());
}

TEST_F(DropTarget, TheEffectFollowsTheKeysWithinTheSourcesEffects) {
    struct Case {
        DWORD allowed;
        DWORD keys;
        DWORD expected;
    };
    const Case cases[] = {
        {kCopyLink, 0, DROPEFFECT_COPY},
        {kCopyLink, MK_CONTROL, DROPEFFECT_COPY},
        {kCopyLink, MK_SHIFT, DROPEFFECT_COPY},
        {kCopyLink, MK_CONTROL | MK_SHIFT, DROPEFFECT_LINK},
        {DROPEFFECT_LINK, 0, DROPEFFECT_LINK},
        {DROPEFFECT_LINK, MK_CONTROL, DROPEFFECT_LINK},
        {DROPEFFECT_LINK, MK_SHIFT, DROPEFFECT_LINK},
        {DROPEFFECT_LINK, MK_CONTROL | MK_SHIFT, DROPEFFECT_LINK},
        {DROPEFFECT_COPY, 0, DROPEFFECT_COPY},
        {DROPEFFECT_COPY, MK_CONTROL | MK_SHIFT, DROPEFFECT_COPY},
        {DROPEFFECT_COPY | DROPEFFECT_MOVE, MK_SHIFT, DROPEFFECT_COPY},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "allowed " << c.allowed << ", keys " << c.keys);
        deliveries_.clear();
        auto source = TestDataObject::Create();
        source->Offer(CF_HDROP, DropFilesBlock({L"C:\\a.txt"}, true));
        const DropSteps steps = Drop(source.Get(), c.keys, c.allowed);
        EXPECT_EQ(steps.enterEffect, c.expected);
        EXPECT_EQ(steps.overEffect, c.expected);
        EXPECT_EQ(steps.dropEffect, c.expected);
        EXPECT_EQ(source->PerformedEffect(), c.expected);
        ASSERT_EQ(deliveries_.size(), 1u);
        EXPECT_EQ(deliveries_[0].effect, c.expected);
        EXPECT_EQ(deliveries_[0].keys, c.keys);
    }

    // The handler has the last word on the effect.
    duringHandler_ = [](DWORD& effect) { effect = DROPEFFECT_LINK; };
    auto source = TestDataObject::Create();
    source->Offer(CF_HDROP, DropFilesBlock({L"C:\\a.txt"}, true));
    EXPECT_EQ(Drop(source.Get()).dropEffect, DROPEFFECT_LINK);
    EXPECT_EQ(source->PerformedEffect(), DROPEFFECT_LINK);
}

TEST_F(DropTarget, AShortcutFileGivesItsPathItsUrlAndItsTitle) {
    test::TempFolder folder;
    const std::wstring shortcut = folder.File(L"Example Site.url");
    test::WriteBytes(shortcut, TextBytes(kShortcutText));
    auto source = TestDataObject::Create();
    source->Offer(CF_HDROP, DropFilesBlock({shortcut, folder.File(L"other.txt")}, true));
    EXPECT_EQ(Drop(source.Get()).dropEffect, DROPEFFECT_COPY);
    ASSERT_EQ(deliveries_.size(), 1u);
    EXPECT_EQ(deliveries_[0].files,
              (std::vector<std::wstring>{shortcut, folder.File(L"other.txt")}));
    EXPECT_EQ(deliveries_[0].url, "https://example.com/from-shortcut");
    EXPECT_EQ(deliveries_[0].title, L"Example Site");

    // A browser's descriptor names the title first; the file then adds only its URL.
    auto both = TestDataObject::Create();
    both->Offer(L"FileGroupDescriptor", FileGroupDescriptorBlock(L"Descriptor.url", false));
    both->Offer(CF_HDROP, DropFilesBlock({shortcut}, false));
    Drop(both.Get());
    ASSERT_EQ(deliveries_.size(), 2u);
    EXPECT_EQ(deliveries_[1].url, "https://example.com/from-shortcut");
    EXPECT_EQ(deliveries_[1].title, L"Descriptor");

    // A shortcut file that cannot be read, or holds no URL, leaves the URL empty.
    test::WriteBytes(folder.File(L"Empty.url"), TextBytes("[Other]\r\nURL=http://x\r\n"));
    auto broken = TestDataObject::Create();
    broken->Offer(CF_HDROP, DropFilesBlock({folder.File(L"Empty.url")}, true));
    Drop(broken.Get());
    auto missing = TestDataObject::Create();
    missing->Offer(CF_HDROP, DropFilesBlock({folder.File(L"Missing.url")}, true));
    Drop(missing.Get());
    ASSERT_EQ(deliveries_.size(), 4u);
    EXPECT_EQ(deliveries_[2].url, "");
    EXPECT_EQ(deliveries_[2].title, L"");
    EXPECT_EQ(deliveries_[3].files, std::vector<std::wstring>{folder.File(L"Missing.url")});
    EXPECT_EQ(deliveries_[3].url, "");
}

TEST_F(DropTarget, AFailingHandlerEndsTheDropWithoutAnEffect) {
    duringHandler_ = [](DWORD&) { throw std::runtime_error("handler failed"); };
    auto source = TestDataObject::Create();
    source->Offer(CF_HDROP, DropFilesBlock({L"C:\\a.txt"}, true));
    const DropSteps steps = Drop(source.Get());
    EXPECT_EQ(steps.dropEffect, DROPEFFECT_NONE);
    EXPECT_EQ(steps.dropResult, E_UNEXPECTED);
    EXPECT_EQ(deliveries_.size(), 1u);
    EXPECT_FALSE(source->PerformedEffect());
}

TEST_F(DropTarget, ADragEnteringDuringTheHandlerLeavesItsDataAlone) {
    // The handler shows the item editor modally; another drag may reach the window meanwhile.
    auto other = TestDataObject::Create();
    other->Offer(CF_HDROP, DropFilesBlock({L"C:\\other.txt"}, true));
    DWORD nestedEffect = kCopyLink;
    std::vector<std::wstring> filesAfter;
    duringHandler_ = [&](DWORD&) {
        const POINTL point{0, 0};
        target_.Target()->DragEnter(other.Get(), 0, point, &nestedEffect);
        target_.Target()->DragLeave();
        filesAfter = target_.DroppedFiles();
    };
    auto source = TestDataObject::Create();
    source->Offer(CF_HDROP, DropFilesBlock({L"C:\\a.txt"}, true));
    EXPECT_EQ(Drop(source.Get()).dropEffect, DROPEFFECT_COPY);
    EXPECT_EQ(nestedEffect, DROPEFFECT_NONE);
    EXPECT_EQ(filesAfter, std::vector<std::wstring>{L"C:\\a.txt"});
}

TEST_F(DropTarget, DamagedDataIsNeverDelivered) {
    std::vector<uint8_t> shortList = DropFilesBlock({L"C:\\a.txt"}, true);
    shortList.resize(12);
    std::vector<uint8_t> pastEnd = DropFilesBlock({L"C:\\a.txt"}, true);
    pastEnd[0] = 0xF0;
    pastEnd[1] = 0xFF;
    std::vector<uint8_t> noTerminator = DropFilesBlock({L"C:\\a.txt"}, false);
    noTerminator.resize(noTerminator.size() - 2);
    std::vector<uint8_t> idLists(16, 0);
    idLists[0] = 0xFF;  // a count its offsets cannot fit in
    idLists[4] = 12;

    auto hostile = [&](auto offer) {
        auto source = TestDataObject::Create();
        offer(*source.Get());
        const DropSteps steps = Drop(source.Get());
        EXPECT_EQ(steps.dropEffect, DROPEFFECT_NONE);
        EXPECT_EQ(steps.dropResult, S_OK);
        EXPECT_FALSE(source->PerformedEffect());
    };
    hostile([&](TestDataObject& s) { s.Offer(CF_HDROP, shortList); });
    hostile([&](TestDataObject& s) { s.Offer(CF_HDROP, pastEnd); });
    hostile([&](TestDataObject& s) { s.Offer(CF_HDROP, noTerminator); });
    hostile([&](TestDataObject& s) { s.Offer(CF_HDROP, {}); });
    hostile([&](TestDataObject& s) { s.Offer(L"Shell IDList Array", idLists); });
    hostile([&](TestDataObject& s) {
        // A descriptor cut off after its name: no title, so its contents are not read either.
        std::vector<uint8_t> cut = FileGroupDescriptorBlock(L"Example.url", true);
        cut.resize(kDescriptorNameOffset + 24);
        s.Offer(L"FileGroupDescriptorW", cut);
        s.Offer(L"FileContents", TextBytes(kShortcutText), 0);
    });
    EXPECT_TRUE(deliveries_.empty());

    // Contents over the limit (even with a sound shortcut at their start), or from a stream that
    // claims to have read more than asked, give no URL; the title alone is still a delivery.
    std::vector<uint8_t> huge = TextBytes(kShortcutText);
    huge.resize(kMaxDroppedStreamBytes + 1, ' ');
    for (bool overReported : {false, true}) {
        auto source = TestDataObject::Create();
        source->Offer(L"FileGroupDescriptorW", FileGroupDescriptorBlock(L"Example.url", true));
        if (overReported)
            source->OverReportStreamEnds();
        source->Offer(L"FileContents", overReported ? TextBytes(kShortcutText) : huge, 0,
                      TYMED_ISTREAM);
        EXPECT_EQ(Drop(source.Get()).dropEffect, DROPEFFECT_COPY);
        EXPECT_EQ(source->PerformedEffect(), DROPEFFECT_COPY);
    }
    ASSERT_EQ(deliveries_.size(), 2u);
    for (const Delivery& delivery : deliveries_) {
        EXPECT_EQ(delivery.url, "");
        EXPECT_EQ(delivery.title, L"Example");
    }
}

TEST_F(DropTarget, RegistersItsWindowOnce) {
    EXPECT_EQ(RegisterDragDrop(window_.Get(), target_.Target()), DRAGDROP_E_ALREADYREGISTERED);
    // Registering again is harmless; another window takes the registration over.
    target_.Register(window_.Get());
    ScopedWindow other(CreateWindowExW(0, L"STATIC", L"other", WS_POPUP, 0, 0, 10, 10, nullptr,
                                       nullptr, GetModuleHandleW(nullptr), nullptr));
    target_.Register(other.Get());
    EXPECT_EQ(RevokeDragDrop(window_.Get()), DRAGDROP_E_NOTREGISTERED);
    target_.Revoke();
    EXPECT_EQ(RevokeDragDrop(other.Get()), DRAGDROP_E_NOTREGISTERED);
}

}  // namespace
}  // namespace corvalo
