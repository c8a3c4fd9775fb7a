#include "launcher/launcher_list.h"

#include "base/error.h"
#include "launcher/launcher_line.h"

#include <algorithm>
#include <cwctype>

namespace corvalo {

LauncherList::LauncherList(TextComparison compare) : compare_(std::move(compare)) {}

void LauncherList::CheckIndex(int index) const {
    if (index < 0 || index >= ItemCount()) {
        throw Error(FillNumber(L"List index out of bounds (%d)", index));
    }
}

std::wstring LauncherList::ItemCaption(int index) const {
    CheckIndex(index);
    return SplitLauncherLine(lines_[static_cast<size_t>(index)]).caption;
}

std::wstring LauncherList::ItemTarget(int index) const {
    if (index < 0)
        return {};
    CheckIndex(index);
    return SplitLauncherLine(lines_[static_cast<size_t>(index)]).target;
}

int LauncherList::FindItem(std::wstring_view caption) const {
    for (size_t i = 0; i < lines_.size(); ++i) {
        const std::wstring& line = lines_[i];
        const size_t separator = line.find(L'=');
        if (separator == std::wstring::npos)
            continue;
        if (compare_(std::wstring_view(line).substr(0, separator), caption) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::wstring LauncherList::TargetOf(std::wstring_view caption) const {
    return ItemTarget(FindItem(caption));
}

std::vector<int> LauncherList::FirstLinesOfCaptions() const {
    std::vector<int> first(lines_.size(), -1);
    std::vector<std::wstring_view> captions(lines_.size());
    std::vector<int> order;
    order.reserve(lines_.size());
    for (size_t i = 0; i < lines_.size(); ++i) {
        const std::wstring_view line = lines_[i];
        const size_t separator = line.find(L'=');
        if (separator == std::wstring_view::npos)
            continue;
        captions[i] = line.substr(0, separator);
        order.push_back(static_cast<int>(i));
    }
    // Equal captions end up side by side, each run in line order: its first line is the answer.
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return compare_(captions[static_cast<size_t>(a)], captions[static_cast<size_t>(b)]) < 0;
    });
    for (size_t run = 0; run < order.size();) {
        size_t end = run + 1;
        while (end < order.size() && compare_(captions[static_cast<size_t>(order[run])],
                                              captions[static_cast<size_t>(order[end])]) == 0)
            ++end;
        for (size_t i = run; i < end; ++i)
            first[static_cast<size_t>(order[i])] = order[run];
        run = end;
    }
    return first;
}

void LauncherList::AppendItem(std::wstring_view caption, std::wstring_view target) {
    std::wstring line;
    line.reserve(caption.size() + 1 + target.size());
    line.append(caption).append(L"=").append(target);
    lines_.push_back(std::move(line));
}

void LauncherList::DeleteItem(int index) {
    CheckIndex(index);
    lines_.erase(lines_.begin() + index);
}

void LauncherList::SortItems() {
    if (lines_.size() < 2)
        return;
    std::stable_sort(
        lines_.begin(), lines_.end(),
        [this](const std::wstring& a, const std::wstring& b) { return compare_(a, b) < 0; });
}

int CompareIgnoringCase(std::wstring_view a, std::wstring_view b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        const wint_t x = std::towlower(static_cast<wint_t>(a[i]));
        const wint_t y = std::towlower(static_cast<wint_t>(b[i]));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace corvalo
