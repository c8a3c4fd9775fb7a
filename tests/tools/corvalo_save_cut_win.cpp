// Test build of the program that plays a crash during its final save. It starts like corvalo.exe
// over the files beside it, changes the picture and adds an image to the icon list (so the save
// has new contents to write), closes its main window at once, and ends itself on the spot
// (TerminateProcess: nothing of the program runs any more) at the cut point the environment
// variable CORVALO_TEST_CUT_AT names. The cut points count the steps of every file replacement of
// the save in their order; the first step of each, the open temporary file, is two cut points: the
// empty file, and the file with the first half of its contents written.
//
// Exit codes: 0 the save finished and the program ended normally, 3 cut, 4 the program had an
// error to show (its text is then in corvalo_save_cut.txt beside the executable).
#include "app/main_window_win.h"
#include "base/file_io_win.h"
#include "base/text.h"
#include "picture/bitmap.h"
#include "picture/dib_win.h"

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <cstdlib>
#include <string>

namespace {

using namespace corvalo;

constexpr UINT kCutExitCode = 3;
constexpr UINT kErrorExitCode = 4;

int gCutAt = -1;
int gNextPoint = 0;

[[noreturn]] void Cut() {
    TerminateProcess(GetCurrentProcess(), kCutExitCode);
    for (;;)
        Sleep(INFINITE);
}

void OnReplaceStep(ReplaceStep step, HANDLE temporary, std::span<const uint8_t> bytes) {
    if (gNextPoint++ == gCutAt)
        Cut();
    if (step == ReplaceStep::TemporaryCreated && gNextPoint++ == gCutAt) {
        DWORD wrote = 0;
        WriteFile(temporary, bytes.data(), static_cast<DWORD>(bytes.size() / 2), &wrote, nullptr);
        Cut();
    }
}

std::wstring ModulePath() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path;
}

// Any error the program would show ends it instead, with the text left for the test.
class ExitingMessages final : public UserMessages {
  public:
    void ShowError(HWND, const std::wstring& text) override { Exit(text); }
    void ShowNotice(HWND, const std::wstring& text) override { Exit(text); }

  private:
    [[noreturn]] static void Exit(const std::wstring& text) {
        std::wstring report = ModulePath();
        report = report.substr(0, report.find_last_of(L'\\') + 1) + L"corvalo_save_cut.txt";
        const std::string bytes = WideToUtf8(text);
        HANDLE file = CreateFileW(report.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD wrote = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr);
        CloseHandle(file);
        ExitProcess(kErrorExitCode);
    }
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    if (const char* cutAt = std::getenv("CORVALO_TEST_CUT_AT"))
        gCutAt = std::atoi(cutAt);
    SetReplaceStepHook(&OnReplaceStep);

    const bool oleReady = SUCCEEDED(OleInitialize(nullptr));
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    ExitingMessages messages;
    int exitCode = 0;
    RunHandler(messages, nullptr, [&] {
        MainWindowOptions options;
        options.exePath = ModulePath();
        options.messages = &messages;
        MainWindow window(std::move(options));
        window.Show();

        // The changes since the last start: a new picture and one more image in the icon list.
        Bitmap picture = NewSizedBitmap(64, 48, 0x0020C040);
        for (int i = 0; i < 48; ++i)
            picture.SetPixel(i, i, 0x00FF0000);
        window.Picture().SetPicture(picture);
        ScopedBitmapHandle image = GdiBitmapFrom(NewSizedBitmap(32, 32, 0x000080FF));
        ImageList_Add(window.IconList(), image.Get(), nullptr);

        PostMessageW(window.Window(), WM_CLOSE, 0, 0);
        MSG message{};
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        exitCode = static_cast<int>(message.wParam);
    });
    if (oleReady)
        OleUninitialize();
    return exitCode;
}
