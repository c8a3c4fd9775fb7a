#pragma once

// A value made once and never destroyed: for the process-wide state that a thread left to finish
// on its own (a menu icon lookup the shell holds up) may still be using while the process ends.
// Its destructor would run at exit, under that thread's feet.

#include <new>
#include <utility>

namespace corvalo {

template <typename T>
class NoDestructor {
  public:
    template <typename... Args>
    explicit NoDestructor(Args&&... args) {
        new (storage_) T(std::forward<Args>(args)...);
    }
    NoDestructor(const NoDestructor&) = delete;
    NoDestructor& operator=(const NoDestructor&) = delete;
    // Trivial: nothing happens at exit.
    ~NoDestructor() = default;

    T& operator*() { return *Get(); }
    T* operator->() { return Get(); }
    T* Get() { return std::launder(reinterpret_cast<T*>(storage_)); }

  private:
    alignas(T) unsigned char storage_[sizeof(T)];
};

}  // namespace corvalo
