#pragma once

// A table of system functions that the program looks up at run time, and the seam through which
// tests put other functions in its place: while a ScopedFunctions lives, Current() gives its
// table instead of the system's, so a test can play a system that lacks a function or answers
// otherwise. One table per type; the innermost ScopedFunctions wins.

namespace corvalo {

template <typename Functions>
class ScopedFunctions {
  public:
    explicit ScopedFunctions(const Functions& functions)
        : previous_(current_), functions_(functions) {
        current_ = &functions_;
    }
    ~ScopedFunctions() { current_ = previous_; }
    ScopedFunctions(const ScopedFunctions&) = delete;
    ScopedFunctions& operator=(const ScopedFunctions&) = delete;

    // The table in force: the innermost scoped one, else the system's.
    static const Functions& Current(const Functions& system) {
        return current_ ? *current_ : system;
    }

  private:
    static inline const Functions* current_ = nullptr;
    const Functions* previous_;
    Functions functions_;
};

}  // namespace corvalo
