#pragma once

// A named block of shared memory backed by the page file, mapped read-write into this process.
// The block lives as long as any process has it open; whoever creates it finds it zero-filled.

#include "base/scoped_win.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace corvalo {

class SharedBlock {
  public:
    // Opens the block of that name, or creates it with the given security (the platform's
    // default when null). Throws Error "Failed to create FileMapping" when the name is taken by
    // another kind of object, too long, not accessible, or the block is smaller than `size`.
    SharedBlock(const std::string& name, std::size_t size, SECURITY_ATTRIBUTES* security);

    uint8_t* Data() const { return static_cast<uint8_t*>(view_.Get()); }
    std::size_t Size() const { return size_; }
    // True when this process made the block (it was zero-filled and nobody had it open).
    bool Created() const { return created_; }
    HANDLE Mapping() const { return mapping_.Get(); }

  private:
    ScopedKernelHandle mapping_;
    ScopedMappedView view_;
    std::size_t size_ = 0;
    bool created_ = false;
};

// Security attributes from a descriptor in the platform's text form ("D:(A;;GA;;;WD)"). When
// the text can't be converted, Get() gives null: the platform's default security.
class SecurityAttributes {
  public:
    explicit SecurityAttributes(const std::wstring& descriptor);
    SecurityAttributes(const SecurityAttributes&) = delete;
    SecurityAttributes& operator=(const SecurityAttributes&) = delete;

    SECURITY_ATTRIBUTES* Get() { return descriptor_ ? &attributes_ : nullptr; }

  private:
    ScopedLocalMemory descriptor_;
    SECURITY_ATTRIBUTES attributes_{};
};

}  // namespace corvalo
