#include "base/file_io_win.h"

#include "base/error.h"
#include "base/scoped_win.h"
#include "base/text.h"

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

void SetReplaceStepHook(ReplaceStepHook hook) {
    gReplaceStepHook = hook;
}

}  // namespace corvalo
