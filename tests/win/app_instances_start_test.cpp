// The single-instance guard with real copies of the program: corvalo.exe (and its test build that
// hangs on request) copied into a temporary folder and started as separate processes.
#include "app/app_instances_win.h"
#include "app/application_window_win.h"
#include "app/instance_list.h"
#include "app/main_window_win.h"
#include "app/optex_win.h"
#include "support/app_instances_support_win.h"
#include "base/text.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace corvalo::test {
namespace {

// Generous bounds that only catch a hang; a second start normally ends in a fraction of a second.
constexpr DWORD kEndBound = 20000;
constexpr DWORD kHangBound = 30000;
const std::vector<std::wstring> kNoFile;

DWORD ForegroundProcess() {
    DWORD processId = 0;
    GetWindowThreadProcessId(GetForegroundWindow(), &processId);
    return processId;
}

std::wstring JoinArguments(const std::vector<std::wstring>& arguments) {
    std::wstring text;
    for (const std::wstring& argument : arguments)
        text += (text.empty() ? L"" : L" ") + QuoteArgument(argument);
    return text;
}

// This test process playing a running copy of the folder's program: an application window and a
// registered guard, recording what reaches the guard.
struct PlayedCopy {
    explicit PlayedCopy(const std::wstring& exePath)
        : guard(AppInstancesOptions(WideToAnsi(exePath))) {
        guard.onDataAvailable = [this](ULONG_PTR kind, std::string_view data) {
            kinds.push_back(kind);
            received.emplace_back(data);
        };
        guard.onInstanceCreated = [this](DWORD id) { notices.emplace_back(kInstanceCreated, id); };
        guard.onInstanceDestroyed = [this](DWORD id) {
            notices.emplace_back(kInstanceDestroyed, id);
        };
    }

    ApplicationWindow application;
    AppInstances guard;
    std::vector<ULONG_PTR> kinds;
    std::vector<std::string> received;
    std::vector<std::pair<WPARAM, DWORD>> notices;
};

class SecondStart : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(CopyProgram(BuiltProgram(L"corvalo.exe"), folder_.ExePath()))
            << "corvalo.exe is built beside the tests";
    }

    // Starts a copy under the watch and lets it run.
    std::unique_ptr<ChildProcess> StartWatched(ShowWatch& watch, const std::wstring& arguments) {
        auto copy = std::make_unique<ChildProcess>(folder_.ExePath(), arguments, true);
        EXPECT_TRUE(copy->Started());
        watch.Watch(copy->Id());
        copy->Resume();
        return copy;
    }

    TempFolder folder_;
};

TEST_F(SecondStart, EndsAtOnceWithoutAWindowOrAFileAndBringsTheRunningCopyBack) {
    ShowWatch watch;
    ASSERT_TRUE(watch.Ready());
    auto first = StartWatched(watch, L"");
    HWND firstWindow = WaitForMainWindow(*first);
    ASSERT_NE(firstWindow, nullptr);
    // The watch sees a copy that does show its window.
    EXPECT_TRUE(watch.Shown(first->Id()));
    HWND firstApplication = FindProcessWindow(first->Id(), kApplicationWindowClass);
    ASSERT_NE(firstApplication, nullptr);

    // The user has minimised the program and works in another window.
    ShowWindow(firstApplication, SW_MINIMIZE);
    ASSERT_TRUE(WaitUntil([&] { return IsIconic(firstApplication) != FALSE; }, 5000));
    ScopedWindow other(CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                       nullptr, nullptr, nullptr, nullptr));
    SetForegroundWindow(other.Get());
    ASSERT_EQ(GetForegroundWindow(), other.Get());
    const auto before = FolderContents(folder_.Path());

    auto second = StartWatched(watch, L"C:\\notes\\today.txt \"two words\"");
    ASSERT_TRUE(second->WaitForExit(kEndBound)) << "the second start did not end";
    EXPECT_EQ(second->ExitCode(), 0u);
    EXPECT_FALSE(watch.Shown(second->Id())) << "the second start showed a window";
    EXPECT_EQ(ChangedFiles(before, FolderContents(folder_.Path())), kNoFile);

    EXPECT_TRUE(WaitUntil([&] { return !IsIconic(firstApplication); }, 5000));
    EXPECT_EQ(ForegroundProcess(), first->Id());
    // The running copy took the arguments and goes on as before.
    EXPECT_TRUE(Answers(firstWindow));
    EXPECT_TRUE(IsWindowVisible(firstWindow));
    EXPECT_EQ(ChangedFiles(before, FolderContents(folder_.Path())), kNoFile);

    PostMessageW(firstWindow, WM_CLOSE, 0, 0);
    ASSERT_TRUE(first->WaitForExit(kEndBound));
    EXPECT_EQ(first->ExitCode(), 0u);
}

TEST_F(SecondStart, ReadsAndCreatesNoFileAndHandsItsArgumentsToTheRunningCopy) {
    // Files that a start running on its own would read, back up and create a settings file for.
    WriteBytes(folder_.File(L"corvalo.data"),
               Bytes({'N', '=', 'C', ':', '\\', 'n', '.', 'e', 'x', 'e', '\r', '\n'}));
    WriteBytes(folder_.File(L"corvalo.icons"), Bytes({'n', 'o', 't', ' ', 'a', 'n', ' ', 'i'}));
    PlayedCopy running(folder_.ExePath());
    ASSERT_TRUE(running.guard.Registered());
    ShowWindow(running.application.Window(), SW_MINIMIZE);
    const auto before = FolderContents(folder_.Path());

    ShowWatch watch;
    ASSERT_TRUE(watch.Ready());
    const std::vector<std::wstring> arguments = {
        L"C:\\My Documents\\a b.txt", L"",    L"say \"hi\"", L"ends with\\", L"tab\there",
        L"caf\u00e9 \u03b1\u03b2",    L"/x=1"};
    auto second = StartWatched(watch, JoinArguments(arguments));
    ASSERT_TRUE(second->WaitForExit(kEndBound));
    EXPECT_EQ(second->ExitCode(), 0u);
    EXPECT_FALSE(watch.Shown(second->Id()));
    EXPECT_EQ(ChangedFiles(before, FolderContents(folder_.Path())), kNoFile);

    std::vector<std::string> expected;
    for (const std::wstring& argument : arguments)
        expected.push_back(WideToAnsi(argument));
    ASSERT_EQ(running.received.size(), 1u);
    EXPECT_EQ(running.kinds[0], kCommandLineDataKind);
    EXPECT_EQ(running.received[0], CommandLineHandOver(expected));

    // The second start registered and left again, telling the running copy both times.
    const std::vector<std::pair<WPARAM, DWORD>> notices = {{kInstanceCreated, second->Id()},
                                                           {kInstanceDestroyed, second->Id()}};
    EXPECT_EQ(running.notices, notices);
    EXPECT_FALSE(IsIconic(running.application.Window()));
    EXPECT_EQ(ForegroundProcess(), GetCurrentProcessId());
}

TEST_F(SecondStart, HandsOverArgumentsOfAnyLength) {
    PlayedCopy running(folder_.ExePath());
    // Close to the longest command line the platform takes.
    const std::vector<std::wstring> arguments = {std::wstring(30000, L'x'), L"y",
                                                 std::wstring(1000, L'\u00e9')};
    ChildProcess second(folder_.ExePath(), JoinArguments(arguments));
    ASSERT_TRUE(second.WaitForExit(kEndBound));
    EXPECT_EQ(second.ExitCode(), 0u);
    ASSERT_EQ(running.received.size(), 1u);
    EXPECT_EQ(running.received[0],
              CommandLineHandOver({std::string(30000, 'x'), "y", WideToAnsi(arguments[2])}));

    // And none at all.
    ChildProcess third(folder_.ExePath(), L"");
    ASSERT_TRUE(third.WaitForExit(kEndBound));
    EXPECT_EQ(third.ExitCode(), 0u);
    ASSERT_EQ(running.received.size(), 2u);
    EXPECT_EQ(running.received[1], "");
}

TEST_F(SecondStart, CopiesInTwoFoldersOrUnderTwoNamesRunSideBySide) {
    TempFolder otherFolder;
    ASSERT_TRUE(CopyProgram(folder_.ExePath(), otherFolder.ExePath()));
    ASSERT_TRUE(CopyProgram(folder_.ExePath(), folder_.File(L"launcher.exe")));

    ChildProcess first(folder_.ExePath(), L"");
    ChildProcess inOtherFolder(otherFolder.ExePath(), L"");
    ChildProcess underOtherName(folder_.File(L"launcher.exe"), L"");
    std::vector<HWND> windows;
    for (ChildProcess* copy : {&first, &inOtherFolder, &underOtherName}) {
        windows.push_back(WaitForMainWindow(*copy));
        EXPECT_NE(windows.back(), nullptr) << "a copy did not run";
    }
    for (ChildProcess* copy : {&first, &inOtherFolder, &underOtherName})
        EXPECT_TRUE(copy->Running());
    for (HWND window : windows)
        PostMessageW(window, WM_CLOSE, 0, 0);
    for (ChildProcess* copy : {&first, &inOtherFolder, &underOtherName}) {
        ASSERT_TRUE(copy->WaitForExit(kEndBound));
        EXPECT_EQ(copy->ExitCode(), 0u);
    }
    EXPECT_TRUE(Exists(folder_.File(L"corvalo.ini")));
    EXPECT_TRUE(Exists(folder_.File(L"launcher.ini")));
    EXPECT_TRUE(Exists(otherFolder.File(L"corvalo.ini")));
}

TEST_F(SecondStart, SeesTheRunningCopyAtAPathTooLongForTheSharedNames) {
    // An executable path just under MAX_PATH, deep in folders: every shared name made from it
    // would be longer than the platform takes.
    std::wstring exe = folder_.Path();
    while (exe.size() < 243) {
        exe += L"\\" + std::wstring(std::min<size_t>(40, 243 - exe.size()), L'd');
        ASSERT_TRUE(CreateDirectoryW(exe.c_str(), nullptr));
    }
    exe += L"\\corvalo.exe";
    ASSERT_GT(("Optex_MMF_JCL" + WideToAnsi(exe) + "_Otx").size(), size_t{MAX_PATH});
    ASSERT_TRUE(CopyProgram(folder_.ExePath(), exe));

    PlayedCopy running(exe);
    ASSERT_TRUE(running.guard.Registered()) << "the long path left the guard without its lists";
    ChildProcess second(exe, L"x");
    ASSERT_TRUE(second.WaitForExit(kEndBound));
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_EQ(running.received, std::vector<std::string>{"x\r\n"})
        << "the second start did not see the running copy";
}

TEST_F(SecondStart, TheNextStartRunsAfterTheCopyClosedOrWasKilled) {
    {
        ChildProcess first(folder_.ExePath(), L"");
        HWND window = WaitForMainWindow(first);
        ASSERT_NE(window, nullptr);
        PostMessageW(window, WM_CLOSE, 0, 0);
        ASSERT_TRUE(first.WaitForExit(kEndBound));
    }
    {
        ChildProcess afterClose(folder_.ExePath(), L"");
        ASSERT_NE(WaitForMainWindow(afterClose), nullptr) << "no normal start after a close";
        afterClose.Kill();
        ASSERT_TRUE(afterClose.WaitForExit(kEndBound));
    }
    ChildProcess afterKill(folder_.ExePath(), L"");
    HWND window = WaitForMainWindow(afterKill);
    ASSERT_NE(window, nullptr) << "no normal start after a kill";
    PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(afterKill.WaitForExit(kEndBound));
    EXPECT_EQ(afterKill.ExitCode(), 0u);
}

// A restart right after Quit: the copy that is closing no longer counts as the running copy. The
// start waits for it to end and then runs, reading the files it has just saved.
TEST_F(SecondStart, AStartWaitsForACopyThatIsClosingAndThenRuns) {
    auto closing = std::make_unique<PlayedCopy>(folder_.ExePath());
    ASSERT_TRUE(closing->guard.Registered());
    closing->guard.BeginClose();
    ChildProcess next(folder_.ExePath(), L"");
    EXPECT_FALSE(next.WaitForExit(1500)) << "the start handed over to a copy that is closing";
    EXPECT_EQ(VisibleMainWindow(next.Id()), nullptr) << "two copies over the same files";
    // The closing copy's last save, then its end.
    SetIniValue(folder_.File(L"corvalo.ini"), L"ADMIN", L"Alpha", L"150");
    closing.reset();
    HWND window = WaitForMainWindow(next);
    ASSERT_NE(window, nullptr) << "the start did not run once the closing copy had ended";
    BYTE alpha = 0;
    GetLayeredWindowAttributes(window, nullptr, &alpha, nullptr);
    EXPECT_EQ(alpha, 150) << "it did not read what the closing copy saved";

    // A close that did not happen after all (the save failed) makes it the running copy again.
    PlayedCopy reopened(folder_.File(L"other.exe"));
    reopened.guard.BeginClose();
    reopened.guard.CloseAbandoned();
    ASSERT_TRUE(CopyProgram(folder_.ExePath(), folder_.File(L"other.exe")));
    ChildProcess other(folder_.File(L"other.exe"), L"");
    ASSERT_TRUE(other.WaitForExit(kEndBound));
    EXPECT_EQ(reopened.received.size(), 1u) << "the start should have handed over";
    PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(next.WaitForExit(kEndBound));
}

// Every form of one exe's path (its short 8.3 name, a drive letter that stands for its folder) is
// one program over the same files.
TEST_F(SecondStart, EveryFormOfTheExesPathIsOneProgram) {
    const std::wstring longFolder = folder_.File(L"Long Folder Name");
    ASSERT_TRUE(CreateDirectoryW(longFolder.c_str(), nullptr));
    const std::wstring exe = longFolder + L"\\corvalo.exe";
    ASSERT_TRUE(CopyProgram(folder_.ExePath(), exe));
    PlayedCopy running(exe);

    std::vector<std::wstring> forms;
    wchar_t shortForm[MAX_PATH] = {};
    if (GetShortPathNameW(exe.c_str(), shortForm, MAX_PATH) && exe != shortForm)
        forms.push_back(shortForm);
    // A drive letter for the folder, as SUBST makes one.
    wchar_t drive[] = L"Q:";
    for (; drive[0] > L'H'; --drive[0]) {
        wchar_t target[MAX_PATH] = {};
        if (!QueryDosDeviceW(drive, target, MAX_PATH))
            break;
    }
    const bool substituted = DefineDosDeviceW(0, drive, longFolder.c_str()) != FALSE;
    if (substituted)
        forms.push_back(std::wstring(drive) + L"\\corvalo.exe");
    // A folder link to the folder.
    const std::wstring link = folder_.File(L"link");
    if (CreateSymbolicLinkW(link.c_str(), longFolder.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY))
        forms.push_back(link + L"\\corvalo.exe");
    ASSERT_FALSE(forms.empty()) << "the system offers no other form of the path";
    for (const std::wstring& form : forms) {
        const size_t before = running.received.size();
        ChildProcess second(form, L"");
        // Wine starts no program from a drive it only knows by name.
        std::printf("%s as %s\n", second.Started() ? "started" : "could not start",
                    WideToAnsi(form).c_str());
        if (!second.Started())
            continue;
        ASSERT_TRUE(second.WaitForExit(kEndBound)) << WideToAnsi(form);
        EXPECT_EQ(second.ExitCode(), 0u);
        EXPECT_EQ(running.received.size(), before + 1) << WideToAnsi(form) << " ran on its own";
    }
    if (substituted)
        DefineDosDeviceW(DDD_REMOVE_DEFINITION, drive, longFolder.c_str());
}

TEST_F(SecondStart, TakesOverTheLockOfACopyKilledWhileItHeldIt) {
    // The test build plays the copy that is killed from the task manager during its check.
    ASSERT_TRUE(CopyProgram(BuiltProgram(L"corvalo_hang.exe"), folder_.ExePath()));
    PlayedCopy running(folder_.ExePath());
    ASSERT_TRUE(running.guard.Registered());
    const InstanceNames& names = running.guard.Names();
    Optex lock(OptexNames{names.lockEvent, names.lockBlock, names.lockMutex});
    const auto heldElsewhere = [&] {
        if (!lock.TryEnter())
            return true;
        lock.Leave();
        return false;
    };
    {
        ChildProcess killed(folder_.ExePath(), L"/hold-guard-lock");
        ASSERT_TRUE(WaitUntil(heldElsewhere, kEndBound)) << "the copy did not take the lock";
        killed.Kill();
        ASSERT_TRUE(killed.WaitForExit(kEndBound));
    }

    ChildProcess second(folder_.ExePath(), L"x");
    ASSERT_TRUE(second.WaitForExit(kEndBound)) << "the second start hangs on the lock";
    EXPECT_EQ(second.ExitCode(), 0u);
    // It had the lock to register and to leave again, told the running copy both times (the
    // last notice may still be on its way) and handed over to it.
    WaitUntil([&] { return running.notices.size() >= 2; }, kEndBound);
    const std::vector<std::pair<WPARAM, DWORD>> notices = {{kInstanceCreated, second.Id()},
                                                           {kInstanceDestroyed, second.Id()}};
    EXPECT_EQ(running.notices, notices);
    EXPECT_EQ(running.received, std::vector<std::string>{"x\r\n"});
    // And left the lock free for the next start and for the running copy's end.
    EXPECT_FALSE(heldElsewhere());
}

TEST_F(SecondStart, AHungRunningCopyDoesNotHangIt) {
    ASSERT_TRUE(CopyProgram(BuiltProgram(L"corvalo_hang.exe"), folder_.ExePath()));
    ChildProcess first(folder_.ExePath(), L"");
    HWND firstWindow = WaitForMainWindow(first);
    ASSERT_NE(firstWindow, nullptr);
    PostMessageW(firstWindow, RegisterWindowMessageW(L"CorvaloTestHang"), 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !Answers(firstWindow); }, 5000));
    const auto before = FolderContents(folder_.Path());

    ShowWatch watch;
    auto second = StartWatched(watch, L"argument");
    const ULONGLONG started = GetTickCount64();
    ASSERT_TRUE(second->WaitForExit(kHangBound)) << "the second start hangs with the first";
    EXPECT_EQ(second->ExitCode(), 0u);
    EXPECT_FALSE(watch.Shown(second->Id()));
    EXPECT_EQ(ChangedFiles(before, FolderContents(folder_.Path())), kNoFile);
    std::printf("second start beside a hung copy ended after %llu ms\n",
                GetTickCount64() - started);
    EXPECT_TRUE(first.Running());
}

TEST_F(SecondStart, RunsWhenTheRunningCopysGuardIsNotActive) {
    // The copies ask each other; a running copy whose guard is off answers so and lets a second
    // start run as a copy of its own.
    PlayedCopy running(folder_.ExePath());
    running.guard.SetActive(false);
    ChildProcess second(folder_.ExePath(), L"");
    HWND window = WaitForMainWindow(second);
    ASSERT_NE(window, nullptr) << "the second start was refused";
    EXPECT_TRUE(running.received.empty());
    PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(second.WaitForExit(kEndBound));
    EXPECT_EQ(second.ExitCode(), 0u);
}

TEST_F(SecondStart, AFullOrDamagedListRefusesItWithoutAWriteOutsideTheBlock) {
    PlayedCopy running(folder_.ExePath());
    ScopedKernelHandle mapping(
        OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, running.guard.Names().allCopies.c_str()));
    ASSERT_TRUE(mapping);
    // The whole section as the system made it, so bytes after the block can be watched too.
    ScopedMappedView view(MapViewOfFile(mapping.Get(), FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_TRUE(view);
    MEMORY_BASIC_INFORMATION region{};
    VirtualQuery(view.Get(), &region, sizeof(region));
    ASSERT_GE(region.RegionSize, kInstanceListBytes);
    uint8_t* bytes = static_cast<uint8_t*>(view.Get());
    InstanceList list(std::span<uint8_t, kInstanceListBytes>(bytes, kInstanceListBytes));
    ASSERT_EQ(list.PositionOf(GetCurrentProcessId()), 0u);

    const auto setField = [&](size_t offset, uint16_t value) {
        std::memcpy(bytes + offset, &value, sizeof(value));
    };
    const std::vector<std::function<void()>> damages = {
        // Full: 256 more copies that no longer exist.
        [&] {
            for (uint32_t i = 1; i < kInstanceListCapacity; ++i)
                ASSERT_TRUE(list.Append(0x7FFF0000u + 4 * i));
        },
        // A count beyond the room.
        [&] { setField(2, 300); },
        [&] { setField(2, 65535); },
        // A count beyond the maximum.
        [&] {
            setField(0, 1);
            setField(2, 5);
        },
    };
    for (size_t i = 0; i < damages.size(); ++i) {
        damages[i]();
        const std::vector<uint8_t> snapshot(bytes, bytes + region.RegionSize);
        ChildProcess second(folder_.ExePath(), L"x");
        ASSERT_TRUE(second.WaitForExit(kEndBound)) << i;
        EXPECT_EQ(second.ExitCode(), 0u) << i;
        EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + region.RegionSize), snapshot) << i;
        EXPECT_EQ(running.received.size(), i + 1) << "the running copy was not told";
    }
}

TEST_F(SecondStart, RunsAsASingleCopyWhenItsSharedListCannotBeMade) {
    // Another program holds the name of the all-copies list with an object of another kind.
    PlayedCopy probe(folder_.File(L"probe.exe"));
    std::string name = probe.guard.Names().allCopies;
    name.replace(name.find("PROBE.EXE"), 9, "CORVALO.EXE");
    ScopedKernelHandle squatter(CreateEventA(nullptr, TRUE, FALSE, name.c_str()));
    ASSERT_TRUE(squatter);

    ChildProcess copy(folder_.ExePath(), L"");
    HWND window = WaitForMainWindow(copy);
    ASSERT_NE(window, nullptr) << "the program did not run";
    PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(copy.WaitForExit(kEndBound));
    EXPECT_EQ(copy.ExitCode(), 0u);
    EXPECT_TRUE(Exists(folder_.File(L"corvalo.ini")));
}

}  // namespace
}  // namespace corvalo::test
