// A drag source for the end-to-end runs: a small window titled "Drag source" at 100, 100 that,
// when the left mouse button goes down on it, drags the file named on its command line as the
// shell does (a file list, copy or link). It writes the effect the drop ended with to
// "drag-result.txt" in its working folder and ends.
#include "support/test_data_object_win.h"

#include "base/com_object_win.h"

#include <windows.h>
#include <ole2.h>

#include <cstdio>
#include <string>

namespace {

using corvalo::test::TestDataObject;

// Drops when the left button comes up, gives up on Escape.
class ButtonDropSource final : public corvalo::ComObject<IDropSource> {
  public:
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keys) override {
        if (escape)
            return DRAGDROP_S_CANCEL;
        return (keys & MK_LBUTTON) ? S_OK : DRAGDROP_S_DROP;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

std::wstring g_file;

void Drag() {
    auto data = TestDataObject::Create();
    data->Offer(CF_HDROP, corvalo::test::DropFilesBlock({g_file}, true));
    corvalo::ComPtr<ButtonDropSource> source;
    *source.Receive() = new ButtonDropSource();
    DWORD effect = DROPEFFECT_NONE;
    const HRESULT result =
        DoDragDrop(data.Get(), source.Get(), DROPEFFECT_COPY | DROPEFFECT_LINK, &effect);
    if (FILE* out = _wfopen(L"drag-result.txt", L"w")) {
        std::fprintf(out, "%s %lu\n", result == DRAGDROP_S_DROP ? "dropped" : "cancelled",
                     static_cast<unsigned long>(effect));
        std::fclose(out);
    }
}

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_LBUTTONDOWN:
            Drag();
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int) {
    g_file = arguments ? arguments : L"";
    if (g_file.size() >= 2 && g_file.front() == L'"' && g_file.back() == L'"')
        g_file = g_file.substr(1, g_file.size() - 2);
    if (FAILED(OleInitialize(nullptr)))
        return 1;
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"CorvaloTestDragSource";
    RegisterClassW(&windowClass);
    CreateWindowExW(WS_EX_TOPMOST, windowClass.lpszClassName, L"Drag source", WS_POPUP | WS_VISIBLE,
                    100, 100, 200, 200, nullptr, nullptr, instance, nullptr);
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    OleUninitialize();
    return 0;
}
