// Measures how promptly a program's window answers from its first appearance on: a WM_NULL is
// sent to it every 20 ms for a number of seconds, and the longest wait for an answer counts. A
// window whose thread is busy (looking up icons, say) answers late; one that is free answers at
// once. Afterwards the window is asked to close, as the user would, and the time to the process's
// end counts too: a program that waits for a stuck worker at its end never ends.
//
//   measure_responsiveness.exe --cwd DIR <seconds> <exe> <window class> [<exe> <window class>]...
//
// Each exe starts in DIR (or in its own folder when it names one). Prints per program the longest
// and the median wait, how many messages were sent and the time to its end; the first program is
// the peer of the others. While a program has been polled to its end it is left idle for two
// seconds, and the line "idle <pid>" on standard output says so (scripts read its memory then).
#include "bench/figure.h"
#include "bench/process_window_win.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr DWORD kWindowTimeoutMs = 20000;
constexpr DWORD kAnswerTimeoutMs = 30000;
constexpr DWORD kExitTimeoutMs = 10000;
constexpr DWORD kPollMs = 20;

struct Outcome {
    std::wstring name;
    std::vector<double> waits;
    double endMs = -1;  // -1: did not end and was killed
    bool started = false;
};

std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

double Now() {
    static const double ticksPerMs = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / ticksPerMs;
}

double Median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

Outcome Measure(const std::wstring& exe, const std::wstring& windowClass, const wchar_t* folder,
                DWORD seconds) {
    Outcome outcome;
    // The exe with its folder: two runs may start the same exe from different folders.
    const size_t file = exe.find_last_of(L"\\/");
    const size_t parent = file == std::wstring::npos || file == 0
                              ? std::wstring::npos
                              : exe.find_last_of(L"\\/", file - 1);
    outcome.name = exe.substr(parent == std::wstring::npos ? 0 : parent + 1);
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder, &startup, &process)) {
        std::fprintf(stderr, "%s did not start: error %lu\n", Utf8(exe).c_str(), GetLastError());
        return outcome;
    }
    CloseHandle(process.hThread);
    const double start = Now();
    HWND window = nullptr;
    while (!window && Now() - start < kWindowTimeoutMs) {
        window = corvalo::bench::FindProcessWindow(process.dwProcessId, windowClass.c_str());
        if (!window)
            Sleep(1);
    }
    if (window) {
        outcome.started = true;
        const double until = Now() + seconds * 1000.0;
        while (Now() < until) {
            const double sent = Now();
            DWORD_PTR result = 0;
            SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kAnswerTimeoutMs, &result);
            const double answered = Now();
            outcome.waits.push_back(answered - sent);
            const double next = sent + kPollMs;
            if (answered < next)
                Sleep(static_cast<DWORD>(next - answered));
        }
        std::printf("idle %lu\n", process.dwProcessId);
        std::fflush(stdout);
        Sleep(2000);
        const double closing = Now();
        PostMessageW(window, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process.hProcess, kExitTimeoutMs) == WAIT_OBJECT_0)
            outcome.endMs = Now() - closing;
    } else {
        std::fprintf(stderr, "%s showed no window of class %s\n", Utf8(exe).c_str(),
                     Utf8(windowClass).c_str());
    }
    if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, kExitTimeoutMs);
    }
    CloseHandle(process.hProcess);
    return outcome;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int arg = 1;
    std::wstring folder;
    if (arg + 1 < argc && std::wcscmp(argv[arg], L"--cwd") == 0) {
        folder = argv[arg + 1];
        arg += 2;
    }
    if (argc - arg < 3 || (argc - arg - 1) % 2 != 0) {
        std::fprintf(stderr,
                     "usage: measure_responsiveness [--cwd DIR] <seconds> <exe> <window "
                     "class> [<exe> <window class>]...\n");
        return 1;
    }
    const DWORD seconds = static_cast<DWORD>(std::max(1, _wtoi(argv[arg++])));
    std::vector<Outcome> outcomes;
    for (; arg + 1 < argc; arg += 2) {
        std::wstring exe = argv[arg];
        // An exe in a folder of its own starts there, with the files beside it.
        const size_t slash = exe.find_last_of(L"\\/");
        const std::wstring own = slash == std::wstring::npos ? L"" : exe.substr(0, slash);
        const wchar_t* where = !own.empty()     ? own.c_str()
                               : folder.empty() ? nullptr
                                                : folder.c_str();
        outcomes.push_back(Measure(exe, argv[arg + 1], where, seconds));
    }

    std::printf("Answers to WM_NULL sent every %lu ms for %lu s from the window's appearance\n",
                kPollMs, seconds);
    for (const Outcome& outcome : outcomes) {
        if (!outcome.started) {
            std::printf("  %-28s no window\n", Utf8(outcome.name).c_str());
            continue;
        }
        const double longest = *std::max_element(outcome.waits.begin(), outcome.waits.end());
        std::printf("  %-28s longest %8.1f ms  median %6.2f ms  %4zu messages  ",
                    Utf8(outcome.name).c_str(), longest, Median(outcome.waits),
                    outcome.waits.size());
        if (outcome.endMs >= 0)
            std::printf("ended %.0f ms after its close request\n", outcome.endMs);
        else
            std::printf("did NOT end within %lu s of its close request (killed)\n",
                        kExitTimeoutMs / 1000);
    }
    if (outcomes.empty() || !outcomes[0].started)
        return 2;
    const double peer = *std::max_element(outcomes[0].waits.begin(), outcomes[0].waits.end());
    for (size_t i = 1; i < outcomes.size(); ++i) {
        if (!outcomes[i].started)
            continue;
        const std::string what = "Longest wait for the window, " + Utf8(outcomes[i].name);
        corvalo::bench::PrintFigure(
            what.c_str(), *std::max_element(outcomes[i].waits.begin(), outcomes[i].waits.end()),
            peer, "bare window", "ms", "ours<=50");
    }
    return 0;
}
