// Reading a picture file on Windows: by its UTF-16 name, so any name loads.
#include "base/file_io_win.h"
#include "picture/picture_decoders.h"

#include <windows.h>

namespace corvalo {

std::vector<uint8_t> ReadPictureFileBytes(const std::wstring& fileName) {
    // The error names the full path, as the user knows the file.
    std::wstring fullPath(MAX_PATH, L'\0');
    DWORD length =
        GetFullPathNameW(fileName.c_str(), DWORD(fullPath.size()), fullPath.data(), nullptr);
    if (length > fullPath.size()) {
        fullPath.resize(length);
        length =
            GetFullPathNameW(fileName.c_str(), DWORD(fullPath.size()), fullPath.data(), nullptr);
    }
    if (length == 0 || length > fullPath.size()) {
        return ReadWholeFile(fileName);
    }
    fullPath.resize(length);
    return ReadWholeFile(fullPath);
}

}  // namespace corvalo
