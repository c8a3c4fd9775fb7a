#include "app/shared_block_win.h"

#include "base/error.h"

#include <sddl.h>

namespace corvalo {

SharedBlock::SharedBlock(const std::string& name, std::size_t size, SECURITY_ATTRIBUTES* security)
    : size_(size) {
    mapping_.Reset(CreateFileMappingA(INVALID_HANDLE_VALUE, security, PAGE_READWRITE, 0,
                                      static_cast<DWORD>(size), name.c_str()));
    created_ = mapping_ && GetLastError() != ERROR_ALREADY_EXISTS;
    if (!mapping_)
        throw Error(L"Failed to create FileMapping");
    // An existing block of the same name that is smaller than ours can't be mapped at our size:
    // that fails here rather than at some later access.
    view_.Reset(MapViewOfFile(mapping_.Get(), FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, size));
    if (!view_)
        throw Error(L"Failed to create FileMapping");
}

SecurityAttributes::SecurityAttributes(const std::wstring& descriptor) {
    PSECURITY_DESCRIPTOR converted = nullptr;
    if (!descriptor.empty() && ConvertStringSecurityDescriptorToSecurityDescriptorW(
                                   descriptor.c_str(), SDDL_REVISION_1, &converted, nullptr)) {
        descriptor_.Reset(converted);
        attributes_.nLength = sizeof(attributes_);
        attributes_.lpSecurityDescriptor = converted;
        attributes_.bInheritHandle = FALSE;
    }
}

}  // namespace corvalo
