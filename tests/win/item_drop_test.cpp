// Dropping onto the picture and onto the item editor, through the windows' real drop targets with
// data objects made like the shell's and browsers', and what the settings file gives back of the
// captions and targets the editor accepts.
#include "app/main_window_win.h"
#include "editor/item_editor_win.h"
#include "support/item_editor_fixture_win.h"
#include "support/picture_samples.h"
#include "launcher/item_text_rules.h"
#include "launcher/launcher_items_win.h"
#include "picture/bitmap.h"
#include "picture/bmp_format.h"
#include "support/test_data_object_win.h"

#include <gtest/gtest.h>

#include <shlobj.h>

namespace corvalo {
namespace {

using namespace test;

ComPtr<TestDataObject> FileListSource(const std::vector<std::wstring>& names, bool wide = true) {
    ComPtr<TestDataObject> source = TestDataObject::Create();
    source->Offer(CF_HDROP, DropFilesBlock(names, wide));
    return source;
}

class ItemDropTest : public EditorFixture {
  protected:
    // Drops onto the picture; whatever the drop opens runs `steps` inside the editor's loop.
    DWORD DropOnPicture(
        IDataObject* source, DWORD keys, std::function<void()> steps = [] {}) {
        DWORD effect = 0;
        WhileShown(std::move(steps), [&] {
            effect = PerformDrop(window->DropTarget().Target(), source, keys, DROPEFFECT_COPY)
                         .dropEffect;
            OpenWhatTheDropPosted();
        });
        return effect;
    }
    // The drop has returned to its source; what it delivered opens from the message it posted.
    void OpenWhatTheDropPosted() {
        MSG message;
        while (PeekMessageW(&message, window->Window(), WM_APP, 0xBFFF, PM_REMOVE))
            DispatchMessageW(&message);
    }
    // The fields the editor showed, "target|caption".
    std::function<void()> Record(std::wstring& seen) {
        return [this, &seen] {
            seen = Editor().FileNameText() + L"|" + Editor().CaptionText();
            const Bitmap* icon = Editor().Preview().PictureBitmap();
            previewSide = icon ? icon->Width() : 0;
            addEnabled = IsWindowEnabled(Editor().AddButton()) != FALSE;
        };
    }
    std::wstring Shortcut() {
        const std::wstring shortcut = folder.File(L"tool.lnk");
        SaveShortcut(shortcut, TestProgram(L"shell_tool"));
        return shortcut;
    }
    std::wstring PictureFile() {
        const Bitmap picture = NewSizedBitmap(40, 30, Color{0x00FF0000});
        const std::wstring path = folder.File(L"new picture.bmp");
        WriteBytes(path, WriteBmp(picture));
        return path;
    }

    int previewSide = -1;
    bool addEnabled = false;
};

TEST_F(ItemDropTest, AShortcutToAProgramGivesItsTargetProductNameAndIconAndAddStoresIt) {
    const std::wstring program = TestProgram(L"shell_tool");
    std::wstring seen;
    const DWORD effect = DropOnPicture(FileListSource({Shortcut()}).Get(), 0, [&] {
        Record(seen)();
        Click(Editor().AddButton());
    });
    EXPECT_EQ(effect, DROPEFFECT_COPY);
    EXPECT_EQ(seen, program + L"|Shell Test Tool");
    EXPECT_EQ(previewSide, 32);
    EXPECT_TRUE(addEnabled);
    EXPECT_FALSE(leftOpen) << "ADD/UPDATE closes the editor";
    EXPECT_EQ(IniValue(Ini(), L"MENU", L"Shell Test Tool"), program);
    EXPECT_EQ(MenuCaptions(), std::vector<std::wstring>{L"Shell Test Tool"});
}

TEST_F(ItemDropTest, ADocumentAFolderOrALinkGivesNoCaptionAndOnlyTheFirstOfSeveralNamesCounts) {
    const std::wstring document = folder.File(L"notes.txt");
    WriteBytes(document, {'h', 'i'});
    const std::wstring subfolder = folder.File(L"Projects");
    ASSERT_TRUE(CreateDirectoryW(subfolder.c_str(), nullptr));

    std::wstring seen;
    DropOnPicture(FileListSource({document, subfolder, Shortcut()}, false).Get(), 0, Record(seen));
    EXPECT_EQ(seen, document + L"|");
    EXPECT_FALSE(addEnabled) << "no caption yet";
    EXPECT_TRUE(leftOpen);

    DropOnPicture(FileListSource({subfolder}).Get(), 0, Record(seen));
    EXPECT_EQ(seen, subfolder + L"|");
    EXPECT_EQ(previewSide, 32) << "a folder shows the system's folder icon";

    // A browser's link: a descriptor naming a shortcut, its contents and the address.
    ComPtr<TestDataObject> link = TestDataObject::Create();
    link->Offer(L"FileGroupDescriptorW", FileGroupDescriptorBlock(L"Example.url", true));
    link->Offer(L"FileContents", TextBlock("[InternetShortcut]\r\nURL=https://example.com/\r\n"),
                0);
    link->Offer(L"UniformResourceLocator", TextBlock("https://example.com/"));
    DropOnPicture(link.Get(), 0, Record(seen));
    EXPECT_EQ(seen, L"https://example.com/|");

    ComPtr<TestDataObject> text = TestDataObject::Create();
    text->Offer(CF_TEXT, TextBlock("ftp://files.example.org/a"));
    DropOnPicture(text.Get(), 0, Record(seen));
    EXPECT_EQ(seen, L"ftp://files.example.org/a|");
    EXPECT_EQ(IniValue(Ini(), L"MENU", L"Projects"), L"<missing>") << "a drop stores nothing";
}

// The program the user dragged from is not kept waiting in its drag loop while the user edits.
TEST_F(ItemDropTest, TheDropReturnsToItsSourceBeforeTheEditorOpens) {
    bool dropReturned = false;
    bool openedDuringTheDrop = false;
    std::wstring seen;
    WhileShown(
        [&] {
            openedDuringTheDrop = !dropReturned;
            Record(seen)();
        },
        [&] {
            const DWORD effect = PerformDrop(window->DropTarget().Target(),
                                             FileListSource({Shortcut()}).Get(), 0, DROPEFFECT_COPY)
                                     .dropEffect;
            dropReturned = true;
            EXPECT_EQ(effect, DROPEFFECT_COPY);
            OpenWhatTheDropPosted();
        });
    EXPECT_TRUE(stepsRan);
    EXPECT_FALSE(openedDuringTheDrop);
    EXPECT_EQ(seen, TestProgram(L"shell_tool") + L"|Shell Test Tool")
        << "the editor shows the same";
}

// A drop into a running modal loop would reach into it: overwrite the editor's fields, replace the
// picture under it, or enable the picture under a live dialog.
TEST_F(ItemDropTest, WhileAModalLoopRunsOverThePictureDropsOnItAreRefused) {
    const std::wstring picture = PictureFile();
    DropSteps steps;
    WhileShown([&] {
        Editor().SetFileNameText(L"typed.exe");
        steps = PerformDrop(window->DropTarget().Target(), FileListSource({picture}).Get(),
                            MK_SHIFT, DROPEFFECT_COPY);
        EXPECT_EQ(Editor().FileNameText(), L"typed.exe");
    });
    EXPECT_EQ(steps.enterEffect, DROPEFFECT_NONE);
    EXPECT_EQ(steps.overEffect, DROPEFFECT_NONE);
    EXPECT_EQ(steps.dropEffect, DROPEFFECT_NONE);
    EXPECT_EQ(window->Picture().MasterPicture().Width(), 256) << "the picture under the editor";

    // A dialog or an error box keeps the picture disabled; the editor, opened inside that loop,
    // leaves it so.
    EnableWindow(window->Window(), FALSE);
    EXPECT_EQ(PerformDrop(window->DropTarget().Target(), FileListSource({picture}).Get(), MK_SHIFT,
                          DROPEFFECT_COPY)
                  .dropEffect,
              DWORD(DROPEFFECT_NONE));
    WhileShown([] {});
    EXPECT_FALSE(IsWindowEnabled(window->Window()));
    EnableWindow(window->Window(), TRUE);
    EXPECT_EQ(DropOnPicture(FileListSource({picture}).Get(), MK_SHIFT), DWORD(DROPEFFECT_COPY));
}

TEST_F(ItemDropTest, ShiftDropOfAPictureReplacesThePictureWithoutOpeningTheEditor) {
    const std::wstring picture = PictureFile();
    const DWORD effect = DropOnPicture(FileListSource({picture}).Get(), MK_SHIFT);
    EXPECT_EQ(effect, DROPEFFECT_COPY);
    EXPECT_FALSE(stepsRan) << "the editor opened";
    const Bitmap& shown = window->Picture().MasterPicture();
    EXPECT_EQ(shown.Width(), 40);
    EXPECT_EQ(shown.Height(), 30);
    EXPECT_TRUE(messages.errors.empty());
    // A picture saved from a web page, as WebP.
    const std::wstring webp = folder.File(L"from the web.webp");
    WriteBytes(webp, test::RealPictureFile("transparent.webp"));
    EXPECT_EQ(DropOnPicture(FileListSource({webp}).Get(), MK_SHIFT), DWORD(DROPEFFECT_COPY));
    EXPECT_EQ(window->Picture().MasterPicture().Width(), 200);
    EXPECT_TRUE(messages.errors.empty());

    // Without Shift the picture file is just another target.
    std::wstring seen;
    DropOnPicture(FileListSource({picture}).Get(), 0, Record(seen));
    EXPECT_EQ(seen, picture + L"|");
}

TEST_F(ItemDropTest, ShiftDropOfAnythingElseOpensTheEditorAndABrokenPictureEndsQuietly) {
    std::wstring seen;
    DropOnPicture(FileListSource({Shortcut()}).Get(), MK_SHIFT, Record(seen));
    EXPECT_EQ(seen, TestProgram(L"shell_tool") + L"|Shell Test Tool");

    const int widthBefore = window->Picture().MasterPicture().Width();
    const std::wstring broken = folder.File(L"broken.bmp");
    WriteBytes(broken, {'B', 'M', 1, 2, 3});
    const DWORD effect = DropOnPicture(FileListSource({broken}).Get(), MK_SHIFT);
    EXPECT_EQ(effect, DROPEFFECT_NONE);
    EXPECT_FALSE(stepsRan);
    EXPECT_TRUE(messages.errors.empty()) << "a failed drop shows nothing";
    EXPECT_EQ(window->Picture().MasterPicture().Width(), widthBefore);
}

TEST_F(ItemDropTest, DroppingOntoTheEditorFillsBothFieldsAndKeepsTheIconIndex) {
    AddImages(3);
    Item(L"Mine", L"C:\\mine.exe");
    SetIniValue(Ini(), L"ICONS", L"Mine", L"2");
    std::wstring seen;
    std::wstring indexAfter;
    WhileShown([&] {
        Editor().SetCaptionText(L"Mine");
        Editor().OnShow();
        ASSERT_EQ(Editor().IconIndexField().Value(), 2);
        const DWORD effect = PerformDrop(Editor().DropTarget().Target(),
                                         FileListSource({Shortcut()}).Get(), 0, DROPEFFECT_COPY)
                                 .dropEffect;
        EXPECT_EQ(effect, DROPEFFECT_COPY);
        Record(seen)();
        indexAfter = std::to_wstring(Editor().IconIndexField().Value());
    });
    EXPECT_EQ(seen, TestProgram(L"shell_tool") + L"|Shell Test Tool");
    EXPECT_EQ(previewSide, 32);
    EXPECT_EQ(indexAfter, L"2");
}

// Every caption and target the editor accepts comes back from the settings file unchanged after a
// restart, and what it refuses would indeed have come back different.
TEST_F(ItemDropTest, WhatTheEditorAcceptsTheSettingsFileGivesBackUnchanged) {
    const std::wstring longest(kLongestItemText, L'x');
    const std::vector<std::pair<std::wstring, std::wstring>> pairs = {
        {L"Plain", L"C:\\Tools\\plain.exe"},
        {L"Quoted \"name\"", L"\"C:\\Program Files\\a.exe\" /x"},
        {L"Caf\u00e9 \u03b1\u03b2 \u4e2d", L"C:\\\u00fcber\\\u4e2d.exe"},
        {L"semi;colon", L"https://example.com/?a=b&c=d;e"},
        {L"back\\slash]", L"%WINDIR%\\notepad.exe"},
        {L"Long target", longest},
        {longest, L"long caption.exe"},
        {L"Tab\tinside", L"x\ty"},
        {L"a=b", L"c.exe"},
        {L" padded", L"c.exe"},
        {L"Target padded", L"c.exe "},
        {L"[Section]", L"c.exe"},
        {L";remark", L"c.exe"},
        {L"Copied as path", L"\"C:\\Program Files\\Tool\\tool.exe\""},
        {L"Single quotes", L"'c.exe'"},
        {L"Too long", longest + L"x"},
        {L"line\r\nbreak", L"c.exe"},
    };
    std::vector<std::pair<std::wstring, std::wstring>> accepted;
    {
        SettingsStore settings(Ini());
        for (const auto& [caption, target] : pairs) {
            // Refused texts are written too, to see that the file would have changed them.
            if (caption.find_first_of(L"\r\n") == std::wstring::npos)
                StoreItem(settings, caption, target);
            if (ItemStorageProblem(caption, target).empty())
                accepted.emplace_back(caption, target);
        }
        settings.Flush();
    }
    ASSERT_EQ(accepted.size(), 10u);
    Start();
    std::vector<std::wstring> expected;
    for (const auto& [caption, target] : accepted)
        expected.push_back(caption);
    std::vector<std::wstring> captions = MenuCaptions();
    for (const auto& [caption, target] : accepted) {
        const int index = window->LauncherList().FindItem(caption);
        ASSERT_GE(index, 0) << caption.substr(0, 30);
        EXPECT_EQ(window->LauncherList().ItemTarget(index), target) << caption.substr(0, 30);
    }
    for (const auto& [caption, target] : pairs) {
        if (!ItemStorageProblem(caption, target).empty() &&
            caption.find_first_of(L"\r\n") == std::wstring::npos) {
            const int index = window->LauncherList().FindItem(caption);
            EXPECT_TRUE(index < 0 || window->LauncherList().ItemTarget(index) != target)
                << "refused although it comes back: " << caption.substr(0, 30);
        }
    }
}

}  // namespace
}  // namespace corvalo
