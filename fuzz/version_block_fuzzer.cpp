// The version-information reader over another program's block: it reads the paths the program
// looks up, never outside the block, and every value it gives lies inside it.

#include "fuzz/fuzz_checks.h"
#include "shell/version_block.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

using namespace corvalo;
using corvalo::fuzz::Check;

namespace {

void CheckValue(std::span<const uint8_t> bytes, const std::string& path,
                const VersionBlock& block) {
    if (const auto value = block.Value(path)) {
        Check(value->empty() || (value->data() >= bytes.data() &&
                                 value->data() + value->size() <= bytes.data() + bytes.size()),
              "a value lies inside the block");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    const VersionBlock block(bytes);

    block.FixedInfo();
    CheckValue(bytes, "\\", block);
    CheckValue(bytes, "\\VarFileInfo\\Translation", block);
    const std::vector<Translation> translations = block.Translations();
    Check(translations.size() <= size / 4, "every translation takes four bytes of the block");

    // The string tables of the first translations, as the file properties offer them.
    for (size_t i = 0; i < translations.size() && i < 4; ++i) {
        const std::string table = "\\StringFileInfo\\" + TranslationKey(translations[i]) + "\\";
        for (const char* name : kStandardVersionStrings) {
            if (const std::optional<std::string> text = block.Text(table + name))
                Check(text->find('\0') == std::string::npos, "a text ends at its zero");
            CheckValue(bytes, table + name, block);
        }
    }
    return 0;
}
