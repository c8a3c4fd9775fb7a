#include "base/text.h"

namespace corvalo {

std::wstring Utf16ToWide(const std::vector<uint16_t>& units) {
    std::wstring out;
    out.reserve(units.size());
    if constexpr (sizeof(wchar_t) == 2) {
        for (uint16_t unit : units)
            out += static_cast<wchar_t>(unit);
    } else {
        for (size_t i = 0; i < units.size(); ++i) {
            const uint32_t unit = units[i];
            if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() &&
                units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
                const uint32_t low = units[++i];
                out += static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
            } else {
                out += static_cast<wchar_t>(unit);
            }
        }
    }
    return out;
}

std::vector<uint16_t> WideToUtf16(std::wstring_view text) {
    std::vector<uint16_t> out;
    out.reserve(text.size());
    for (wchar_t ch : text) {
        const uint32_t cp = static_cast<uint32_t>(ch);
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            out.push_back(static_cast<uint16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(static_cast<uint16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<uint16_t>(cp));
        }
    }
    return out;
}

namespace {

// Decodes UTF-8 strictly: an overlong form, a surrogate, a value past U+10FFFF, a stray or missing
// continuation byte each count as one invalid sequence, handed on as U+FFFD. True when there was
// none.
template <typename Push>
bool DecodeUtf8(std::string_view text, Push push) {
    bool allValid = true;
    size_t i = 0;
    while (i < text.size()) {
        const uint8_t lead = static_cast<uint8_t>(text[i]);
        int extra = 0;
        uint32_t cp = 0;
        uint32_t minimum = 0;
        if (lead < 0x80) {
            push(lead);
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1, cp = lead & 0x1F, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2, cp = lead & 0x0F, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3, cp = lead & 0x07, minimum = 0x10000;
        } else {
            push(0xFFFD);
            allValid = false;
            ++i;
            continue;
        }
        size_t j = i + 1;
        bool valid = true;
        for (int k = 0; k < extra; ++k, ++j) {
            if (j >= text.size() || (static_cast<uint8_t>(text[j]) & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            cp = (cp << 6) | (static_cast<uint8_t>(text[j]) & 0x3F);
        }
        if (!valid || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            push(0xFFFD);
            allValid = false;
            i = valid ? j : i + 1;
            continue;
        }
        push(cp);
        i = j;
    }
    return allValid;
}

}  // namespace

std::wstring Utf8ToWide(std::string_view text) {
    std::vector<uint16_t> units;
    units.reserve(text.size());
    DecodeUtf8(text, [&](uint32_t cp) {
        if (cp >= 0x10000) {
            units.push_back(static_cast<uint16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            units.push_back(static_cast<uint16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<uint16_t>(cp));
        }
    });
    return Utf16ToWide(units);
}

bool IsValidUtf8(std::string_view text) {
    return DecodeUtf8(text, [](uint32_t) {});
}

std::string WideToUtf8(std::wstring_view text) {
    std::string out;
    const std::vector<uint16_t> units = WideToUtf16(text);
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t cp = units[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (units[++i] - 0xDC00);
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

}  // namespace corvalo
