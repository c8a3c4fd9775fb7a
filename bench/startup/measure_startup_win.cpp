// Measures how long programs take from being started to showing their first painted window, run
// for run and alternating between them, so that load on the machine falls on each alike.
//
//   measure_startup.exe [--cwd DIR] [--warmup N] <runs> <exe> <window class> [<exe> <window
//   class>]...
//
// One run: CreateProcess; WaitForInputIdle, which returns once the new process has handled its
// first paint and waits for input; then poll for a visible top-level window of the given class
// owned by that process. The time counts from just before CreateProcess to the moment the window
// is found. The window then gets WM_CLOSE, as if the user closed it, and the process must end
// (it is killed after a timeout). Warm-up runs (default 1 per program) are not counted: the first
// start after a build pays for loading the exe from disk, and a program that keeps files beside
// itself writes them then.
//
// For each program the median, minimum and maximum are printed in milliseconds, and from the
// second program on the ratio of its median to the first program's median.
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

constexpr DWORD kWindowTimeoutMs = 10000;
constexpr DWORD kExitTimeoutMs = 10000;
// A program whose window has never appeared is given up after this many failed starts, or at once
// when it ran into the window timeout: a wrong class name would otherwise cost minutes.
constexpr int kFailuresBeforeGivingUp = 3;

struct Program {
    std::wstring path;
    std::wstring windowClass;
    std::vector<double> milliseconds;
    int failures = 0;
    bool succeeded = false;  // in any run, warm-up included
    bool gaveUp = false;
    std::wstring lastFailure;
};

std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::wstring FileName(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/:");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring FullPath(const std::wstring& path) {
    DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return path;
    std::wstring full(size, L'\0');
    size = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    full.resize(size);
    return full;
}

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    static const double ticksPerMs = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    return static_cast<double>(to.QuadPart - from.QuadPart) / ticksPerMs;
}

HWND FindProcessWindow(DWORD processId, const std::wstring& windowClass) {
    return corvalo::bench::FindProcessWindow(processId, windowClass.c_str());
}

std::wstring Describe(const wchar_t* what, DWORD number) {
    return std::wstring(what) + std::to_wstring(number);
}

struct Failure {
    std::wstring reason;
    bool timedOut = false;
};

// Starts the program once and closes it again. Returns the time to its window, or nothing with
// the reason in *failure.
std::optional<double> RunOnce(const Program& program, const wchar_t* workingFolder,
                              Failure* failure) {
    std::wstring commandLine = L"\"" + program.path + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};

    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(program.path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, workingFolder, &startup, &process)) {
        failure->reason = Describe(L"CreateProcess failed, error ", GetLastError());
        return std::nullopt;
    }
    CloseHandle(process.hThread);

    // Fails at once for a process that has no message queue yet and then ends; the poll below
    // tells those cases apart.
    WaitForInputIdle(process.hProcess, kWindowTimeoutMs);

    std::optional<double> elapsed;
    HWND window = nullptr;
    for (;;) {
        window = FindProcessWindow(process.dwProcessId, program.windowClass);
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        if (window) {
            elapsed = Milliseconds(start, now);
            break;
        }
        DWORD exitCode = 0;
        if (WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0) {
            GetExitCodeProcess(process.hProcess, &exitCode);
            failure->reason = Describe(L"ended before its window appeared, exit code ", exitCode);
            break;
        }
        if (Milliseconds(start, now) > kWindowTimeoutMs) {
            failure->reason = L"no visible window of class \"" + program.windowClass +
                              L"\" within " + std::to_wstring(kWindowTimeoutMs / 1000) + L" s";
            failure->timedOut = true;
            break;
        }
        Sleep(1);
    }

    if (window)
        PostMessageW(window, WM_CLOSE, 0, 0);
    DWORD waitMs = window ? kExitTimeoutMs : 0;
    if (WaitForSingleObject(process.hProcess, waitMs) != WAIT_OBJECT_0) {
        if (window)
            std::fprintf(stderr, "%s did not end within %lu s of WM_CLOSE; killed\n",
                         Utf8(FileName(program.path)).c_str(), kExitTimeoutMs / 1000);
        TerminateProcess(process.hProcess, 1);
        WaitForSingleObject(process.hProcess, kExitTimeoutMs);
    }
    CloseHandle(process.hProcess);
    return elapsed;
}

void Measure(Program& program, const wchar_t* workingFolder, bool counted) {
    if (program.gaveUp)
        return;
    Failure failure;
    std::optional<double> ms = RunOnce(program, workingFolder, &failure);
    if (ms) {
        program.succeeded = true;
        if (counted)
            program.milliseconds.push_back(*ms);
        return;
    }
    ++program.failures;
    program.lastFailure = failure.reason;
    std::fprintf(stderr, "%s: %s\n", Utf8(FileName(program.path)).c_str(),
                 Utf8(failure.reason).c_str());
    if (!program.succeeded && (failure.timedOut || program.failures >= kFailuresBeforeGivingUp))
        program.gaveUp = true;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: measure_startup [--cwd DIR] [--warmup N] <runs> <exe> <window class> "
                 "[<exe> <window class>]...\n");
    return 1;
}

bool ParseCount(const wchar_t* text, int minimum, int* value) {
    wchar_t* end = nullptr;
    long parsed = std::wcstol(text, &end, 10);
    if (end == text || *end != L'\0' || parsed < minimum || parsed > 10000)
        return false;
    *value = static_cast<int>(parsed);
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring workingFolder;
    int warmups = 1;
    int arg = 1;
    for (; arg + 1 < argc && argv[arg][0] == L'-' && argv[arg][1] == L'-'; arg += 2) {
        if (std::wcscmp(argv[arg], L"--cwd") == 0)
            workingFolder = FullPath(argv[arg + 1]);
        else if (std::wcscmp(argv[arg], L"--warmup") != 0 ||
                 !ParseCount(argv[arg + 1], 0, &warmups))
            return Usage();
    }
    int runs = 0;
    if (arg >= argc || !ParseCount(argv[arg], 1, &runs))
        return Usage();
    ++arg;
    if (arg >= argc || (argc - arg) % 2 != 0)
        return Usage();

    std::vector<Program> programs;
    for (; arg < argc; arg += 2) {
        Program program;
        // Resolved here, so a relative exe path means the same with or without --cwd.
        program.path = FullPath(argv[arg]);
        program.windowClass = argv[arg + 1];
        if (GetFileAttributesW(program.path.c_str()) == INVALID_FILE_ATTRIBUTES) {
            std::fprintf(stderr, "no such program: %s\n", Utf8(program.path).c_str());
            return 1;
        }
        programs.push_back(std::move(program));
    }
    const DWORD folderAttributes =
        workingFolder.empty() ? 0 : GetFileAttributesW(workingFolder.c_str());
    if (!workingFolder.empty() && (folderAttributes == INVALID_FILE_ATTRIBUTES ||
                                   !(folderAttributes & FILE_ATTRIBUTE_DIRECTORY))) {
        std::fprintf(stderr, "no such folder: %s\n", Utf8(workingFolder).c_str());
        return 1;
    }
    const wchar_t* cwd = workingFolder.empty() ? nullptr : workingFolder.c_str();

    for (int i = 0; i < warmups; ++i)
        for (Program& program : programs)
            Measure(program, cwd, false);
    for (int i = 0; i < runs; ++i)
        for (Program& program : programs)
            Measure(program, cwd, true);

    std::printf(
        "Start-up to the first painted window: %d runs each after %d warm-up, alternating\n", runs,
        warmups);
    size_t nameWidth = 0;
    for (const Program& program : programs)
        nameWidth = std::max(nameWidth, Utf8(FileName(program.path)).size());
    std::optional<double> reference;
    for (size_t i = 0; i < programs.size(); ++i) {
        const Program& program = programs[i];
        std::string name = Utf8(FileName(program.path));
        if (program.milliseconds.empty()) {
            std::printf("  %-*s  skipped: %s\n", static_cast<int>(nameWidth), name.c_str(),
                        Utf8(program.lastFailure).c_str());
            continue;
        }
        double median = Median(program.milliseconds);
        auto [low, high] =
            std::minmax_element(program.milliseconds.begin(), program.milliseconds.end());
        std::printf("  %-*s  median %7.1f ms  min %7.1f  max %7.1f", static_cast<int>(nameWidth),
                    name.c_str(), median, *low, *high);
        if (i == 0)
            reference = median;
        else if (reference)
            std::printf("  ratio %.2f", median / *reference);
        if (program.failures > 0)
            std::printf("  (%d failed runs)", program.failures);
        std::printf("\n");
    }
    // The table's lines: each program against the first (the bare window); the target holds for
    // the last, the program under test.
    for (size_t i = 1; reference && i < programs.size(); ++i) {
        if (programs[i].milliseconds.empty())
            continue;
        const std::string what = "Start-up to the first paint, " + Utf8(FileName(programs[i].path));
        corvalo::bench::PrintFigure(what.c_str(), Median(programs[i].milliseconds), *reference,
                                    "bare window", "ms", i + 1 == programs.size() ? "<=1.1" : "-");
    }
    std::fflush(stdout);
    return reference ? 0 : 2;
}
