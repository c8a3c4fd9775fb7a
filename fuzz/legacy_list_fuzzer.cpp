// The legacy list decoder: every byte sequence decodes, and no line holds a line end or a zero.

#include "app/legacy_list.h"
#include "fuzz/fuzz_checks.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

using namespace corvalo;
using corvalo::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::wstring> lines = DecodeLegacyList(std::span<const uint8_t>(data, size));
    size_t characters = 0;
    for (const std::wstring& line : lines) {
        Check(line.find_first_of(std::wstring(L"\r\n\u2028") + L'\0') == std::wstring::npos,
              "no line holds a line end or a zero");
        characters += line.size();
    }
    // Every character and every line end between two lines takes at least one byte.
    Check(lines.empty() || characters + lines.size() - 1 <= size,
          "the lines are no longer than the bytes");
    return 0;
}
