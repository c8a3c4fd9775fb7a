#include "base/error.h"

#include "base/text.h"

#include <new>

namespace corvalo {

Error::Error(std::wstring message) : message_(std::move(message)), utf8_(WideToUtf8(message_)) {}

Error::Error(std::wstring message, std::wstring reason)
    : message_(std::move(message)), reason_(std::move(reason)), utf8_(WideToUtf8(message_)) {}

std::wstring CurrentExceptionMessage() {
    try {
        throw;
    } catch (const Error& error) {
        if (error.Reason().empty())
            return error.Message();
        return error.Message() + L". " + error.Reason();
    } catch (const std::bad_alloc&) {
        return L"out of memory";
    } catch (const std::exception& error) {
        return Utf8ToWide(error.what());
    } catch (...) {
        return L"unknown error";
    }
}

std::wstring FillText(std::wstring_view pattern, std::initializer_list<std::wstring_view> args) {
    std::wstring out;
    out.reserve(pattern.size() + 64);
    auto next = args.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == L'%' && i + 1 < pattern.size()) {
            if (pattern[i + 1] == L'%') {
                out += L'%';
                ++i;
                continue;
            }
            if (pattern[i + 1] == L's' && next != args.end()) {
                out += *next++;
                ++i;
                continue;
            }
        }
        out += pattern[i];
    }
    return out;
}

std::wstring FillNumber(std::wstring_view pattern, long long value) {
    std::wstring out(pattern);
    const size_t at = out.find(L"%d");
    if (at != std::wstring::npos) {
        out.replace(at, 2, std::to_wstring(value));
    }
    return out;
}

}  // namespace corvalo
