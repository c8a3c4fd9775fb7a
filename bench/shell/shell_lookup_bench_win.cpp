// Times GetFileIconIndex over many names of three kinds: existing files, missing files of a known
// type and missing files of an unknown type. Beside it, on the same names:
//  - the floor: the shell calls the lookup has to make for that kind of name, made directly
//    (parse the name; for a missing file also the existence check, the question by extension and,
//    for an unknown type, the temporary file made, asked about and deleted);
//  - the bare SHGetFileInfoA call on the name (with SHGFI_USEFILEATTRIBUTES for a missing file,
//    the only form that answers for one).
// Each measurement runs three times, alternating, and the median counts. Prints microseconds per
// lookup and the ratios; the lookup's own cost is its ratio to the floor (target: 1.2 at most).
//
//   shell_lookup_bench.exe [names per kind]     (default 1000; run through bench/shell/run.sh)
//
// The benchmark registers a file type of its own for the known kind, under the user's classes
// (and the merged classes view where Wine does not merge them), and removes it again; its files
// live in a folder of its own in the temporary folder, deleted at the end.

#include "base/scoped_win.h"
#include "bench/figure.h"
#include "base/text.h"
#include "shell/sys_image_list_win.h"
#include "support/registry_win.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace corvalo;

constexpr char kKnownExtension[] = ".corvalobench";
constexpr char kUnknownExtension[] = ".corvalobenchnone";
constexpr wchar_t kTypeName[] = L"Corvalo.BenchFile";
constexpr int kRounds = 3;

// The shell calls GetFileIconIndex makes for each kind of name, made directly.
int AskAboutItemIds(LPITEMIDLIST itemIds) {
    SHFILEINFOA info{};
    SHGetFileInfoA(reinterpret_cast<LPCSTR>(itemIds), 0, &info, sizeof(info),
                   SHGFI_SYSICONINDEX | SHGFI_PIDL | SHGFI_LARGEICON);
    ScopedItemIdList owned(itemIds);
    return info.iIcon;
}

LPITEMIDLIST Parse(IShellFolder* desktop, const std::string& name) {
    std::wstring wide = AnsiToWide(name);
    ULONG eaten = 0;
    LPITEMIDLIST itemIds = nullptr;
    if (FAILED(desktop->ParseDisplayName(nullptr, nullptr, wide.data(), &eaten, &itemIds, nullptr)))
        return nullptr;
    return itemIds;
}

int FloorExisting(IShellFolder* desktop, const std::string& name) {
    LPITEMIDLIST itemIds = Parse(desktop, name);
    return itemIds ? AskAboutItemIds(itemIds) : 0;
}

int FloorMissing(IShellFolder* desktop, const std::string& name, const char* extension,
                 bool makeTemporaryFile) {
    if (LPITEMIDLIST itemIds = Parse(desktop, name))
        return AskAboutItemIds(itemIds);
    GetFileAttributesA(name.c_str());
    SHFILEINFOA info{};
    SHGetFileInfoA((std::string("*") + extension).c_str(), FILE_ATTRIBUTE_NORMAL, &info,
                   sizeof(info), SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES | SHGFI_LARGEICON);
    if (!makeTemporaryFile)
        return info.iIcon;
    wchar_t folder[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, folder);
    wchar_t reserved[MAX_PATH];
    GetTempFileNameW(folder, L"sil", 0, reserved);
    const std::wstring file = std::wstring(reserved) + AnsiToWide(extension);
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_TEMPORARY, nullptr);
    CloseHandle(handle);
    int index = 0;
    if (LPITEMIDLIST itemIds = Parse(desktop, WideToAnsi(file)))
        index = AskAboutItemIds(itemIds);
    DeleteFileW(file.c_str());
    DeleteFileW(reserved);
    return index;
}

int Bare(const std::string& name, bool missing) {
    SHFILEINFOA info{};
    SHGetFileInfoA(name.c_str(), missing ? FILE_ATTRIBUTE_NORMAL : 0, &info, sizeof(info),
                   SHGFI_SYSICONINDEX | SHGFI_LARGEICON | (missing ? SHGFI_USEFILEATTRIBUTES : 0));
    return info.iIcon;
}

// Microseconds per name of one pass.
double TimePerName(const std::vector<std::string>& names,
                   const std::function<int(const std::string&)>& lookUp) {
    volatile int sink = 0;
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& name : names)
        sink = sink + lookUp(name);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    return std::chrono::duration<double, std::micro>(elapsed).count() / names.size();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Case {
    const char* title;
    std::vector<std::string> names;
    std::function<int(const std::string&)> floor;
    std::function<int(const std::string&)> bare;
};

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    CoInitialize(nullptr);
    ComPtr<IShellFolder> desktop;
    if (FAILED(SHGetDesktopFolder(desktop.Receive()))) {
        std::printf("no desktop folder\n");
        return 1;
    }
    test::TemporaryFileType type(AnsiToWide(kKnownExtension), kTypeName, L"shell32.dll,5");

    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    const std::wstring folder =
        std::wstring(temp) + L"corvalo-shell-bench-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::string ansiFolder = WideToAnsi(folder);

    std::vector<std::string> existing, missingKnown, missingUnknown;
    for (int i = 0; i < count; ++i) {
        const std::string number = std::to_string(i);
        existing.push_back(ansiFolder + "\\file" + number + kKnownExtension);
        HANDLE file =
            CreateFileA(existing.back().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        CloseHandle(file);
        missingKnown.push_back(ansiFolder + "\\absent" + number + kKnownExtension);
        missingUnknown.push_back(ansiFolder + "\\absent" + number + kUnknownExtension);
    }

    IShellFolder* shell = desktop.Get();
    std::vector<Case> cases = {
        {"existing files", existing,
         [shell](const std::string& name) { return FloorExisting(shell, name); },
         [](const std::string& name) { return Bare(name, false); }},
        {"missing, known type", missingKnown,
         [shell](const std::string& name) {
             return FloorMissing(shell, name, kKnownExtension, false);
         },
         [](const std::string& name) { return Bare(name, true); }},
        {"missing, unknown type", missingUnknown,
         [shell](const std::string& name) {
             return FloorMissing(shell, name, kUnknownExtension, true);
         },
         [](const std::string& name) { return Bare(name, true); }},
    };
    auto ours = [](const std::string& name) { return GetFileIconIndex(name, false); };

    std::printf("%d names per case, %d rounds each, median of the rounds\n", count, kRounds);
    std::printf("%-24s %12s %12s %12s %10s %10s\n", "case", "lookup us", "floor us", "bare us",
                "/floor", "/bare");
    bool agree = true;
    for (const Case& c : cases) {
        // Warm-up: the special-folder map, the shell's caches of the type and its icon.
        for (int i = 0; i < std::min(count, 20); ++i) {
            if (ours(c.names[i]) != c.floor(c.names[i]))
                agree = false;
            c.bare(c.names[i]);
        }
        std::vector<double> lookup, floor, bare;
        for (int round = 0; round < kRounds; ++round) {
            lookup.push_back(TimePerName(c.names, ours));
            floor.push_back(TimePerName(c.names, c.floor));
            bare.push_back(TimePerName(c.names, c.bare));
        }
        const double l = Median(lookup), f = Median(floor), b = Median(bare);
        std::printf("%-24s %12.1f %12.1f %12.1f %10.2f %10.2f\n", c.title, l, f, b, l / f, l / b);
        corvalo::bench::PrintFigure((std::string("Icon lookup, ") + c.title).c_str(), l, f,
                                    "shell calls", "us", "<=1.2");
        std::fflush(stdout);
    }
    if (!agree)
        std::printf("warning: the lookup and the floor calls answered differently\n");

    for (const std::string& name : existing)
        DeleteFileA(name.c_str());
    RemoveDirectoryW(folder.c_str());
    CoUninitialize();
    return 0;
}
