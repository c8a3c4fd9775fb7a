#include "launcher/menu_type_ahead.h"

#include "base/text.h"

namespace corvalo {
namespace {

std::wstring Folded(wchar_t letter) {
    return LowerCase(std::wstring_view(&letter, 1));
}

bool StartsWith(const std::wstring& caption, const std::wstring& letter) {
    return !caption.empty() && Folded(caption.front()) == letter;
}

}  // namespace

TypeAheadAnswer TypeAhead(std::span<const std::wstring> captions, std::optional<size_t> selected,
                          wchar_t typed) {
    const std::wstring letter = Folded(typed);
    size_t matches = 0;
    std::optional<size_t> next;
    const size_t count = captions.size();
    const size_t from = selected && *selected < count ? *selected + 1 : 0;
    for (size_t step = 0; step < count; ++step) {
        const size_t index = (from + step) % count;
        if (!StartsWith(captions[index], letter))
            continue;
        ++matches;
        if (!next)
            next = index;
    }
    if (!next)
        return {};
    return {matches == 1 ? TypeAheadAnswer::Action::Choose : TypeAheadAnswer::Action::Select,
            *next};
}

}  // namespace corvalo
