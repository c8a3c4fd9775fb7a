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

bool StartsWithPrefix(const std::wstring& caption, const std::wstring& prefix) {
    return caption.size() >= prefix.size() &&
           LowerCase(std::wstring_view(caption).substr(0, prefix.size())) == prefix;
}

bool OneLetterRepeated(const std::wstring& text) {
    return text.find_first_not_of(text.front()) == std::wstring::npos;
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

TypeAheadAnswer TypeAheadPrefix::Type(std::span<const std::wstring> captions,
                                      std::optional<size_t> selected, wchar_t typed, uint32_t time,
                                      const void* menu) {
    const std::wstring letter = Folded(typed);
    // The difference of two readings of a wrapping clock is right across the wrap.
    const bool continues =
        !prefix_.empty() && menu == menu_ && time - lastTime_ <= kPauseMilliseconds;
    lastTime_ = time;
    menu_ = menu;
    if (!continues || letter.empty() || typed == L'\0') {
        prefix_ = letter;
        return TypeAhead(captions, selected, typed);
    }
    const std::wstring longer = prefix_ + letter;
    if (OneLetterRepeated(longer)) {
        // The same letter again: on to the next entry it starts.
        prefix_ = longer;
        return TypeAhead(captions, selected, typed);
    }
    // A longer prefix: the first entry with it from the selected one on, the selected included.
    const size_t count = captions.size();
    const size_t from = selected && *selected < count ? *selected : 0;
    size_t matches = 0;
    std::optional<size_t> first;
    for (size_t step = 0; step < count; ++step) {
        const size_t index = (from + step) % count;
        if (captions[index].empty() || !StartsWithPrefix(captions[index], longer))
            continue;
        ++matches;
        if (!first)
            first = index;
    }
    if (!first) {
        // No entry goes on so: the letter begins a prefix of its own, as after a pause, so that
        // M then S still opens "Settings...".
        prefix_ = letter;
        return TypeAhead(captions, selected, typed);
    }
    prefix_ = longer;
    return {matches == 1 ? TypeAheadAnswer::Action::Choose : TypeAheadAnswer::Action::Select,
            *first};
}

}  // namespace corvalo
