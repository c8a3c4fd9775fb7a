#include "base/file_io_win.h"

#include "base/error.h"
#include "base/scoped_win.h"
#include "base/text.h"

#include <algorithm>
#include <string>

namespace corvalo {
namespace {

ReplaceStepHook gReplaceStepHook = nullptr;

void Reached(ReplaceStep step, HANDLE temporary, std::span<const uint8_t> bytes) {
    if (gReplaceStepHook)
        gReplaceStepHook(step, temporary, bytes);
}

// Both name forms funnel into these, so the 8-bit and UTF-16 paths behave alike.
struct FileName {
    std::wstring wide;  // used when ansi is empty
    std::string ansi;
    bool isAnsi = false;

    std::wstring Display() const { return isAnsi ? AnsiToWide(ansi) : wide; }
    HANDLE Open(DWORD access, DWORD share, DWORD disposition, DWORD flags) const {
        return isAnsi
                   ? CreateFileA(ansi.c_str(), access, share, nullptr, disposition, flags, nullptr)
                   : CreateFileW(wide.c_str(), access, share, nullptr, disposition, flags, nullptr);
    }
    DWORD Attributes() const {
        return isAnsi ? GetFileAttributesA(ansi.c_str()) : GetFileAttributesW(wide.c_str());
    }
    FileName WithSuffix(const char* suffix) const {
        FileName other = *this;
        if (isAnsi) {
            other.ansi += suffix;
        } else {
            other.wide += AnsiToWide(suffix);
        }
        return other;
    }
    bool MoveOver(const FileName& target) const {
        const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;
        return isAnsi ? MoveFileExA(ansi.c_str(), target.ansi.c_str(), flags) != FALSE
                      : MoveFileExW(wide.c_str(), target.wide.c_str(), flags) != FALSE;
    }
    void Delete() const {
        if (isAnsi) {
            DeleteFileA(ansi.c_str());
        } else {
            DeleteFileW(wide.c_str());
        }
    }
};

FileName Wide(const std::wstring& path) {
    return FileName{path, {}, false};
}
FileName Ansi(const std::string& path) {
    return FileName{{}, path, true};
}

bool Exists(const FileName& name) {
    const DWORD attributes = name.Attributes();
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

[[noreturn]] void ThrowFileError(const wchar_t* pattern, const FileName& name, DWORD code) {
    throw Error(FillText(pattern, {name.Display(), SystemErrorText(code)}));
}

std::vector<uint8_t> ReadAll(const FileName& name) {
    constexpr wchar_t kCannotOpen[] = L"Cannot open file \"%s\". %s";
    ScopedKernelHandle file(
        name.Open(GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0));
    if (!file)
        ThrowFileError(kCannotOpen, name, GetLastError());
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size))
        ThrowFileError(kCannotOpen, name, GetLastError());
    if (size.QuadPart > 0x7FFFFFFF)
        ThrowFileError(kCannotOpen, name, ERROR_FILE_TOO_LARGE);
    std::vector<uint8_t> bytes(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(bytes.size() - done);
        if (!ReadFile(file.Get(), bytes.data() + done, want, &got, nullptr)) {
            ThrowFileError(kCannotOpen, name, GetLastError());
        }
        if (got == 0)
            break;  // the file shrank meanwhile: keep what is there
        done += got;
    }
    bytes.resize(done);
    return bytes;
}

void ReplaceAll(const FileName& target, std::span<const uint8_t> bytes) {
    constexpr wchar_t kCannotCreate[] = L"Cannot create file \"%s\". %s";
    const FileName temporary = target.WithSuffix(".new");
    {
        ScopedKernelHandle file(
            temporary.Open(GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL));
        if (!file)
            ThrowFileError(kCannotCreate, target, GetLastError());
        Reached(ReplaceStep::TemporaryCreated, file.Get(), bytes);
        size_t done = 0;
        while (done < bytes.size()) {
            DWORD wrote = 0;
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
            if (!WriteFile(file.Get(), bytes.data() + done, chunk, &wrote, nullptr) || wrote == 0) {
                const DWORD code = GetLastError();
                file.Reset();
                temporary.Delete();
                ThrowFileError(kCannotCreate, target, code);
            }
            done += wrote;
        }
        Reached(ReplaceStep::Written, file.Get(), bytes);
        if (!FlushFileBuffers(file.Get())) {
            const DWORD code = GetLastError();
            file.Reset();
            temporary.Delete();
            ThrowFileError(kCannotCreate, target, code);
        }
        Reached(ReplaceStep::Flushed, file.Get(), bytes);
    }
    Reached(ReplaceStep::Closed, nullptr, bytes);
    if (!temporary.MoveOver(target)) {
        const DWORD code = GetLastError();
        temporary.Delete();
        ThrowFileError(kCannotCreate, target, code);
    }
    Reached(ReplaceStep::Moved, nullptr, bytes);
}

// A backup's name with a number: "corvalo.bak" becomes "corvalo.1.bak", "corvalo.bmp.bak"
// "corvalo.bmp.1.bak".
template <typename Text>
Text NumberedBackup(const Text& backupPath, int number) {
    using Char = typename Text::value_type;
    const Text suffix = {Char('.'), Char('b'), Char('a'), Char('k')};
    const bool hasSuffix = backupPath.size() >= suffix.size() &&
                           backupPath.compare(backupPath.size() - 4, 4, suffix) == 0;
    Text numbered = hasSuffix ? backupPath.substr(0, backupPath.size() - 4) : backupPath;
    numbered.push_back(Char('.'));
    for (const char digit : std::to_string(number))
        numbered.push_back(Char(digit));
    return numbered + suffix;
}

template <typename Text>
Text KeepBackupAt(const Text& backupPath, std::span<const uint8_t> bytes,
                  FileName (*nameOf)(const Text&)) {
    // Far more backups than anyone makes by hand; past them the save says it could not keep one.
    constexpr int kMostBackups = 1000;
    for (int number = 0; number <= kMostBackups; ++number) {
        const Text path = number == 0 ? backupPath : NumberedBackup(backupPath, number);
        const FileName name = nameOf(path);
        if (!Exists(name) && name.Attributes() == INVALID_FILE_ATTRIBUTES) {
            ReplaceAll(name, bytes);
            return path;
        }
        // A backup that can't be read (locked) may hold anything: it is passed over like one
        // with other bytes.
        if (Exists(name)) {
            try {
                const std::vector<uint8_t> held = ReadAll(name);
                if (std::equal(held.begin(), held.end(), bytes.begin(), bytes.end()))
                    return path;
            } catch (const Error&) {
            }
        }
    }
    ThrowFileError(L"Cannot create file \"%s\". %s", nameOf(backupPath), ERROR_FILE_EXISTS);
}

}  // namespace

bool FileExists(const std::wstring& path) {
    return Exists(Wide(path));
}
bool FileExists(const std::string& ansiPath) {
    return Exists(Ansi(ansiPath));
}

std::vector<uint8_t> ReadWholeFile(const std::wstring& path) {
    return ReadAll(Wide(path));
}
std::vector<uint8_t> ReadWholeFile(const std::string& ansiPath) {
    return ReadAll(Ansi(ansiPath));
}

void ReplaceFileContents(const std::wstring& path, std::span<const uint8_t> bytes) {
    ReplaceAll(Wide(path), bytes);
}
void ReplaceFileContents(const std::string& ansiPath, std::span<const uint8_t> bytes) {
    ReplaceAll(Ansi(ansiPath), bytes);
}

std::wstring FinalPathOf(const std::wstring& path) {
    std::wstring result = path;
    // No access is asked for: the file's name is all that is wanted, even of a running exe.
    ScopedKernelHandle file(
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (file) {
        std::wstring final(MAX_PATH, L'\0');
        DWORD length = GetFinalPathNameByHandleW(file.Get(), final.data(),
                                                 static_cast<DWORD>(final.size()), 0);
        if (length >= final.size()) {
            final.resize(length + 1);
            length = GetFinalPathNameByHandleW(file.Get(), final.data(),
                                               static_cast<DWORD>(final.size()), 0);
        }
        if (length > 0 && length < final.size()) {
            final.resize(length);
            // "\\?\C:\..." for a drive, "\\?\UNC\server\share\..." for a share.
            if (final.rfind(L"\\\\?\\UNC\\", 0) == 0) {
                result = L"\\\\" + final.substr(8);
            } else if (final.rfind(L"\\\\?\\", 0) == 0) {
                result = final.substr(4);
            } else {
                result = final;
            }
        }
    }
    // Short names the final path may still hold (a system that keeps them) in their long form.
    std::wstring longPath(MAX_PATH, L'\0');
    DWORD length =
        GetLongPathNameW(result.c_str(), longPath.data(), static_cast<DWORD>(longPath.size()));
    if (length >= longPath.size()) {
        longPath.resize(length + 1);
        length =
            GetLongPathNameW(result.c_str(), longPath.data(), static_cast<DWORD>(longPath.size()));
    }
    if (length > 0 && length < longPath.size()) {
        longPath.resize(length);
        return longPath;
    }
    return result;
}

std::wstring KeepBackup(const std::wstring& backupPath, std::span<const uint8_t> bytes) {
    return KeepBackupAt(backupPath, bytes, Wide);
}
std::string KeepBackup(const std::string& ansiBackupPath, std::span<const uint8_t> bytes) {
    return KeepBackupAt(ansiBackupPath, bytes, Ansi);
}

void SetReplaceStepHook(ReplaceStepHook hook) {
    gReplaceStepHook = hook;
}

}  // namespace corvalo
