#pragma once

// What the program would tell the user about a failed action.

#include "base/error.h"

#include <functional>
#include <string>

namespace corvalo::test {

// The message of the error `action` throws, or "(no error)".
inline std::wstring ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& e) {
        return e.Message();
    }
    return L"(no error)";
}

}  // namespace corvalo::test
