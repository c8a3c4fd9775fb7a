#include "support/sample_pictures_win.h"

#include <windows.h>

namespace corvalo::test {

std::vector<uint8_t> EnhancedMetafile() {
    const RECT frame{0, 0, 2540, 1270};  // hundredths of a millimetre
    HDC dc = CreateEnhMetaFileW(nullptr, nullptr, &frame, nullptr);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    const RECT box{20, 10, 40, 30};
    FillRect(dc, &box, red);
    DeleteObject(red);
    HENHMETAFILE metafile = CloseEnhMetaFile(dc);
    std::vector<uint8_t> bytes(GetEnhMetaFileBits(metafile, 0, nullptr));
    GetEnhMetaFileBits(metafile, UINT(bytes.size()), bytes.data());
    DeleteEnhMetaFile(metafile);
    return bytes;
}

std::vector<uint8_t> IconFile() {
    std::vector<uint8_t> image;
    const auto u16 = [&](std::vector<uint8_t>& v, unsigned x) {
        v.push_back(uint8_t(x));
        v.push_back(uint8_t(x >> 8));
    };
    const auto u32 = [&](std::vector<uint8_t>& v, unsigned x) {
        u16(v, x & 0xFFFF);
        u16(v, x >> 16);
    };
    u32(image, 40);
    u32(image, 16);
    u32(image, 32);  // colour and mask
    u16(image, 1);
    u16(image, 32);
    for (int i = 0; i < 6; ++i) {
        u32(image, 0);
    }
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            if (x < 8) {
                image.insert(image.end(), {0, 0, 255, 255});
            } else {
                image.insert(image.end(), {0, 255, 0, 0});
            }
        }
    }
    image.insert(image.end(), 16 * 4, 0);  // AND mask: alpha decides
    std::vector<uint8_t> file;
    u16(file, 0);
    u16(file, 1);
    u16(file, 1);
    file.insert(file.end(), {16, 16, 0, 0});
    u16(file, 1);
    u16(file, 32);
    u32(file, unsigned(image.size()));
    u32(file, 22);
    file.insert(file.end(), image.begin(), image.end());
    return file;
}

std::vector<uint8_t> TinyGif() {
    std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 2, 0,   1,    0,    0x80,
                                0,   0,   255, 0,   0,   0,   0, 255, 0x21, 0xFE, 40};
    gif.insert(gif.end(), 40, 'c');
    gif.insert(gif.end(), {0, ',', 0, 0, 0, 0, 2, 0, 1, 0, 0, 2, 2, 0x44, 0x0A, 0, ';'});
    return gif;
}

}  // namespace corvalo::test
