// The final save cut short at every step of writing the picture and icon-list files, as a crash or
// a killed process would cut it: a test build of the program (corvalo_save_cut, copied into a
// folder as corvalo.exe) ends itself at the n-th cut point, for n = 0, 1, ... until a run
// finishes its save. Afterwards each file is the old one or the new one, byte for byte, the next
// start reads them without a word, and a temporary file left half written is neither read nor in
// the way of the next save.
#include "app/icon_list_file_win.h"
#include "app/main_window_win.h"
#include "support/app_instances_support_win.h"
#include "base/text.h"
#include "picture/bitmap.h"
#include "picture/bmp_format.h"
#include "picture/dib_win.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>

namespace corvalo::test {
namespace {

constexpr DWORD kCutExitCode = 3;
constexpr DWORD kRunBound = 60000;  // only catches a hang; a run takes about a second
constexpr int kMostCutPoints = 40;

std::optional<std::vector<uint8_t>> FileIfAny(const std::wstring& path) {
    if (!Exists(path))
        return std::nullopt;
    return ReadBytes(path);
}

// What one run left in the folder.
struct Outcome {
    int point = 0;
    std::optional<std::vector<uint8_t>> picture, icons;
    std::optional<std::vector<uint8_t>> pictureTemporary, iconsTemporary;
};

enum class Version { Missing, Old, New, Neither };

class SaveCutTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(CopyProgram(BuiltProgram(L"corvalo_save_cut.exe"), folder.ExePath()))
            << "corvalo_save_cut.exe is built beside the tests";
        Bitmap picture = NewSizedBitmap(40, 30, 0x00ABCDEF);
        for (int i = 0; i < 30; ++i)
            picture.SetPixel(i, i, 0x00000000);
        oldPicture = WriteBmp(picture);
        ScopedImageList list = CreateIconList();
        ScopedBitmapHandle image = GdiBitmapFrom(NewSizedBitmap(32, 32, 0x000000FF));
        ImageList_Add(list.Get(), image.Get(), nullptr);
        oldIcons = IconListFileOf(list.Get());
        SetIniValue(File(L".ini"), L"MENU", L"Editor", L"notepad.exe");
    }

    std::wstring File(const wchar_t* extension) const {
        return folder.File(std::wstring(L"corvalo") + extension);
    }

    // The folder as the last close left it: the old files (or none), nothing else.
    void PrepareOldFiles(bool withOldFiles) {
        for (const wchar_t* extension : {L".bmp", L".icons", L".bmp.new", L".icons.new"})
            DeleteFileW(File(extension).c_str());
        DeleteFileW(folder.File(L"corvalo_save_cut.txt").c_str());
        if (withOldFiles) {
            WriteBytes(File(L".bmp"), oldPicture);
            WriteBytes(File(L".icons"), oldIcons);
        }
    }

    // Runs the program to its close, cut at `point` (none when negative); its exit code.
    DWORD Run(int point) {
        SetEnvironmentVariableW(L"CORVALO_TEST_CUT_AT",
                                point < 0 ? nullptr : std::to_wstring(point).c_str());
        ChildProcess program(folder.ExePath(), L"");
        SetEnvironmentVariableW(L"CORVALO_TEST_CUT_AT", nullptr);
        EXPECT_TRUE(program.Started());
        if (!program.WaitForExit(kRunBound)) {
            ADD_FAILURE() << "the program did not end";
            return STILL_ACTIVE;
        }
        const DWORD code = program.ExitCode();
        const std::vector<uint8_t> report = ReadBytes(folder.File(L"corvalo_save_cut.txt"));
        EXPECT_TRUE(code == 0 || code == kCutExitCode)
            << "exit code " << code << ": " << std::string(report.begin(), report.end());
        return code;
    }

    Outcome Collect(int point) const {
        return {point, FileIfAny(File(L".bmp")), FileIfAny(File(L".icons")),
                FileIfAny(File(L".bmp.new")), FileIfAny(File(L".icons.new"))};
    }

    // The next start, in this process: the program's own start-up reads the files without an
    // error and shows what they hold; then its save replaces them cleanly, half-written
    // temporary files or not.
    void StartAndSaveAgain() {
        const std::optional<std::vector<uint8_t>> picture = FileIfAny(File(L".bmp"));
        const std::optional<std::vector<uint8_t>> icons = FileIfAny(File(L".icons"));
        RecordingMessages messages;
        MainWindowOptions options = test::TestWindowOptions(folder.ExePath(), messages);
        auto window = std::make_unique<MainWindow>(std::move(options));
        EXPECT_TRUE(messages.errors.empty()) << WideToAnsi(messages.errors.front());
        if (picture) {
            const Bitmap stored = ReadBmp(*picture);
            EXPECT_EQ(window->Picture().MasterPicture().Pixels(), stored.Pixels())
                << "the start shows the picture file's picture";
        }
        const int storedImages =
            icons ? ImageList_GetImageCount(IconListFromFile(*icons).Get()) : 0;
        EXPECT_EQ(ImageList_GetImageCount(window->IconList()), storedImages);

        ASSERT_NE(window->Picture().PictureBitmap(), nullptr);
        const std::vector<uint8_t> shown = window->Picture().PictureBitmap()->Pixels();
        ASSERT_TRUE(window->FormCloseQuery());
        window.reset();
        EXPECT_FALSE(Exists(File(L".bmp.new")));
        EXPECT_FALSE(Exists(File(L".icons.new")));
        EXPECT_EQ(ReadBmp(ReadBytes(File(L".bmp"))).Pixels(), shown);
        EXPECT_EQ(ImageList_GetImageCount(IconListFromFile(ReadBytes(File(L".icons"))).Get()),
                  storedImages);
    }

    // Cuts the save at every point in turn, each time from the same old files, until a run
    // finishes it; checks the next start after every cut. The outcomes, the finished run last.
    std::vector<Outcome> CutEverywhere(bool withOldFiles) {
        std::vector<Outcome> outcomes;
        for (int point = 0; point < kMostCutPoints; ++point) {
            PrepareOldFiles(withOldFiles);
            const DWORD code = Run(point);
            outcomes.push_back(Collect(point));
            if (code != kCutExitCode)
                return outcomes;
            SCOPED_TRACE("after the cut at point " + std::to_string(point));
            StartAndSaveAgain();
        }
        ADD_FAILURE() << "the save never finished";
        return outcomes;
    }

    static Version Which(const std::optional<std::vector<uint8_t>>& file,
                         const std::optional<std::vector<uint8_t>>& old,
                         const std::optional<std::vector<uint8_t>>& now) {
        if (!file)
            return Version::Missing;
        if (old && *file == *old)
            return Version::Old;
        if (now && *file == *now)
            return Version::New;
        return Version::Neither;
    }

    static const char* Name(Version version) {
        switch (version) {
            case Version::Missing:
                return "missing";
            case Version::Old:
                return "old";
            case Version::New:
                return "new";
            default:
                return "neither";
        }
    }
    static std::string Size(const std::optional<std::vector<uint8_t>>& file) {
        return file ? std::to_string(file->size()) + " bytes" : std::string("none");
    }

    // Every cut left each file old or new, whole; the picture file is replaced first, and each
    // file only ever goes from old to new as the cut comes later.
    void CheckOutcomes(const std::vector<Outcome>& outcomes, bool withOldFiles) {
        ASSERT_GE(outcomes.size(), 2u);
        const Outcome& finished = outcomes.back();
        ASSERT_TRUE(finished.picture && finished.icons) << "the finished save wrote both files";
        EXPECT_FALSE(finished.pictureTemporary || finished.iconsTemporary);
        const std::optional<std::vector<uint8_t>> oldBmp =
            withOldFiles ? std::optional(oldPicture) : std::nullopt;
        const std::optional<std::vector<uint8_t>> oldList =
            withOldFiles ? std::optional(oldIcons) : std::nullopt;
        ASSERT_NE(finished.picture, oldBmp) << "the save had a new picture to write";
        ASSERT_NE(finished.icons, oldList) << "the save had a new icon list to write";
        const Version before = withOldFiles ? Version::Old : Version::Missing;

        bool pictureNew = false, iconsNew = false, mixed = false, partialTemporary = false;
        for (size_t i = 0; i + 1 < outcomes.size(); ++i) {
            const Outcome& cut = outcomes[i];
            SCOPED_TRACE("cut at point " + std::to_string(cut.point));
            const Version picture = Which(cut.picture, oldBmp, finished.picture);
            const Version icons = Which(cut.icons, oldList, finished.icons);
            std::printf("[ figures  ] cut %2d: picture %-7s icons %-7s temporary files %s / %s\n",
                        cut.point, Name(picture), Name(icons), Size(cut.pictureTemporary).c_str(),
                        Size(cut.iconsTemporary).c_str());
            EXPECT_TRUE(picture == before || picture == Version::New);
            EXPECT_TRUE(icons == before || icons == Version::New);
            EXPECT_FALSE(pictureNew && picture != Version::New) << "went back to the old picture";
            EXPECT_FALSE(iconsNew && icons != Version::New) << "went back to the old icon list";
            pictureNew = picture == Version::New;
            iconsNew = icons == Version::New;
            EXPECT_FALSE(iconsNew && !pictureNew) << "the picture is written first";
            mixed = mixed || (pictureNew && !iconsNew);
            for (const auto* temporary : {&cut.pictureTemporary, &cut.iconsTemporary}) {
                const size_t whole = temporary == &cut.pictureTemporary ? finished.picture->size()
                                                                        : finished.icons->size();
                partialTemporary = partialTemporary || (*temporary && !(*temporary)->empty() &&
                                                        (*temporary)->size() < whole);
            }
        }
        EXPECT_TRUE(mixed) << "one cut came between the two files";
        EXPECT_TRUE(partialTemporary) << "one cut left a half-written temporary file";
        // Both files, each cut on the open empty temporary file, half written, written, flushed,
        // closed and moved.
        EXPECT_EQ(outcomes.size() - 1, 12u) << "cut points";
    }

    TempFolder folder;
    std::vector<uint8_t> oldPicture;
    std::vector<uint8_t> oldIcons;
};

TEST_F(SaveCutTest, EveryCutLeavesEachFileOldOrNewAndTheNextStartReadsThem) {
    const std::vector<Outcome> outcomes = CutEverywhere(true);
    CheckOutcomes(outcomes, true);
}

TEST_F(SaveCutTest, AtTheFirstSaveEveryCutLeavesEachFileMissingOrNew) {
    const std::vector<Outcome> outcomes = CutEverywhere(false);
    CheckOutcomes(outcomes, false);
}

// The real start after a crash that left half-written temporary files of both: the program starts,
// saves over them and ends normally, with both files new and no temporary file left.
TEST_F(SaveCutTest, TheProgramStartsAndSavesOverHalfWrittenTemporaryFiles) {
    PrepareOldFiles(true);
    ASSERT_EQ(Run(-1), 0u);
    const std::vector<uint8_t> newPicture = ReadBytes(File(L".bmp"));
    const std::vector<uint8_t> newIcons = ReadBytes(File(L".icons"));

    PrepareOldFiles(true);
    WriteBytes(File(L".bmp.new"), std::vector<uint8_t>(newPicture.begin(),
                                                       newPicture.begin() + newPicture.size() / 2));
    WriteBytes(File(L".icons.new"),
               std::vector<uint8_t>(newIcons.begin(), newIcons.begin() + newIcons.size() / 2));
    ASSERT_EQ(Run(-1), 0u);
    EXPECT_EQ(ReadBytes(File(L".bmp")), newPicture);
    EXPECT_EQ(ReadBytes(File(L".icons")), newIcons);
    EXPECT_FALSE(Exists(File(L".bmp.new")));
    EXPECT_FALSE(Exists(File(L".icons.new")));
}

}  // namespace
}  // namespace corvalo::test
