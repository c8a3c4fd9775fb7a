#include "picture/gif_lzw.h"

#include <array>

namespace corvalo {
namespace {

constexpr int kMaxCodeBits = 12;
constexpr int kTableSize = 1 << kMaxCodeBits;

// The codes, read least significant bit first across the data sub-blocks.
class CodeReader {
  public:
    explicit CodeReader(std::span<const uint8_t> data) : data_(data) {}

    // False at the end of the data (the terminating empty sub-block, or the file's end).
    bool Read(int bits, int& code) {
        while (held_ < bits) {
            if (blockLeft_ == 0) {
                if (at_ >= data_.size() || data_[at_] == 0)
                    return false;
                blockLeft_ = data_[at_++];
            }
            if (at_ >= data_.size())
                return false;
            buffer_ |= uint32_t(data_[at_++]) << held_;
            held_ += 8;
            --blockLeft_;
        }
        code = int(buffer_ & ((1u << bits) - 1));
        buffer_ >>= bits;
        held_ -= bits;
        return true;
    }

  private:
    std::span<const uint8_t> data_;
    size_t at_ = 0;
    size_t blockLeft_ = 0;
    uint32_t buffer_ = 0;
    int held_ = 0;
};

}  // namespace

size_t DecodeGifLzw(std::span<const uint8_t> data, int minimumCodeSize, std::span<uint16_t> out) {
    if (minimumCodeSize < 2 || minimumCodeSize > kLargestGifCodeSize)
        return 0;
    const int clear = 1 << minimumCodeSize;
    const int end = clear + 1;
    std::array<uint16_t, kTableSize> prefix{};
    std::array<uint16_t, kTableSize> suffix{};
    std::array<uint16_t, kTableSize> first{};  // the first pixel of each code's string
    std::array<uint16_t, kTableSize> stack{};
    for (int code = 0; code < clear; ++code) {
        suffix[code] = uint16_t(code);
        first[code] = uint16_t(code);
    }
    CodeReader reader(data);
    int width = minimumCodeSize + 1;
    int next = clear + 2;
    int previous = -1;
    size_t written = 0;
    int code = 0;
    while (written < out.size() && reader.Read(width, code)) {
        if (code == clear) {
            width = minimumCodeSize + 1;
            next = clear + 2;
            previous = -1;
            continue;
        }
        if (code == end)
            break;
        int string = code;
        size_t depth = 0;
        if (previous < 0) {
            if (code >= clear)
                break;  // the first code after a clear must be a pixel
        } else if (code > next || (code == next && next >= kTableSize)) {
            break;  // a code not yet in the table: the data is broken from here on
        } else if (code == next) {
            stack[depth++] = first[previous];  // the previous string and its own first pixel
            string = previous;
        }
        while (string >= clear) {
            stack[depth++] = suffix[string];
            string = prefix[string];
        }
        stack[depth++] = uint16_t(string);
        while (depth > 0 && written < out.size())
            out[written++] = stack[--depth];
        if (previous >= 0 && next < kTableSize) {
            prefix[next] = uint16_t(previous);
            suffix[next] = uint16_t(string);  // the first pixel of the new code's string
            first[next] = first[previous];
            ++next;
            if (next == (1 << width) && width < kMaxCodeBits)
                ++width;
        }
        previous = code;
    }
    return written;
}

}  // namespace corvalo
