// Reading a picture file natively: the UTF-16 name as UTF-8, as the host's file system takes it.
#include "base/error.h"
#include "base/text.h"
#include "picture/picture_decoders.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

namespace corvalo {

std::vector<uint8_t> ReadPictureFileBytes(const std::wstring& fileName) {
    std::error_code ignored;
    const std::string path = WideToUtf8(fileName);
    const std::string fullPath = std::filesystem::absolute(path, ignored).string();
    const auto fail = [&](int code) {
        throw Error(FillText(
            L"Cannot open file \"%s\". %s",
            {Utf8ToWide(fullPath.empty() ? path : fullPath), Utf8ToWide(std::strerror(code))}));
    };
    struct Closer {
        void operator()(FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<FILE, Closer> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        fail(errno);
    }
    std::vector<uint8_t> contents;
    if (std::fseek(file.get(), 0, SEEK_END) == 0) {
        const long size = std::ftell(file.get());
        if (size > 0) {
            contents.reserve(size_t(size));
        }
        std::rewind(file.get());
    }
    uint8_t buffer[65536];
    for (;;) {
        const size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
        contents.insert(contents.end(), buffer, buffer + got);
        if (got < sizeof buffer) {
            if (std::ferror(file.get())) {
                fail(errno != 0 ? errno : EIO);
            }
            break;
        }
    }
    return contents;
}

}  // namespace corvalo
